#pragma once

#include <QObject>
#include <QString>
#include <optional>

namespace quillo {

// What the shell reads of the cloud and account services: configuration, sign-in, balance and
// the last error, and the one thing it asks of them (synchronise balance and health).
class AppCloudState : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~AppCloudState() override = default;

    virtual bool isConfigured() const = 0;
    virtual bool isSignedIn() const = 0;
    virtual std::optional<double> availableCredits() const = 0;
    virtual std::optional<QString> errorMessage() const = 0;
    virtual bool isRefreshing() const = 0;
    virtual void synchronize(bool force) = 0;

signals:
    void changed();
    void signedInChanged();
};

} // namespace quillo
