#pragma once

#include "Models/QuilloCreditPack.h"

#include <QByteArray>
#include <QDateTime>
#include <QUuid>
#include <optional>

namespace quillo {

// The order being watched; survives a restart in the user defaults.
struct TrackedPaymentOrder {
    QUuid orderID;
    QUuid userID; // the account that bought it
    QuilloCreditPack pack = QuilloCreditPack::regular;
    QDateTime createdAt;

    // {"orderID", "userID", "pack", "createdAt"}: UUID texts, the pack's raw value, an ISO 8601 date.
    QByteArray toJson() const;
    static std::optional<TrackedPaymentOrder> fromJson(const QByteArray& data);

    bool operator==(const TrackedPaymentOrder&) const = default;
};

} // namespace quillo
