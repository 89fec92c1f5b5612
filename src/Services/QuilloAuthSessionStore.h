#pragma once

#include "Platform/SecureStore.h"
#include "Support/QuilloAuthSession.h"
#include "Support/QuilloBundleInfo.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace quillo {

class UserDefaults;

enum class QuilloAuthSessionStoreError {
    secureStoreUnavailable, // no secret service reachable
    secureStoreRefused,     // the secret service answered but did not keep the item
};

// What restoring the session found. `error` is set when the secure store could not be asked
// or refused the migrated session; the user is then signed out.
struct QuilloAuthSessionLoadResult {
    std::optional<QuilloAuthSession> session;
    std::optional<QuilloAuthSessionStoreError> error;
};

// The session's one secure store item (service = the bundle identifier, account
// "quilloSupabaseAuthSession"), and the one-time move of a session that earlier builds kept
// in the user defaults. The session is never written anywhere but the secure store.
namespace QuilloAuthSessionStore {

inline const QString account = QStringLiteral("quilloSupabaseAuthSession");
inline const QString legacyDefaultsKey = QStringLiteral("quilloSupabaseAuthSession");
inline const QString fallbackService = QStringLiteral("app.quillo.session");

// The item's service for an information table; the bundle identifier or "app.quillo.session".
QString serviceName(const QuilloInfoDictionary& info);
// The service of this build, computed once per process.
const QString& serviceName();

// Restores the session at start-up: the item, else a decodable legacy value moved into the
// item. The legacy key is removed in every case where it is consulted.
QuilloAuthSessionLoadResult restoreSession(SecureStore& store, UserDefaults& defaults);
std::optional<QuilloAuthSession> loadSession(SecureStore& store, UserDefaults& defaults);

// Writes the serialised session; nullopt on success.
std::optional<QuilloAuthSessionStoreError> writeSessionData(SecureStore& store, const QByteArray& data);
bool storeSessionData(SecureStore& store, const QByteArray& data);

// Deletes the item (a missing item is fine, other failures are only logged), then removes the
// legacy key.
void clearStoredSession(SecureStore& store, UserDefaults& defaults);

} // namespace QuilloAuthSessionStore

} // namespace quillo
