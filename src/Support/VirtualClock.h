#pragma once

#include "Support/Clock.h"

#include <map>
#include <utility>

namespace quillo {

// A clock that only moves when told to. Timers fire in due order (ties in scheduling order)
// while advance() walks time forward, so suspended coroutines resume deterministically.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(double startUptime = 1000.0,
                          QDateTime startWall = QDateTime(QDate(2026, 1, 5), QTime(9, 0), Qt::UTC));

    double uptimeSeconds() const override { return uptime_; }
    QDateTime now() const override;
    TimerId schedule(double delaySeconds, std::function<void()> callback) override;
    void cancelScheduled(TimerId id) override;

    // Moves time forward by `seconds`, firing every timer that falls due on the way.
    void advance(double seconds);
    // Fires the timers already due now (delay 0), without moving time.
    void runDue() { advance(0.0); }
    // Jumps to the next timer and fires it; false when none is pending.
    bool advanceToNextTimer();
    std::size_t pendingTimers() const { return timers_.size(); }
    // Seconds until the next timer, or a negative value when none is pending.
    double secondsUntilNextTimer() const;

private:
    double uptime_;
    QDateTime startWall_;
    double startUptime_;
    TimerId nextId_ = 1;
    // (due time, id) -> callback; ids grow, so ties keep scheduling order.
    std::map<std::pair<double, TimerId>, std::function<void()>> timers_;
    std::map<TimerId, double> dueById_;
};

} // namespace quillo
