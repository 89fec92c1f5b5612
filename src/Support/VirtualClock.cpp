#include "Support/VirtualClock.h"

#include <algorithm>

namespace quillo {

VirtualClock::VirtualClock(double startUptime, QDateTime startWall)
    : uptime_(startUptime), startWall_(std::move(startWall)), startUptime_(startUptime) {}

QDateTime VirtualClock::now() const {
    return startWall_.addMSecs(static_cast<qint64>((uptime_ - startUptime_) * 1000.0));
}

Clock::TimerId VirtualClock::schedule(double delaySeconds, std::function<void()> callback) {
    const TimerId id = nextId_++;
    const double due = uptime_ + std::max(0.0, delaySeconds);
    timers_.emplace(std::make_pair(due, id), std::move(callback));
    dueById_.emplace(id, due);
    return id;
}

void VirtualClock::cancelScheduled(TimerId id) {
    auto it = dueById_.find(id);
    if (it == dueById_.end()) return;
    timers_.erase({it->second, id});
    dueById_.erase(it);
}

void VirtualClock::advance(double seconds) {
    const double target = uptime_ + std::max(0.0, seconds);
    while (!timers_.empty()) {
        auto first = timers_.begin();
        if (first->first.first > target) break;
        uptime_ = std::max(uptime_, first->first.first);
        auto callback = std::move(first->second);
        dueById_.erase(first->first.second);
        timers_.erase(first);
        callback();
    }
    uptime_ = target;
}

bool VirtualClock::advanceToNextTimer() {
    if (timers_.empty()) return false;
    advance(timers_.begin()->first.first - uptime_);
    return true;
}

double VirtualClock::secondsUntilNextTimer() const {
    if (timers_.empty()) return -1.0;
    return std::max(0.0, timers_.begin()->first.first - uptime_);
}

} // namespace quillo
