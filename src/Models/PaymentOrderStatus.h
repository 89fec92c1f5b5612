#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace quillo {

// The server's status of an order.
enum class PaymentOrderStatus : std::uint8_t {
    pending,
    checkoutCreated,
    paid,
    paymentFailed,
    expired,
    partiallyRefunded,
    refunded,
    disputed,
    chargeback,
    manualReview,
};

namespace PaymentOrderStatuses {
inline constexpr std::array<PaymentOrderStatus, 10> allCases{
    PaymentOrderStatus::pending,       PaymentOrderStatus::checkoutCreated, PaymentOrderStatus::paid,
    PaymentOrderStatus::paymentFailed, PaymentOrderStatus::expired,         PaymentOrderStatus::partiallyRefunded,
    PaymentOrderStatus::refunded,      PaymentOrderStatus::disputed,        PaymentOrderStatus::chargeback,
    PaymentOrderStatus::manualReview};
QString rawValue(PaymentOrderStatus status);
// Exact spelling only; anything else is unknown.
std::optional<PaymentOrderStatus> fromRawValue(const QString& raw);
} // namespace PaymentOrderStatuses

} // namespace quillo
