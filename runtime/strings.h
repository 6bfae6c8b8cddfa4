#pragma once

#include <functional>
#include <string>
#include <vector>

namespace runtime {

// A list of text lines that reports each complete change: replacing the
// whole text, clearing and appending one line each count as one change.
// OnChanging runs before the change and may veto it by throwing.
class TStrings {
  public:
    std::function<void()> OnChanging;
    std::function<void()> OnChange;

    TStrings() = default;
    TStrings(std::initializer_list<std::string> lines) : lines_(lines) {}

    int Count() const { return static_cast<int>(lines_.size()); }
    bool Empty() const { return lines_.empty(); }
    const std::string& operator[](int i) const { return lines_.at(static_cast<size_t>(i)); }
    const std::vector<std::string>& Lines() const { return lines_; }
    auto begin() const { return lines_.begin(); }
    auto end() const { return lines_.end(); }

    void Add(std::string line) {
        Changing();
        lines_.push_back(std::move(line));
        Changed();
    }
    void Clear() {
        Changing();
        lines_.clear();
        Changed();
    }
    void Assign(std::vector<std::string> lines) {
        Changing();
        lines_ = std::move(lines);
        Changed();
    }
    // Replaces the whole text with one line.
    void SetText(std::string text) { Assign({std::move(text)}); }

    // The lines joined, each followed by CR LF.
    std::string Text() const {
        std::string out;
        for (const auto& line : lines_) {
            out += line;
            out += "\r\n";
        }
        return out;
    }

  private:
    void Changing() {
        if (OnChanging) OnChanging();
    }
    void Changed() {
        if (OnChange) OnChange();
    }
    std::vector<std::string> lines_;
};

}  // namespace runtime
