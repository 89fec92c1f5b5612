#pragma once

#include <QByteArray>
#include <QString>

namespace quillo {

enum class SecureStoreStatus {
    success,
    itemNotFound,
    unavailable, // no secret service reachable (none running, no session bus, locked out)
    denied,      // the user or the service refused access
    failed,      // any other failure
};

QString secureStoreStatusName(SecureStoreStatus status);

struct SecureStoreReadResult {
    SecureStoreStatus status = SecureStoreStatus::itemNotFound;
    QByteArray data; // meaningful only on success
    bool ok() const { return status == SecureStoreStatus::success; }
};

// Generic-password items of the desktop's secret store, addressed by service and account.
// Calls are synchronous: they return once the secret service has answered. Implementations
// never fall back to storing a secret anywhere else.
class SecureStore {
public:
    virtual ~SecureStore() = default;

    virtual SecureStoreReadResult read(const QString& service, const QString& account) = 0;
    // Replaces the item's data, creating the item when it does not exist.
    virtual SecureStoreStatus write(const QString& service, const QString& account, const QByteArray& data) = 0;
    // Deleting a missing item succeeds.
    virtual SecureStoreStatus remove(const QString& service, const QString& account) = 0;
};

} // namespace quillo
