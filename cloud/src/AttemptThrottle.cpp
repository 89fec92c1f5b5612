#include "AttemptThrottle.h"

#include <algorithm>

namespace quillo::cloud {

AttemptThrottle::AttemptThrottle(size_t capacity, int freeFailures, int64_t maxDelaySeconds)
    : capacity_(std::max<size_t>(capacity, 1)), freeFailures_(freeFailures), maxDelay_(maxDelaySeconds)
{
}

int64_t AttemptThrottle::delayAfter(int failures) const
{
    if (failures < freeFailures_) return 0;
    int doublings = std::min(failures - freeFailures_, 20);
    return std::min<int64_t>(int64_t{1} << doublings, maxDelay_);
}

int64_t AttemptThrottle::wait(const std::string &key, int64_t now)
{
    std::lock_guard lock(mutex_);
    auto it = entries_.find(key);
    if (it == entries_.end()) return 0;
    // A day without failures forgets them.
    if (now - it->second.last > int64_t{24} * 3600) {
        order_.erase(it->second.order);
        entries_.erase(it);
        return 0;
    }
    return std::max<int64_t>(0, it->second.last + delayAfter(it->second.failures) - now);
}

void AttemptThrottle::fail(const std::string &key, int64_t now)
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

void AttemptThrottle::clear(const std::string &key)
{
    std::lock_guard lock(mutex_);
    auto it = entries_.find(key);
    if (it == entries_.end()) return;
    order_.erase(it->second.order);
    entries_.erase(it);
}

int AttemptThrottle::failures(const std::string &key)
{
    std::lock_guard lock(mutex_);
    auto it = entries_.find(key);
    return it == entries_.end() ? 0 : it->second.failures;
}

size_t AttemptThrottle::size()
{
    std::lock_guard lock(mutex_);
    return entries_.size();
}

}  // namespace quillo::cloud
