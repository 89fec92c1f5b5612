#pragma once
// Failed attempts by key (an address, a client address, an account and client together), each key
// waiting longer after every failure beyond the first few. The table is bounded: past its
// capacity the key touched longest ago goes, never the whole table.
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>

namespace quillo::cloud {

class AttemptThrottle {
public:
    explicit AttemptThrottle(size_t capacity = 100000, int freeFailures = 3, int64_t maxDelaySeconds = 900);

    // Seconds this key must still wait before its next attempt; 0: go ahead.
    int64_t wait(const std::string &key, int64_t now);
    void fail(const std::string &key, int64_t now);
    void clear(const std::string &key);
    int failures(const std::string &key);
    size_t size();

private:
    struct Entry {
        int failures = 0;
        int64_t last = 0;
        std::list<std::string>::iterator order;
    };
    int64_t delayAfter(int failures) const;

    size_t capacity_;
    int freeFailures_;
    int64_t maxDelay_;
    std::mutex mutex_;
    std::list<std::string> order_;  // most recently failed first
    std::unordered_map<std::string, Entry> entries_;
};

}  // namespace quillo::cloud
