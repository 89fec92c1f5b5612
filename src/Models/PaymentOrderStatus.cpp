#include "Models/PaymentOrderStatus.h"

namespace quillo::PaymentOrderStatuses {

QString rawValue(PaymentOrderStatus status) {
    switch (status) {
    case PaymentOrderStatus::pending: return QStringLiteral("pending");
    case PaymentOrderStatus::checkoutCreated: return QStringLiteral("checkout_created");
    case PaymentOrderStatus::paid: return QStringLiteral("paid");
    case PaymentOrderStatus::paymentFailed: return QStringLiteral("payment_failed");
    case PaymentOrderStatus::expired: return QStringLiteral("expired");
    case PaymentOrderStatus::partiallyRefunded: return QStringLiteral("partially_refunded");
    case PaymentOrderStatus::refunded: return QStringLiteral("refunded");
    case PaymentOrderStatus::disputed: return QStringLiteral("disputed");
    case PaymentOrderStatus::chargeback: return QStringLiteral("chargeback");
    case PaymentOrderStatus::manualReview: return QStringLiteral("manual_review");
    }
    return {};
}

std::optional<PaymentOrderStatus> fromRawValue(const QString& raw) {
    for (auto status : allCases)
        if (rawValue(status) == raw) return status;
    return std::nullopt;
}

} // namespace quillo::PaymentOrderStatuses
