#include "Models/PaymentOrderStatusResponse.h"

#include <QJsonDocument>

namespace quillo {

std::optional<PaymentOrderStatusResponse> PaymentOrderStatusResponse::fromJsonObject(const QJsonObject& object) {
    const QJsonValue orderId = object.value("orderId"), pack = object.value("pack"), status = object.value("status");
    const QJsonValue granted = object.value("grantedCredits"), updatedAt = object.value("updatedAt");
    if (!orderId.isString() || !pack.isString() || !status.isString() || !granted.isDouble() || !updatedAt.isString())
        return std::nullopt;
    PaymentOrderStatusResponse response;
    response.orderId = QUuid::fromString(orderId.toString());
    const auto parsedPack = QuilloCreditPacks::fromRawValue(pack.toString());
    const auto parsedStatus = PaymentOrderStatuses::fromRawValue(status.toString());
    if (response.orderId.isNull() || !parsedPack || !parsedStatus) return std::nullopt;
    response.pack = *parsedPack;
    response.status = *parsedStatus;
    response.grantedCredits = granted.toDouble();
    response.updatedAt = updatedAt.toString();
    return response;
}

std::optional<PaymentOrderStatusResponse> PaymentOrderStatusResponse::fromJson(const QByteArray& data) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    return fromJsonObject(document.object());
}

} // namespace quillo
