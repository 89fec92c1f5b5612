#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>

#include <qcoro/qcorotask.h>

namespace quillo {

// What a task ended with, observed without awaiting it: lets a caller that is not a
// coroutine (a signal handler, a test driving a virtual clock) start a task and look later.
template <typename T> struct TaskOutcome {
    bool finished = false;
    std::conditional_t<std::is_void_v<T>, bool, std::optional<T>> value{};
    std::exception_ptr error;

    bool failed() const { return finished && error; }
    void rethrowIfFailed() const {
        if (error) std::rethrow_exception(error);
    }
    template <typename E> bool failedWith() const {
        if (!error) return false;
        try {
            std::rethrow_exception(error);
        } catch (const E&) {
            return true;
        } catch (...) {
            return false;
        }
    }
};

namespace detail {
template <typename T>
QCoro::Task<> observeInto(QCoro::Task<T> task, std::shared_ptr<TaskOutcome<T>> outcome,
                          std::function<void(const TaskOutcome<T>&)> onFinish) {
    try {
        if constexpr (std::is_void_v<T>) {
            co_await std::move(task);
            outcome->value = true;
        } else {
            outcome->value = co_await std::move(task);
        }
    } catch (...) {
        outcome->error = std::current_exception();
    }
    outcome->finished = true;
    if (onFinish) onFinish(*outcome);
}
} // namespace detail

// Starts observing `task` (QCoro tasks run eagerly, so it is already running).
template <typename T>
std::shared_ptr<TaskOutcome<T>> observe(QCoro::Task<T>&& task,
                                        std::function<void(const TaskOutcome<T>&)> onFinish = {}) {
    auto outcome = std::make_shared<TaskOutcome<T>>();
    detail::observeInto<T>(std::move(task), outcome, std::move(onFinish));
    return outcome;
}

} // namespace quillo
