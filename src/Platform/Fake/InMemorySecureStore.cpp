#include "Platform/Fake/InMemorySecureStore.h"

namespace quillo {

SecureStoreReadResult InMemorySecureStore::read(const QString& service, const QString& account) {
    if (unavailable_) return {SecureStoreStatus::unavailable, {}};
    const auto it = items_.constFind({service, account});
    if (it == items_.constEnd()) return {SecureStoreStatus::itemNotFound, {}};
    return {SecureStoreStatus::success, *it};
}

SecureStoreStatus InMemorySecureStore::write(const QString& service, const QString& account, const QByteArray& data) {
    if (unavailable_) return SecureStoreStatus::unavailable;
    if (writeFailure_) return *writeFailure_;
    ++writes_;
    items_.insert({service, account}, data);
    return SecureStoreStatus::success;
}

SecureStoreStatus InMemorySecureStore::remove(const QString& service, const QString& account) {
    if (unavailable_) return SecureStoreStatus::unavailable;
    ++removes_;
    items_.remove({service, account});
    return SecureStoreStatus::success;
}

std::optional<QByteArray> InMemorySecureStore::item(const QString& service, const QString& account) const {
    const auto it = items_.constFind({service, account});
    if (it == items_.constEnd()) return std::nullopt;
    return *it;
}

void InMemorySecureStore::setItem(const QString& service, const QString& account, const QByteArray& data) {
    items_.insert({service, account}, data);
}

} // namespace quillo
