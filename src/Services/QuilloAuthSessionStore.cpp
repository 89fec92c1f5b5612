#include "Services/QuilloAuthSessionStore.h"

#include "Platform/UserDefaults.h"
#include "Support/Logging.h"
#include "Support/QuilloAppEnvironment.h"

namespace quillo::QuilloAuthSessionStore {

namespace {

QuilloAuthSessionStoreError errorFor(SecureStoreStatus status) {
    return status == SecureStoreStatus::unavailable ? QuilloAuthSessionStoreError::secureStoreUnavailable
                                                    : QuilloAuthSessionStoreError::secureStoreRefused;
}

// Earlier builds kept the JSON as data; a text value is read too.
std::optional<QByteArray> legacyData(const UserDefaults& defaults) {
    if (auto data = defaults.data(legacyDefaultsKey)) return data;
    if (auto text = defaults.string(legacyDefaultsKey)) return text->toUtf8();
    return std::nullopt;
}

} // namespace

QString serviceName(const QuilloInfoDictionary& info) {
    return QuilloAppEnvironment::string(info, QuilloBundleInfo::bundleIdentifierKey).value_or(fallbackService);
}

const QString& serviceName() {
    static const QString service = serviceName(QuilloBundleInfo::main());
    return service;
}

std::optional<QuilloAuthSessionStoreError> writeSessionData(SecureStore& store, const QByteArray& data) {
    const SecureStoreStatus status = store.write(serviceName(), account, data);
    if (status == SecureStoreStatus::success) return std::nullopt;
    qCWarning(lcAuth, "Session could not be saved to the secure store: %s", qPrintable(secureStoreStatusName(status)));
    return errorFor(status);
}

bool storeSessionData(SecureStore& store, const QByteArray& data) { return !writeSessionData(store, data); }

QuilloAuthSessionLoadResult restoreSession(SecureStore& store, UserDefaults& defaults) {
    QuilloAuthSessionLoadResult result;
    const SecureStoreReadResult item = store.read(serviceName(), account);
    if (item.ok()) {
        // A corrupt item reads as signed out; it stays until the next save overwrites it or the
        // next sign-out deletes it.
        result.session = QuilloAuthSession::fromJson(item.data);
        if (!result.session) qCWarning(lcAuth, "Stored session could not be decoded; signed out");
        return result;
    }
    if (item.status != SecureStoreStatus::itemNotFound) {
        result.error = errorFor(item.status);
        qCWarning(lcAuth, "Secure store read failed: %s", qPrintable(secureStoreStatusName(item.status)));
    }

    if (const auto legacy = legacyData(defaults)) {
        if (auto session = QuilloAuthSession::fromJson(*legacy)) {
            if (const auto error = writeSessionData(store, *legacy)) {
                result.error = error;
            } else {
                result.session = std::move(session);
                result.error.reset();
                qCInfo(lcAuth, "Session moved from the user defaults to the secure store");
            }
        }
    }
    if (defaults.contains(legacyDefaultsKey)) defaults.remove(legacyDefaultsKey);
    return result;
}

std::optional<QuilloAuthSession> loadSession(SecureStore& store, UserDefaults& defaults) {
    return restoreSession(store, defaults).session;
}

void clearStoredSession(SecureStore& store, UserDefaults& defaults) {
    const SecureStoreStatus status = store.remove(serviceName(), account);
    if (status != SecureStoreStatus::success && status != SecureStoreStatus::itemNotFound) {
        qCWarning(lcAuth, "Stored session could not be deleted: %s", qPrintable(secureStoreStatusName(status)));
    }
    if (defaults.contains(legacyDefaultsKey)) defaults.remove(legacyDefaultsKey);
}

} // namespace quillo::QuilloAuthSessionStore
