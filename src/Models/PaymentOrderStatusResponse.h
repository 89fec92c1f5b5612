#pragma once

#include "Models/PaymentOrderStatus.h"
#include "Models/QuilloCreditPack.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QUuid>
#include <optional>

namespace quillo {

// The body of an order status answer.
struct PaymentOrderStatusResponse {
    QUuid orderId;
    QuilloCreditPack pack = QuilloCreditPack::regular;
    PaymentOrderStatus status = PaymentOrderStatus::pending;
    double grantedCredits = 0; // not used by the client
    QString updatedAt;         // not interpreted

    // Every member is required; an unknown pack or status makes the body unreadable.
    // Unknown members are ignored.
    static std::optional<PaymentOrderStatusResponse> fromJsonObject(const QJsonObject& object);
    static std::optional<PaymentOrderStatusResponse> fromJson(const QByteArray& data);

    bool operator==(const PaymentOrderStatusResponse&) const = default;
};

} // namespace quillo
