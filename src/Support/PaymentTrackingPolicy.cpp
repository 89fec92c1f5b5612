#include "Support/PaymentTrackingPolicy.h"

namespace quillo::PaymentTrackingPolicy {

PaymentTrackingResolution resolution(PaymentOrderStatus status) {
    switch (status) {
    case PaymentOrderStatus::pending:
    case PaymentOrderStatus::checkoutCreated: return PaymentTrackingResolution::keepWaiting;
    case PaymentOrderStatus::paid: return PaymentTrackingResolution::completed;
    case PaymentOrderStatus::paymentFailed: return PaymentTrackingResolution::failed;
    case PaymentOrderStatus::expired: return PaymentTrackingResolution::expired;
    case PaymentOrderStatus::partiallyRefunded: return PaymentTrackingResolution::partiallyRefunded;
    case PaymentOrderStatus::refunded: return PaymentTrackingResolution::refunded;
    case PaymentOrderStatus::disputed:
    case PaymentOrderStatus::chargeback:
    case PaymentOrderStatus::manualReview: return PaymentTrackingResolution::underReview;
    }
    return PaymentTrackingResolution::keepWaiting;
}

bool shouldDiscardTracking(int httpStatus) { return httpStatus == 404; }

bool shouldInvalidateSession(int httpStatus) { return httpStatus == 401; }

bool isOwnedByCurrentSession(const QUuid& trackedUserID, const std::optional<QString>& currentUserID,
                             const std::optional<QString>& expectedSessionID,
                             const std::optional<QString>& currentSessionID) {
    if (!currentUserID || !currentSessionID || !expectedSessionID) return false;
    const QUuid current = QUuid::fromString(*currentUserID);
    return !current.isNull() && current == trackedUserID && *currentSessionID == *expectedSessionID;
}

} // namespace quillo::PaymentTrackingPolicy
