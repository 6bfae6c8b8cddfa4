#pragma once

#include <utility>

namespace runtime {

// Runs an action when the scope ends, whether it ends normally or by an
// exception: a display resumed, a flag reset. The action must not throw.
template <typename Action>
class ScopeGuard {
  public:
    explicit ScopeGuard(Action action) : action_(std::move(action)) {}
    ~ScopeGuard() {
        if (armed_) action_();
    }
    ScopeGuard(const ScopeGuard&) = delete;
    ScopeGuard& operator=(const ScopeGuard&) = delete;

    // The action will not run (the work it undoes is to stay).
    void Dismiss() { armed_ = false; }

  private:
    Action action_;
    bool armed_ = true;
};

}  // namespace runtime
