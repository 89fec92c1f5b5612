#include "Services/PaymentOrderTrackingStore.h"

#include "Platform/UserDefaults.h"

namespace quillo {

std::optional<TrackedPaymentOrder> PaymentOrderTrackingStore::load() const {
    if (!defaults_->contains(key)) return std::nullopt;
    const auto data = defaults_->data(key);
    auto order = data ? TrackedPaymentOrder::fromJson(*data) : std::nullopt;
    if (!order) defaults_->remove(key);
    return order;
}

bool PaymentOrderTrackingStore::save(const TrackedPaymentOrder& order) const {
    if (order.orderID.isNull() || order.userID.isNull() || !order.createdAt.isValid()) return false;
    defaults_->setData(key, order.toJson());
    return true;
}

bool PaymentOrderTrackingStore::clear(const QUuid& ifMatching) const {
    const auto stored = load();
    if (!stored || stored->orderID != ifMatching) return false;
    defaults_->remove(key);
    return true;
}

void PaymentOrderTrackingStore::clear() const { defaults_->remove(key); }

} // namespace quillo
