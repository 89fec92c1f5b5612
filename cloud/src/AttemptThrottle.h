#pragma once
// Failed attempts by key (an address, a client address, an account and client together), each key
// waiting longer after every failure beyond the first few; a day without failures forgets them.
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>

namespace quillo::cloud {

class AttemptThrottle {
public:
    virtual ~AttemptThrottle() = default;
    // Seconds this key must still wait before its next attempt; 0: go ahead.
    virtual int64_t wait(const std::string &key, int64_t now) = 0;
    virtual void fail(const std::string &key, int64_t now) = 0;
    virtual void clear(const std::string &key) = 0;
    virtual int failures(const std::string &key) = 0;
};

// No wait for the first `freeFailures`, then doubling up to `maxDelay`.
int64_t attemptDelay(int failures, int freeFailures, int64_t maxDelay);
inline constexpr int64_t kAttemptMemorySeconds = int64_t{24} * 3600;

// One server's own table, in memory. It is bounded: past its capacity the key touched longest
// ago goes, never the whole table.
class MemoryAttemptThrottle : public AttemptThrottle {
public:
    explicit MemoryAttemptThrottle(size_t capacity = 100000, int freeFailures = 3, int64_t maxDelaySeconds = 900);

    int64_t wait(const std::string &key, int64_t now) override;
    void fail(const std::string &key, int64_t now) override;
    void clear(const std::string &key) override;
    int failures(const std::string &key) override;
    size_t size();

private:
    struct Entry {
        int failures = 0;
        int64_t last = 0;
        std::list<std::string>::iterator order;
    };

    size_t capacity_;
    int freeFailures_;
    int64_t maxDelay_;
    std::mutex mutex_;
    std::list<std::string> order_;  // most recently failed first
    std::unordered_map<std::string, Entry> entries_;
};

}  // namespace quillo::cloud
