#pragma once

#include "Support/QuilloAuthSession.h"

#include <QObject>
#include <QString>
#include <optional>

#include <qcoro/qcorotask.h>

namespace quillo {

// What the correction service and the cloud client need of the signed-in account; the auth
// service implements it.
class QuilloSessionProviding : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~QuilloSessionProviding() override = default;

    virtual std::optional<QuilloAuthSession> currentSession() const = 0;
    // "Bearer <access token>", refreshed first when it is about to expire; none when signed out.
    virtual QCoro::Task<std::optional<QString>> authorizationBearer() = 0;
    // Ends the session when the server refused `bearer` and it is still the current one.
    virtual void invalidateSessionIfUnauthorized(const QString& bearer) = 0;

signals:
    void sessionChanged(const std::optional<quillo::QuilloAuthSession>& session);
};

} // namespace quillo
