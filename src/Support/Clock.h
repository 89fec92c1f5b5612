#pragma once

#include "Support/Cancellation.h"

#include <QDateTime>
#include <coroutine>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <qcoro/qcorotask.h>

namespace quillo {

class Clock;
class SleepWakeup;

// co_await clock.sleep(s, token) -> bool: true when the delay passed, false when the token
// was cancelled first or a wakeup ended it (the sleep then ends early, without throwing).
class SleepAwaiter {
public:
    SleepAwaiter(Clock& clock, double seconds, CancellationToken token, SleepWakeup* wakeup = nullptr)
        : clock_(&clock), seconds_(seconds), token_(std::move(token)), wakeup_(wakeup) {}

    bool await_ready() const noexcept { return seconds_ <= 0.0 || token_.isCancelled(); }
    void await_suspend(std::coroutine_handle<> handle);
    bool await_resume() const noexcept;

    struct State;

private:
    Clock* clock_;
    double seconds_;
    CancellationToken token_;
    SleepWakeup* wakeup_;
    std::shared_ptr<State> state_;
};

// Ends the sleeps that wait on it early, when what they wait for is reported (a desktop event
// that may come before the sleep's bound). The sleeps resume from the clock, with a zero delay,
// never inside the caller of wake(): a report arrives in the middle of someone else's work.
class SleepWakeup {
public:
    void wake();

private:
    friend class SleepAwaiter;
    std::vector<std::weak_ptr<SleepAwaiter::State>> sleepers_;
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
    // A sleep that `wakeup` may end early.
    SleepAwaiter sleep(double seconds, CancellationToken token, SleepWakeup& wakeup) {
        return SleepAwaiter(*this, seconds, std::move(token), &wakeup);
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
