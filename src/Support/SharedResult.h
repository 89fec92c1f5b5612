#pragma once

#include <coroutine>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace quillo {

// A value that several coroutines can wait for: the first set() resumes every waiter (in the
// order they began waiting) and later waits return at once. Main thread only.
template <typename T> class SharedResult {
public:
    struct State {
        std::optional<T> value;
        std::vector<std::coroutine_handle<>> waiters;
    };

    bool isSet() const { return state_->value.has_value(); }

    void set(T value) {
        if (state_->value) return;
        state_->value = std::move(value);
        auto waiters = std::move(state_->waiters);
        state_->waiters.clear();
        auto keep = state_; // a resumed waiter may drop the last other reference
        for (auto handle : waiters) handle.resume();
    }

    struct Awaiter {
        std::shared_ptr<State> state;
        bool await_ready() const noexcept { return state->value.has_value(); }
        void await_suspend(std::coroutine_handle<> handle) { state->waiters.push_back(handle); }
        T await_resume() const { return *state->value; }
    };
    Awaiter wait() const { return Awaiter{state_}; }

private:
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

} // namespace quillo
