#pragma once

#include "Support/Cancellation.h"

#include <QDateTime>
#include <coroutine>
#include <cstdint>
#include <functional>
#include <memory>

#include <qcoro/qcorotask.h>

namespace quillo {

class Clock;

// co_await clock.sleep(s, token) -> bool: true when the delay passed, false when the token
// was cancelled first (the sleep then ends early, without throwing).
class SleepAwaiter {
public:
    SleepAwaiter(Clock& clock, double seconds, CancellationToken token)
        : clock_(&clock), seconds_(seconds), token_(std::move(token)) {}

    bool await_ready() const noexcept { return seconds_ <= 0.0 || token_.isCancelled(); }
    void await_suspend(std::coroutine_handle<> handle);
    bool await_resume() const noexcept;

private:
    struct State;
    Clock* clock_;
    double seconds_;
    CancellationToken token_;
    std::shared_ptr<State> state_;
};

// The one source of "now" and of timed waits. Product code never reads the system clocks or
// starts timers directly; tests substitute a VirtualClock and drive time themselves.
// Timers fire on the thread that owns the clock (the main thread).
class Clock {
public:
    using TimerId = std::uint64_t;

    virtual ~Clock() = default;

    // Seconds on a monotonic clock (the system uptime in production).
    virtual double uptimeSeconds() const = 0;
    // Wall-clock time, UTC.
    virtual QDateTime now() const = 0;

    // Runs `callback` once after `delaySeconds`. Returns an id for cancelScheduled.
    virtual TimerId schedule(double delaySeconds, std::function<void()> callback) = 0;
    virtual void cancelScheduled(TimerId id) = 0;

    SleepAwaiter sleep(double seconds, CancellationToken token = {}) {
        return SleepAwaiter(*this, seconds, std::move(token));
    }
    // Like sleep, but a cancellation throws CancellationError.
    QCoro::Task<> sleepOrThrow(double seconds, CancellationToken token = {});

    // The process-wide clock: the system clock unless a test installed another.
    static Clock& shared();
    static void setShared(Clock* clock); // nullptr restores the system clock
};

// Production clock: steady uptime, UTC wall time, precise Qt timers.
class SystemClock final : public Clock {
public:
    SystemClock();
    ~SystemClock() override;
    double uptimeSeconds() const override;
    QDateTime now() const override;
    TimerId schedule(double delaySeconds, std::function<void()> callback) override;
    void cancelScheduled(TimerId id) override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Installs a clock as the shared one for a scope (tests).
class ScopedSharedClock {
public:
    explicit ScopedSharedClock(Clock& clock) { Clock::setShared(&clock); }
    ~ScopedSharedClock() { Clock::setShared(nullptr); }
    ScopedSharedClock(const ScopedSharedClock&) = delete;
    ScopedSharedClock& operator=(const ScopedSharedClock&) = delete;
};

} // namespace quillo
