#pragma once

#include "Platform/SecureStore.h"

#include <QHash>
#include <QPair>
#include <optional>

namespace quillo {

// A secret store in memory. `setUnavailable(true)` makes every call answer `unavailable`,
// as when no secret service is running; `failWritesWith` makes writes fail with a status.
class InMemorySecureStore final : public SecureStore {
public:
    SecureStoreReadResult read(const QString& service, const QString& account) override;
    SecureStoreStatus write(const QString& service, const QString& account, const QByteArray& data) override;
    SecureStoreStatus remove(const QString& service, const QString& account) override;

    void setUnavailable(bool unavailable) { unavailable_ = unavailable; }
    void failWritesWith(std::optional<SecureStoreStatus> status) { writeFailure_ = status; }

    // Direct access for tests, bypassing the knobs.
    std::optional<QByteArray> item(const QString& service, const QString& account) const;
    void setItem(const QString& service, const QString& account, const QByteArray& data);
    int itemCount() const { return static_cast<int>(items_.size()); }
    int writeCount() const { return writes_; }
    int removeCount() const { return removes_; }

private:
    using Key = QPair<QString, QString>;
    QHash<Key, QByteArray> items_;
    bool unavailable_ = false;
    std::optional<SecureStoreStatus> writeFailure_;
    int writes_ = 0;
    int removes_ = 0;
};

} // namespace quillo
