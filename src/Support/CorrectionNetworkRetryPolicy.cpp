#include "Support/CorrectionNetworkRetryPolicy.h"

namespace quillo {

bool CorrectionNetworkRetryPolicy::isTransientTransportError(NetworkErrorCode error) {
    switch (error) {
    case NetworkErrorCode::timedOut:
    case NetworkErrorCode::networkConnectionLost:
    case NetworkErrorCode::cannotFindHost:
    case NetworkErrorCode::cannotConnectToHost: return true;
    default: return false;
    }
}

std::uint64_t CorrectionNetworkRetryPolicy::retryAfterWait(std::optional<std::int64_t> retryAfterSeconds) {
    if (retryAfterSeconds && *retryAfterSeconds >= 2) return 2'000'000'000ULL;
    return 1'000'000'000ULL;
}

std::optional<std::uint64_t> CorrectionNetworkRetryPolicy::transportRetryDelay(NetworkErrorCode error,
                                                                               std::uint64_t remainingNanoseconds) {
    if (transportRetries >= maximumTransportRetries) return std::nullopt;
    if (!isTransientTransportError(error)) return std::nullopt;
    const int next = transportRetries + 1;
    const std::uint64_t wait = static_cast<std::uint64_t>(next) * transportRetryStepNanoseconds;
    if (wait >= remainingNanoseconds) return std::nullopt;
    transportRetries = next;
    return wait;
}

std::optional<std::uint64_t>
CorrectionNetworkRetryPolicy::processingRetryDelay(std::optional<std::int64_t> retryAfterSeconds,
                                                   std::uint64_t remainingNanoseconds) {
    if (processingPolls >= maximumProcessingPolls) return std::nullopt;
    const std::uint64_t wait = retryAfterWait(retryAfterSeconds);
    if (wait >= remainingNanoseconds) return std::nullopt;
    ++processingPolls;
    return wait;
}

std::optional<std::uint64_t>
CorrectionNetworkRetryPolicy::safeHTTPRetryDelay(int statusCode, const std::optional<QString>& retrySafeHeader,
                                                 std::optional<std::int64_t> retryAfterSeconds,
                                                 std::uint64_t remainingNanoseconds) {
    if (safeHTTPRetries >= maximumSafeHTTPRetries) return std::nullopt;
    if (!retrySafeHeader || *retrySafeHeader != QLatin1String("1")) return std::nullopt;
    if (statusCode != 502 && statusCode != 503 && statusCode != 504) return std::nullopt;
    const std::uint64_t wait = retryAfterWait(retryAfterSeconds);
    if (wait >= remainingNanoseconds) return std::nullopt;
    ++safeHTTPRetries;
    return wait;
}

} // namespace quillo
