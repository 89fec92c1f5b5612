#pragma once

#include "Models/PaymentOrderStatus.h"

#include <QString>
#include <QUuid>
#include <cstdint>
#include <optional>

namespace quillo {

// What a status means for the order being followed.
enum class PaymentTrackingResolution : std::uint8_t {
    keepWaiting,
    completed,
    failed,
    expired,
    partiallyRefunded,
    refunded,
    underReview,
};

namespace PaymentTrackingPolicy {

PaymentTrackingResolution resolution(PaymentOrderStatus status);
// A status request answered 404: the order is gone, stop following it.
bool shouldDiscardTracking(int httpStatus);
// A status request answered 401: ask the auth service to end the session.
bool shouldInvalidateSession(int httpStatus);
// The tracked order's user is the signed-in one (read as a UUID) and the current access token
// still carries the session the tracking started under.
bool isOwnedByCurrentSession(const QUuid& trackedUserID, const std::optional<QString>& currentUserID,
                             const std::optional<QString>& expectedSessionID,
                             const std::optional<QString>& currentSessionID);

} // namespace PaymentTrackingPolicy

} // namespace quillo
