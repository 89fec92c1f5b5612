#include "Platform/Linux/KeychainSecureStore.h"

#include "Support/Clock.h"
#include "Support/Logging.h"

#include <functional>

#include <QEventLoop>
#include <qt6keychain/keychain.h>

namespace quillo {

namespace {

bool mentionsMissingService(const QString& message) {
    // libsecret reports an absent or unreachable secret service as a generic error whose text
    // names D-Bus or the secrets service.
    static const char* const markers[] = {"D-Bus",      "DBus",           "dbus",           "org.freedesktop.secrets",
                                          "autolaunch", "ServiceUnknown", "Secret Service", "secret service"};
    for (const char* marker : markers) {
        if (message.contains(QLatin1String(marker))) return true;
    }
    return false;
}

SecureStoreStatus statusOf(const QKeychain::Job& job) {
    switch (job.error()) {
    case QKeychain::NoError: return SecureStoreStatus::success;
    case QKeychain::EntryNotFound: return SecureStoreStatus::itemNotFound;
    case QKeychain::AccessDeniedByUser:
    case QKeychain::AccessDenied: return SecureStoreStatus::denied;
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented: return SecureStoreStatus::unavailable;
    case QKeychain::CouldNotDeleteEntry: return SecureStoreStatus::failed;
    case QKeychain::OtherError:
        return mentionsMissingService(job.errorString()) ? SecureStoreStatus::unavailable : SecureStoreStatus::failed;
    }
    return SecureStoreStatus::failed;
}

// Starts the job and waits for its answer in a local event loop, at most `timeoutSeconds` on
// the clock. A job that does not answer in time counts as an unreachable store; it is left
// running and deletes itself whenever it finishes, since the backend still refers to it.
SecureStoreStatus run(QKeychain::Job* job, const QString& account, const char* operation, Clock& clock,
                      double timeoutSeconds, const std::function<void(QKeychain::Job&)>& onFinished = {}) {
    job->setAutoDelete(false);
    job->setInsecureFallback(false);
    job->setKey(account);
    QEventLoop loop;
    bool done = false;
    SecureStoreStatus status = SecureStoreStatus::unavailable;
    QString errorText;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job* finished) {
        done = true;
        status = statusOf(*finished);
        errorText = finished->errorString();
        if (onFinished) onFinished(*finished);
        loop.quit();
    });
    const Clock::TimerId timer = clock.schedule(timeoutSeconds, [&loop] { loop.quit(); });
    job->start();
    if (!done) loop.exec(QEventLoop::ExcludeUserInputEvents);
    clock.cancelScheduled(timer);
    if (done) {
        delete job;
    } else {
        QObject::disconnect(job, nullptr, &loop, nullptr);
        QObject::connect(job, &QKeychain::Job::finished, job, &QObject::deleteLater);
        qCWarning(lcAuth, "Secure store %s did not answer in time", operation);
        return SecureStoreStatus::unavailable;
    }
    if (status != SecureStoreStatus::success && status != SecureStoreStatus::itemNotFound) {
        // The error text comes from the secret service and holds no secret.
        qCWarning(lcAuth, "Secure store %s failed: %s (%s)", operation, qPrintable(secureStoreStatusName(status)),
                  qPrintable(errorText));
    }
    return status;
}

} // namespace

KeychainSecureStore::KeychainSecureStore(double timeoutSeconds)
    : clock_(&Clock::shared()), timeoutSeconds_(timeoutSeconds) {}

KeychainSecureStore::KeychainSecureStore(Clock& clock, double timeoutSeconds)
    : clock_(&clock), timeoutSeconds_(timeoutSeconds) {}

SecureStoreReadResult KeychainSecureStore::read(const QString& service, const QString& account) {
    QByteArray data;
    const SecureStoreStatus status =
        run(new QKeychain::ReadPasswordJob(service), account, "read", *clock_, timeoutSeconds_,
            [&data](QKeychain::Job& job) { data = static_cast<QKeychain::ReadPasswordJob&>(job).binaryData(); });
    if (status != SecureStoreStatus::success) return {status, {}};
    return {status, data};
}

SecureStoreStatus KeychainSecureStore::write(const QString& service, const QString& account, const QByteArray& data) {
    auto* job = new QKeychain::WritePasswordJob(service);
    job->setBinaryData(data);
    return run(job, account, "write", *clock_, timeoutSeconds_);
}

SecureStoreStatus KeychainSecureStore::remove(const QString& service, const QString& account) {
    const SecureStoreStatus status =
        run(new QKeychain::DeletePasswordJob(service), account, "delete", *clock_, timeoutSeconds_);
    return status == SecureStoreStatus::itemNotFound ? SecureStoreStatus::success : status;
}

} // namespace quillo
