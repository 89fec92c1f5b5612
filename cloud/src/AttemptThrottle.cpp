#include "AttemptThrottle.h"

#include <algorithm>

namespace quillo::cloud {

MemoryAttemptThrottle::MemoryAttemptThrottle(size_t capacity, int freeFailures, int64_t maxDelaySeconds)
    : capacity_(std::max<size_t>(capacity, 1)), freeFailures_(freeFailures), maxDelay_(maxDelaySeconds)
{
}

int64_t attemptDelay(int failures, int freeFailures, int64_t maxDelay)
{
    if (failures < freeFailures) return 0;
    int doublings = std::min(failures - freeFailures, 20);
    return std::min<int64_t>(int64_t{1} << doublings, maxDelay);
}

int64_t MemoryAttemptThrottle::wait(const std::string &key, int64_t now)
{
    std::lock_guard lock(mutex_);
    auto it = entries_.find(key);
    if (it == entries_.end()) return 0;
    // A day without failures forgets them.
    if (now - it->second.last > kAttemptMemorySeconds) {
        order_.erase(it->second.order);
        entries_.erase(it);
        return 0;
    }
    return std::max<int64_t>(0, it->second.last + attemptDelay(it->second.failures, freeFailures_, maxDelay_) - now);
}

void MemoryAttemptThrottle::fail(const std::string &key, int64_t now)
{
    std::lock_guard lock(mutex_);
    auto it = entries_.find(key);
    if (it == entries_.end()) {
        if (entries_.size() >= capacity_) {
            entries_.erase(order_.back());
            order_.pop_back();
        }
        order_.push_front(key);
        it = entries_.emplace(key, Entry{0, now, order_.begin()}).first;
    } else {
        order_.splice(order_.begin(), order_, it->second.order);
    }
    ++it->second.failures;
    it->second.last = now;
}

void MemoryAttemptThrottle::clear(const std::string &key)
{
    std::lock_guard lock(mutex_);
    auto it = entries_.find(key);
    if (it == entries_.end()) return;
    order_.erase(it->second.order);
    entries_.erase(it);
}

int MemoryAttemptThrottle::failures(const std::string &key)
{
    std::lock_guard lock(mutex_);
    auto it = entries_.find(key);
    return it == entries_.end() ? 0 : it->second.failures;
}

size_t MemoryAttemptThrottle::size()
{
    std::lock_guard lock(mutex_);
    return entries_.size();
}

}  // namespace quillo::cloud
