#include "Platform/Fake/InMemorySecureStore.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Services/QuilloAuthSessionStore.h"
#include "Support/QuilloAuthSession.h"
#include "Support/SessionIdentity.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace quillo;

namespace {

QString base64Url(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QString token(const QByteArray& payloadJson, const QString& signature = "sig") {
    return "eyJhbGciOiJIUzI1NiJ9." + base64Url(payloadJson) + "." + signature;
}

QString tokenWithSession(const QString& sessionId, const QString& extra = {}) {
    return token(QByteArray("{\"sub\":\"u1\",\"session_id\":\"") + sessionId.toUtf8() + "\"" + extra.toUtf8() + "}");
}

QuilloAuthSession sampleSession() {
    QuilloAuthSession session;
    session.accessToken = tokenWithSession("0d4f6a0e-2c2b-4a38-9a6c-0a1c9d2e3f40");
    session.refreshToken = "refresh-1";
    session.expiresAt = 1767225600.5;
    session.userId = "user-1";
    session.userEmail = "person@example.com";
    session.signInProvider = "google";
    return session;
}

const QString kService = QuilloAuthSessionStore::serviceName();
const QString kAccount = "quilloSupabaseAuthSession";

} // namespace

TEST(QuilloAuthSession, JsonUsesFieldNamesAndOmitsAbsentOptionals) {
    const QuilloAuthSession full = sampleSession();
    const QJsonObject object = QJsonDocument::fromJson(full.toJson()).object();
    EXPECT_EQ(object.keys(),
              (QStringList{"accessToken", "expiresAt", "refreshToken", "signInProvider", "userEmail", "userId"}));
    EXPECT_EQ(QuilloAuthSession::fromJson(full.toJson()), full);
    EXPECT_TRUE(full.isGoogleSession());

    QuilloAuthSession minimal{"tok", std::nullopt, std::nullopt, "u", "e@example.com", std::nullopt};
    EXPECT_EQ(QJsonDocument::fromJson(minimal.toJson()).object().keys(),
              (QStringList{"accessToken", "userEmail", "userId"}));
    EXPECT_EQ(QuilloAuthSession::fromJson(minimal.toJson()), minimal);
    EXPECT_NE(minimal, full);
}

TEST(QuilloAuthSession, DecodingRequiresTheThreeTextFieldsAndAcceptsNullOptionals) {
    EXPECT_TRUE(QuilloAuthSession::fromJson(
        R"({"accessToken":"a","userId":"u","userEmail":"e","refreshToken":null,"expiresAt":null,"signInProvider":null})"));
    EXPECT_FALSE(QuilloAuthSession::fromJson(R"({"accessToken":"a","userId":"u"})"));
    EXPECT_FALSE(QuilloAuthSession::fromJson(R"({"accessToken":"a","userId":7,"userEmail":"e"})"));
    EXPECT_FALSE(QuilloAuthSession::fromJson(R"({"accessToken":"a","userId":"u","userEmail":"e","expiresAt":"soon"})"));
    EXPECT_FALSE(QuilloAuthSession::fromJson("[1,2]"));
    EXPECT_FALSE(QuilloAuthSession::fromJson("garbage"));
    const auto withExtra = QuilloAuthSession::fromJson(R"({"accessToken":"a","userId":"u","userEmail":"e","x":1})");
    ASSERT_TRUE(withExtra);
    EXPECT_EQ(withExtra->accessToken, "a");
}

TEST(AccessTokenSessionIdentity, ReadsTheSessionClaimOfAThreePieceToken) {
    EXPECT_EQ(AccessTokenSessionIdentity::sessionID(tokenWithSession("0D4F6A0E-2C2B-4A38-9A6C-0A1C9D2E3F40")),
              "0d4f6a0e-2c2b-4a38-9a6c-0a1c9d2e3f40");
    EXPECT_EQ(AccessTokenSessionIdentity::sessionID(token("{\"session_id\":\"abc\"}")), std::nullopt);
    EXPECT_EQ(AccessTokenSessionIdentity::sessionID(token("{\"session_id\":42}")), std::nullopt);
    EXPECT_EQ(AccessTokenSessionIdentity::sessionID(token("{\"sub\":\"u\"}")), std::nullopt);
    EXPECT_EQ(AccessTokenSessionIdentity::sessionID(token("[\"session_id\"]")), std::nullopt);
    EXPECT_EQ(AccessTokenSessionIdentity::sessionID(token("not json")), std::nullopt);
    EXPECT_EQ(AccessTokenSessionIdentity::sessionID("a.!!!!.c"), std::nullopt);

    const QString good = tokenWithSession("0d4f6a0e-2c2b-4a38-9a6c-0a1c9d2e3f40");
    const QStringList pieces = good.split('.');
    EXPECT_EQ(AccessTokenSessionIdentity::sessionID(pieces[0] + "." + pieces[1]), std::nullopt);
    EXPECT_EQ(AccessTokenSessionIdentity::sessionID(good + ".more"), std::nullopt);
    // Empty header and signature pieces still make three pieces.
    EXPECT_TRUE(AccessTokenSessionIdentity::sessionID("." + pieces[1] + "."));
}

TEST(AccessTokenSessionIdentity, PadsThePayloadToAMultipleOfFour) {
    // Pick a payload whose URL-safe encoding has length 2 mod 4 and uses "-" or "_".
    QByteArray payload;
    QString encoded;
    for (int extra = 0; extra < 64; ++extra) {
        payload = "{\"session_id\":\"0d4f6a0e-2c2b-4a38-9a6c-0a1c9d2e3f40\",\"p\":\"" + QByteArray(extra, '?') + "\"}";
        encoded = base64Url(payload);
        if (encoded.size() % 4 == 2 && (encoded.contains('-') || encoded.contains('_'))) break;
    }
    ASSERT_EQ(encoded.size() % 4, 2);
    EXPECT_EQ(AccessTokenSessionIdentity::sessionID("h." + encoded + ".s"), "0d4f6a0e-2c2b-4a38-9a6c-0a1c9d2e3f40");
}

TEST(AuthenticatedSessionOwner, MatchesTheSameSessionAcrossRefreshes) {
    const QuilloAuthSession session = sampleSession();
    const auto owner = AuthenticatedSessionOwner::from(session);
    EXPECT_EQ(owner.userID, "user-1");
    EXPECT_EQ(owner.sessionID, "0d4f6a0e-2c2b-4a38-9a6c-0a1c9d2e3f40");

    const QString refreshed = tokenWithSession("0d4f6a0e-2c2b-4a38-9a6c-0a1c9d2e3f40", ",\"iat\":2");
    EXPECT_NE(refreshed, session.accessToken);
    EXPECT_TRUE(owner.matches(QString("user-1"), session.accessToken));
    EXPECT_TRUE(owner.matches(QString("user-1"), refreshed));
    EXPECT_FALSE(owner.matches(QString("user-1"), tokenWithSession("11111111-2222-4333-8444-555555555555")));
    EXPECT_FALSE(owner.matches(QString("user-1"), QString("opaque")));
    EXPECT_FALSE(owner.matches(QString("user-2"), session.accessToken));
    EXPECT_FALSE(owner.matches(std::nullopt, session.accessToken));
    EXPECT_FALSE(owner.matches(QString("user-1"), std::nullopt));
}

TEST(AuthenticatedSessionOwner, WithoutSessionIdentifierOnlyTheSameTokenMatches) {
    QuilloAuthSession session = sampleSession();
    session.accessToken = "opaque-token";
    const auto owner = AuthenticatedSessionOwner::from(session);
    EXPECT_EQ(owner.sessionID, std::nullopt);
    EXPECT_TRUE(owner.matches(QString("user-1"), QString("opaque-token")));
    EXPECT_FALSE(owner.matches(QString("user-1"), QString("opaque-token-2")));
    EXPECT_FALSE(owner.matches(QString("user-1"), tokenWithSession("0d4f6a0e-2c2b-4a38-9a6c-0a1c9d2e3f40")));
}

TEST(SessionInvalidationPolicy, OnlyNamedSessionFailuresOf401Invalidate) {
    EXPECT_TRUE(SessionInvalidationPolicy::shouldInvalidateSession(401, QString("session_invalid")));
    EXPECT_TRUE(SessionInvalidationPolicy::shouldInvalidateSession(401, QString("session_required")));
    EXPECT_FALSE(SessionInvalidationPolicy::shouldInvalidateSession(401, std::nullopt));
    EXPECT_FALSE(SessionInvalidationPolicy::shouldInvalidateSession(401, QString("invalid_credentials")));
    EXPECT_FALSE(SessionInvalidationPolicy::shouldInvalidateSession(403, QString("session_invalid")));
    EXPECT_FALSE(SessionInvalidationPolicy::shouldInvalidateSession(500, QString("session_required")));
}

TEST(SessionInvalidationPolicy, BearerMatchingToleratesCaseAndSpacing) {
    const std::optional<QString> current = QString("tok.en.value");
    EXPECT_TRUE(SessionInvalidationPolicy::authorizationMatchesAccessToken("Bearer tok.en.value", current));
    EXPECT_TRUE(SessionInvalidationPolicy::authorizationMatchesAccessToken("bEaReR tok.en.value", current));
    EXPECT_TRUE(SessionInvalidationPolicy::authorizationMatchesAccessToken("BEARER    tok.en.value", current));
    EXPECT_TRUE(SessionInvalidationPolicy::authorizationMatchesAccessToken("  Bearer\ttok.en.value", current));
    EXPECT_FALSE(SessionInvalidationPolicy::authorizationMatchesAccessToken("Basic tok.en.value", current));
    EXPECT_FALSE(SessionInvalidationPolicy::authorizationMatchesAccessToken("Bearer", current));
    EXPECT_FALSE(SessionInvalidationPolicy::authorizationMatchesAccessToken("Bearer ", current));
    EXPECT_FALSE(SessionInvalidationPolicy::authorizationMatchesAccessToken("Bearer tok.en.value extra", current));
    EXPECT_FALSE(SessionInvalidationPolicy::authorizationMatchesAccessToken("Bearer other", current));
    EXPECT_FALSE(SessionInvalidationPolicy::authorizationMatchesAccessToken("", current));
    EXPECT_FALSE(SessionInvalidationPolicy::authorizationMatchesAccessToken("Bearer ", QString("")));
    EXPECT_FALSE(SessionInvalidationPolicy::authorizationMatchesAccessToken("Bearer x", std::nullopt));
}

TEST(QuilloAuthSessionStore, ServiceIsTheBundleIdentifierOrTheFallback) {
    EXPECT_EQ(QuilloAuthSessionStore::serviceName(QuilloInfoDictionary{}), "app.quillo.session");
    QuilloInfoDictionary info;
    info.insert("CFBundleIdentifier", "com.quillo.app");
    EXPECT_EQ(QuilloAuthSessionStore::serviceName(info), "com.quillo.app");
    EXPECT_EQ(QuilloAuthSessionStore::serviceName(), QuilloAuthSessionStore::serviceName(QuilloBundleInfo::main()));
}

TEST(QuilloAuthSessionStore, SavesLoadsAndClearsTheSession) {
    InMemorySecureStore store;
    InMemoryUserDefaults defaults;
    EXPECT_EQ(QuilloAuthSessionStore::loadSession(store, defaults), std::nullopt);

    const QuilloAuthSession session = sampleSession();
    EXPECT_TRUE(QuilloAuthSessionStore::storeSessionData(store, session.toJson()));
    EXPECT_EQ(store.item(kService, kAccount), session.toJson());
    EXPECT_EQ(QuilloAuthSessionStore::loadSession(store, defaults), session);

    QuilloAuthSession changed = session;
    changed.refreshToken = "refresh-2";
    EXPECT_TRUE(QuilloAuthSessionStore::storeSessionData(store, changed.toJson()));
    EXPECT_EQ(QuilloAuthSessionStore::loadSession(store, defaults), changed);
    EXPECT_EQ(store.itemCount(), 1);
    EXPECT_TRUE(defaults.keys().isEmpty());

    defaults.setData("quilloSupabaseAuthSession", session.toJson());
    QuilloAuthSessionStore::clearStoredSession(store, defaults);
    EXPECT_EQ(store.itemCount(), 0);
    EXPECT_FALSE(defaults.contains("quilloSupabaseAuthSession"));
    // Clearing again is harmless.
    QuilloAuthSessionStore::clearStoredSession(store, defaults);
    EXPECT_EQ(QuilloAuthSessionStore::loadSession(store, defaults), std::nullopt);
}

TEST(QuilloAuthSessionStore, MovesALegacySessionIntoTheSecureStore) {
    InMemorySecureStore store;
    InMemoryUserDefaults defaults;
    const QuilloAuthSession session = sampleSession();
    defaults.setData("quilloSupabaseAuthSession", session.toJson());

    const auto result = QuilloAuthSessionStore::restoreSession(store, defaults);
    EXPECT_EQ(result.session, session);
    EXPECT_EQ(result.error, std::nullopt);
    EXPECT_EQ(store.item(kService, kAccount), session.toJson());
    EXPECT_FALSE(defaults.contains("quilloSupabaseAuthSession"));

    // A legacy value kept as text is moved too.
    InMemorySecureStore store2;
    InMemoryUserDefaults defaults2;
    defaults2.setString("quilloSupabaseAuthSession", QString::fromUtf8(session.toJson()));
    EXPECT_EQ(QuilloAuthSessionStore::loadSession(store2, defaults2), session);
    EXPECT_FALSE(defaults2.contains("quilloSupabaseAuthSession"));
}

TEST(QuilloAuthSessionStore, LegacyValueIsIgnoredWhenTheItemExistsAndDroppedWhenUndecodable) {
    InMemorySecureStore store;
    InMemoryUserDefaults defaults;
    const QuilloAuthSession current = sampleSession();
    QuilloAuthSession old = current;
    old.userId = "old-user";
    store.setItem(kService, kAccount, current.toJson());
    defaults.setData("quilloSupabaseAuthSession", old.toJson());
    EXPECT_EQ(QuilloAuthSessionStore::loadSession(store, defaults), current);
    EXPECT_EQ(store.item(kService, kAccount), current.toJson());

    InMemorySecureStore empty;
    InMemoryUserDefaults broken;
    broken.setData("quilloSupabaseAuthSession", "{not json");
    EXPECT_EQ(QuilloAuthSessionStore::loadSession(empty, broken), std::nullopt);
    EXPECT_FALSE(broken.contains("quilloSupabaseAuthSession"));
    EXPECT_EQ(empty.itemCount(), 0);
}

TEST(QuilloAuthSessionStore, CorruptItemReadsAsSignedOutAndIsReplacedByTheNextSave) {
    InMemorySecureStore store;
    InMemoryUserDefaults defaults;
    store.setItem(kService, kAccount, "\x01garbage");
    defaults.setData("quilloSupabaseAuthSession", sampleSession().toJson());

    const auto result = QuilloAuthSessionStore::restoreSession(store, defaults);
    EXPECT_EQ(result.session, std::nullopt);
    EXPECT_EQ(result.error, std::nullopt);
    // The legacy value is not consulted when an item exists.
    EXPECT_TRUE(defaults.contains("quilloSupabaseAuthSession"));

    EXPECT_TRUE(QuilloAuthSessionStore::storeSessionData(store, sampleSession().toJson()));
    EXPECT_EQ(QuilloAuthSessionStore::loadSession(store, defaults), sampleSession());
    QuilloAuthSessionStore::clearStoredSession(store, defaults);
    EXPECT_EQ(store.itemCount(), 0);
}

TEST(QuilloAuthSessionStore, UnavailableSecureStoreReportsAndWritesNothingElsewhere) {
    InMemorySecureStore store;
    store.setUnavailable(true);
    InMemoryUserDefaults defaults;

    EXPECT_EQ(QuilloAuthSessionStore::writeSessionData(store, sampleSession().toJson()),
              QuilloAuthSessionStoreError::secureStoreUnavailable);
    EXPECT_FALSE(QuilloAuthSessionStore::storeSessionData(store, sampleSession().toJson()));
    EXPECT_TRUE(defaults.keys().isEmpty());

    const auto nothing = QuilloAuthSessionStore::restoreSession(store, defaults);
    EXPECT_EQ(nothing.session, std::nullopt);
    EXPECT_EQ(nothing.error, QuilloAuthSessionStoreError::secureStoreUnavailable);

    // A legacy session cannot be moved: it is dropped, never kept in the defaults.
    defaults.setData("quilloSupabaseAuthSession", sampleSession().toJson());
    const auto legacy = QuilloAuthSessionStore::restoreSession(store, defaults);
    EXPECT_EQ(legacy.session, std::nullopt);
    EXPECT_EQ(legacy.error, QuilloAuthSessionStoreError::secureStoreUnavailable);
    EXPECT_TRUE(defaults.keys().isEmpty());
    EXPECT_EQ(store.itemCount(), 0);

    QuilloAuthSessionStore::clearStoredSession(store, defaults);
    EXPECT_TRUE(defaults.keys().isEmpty());
}

TEST(QuilloAuthSessionStore, RefusedWriteOfAMigratedSessionDropsIt) {
    InMemorySecureStore store;
    store.failWritesWith(SecureStoreStatus::denied);
    InMemoryUserDefaults defaults;
    defaults.setData("quilloSupabaseAuthSession", sampleSession().toJson());
    const auto result = QuilloAuthSessionStore::restoreSession(store, defaults);
    EXPECT_EQ(result.session, std::nullopt);
    EXPECT_EQ(result.error, QuilloAuthSessionStoreError::secureStoreRefused);
    EXPECT_FALSE(defaults.contains("quilloSupabaseAuthSession"));
    EXPECT_EQ(store.itemCount(), 0);
}
