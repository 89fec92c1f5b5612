#include "Platform/Linux/KeychainSecureStore.h"

#include "Support/Logging.h"

#include <QEventLoop>
#include <qt6keychain/keychain.h>

namespace quillo {

namespace {

bool mentionsMissingService(const QString& message) {
    // libsecret reports an absent or unreachable secret service as a generic error whose text
    // names D-Bus or the secrets service.
    static const char* const markers[] = {"D-Bus", "DBus", "dbus", "org.freedesktop.secrets", "autolaunch",
                                          "ServiceUnknown", "Secret Service", "secret service"};
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

// Starts the job and waits for its answer without blocking the event loop's other sources.
SecureStoreStatus run(QKeychain::Job& job, const QString& account, const char* operation) {
    job.setAutoDelete(false);
    job.setInsecureFallback(false);
    job.setKey(account);
    QEventLoop loop;
    bool done = false;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
        done = true;
        loop.quit();
    });
    job.start();
    if (!done) loop.exec(QEventLoop::ExcludeUserInputEvents);
    const SecureStoreStatus status = statusOf(job);
    if (status != SecureStoreStatus::success && status != SecureStoreStatus::itemNotFound) {
        // The error text comes from the secret service and holds no secret.
        qCWarning(lcAuth, "Secure store %s failed: %s (%s)", operation, qPrintable(secureStoreStatusName(status)),
                  qPrintable(job.errorString()));
    }
    return status;
}

} // namespace

SecureStoreReadResult KeychainSecureStore::read(const QString& service, const QString& account) {
    QKeychain::ReadPasswordJob job(service);
    const SecureStoreStatus status = run(job, account, "read");
    if (status != SecureStoreStatus::success) return {status, {}};
    return {status, job.binaryData()};
}

SecureStoreStatus KeychainSecureStore::write(const QString& service, const QString& account, const QByteArray& data) {
    QKeychain::WritePasswordJob job(service);
    job.setBinaryData(data);
    return run(job, account, "write");
}

SecureStoreStatus KeychainSecureStore::remove(const QString& service, const QString& account) {
    QKeychain::DeletePasswordJob job(service);
    const SecureStoreStatus status = run(job, account, "delete");
    return status == SecureStoreStatus::itemNotFound ? SecureStoreStatus::success : status;
}

} // namespace quillo
