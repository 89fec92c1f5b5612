#pragma once
// Failed attempts kept in the store, so that every server on one database holds a client or an
// address back alike: a guesser gains nothing by spreading attempts over the servers.
#include "AttemptThrottle.h"
#include "Store.h"

namespace quillo::cloud {

class SharedAttemptThrottle : public AttemptThrottle {
public:
    SharedAttemptThrottle(Store &store, std::string scope, int freeFailures = 3, int64_t maxDelaySeconds = 900)
        : store_(store), scope_(std::move(scope)), freeFailures_(freeFailures), maxDelay_(maxDelaySeconds)
    {
    }

    int64_t wait(const std::string &key, int64_t now) override
    {
        auto a = store_.attempts(scope_, key);
        if (a.failures == 0) return 0;
        if (now - a.last > kAttemptMemorySeconds) {
            store_.clearAttempts(scope_, key);
            return 0;
        }
        return std::max<int64_t>(0, a.last + attemptDelay(a.failures, freeFailures_, maxDelay_) - now);
    }
    void fail(const std::string &key, int64_t now) override
    {
        store_.recordAttempt(scope_, key, now, kAttemptMemorySeconds);
    }
    void clear(const std::string &key) override { store_.clearAttempts(scope_, key); }
    int failures(const std::string &key) override { return store_.attempts(scope_, key).failures; }

private:
    Store &store_;
    std::string scope_;
    int freeFailures_;
    int64_t maxDelay_;
};

}  // namespace quillo::cloud
