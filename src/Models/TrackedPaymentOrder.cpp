#include "Models/TrackedPaymentOrder.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace quillo {

namespace {
QString uuidText(const QUuid& id) { return id.toString(QUuid::WithoutBraces).toUpper(); }
} // namespace

QByteArray TrackedPaymentOrder::toJson() const {
    const QJsonObject object{{"orderID", uuidText(orderID)},
                             {"userID", uuidText(userID)},
                             {"pack", QuilloCreditPacks::rawValue(pack)},
                             {"createdAt", createdAt.toUTC().toString(Qt::ISODate)}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<TrackedPaymentOrder> TrackedPaymentOrder::fromJson(const QByteArray& data) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonValue orderID = object.value("orderID"), userID = object.value("userID");
    const QJsonValue pack = object.value("pack"), createdAt = object.value("createdAt");
    if (!orderID.isString() || !userID.isString() || !pack.isString() || !createdAt.isString()) return std::nullopt;
    TrackedPaymentOrder order;
    order.orderID = QUuid::fromString(orderID.toString());
    order.userID = QUuid::fromString(userID.toString());
    const auto parsedPack = QuilloCreditPacks::fromRawValue(pack.toString());
    order.createdAt = QDateTime::fromString(createdAt.toString(), Qt::ISODate);
    if (order.orderID.isNull() || order.userID.isNull() || !parsedPack || !order.createdAt.isValid())
        return std::nullopt;
    order.pack = *parsedPack;
    order.createdAt = order.createdAt.toUTC();
    return order;
}

} // namespace quillo
