#pragma once

#include "Models/NetworkErrorCode.h"

#include <QString>
#include <cstdint>
#include <optional>

namespace quillo {

// The retry counters of one correction call and the rules for its next attempt. Durations are
// nanoseconds; `remainingNanoseconds` is the time left until the call's deadline (0 once past).
// A returned wait means "wait that long, then send again" and the counter has been raised;
// none means "do not retry" and the counters are unchanged.
struct CorrectionNetworkRetryPolicy {
    int transportRetries = 0;
    int processingPolls = 0;
    int safeHTTPRetries = 0;

    static constexpr int maximumTransportRetries = 2;
    static constexpr int maximumProcessingPolls = 15;
    static constexpr int maximumSafeHTTPRetries = 1;
    static constexpr std::uint64_t transportRetryStepNanoseconds = 250'000'000;

    // A failure of the URL loading layer before any response.
    std::optional<std::uint64_t> transportRetryDelay(NetworkErrorCode error, std::uint64_t remainingNanoseconds);
    std::optional<std::uint64_t> transportRetryDelay(const NetworkError& error, std::uint64_t remainingNanoseconds) {
        return transportRetryDelay(error.code, remainingNanoseconds);
    }

    // An answer saying the same request is still being processed.
    std::optional<std::uint64_t> processingRetryDelay(std::optional<std::int64_t> retryAfterSeconds,
                                                      std::uint64_t remainingNanoseconds);

    // Any other HTTP answer: one retry of a gateway failure the server marked safe to repeat.
    std::optional<std::uint64_t> safeHTTPRetryDelay(int statusCode, const std::optional<QString>& retrySafeHeader,
                                                    std::optional<std::int64_t> retryAfterSeconds,
                                                    std::uint64_t remainingNanoseconds);

    // 2 s when Retry-After asks for 2 s or more, otherwise 1 s: never longer than 2 s.
    static std::uint64_t retryAfterWait(std::optional<std::int64_t> retryAfterSeconds);

    static bool isTransientTransportError(NetworkErrorCode error);

    bool operator==(const CorrectionNetworkRetryPolicy&) const = default;
};

} // namespace quillo
