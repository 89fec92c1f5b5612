#pragma once

#include "Models/TrackedPaymentOrder.h"

#include <QString>
#include <QUuid>
#include <optional>

namespace quillo {

class UserDefaults;

// At most one tracked order, as JSON data in the user defaults.
class PaymentOrderTrackingStore {
public:
    inline static const QString key = QStringLiteral("quilloTrackedPaymentOrderV1");

    explicit PaymentOrderTrackingStore(UserDefaults& defaults) : defaults_(&defaults) {}

    // The stored order; data that does not decode is removed.
    std::optional<TrackedPaymentOrder> load() const;
    // Replaces any earlier order; false when the order could not be encoded.
    bool save(const TrackedPaymentOrder& order) const;
    // Removes the order only when it has this id; reports whether it did.
    bool clear(const QUuid& ifMatching) const;
    void clear() const;

private:
    UserDefaults* defaults_;
};

} // namespace quillo
