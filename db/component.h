#pragma once

#include <string>
#include <vector>

namespace db {

// Named component: the name prefixes the dataset framework's error messages
// ("IBQuery1: Parameter 'x' not found"), so users can tell which query failed.
class TComponent {
  public:
    explicit TComponent(std::string name = {}) : name_(std::move(name)) {}
    virtual ~TComponent() = default;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }

  private:
    std::string name_;
};

// Slot lists keep positions stable: a leaving member clears its slot and a
// new member fills the first empty one, so indices held by others stay valid.
template <typename T>
int FillFirstEmptySlot(std::vector<T*>& list, T* item) {
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i] == nullptr) {
            list[i] = item;
            return static_cast<int>(i);
        }
    }
    list.push_back(item);
    return static_cast<int>(list.size()) - 1;
}

template <typename T>
int FindSlot(const std::vector<T*>& list, const T* item) {
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i] == item) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace db
