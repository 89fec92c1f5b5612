#include "Platform/AuthenticatorCodePrompt.h"
#include "Platform/Fake/FakeWebAuthenticationSession.h"
#include "Platform/Fake/InMemorySecureStore.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Services/QuilloAuthService.h"
#include "Services/QuilloAuthSessionStore.h"
#include "Services/QuilloOAuthPresenter.h"
#include "Services/ScriptedCloudHttpTransport.h"
#include "Support/QuilloAuthenticatorCode.h"
#include "Support/QuilloOAuthSupport.h"
#include "Support/QuilloReauthenticationProof.h"
#include "Support/TaskOutcome.h"
#include "Support/VirtualClock.h"

#include "QtTestPrinters.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <deque>
#include <gtest/gtest.h>

using namespace quillo;
using Step = ScriptedCloudHttpTransport::Step;
using Event = QuilloDiagnosticEvent;

namespace {

const QString kEndpoint = QStringLiteral("https://127.0.0.1:9/api/correct");
const QString kProof = QString(43, 'p');

QString jwt(const QString& sessionId, const QString& salt = "a") {
    const QByteArray payload =
        QJsonDocument(QJsonObject{{"session_id", sessionId}, {"salt", salt}}).toJson(QJsonDocument::Compact);
    return "h." +
           QString::fromLatin1(payload.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals)) + ".s";
}

const QString kSessionA = "0b7c4d1e-9a0f-4b8e-8f31-2a6d5c4b3a21";
const QString kSessionB = "5e0a1f3c-7d2b-4c6e-9b8a-1f2e3d4c5b6a";

QByteArray sessionBody(const QString& token, const QString& refresh = "refresh-2",
                       const QString& email = "person@example.com", std::optional<QString> provider = std::nullopt,
                       double expiresIn = 3600) {
    QJsonObject user{{"id", "user-1"}, {"email", email}};
    if (provider) user.insert("provider", *provider);
    return QJsonDocument(
               QJsonObject{{"accessToken", token}, {"refreshToken", refresh}, {"expiresIn", expiresIn}, {"user", user}})
        .toJson(QJsonDocument::Compact);
}

QByteArray errorBody(const QString& code) {
    return QJsonDocument(QJsonObject{{"error", code}}).toJson(QJsonDocument::Compact);
}

QJsonObject bodyOf(const ScriptedCloudHttpTransport::Sent& sent) {
    return QJsonDocument::fromJson(sent.request.body).object();
}
QString actionOf(const ScriptedCloudHttpTransport::Sent& sent) { return bodyOf(sent).value("action").toString(); }

class ScriptedCodePrompt final : public AuthenticatorCodePrompt {
public:
    std::deque<std::optional<QString>> entries;
    int asked = 0;
    int warned = 0;
    QCoro::Task<std::optional<QString>> askForCode() override {
        ++asked;
        std::optional<QString> entry;
        if (!entries.empty()) {
            entry = entries.front();
            entries.pop_front();
        }
        co_return entry;
    }
    QCoro::Task<> showInvalidCode() override {
        ++warned;
        co_return;
    }
};

} // namespace

class QuilloAuthServiceTest : public ::testing::Test {
protected:
    VirtualClock clock;
    ScopedSharedClock sharedClock{clock};
    ScriptedCloudHttpTransport transport{clock};
    InMemorySecureStore store;
    InMemoryUserDefaults defaults;
    FakeWebAuthenticationSession web;
    QuilloOAuthPresenter presenter{web, clock};
    ScriptedCodePrompt prompt;
    std::vector<Event> events;
    std::unique_ptr<QuilloAuthService> service;

    void SetUp() override { makeService(); }

    void makeService() {
        QuilloAuthService::Options options;
        options.endpoint = kEndpoint;
        options.clock = &clock;
        options.recordEvent = [this](Event e, std::optional<QUuid>) { events.push_back(e); };
        options.presenter = &presenter;
        options.codePrompt = &prompt;
        service = std::make_unique<QuilloAuthService>(transport, store, defaults, options);
    }

    double now() const { return clock.now().toMSecsSinceEpoch() / 1000.0; }

    // A stored, signed-in session that expires `expiresIn` seconds from now.
    QuilloAuthSession signedIn(double expiresIn = 3600, std::optional<QString> provider = std::nullopt,
                               const QString& token = jwt(kSessionA)) {
        QuilloAuthSession session{token,    QString("refresh-1"), now() + expiresIn,
                                  "user-1", "person@example.com", provider};
        store.setItem(QuilloAuthSessionStore::serviceName(), QuilloAuthSessionStore::account, session.toJson());
        makeService();
        return session;
    }

    template <typename T> void drive(const std::shared_ptr<TaskOutcome<T>>& outcome, double limit = 1000.0) {
        const double end = clock.uptimeSeconds() + limit;
        while (!outcome->finished && clock.uptimeSeconds() < end && clock.advanceToNextTimer()) {}
        ASSERT_TRUE(outcome->finished);
    }

    template <typename T> T run(QCoro::Task<T>&& task) {
        auto outcome = observe(std::move(task));
        drive(outcome);
        outcome->rethrowIfFailed();
        return *outcome->value;
    }
    void runVoid(QCoro::Task<>&& task) {
        auto outcome = observe(std::move(task));
        drive(outcome);
    }

    std::vector<QString> actions() const {
        std::vector<QString> list;
        for (const auto& sent : transport.sent()) list.push_back(actionOf(sent));
        return list;
    }
    bool stored() const {
        return store.item(QuilloAuthSessionStore::serviceName(), QuilloAuthSessionStore::account).has_value();
    }
};

TEST_F(QuilloAuthServiceTest, SignInSendsTheInstallationAndPersistsTheSession) {
    defaults.setData(QuilloAuthSessionStore::legacyDefaultsKey, "{}");
    transport.enqueue(Step::json(200, sessionBody(jwt(kSessionA)), {}, 0.5));
    EXPECT_TRUE(run(service->signIn(" Person@Example.com", "pass word")));

    ASSERT_EQ(transport.sent().size(), 1u);
    const auto& sent = transport.sent().front();
    EXPECT_EQ(sent.request.url, QUrl("https://127.0.0.1:9/api/auth"));
    EXPECT_EQ(sent.request.timeoutSeconds, 15.0);
    EXPECT_EQ(sent.request.header("Content-Type"), QByteArray("application/json"));
    EXPECT_FALSE(sent.request.header("Authorization"));
    const QJsonObject body = bodyOf(sent);
    EXPECT_EQ(body.value("email").toString(), " Person@Example.com"); // sent as typed
    EXPECT_EQ(body.value("password").toString(), "pass word");
    EXPECT_EQ(body.value("installationId").toString(), defaults.string("quilloInstallationID").value_or("?"));
    EXPECT_EQ(body.keys().size(), 4);

    ASSERT_TRUE(service->session());
    EXPECT_NEAR(service->session()->expiresAt.value_or(0), now() + 3600, 0.01); // from the time of the answer
    EXPECT_TRUE(stored());
    EXPECT_FALSE(defaults.contains(QuilloAuthSessionStore::legacyDefaultsKey));
    EXPECT_EQ(events, std::vector<Event>{Event::sessionSignedIn});
    EXPECT_FALSE(service->isLoading());

    makeService(); // a restart restores it
    EXPECT_EQ(service->displayEmail(), "person@example.com");
}

TEST_F(QuilloAuthServiceTest, SignInOutcomesThatDoNotSignIn) {
    transport.enqueue(Step::json(401, errorBody("invalid_credentials")));
    EXPECT_FALSE(run(service->signIn("a@example.com", "wrong")));
    EXPECT_EQ(service->authError(),
              "The email or password is incorrect. If you signed up with Google, choose Continue with Google.");
    EXPECT_EQ(events, std::vector<Event>{Event::sessionSignInFailed});

    // Tokens without the user's e-mail address are incomplete.
    transport.enqueue(Step::json(200, R"({"accessToken":"t","user":{"id":"u"}})"));
    EXPECT_FALSE(run(service->signIn("a@example.com", "p")));
    EXPECT_EQ(service->authError(), "Quillo received an incomplete sign-in response. Try again.");
    EXPECT_FALSE(service->session());

    transport.enqueue(Step::json(200, R"({"emailConfirmationRequired":true})"));
    EXPECT_FALSE(run(service->signUp("a@example.com", "p")));
    EXPECT_EQ(service->authNotice(), "Check your email to confirm your account, then sign in.");
    EXPECT_FALSE(service->authError());

    transport.enqueue(Step::json(200, "[]"));
    EXPECT_FALSE(run(service->signUp("a@example.com", "p")));
    EXPECT_EQ(service->authError(), "Quillo received an unreadable sign-in response. Try again.");

    transport.enqueue(Step::failure(NetworkErrorCode::notConnectedToInternet));
    EXPECT_FALSE(run(service->signUp("a@example.com", "p")));
    EXPECT_EQ(service->authError(), "Check your internet connection, then try again.");

    store.failWritesWith(SecureStoreStatus::denied);
    transport.enqueue(Step::json(200, sessionBody(jwt(kSessionA))));
    EXPECT_FALSE(run(service->signIn("a@example.com", "p")));
    EXPECT_EQ(service->authError(),
              "Quillo could not securely save your session. Unlock your computer, then sign in again.");
    EXPECT_FALSE(service->session());
}

TEST_F(QuilloAuthServiceTest, SecondInteractiveOperationIsRefusedWhileOneRuns) {
    transport.enqueue(Step::json(200, sessionBody(jwt(kSessionA)), {}, 2.0));
    auto first = observe(service->signIn("a@example.com", "p"));
    EXPECT_TRUE(service->isLoading());
    EXPECT_FALSE(run(service->signIn("a@example.com", "p")));
    EXPECT_FALSE(run(service->requestPasswordReset("a@example.com")));
    drive(first);
    EXPECT_TRUE(*first->value);
    EXPECT_EQ(transport.sent().size(), 1u);
}

TEST_F(QuilloAuthServiceTest, SignInAnswerArrivingAfterSignOutChangesNothing) {
    transport.enqueue(Step::json(200, sessionBody(jwt(kSessionA)), {}, 5.0));
    auto signIn = observe(service->signIn("a@example.com", "p"));
    runVoid(service->signOut());
    EXPECT_FALSE(service->isLoading());
    transport.setHandler([](const CloudHttpRequest&) { return Step::json(200, "{}"); });
    drive(signIn);
    EXPECT_FALSE(*signIn->value);
    EXPECT_FALSE(service->session());
    EXPECT_FALSE(stored());
    EXPECT_FALSE(service->authError());
    EXPECT_EQ(events, std::vector<Event>{Event::sessionSignedOut});
    // The session the late answer created is revoked with its own token.
    ASSERT_EQ(actions(), (std::vector<QString>{"sign_in", "sign_out"}));
    EXPECT_EQ(transport.sent().back().request.header("Authorization"), ("Bearer " + jwt(kSessionA)).toUtf8());
}

TEST_F(QuilloAuthServiceTest, EmailActionsReportTheirNotices) {
    transport.enqueue(Step::json(200, "{}"));
    EXPECT_TRUE(run(service->requestPasswordReset("a@example.com")));
    EXPECT_EQ(service->authNotice(), "If an account exists for this address, a password reset email has been sent.");
    EXPECT_EQ(bodyOf(transport.sent().back()).keys(), (QStringList{"action", "email"}));
    transport.enqueue(Step::json(200, "{}"));
    EXPECT_TRUE(run(service->resendConfirmation("a@example.com")));
    EXPECT_EQ(service->authNotice(), "If this address has a pending account, a new confirmation email has been sent.");
    transport.enqueue(Step::json(418, "{}"));
    EXPECT_FALSE(run(service->resendConfirmation("a@example.com")));
    EXPECT_EQ(service->authError(), "Quillo could not send the email. Try again.");
    EXPECT_FALSE(service->authNotice());
    EXPECT_TRUE(events.empty());
}

TEST_F(QuilloAuthServiceTest, BearerIsRefreshedOnlyWithinNinetySecondsOfExpiry) {
    signedIn(120);
    EXPECT_EQ(run(service->authorizationBearer()), "Bearer " + jwt(kSessionA));
    EXPECT_TRUE(transport.sent().empty());

    signedIn(60);
    const QString renewed = jwt(kSessionA, "renewed");
    transport.enqueue(Step::json(200, sessionBody(renewed)));
    EXPECT_EQ(run(service->authorizationBearer()), "Bearer " + renewed);
    ASSERT_EQ(actions(), std::vector<QString>{"refresh"});
    EXPECT_EQ(bodyOf(transport.sent().back()).value("refreshToken").toString(), "refresh-1");
    EXPECT_FALSE(transport.sent().back().request.header("Authorization"));
    EXPECT_EQ(service->session()->refreshToken, "refresh-2");
}

TEST_F(QuilloAuthServiceTest, ConcurrentBearerRequestsShareOneRefresh) {
    signedIn(30);
    const QString renewed = jwt(kSessionA, "renewed");
    transport.enqueue(Step::json(200, sessionBody(renewed), {}, 1.0));
    auto first = observe(service->authorizationBearer());
    auto second = observe(service->authorizationBearer());
    drive(first);
    drive(second);
    EXPECT_EQ(transport.sent().size(), 1u);
    EXPECT_EQ(**first->value, "Bearer " + renewed);
    EXPECT_EQ(**second->value, "Bearer " + renewed);
    // The next one needs none.
    EXPECT_EQ(run(service->authorizationBearer()), "Bearer " + renewed);
    EXPECT_EQ(transport.sent().size(), 1u);
}

TEST_F(QuilloAuthServiceTest, RefreshRefusalEndsTheSessionAndNetworkFailureKeepsIt) {
    signedIn(30);
    transport.enqueue(Step::failure(NetworkErrorCode::notConnectedToInternet));
    EXPECT_EQ(run(service->authorizationBearer()), std::nullopt);
    EXPECT_TRUE(service->session());
    EXPECT_EQ(service->authError(), "Check your internet connection, then try again.");

    transport.enqueue(Step::json(401, errorBody("invalid_credentials")));
    EXPECT_EQ(run(service->authorizationBearer()), std::nullopt);
    EXPECT_FALSE(service->session());
    EXPECT_FALSE(stored());
    EXPECT_FALSE(service->authError());
    EXPECT_TRUE(events.empty());

    // Without a refresh token there is nothing to renew.
    QuilloAuthSession bare{jwt(kSessionA), std::nullopt, now() - 1, "user-1", "person@example.com", std::nullopt};
    store.setItem(QuilloAuthSessionStore::serviceName(), QuilloAuthSessionStore::account, bare.toJson());
    makeService();
    EXPECT_EQ(run(service->authorizationBearer()), std::nullopt);
    EXPECT_FALSE(service->session());
    EXPECT_EQ(events, std::vector<Event>{Event::sessionRefreshFailed});
}

TEST_F(QuilloAuthServiceTest, SessionEndedDuringRefreshDropsTheRefreshAnswer) {
    signedIn(30);
    transport.enqueue(Step::json(200, sessionBody(jwt(kSessionA, "renewed")), {}, 3.0));
    auto bearer = observe(service->authorizationBearer());
    // A session ended meanwhile stays ended.
    service->invalidateSessionIfUnauthorized("Bearer " + jwt(kSessionA));
    drive(bearer);
    EXPECT_EQ(*bearer->value, std::nullopt);
    EXPECT_FALSE(service->session());
    EXPECT_FALSE(stored());
}

TEST_F(QuilloAuthServiceTest, OnlyARefusalOfTheCurrentTokenEndsTheSession) {
    signedIn();
    EXPECT_FALSE(service->endSessionIfUnauthorized("Bearer older-token"));
    EXPECT_TRUE(service->session());
    EXPECT_TRUE(service->endSessionIfUnauthorized("bearer " + jwt(kSessionA)));
    EXPECT_FALSE(service->session());
    EXPECT_FALSE(stored());
}

TEST_F(QuilloAuthServiceTest, SignOutRevokesAndReportsAnUnconfirmedRevocation) {
    signedIn();
    transport.enqueue(Step::json(200, "{}"));
    runVoid(service->signOut());
    EXPECT_EQ(transport.sent().back().request.header("Authorization"), ("Bearer " + jwt(kSessionA)).toUtf8());
    EXPECT_FALSE(service->session());
    EXPECT_FALSE(service->authError());
    EXPECT_EQ(events, std::vector<Event>{Event::sessionSignedOut});

    signedIn();
    transport.enqueue(Step::failure(NetworkErrorCode::cannotConnectToHost));
    runVoid(service->signOut());
    EXPECT_FALSE(service->session());
    EXPECT_EQ(service->authError(), QuilloAuthService::signedOutUnconfirmed);

    signedIn();
    transport.enqueue(Step::json(401, errorBody("session_invalid")));
    runVoid(service->signOut());
    EXPECT_FALSE(service->session());
    EXPECT_FALSE(service->authError());

    // 204 is no success.
    signedIn();
    transport.enqueue(Step::answer(204));
    runVoid(service->signOut());
    EXPECT_EQ(service->authError(), QuilloAuthService::signedOutUnconfirmed);

    // A refresh that fails first: signed out here, unconfirmed there.
    signedIn(10);
    transport.enqueue(Step::failure(NetworkErrorCode::timedOut));
    runVoid(service->signOut());
    EXPECT_FALSE(service->session());
    EXPECT_EQ(service->authError(), QuilloAuthService::signedOutUnconfirmed);
    EXPECT_EQ(actions().back(), "refresh");
}

class GoogleSignInTest : public QuilloAuthServiceTest {
protected:
    QByteArray startBody(const QString& url) { return QJsonDocument(QJsonObject{{"oauthURL", url}}).toJson(); }
    std::shared_ptr<TaskOutcome<bool>> begin(const QString& url = "https://consent.invalid/oauth?request=r1") {
        transport.enqueue(Step::json(200, startBody(url)));
        return observe(service->signInWithGoogle());
    }
};

TEST_F(GoogleSignInTest, RoundTripBindsTheVerifierAndSavesTheGoogleSession) {
    auto flow = begin();
    ASSERT_TRUE(web.isShowing());
    EXPECT_EQ(web.shownURL, QUrl("https://consent.invalid/oauth?request=r1"));
    const QJsonObject start = bodyOf(transport.sent().front());
    EXPECT_EQ(start.value("action").toString(), "start_google_oauth");
    EXPECT_FALSE(start.value("installationId").toString().isEmpty());

    transport.enqueue(Step::json(200, sessionBody(jwt(kSessionA), "r", "g@example.com", QString("google"))));
    web.complete(QUrl("quillo://auth/callback?code=the-code"));
    drive(flow);
    EXPECT_TRUE(*flow->value);
    const QJsonObject complete = bodyOf(transport.sent().back());
    EXPECT_EQ(complete.value("authCode").toString(), "the-code");
    EXPECT_EQ(QuilloOAuthPKCE::challenge(complete.value("codeVerifier").toString()),
              start.value("codeChallenge").toString());
    EXPECT_EQ(complete.value("installationId"), start.value("installationId"));
    EXPECT_TRUE(service->isGoogleSession());
    EXPECT_EQ(events, std::vector<Event>{Event::sessionSignedIn});
}

TEST_F(GoogleSignInTest, CallbacksThatAreRefusedWithTheirSentences) {
    const QString invalid = "Google returned an invalid sign-in response. Close the browser and try again.";
    auto wrongState = begin("https://consent.invalid/oauth?request=r1&state=expected");
    web.complete(QUrl("quillo://auth/callback?code=c&state=forged"));
    drive(wrongState);
    EXPECT_FALSE(*wrongState->value);
    EXPECT_EQ(service->authError(), invalid);

    auto missingCode = begin();
    web.complete(QUrl("quillo://auth/callback?state=x"));
    drive(missingCode);
    EXPECT_EQ(service->authError(), invalid);

    auto rejected = begin();
    web.complete(QUrl("quillo://auth/callback?error=access_denied"));
    drive(rejected);
    EXPECT_EQ(service->authError(), "Google sign-in was not completed. Try again.");
    EXPECT_EQ(actions(), (std::vector<QString>{"start_google_oauth", "start_google_oauth", "start_google_oauth"}));
    EXPECT_EQ(events.size(), 3u);

    // A page address that is not https never opens.
    auto plain = begin("http://consent.invalid/oauth");
    drive(plain);
    EXPECT_EQ(service->authError(),
              "Quillo could not open secure Google sign-in. Check your default browser and try again.");
    EXPECT_EQ(web.starts, 3);
}

TEST_F(GoogleSignInTest, ClosingThePageEndsQuietly) {
    auto flow = begin();
    web.fail(WebAuthenticationSessionError::userCancelled);
    drive(flow);
    EXPECT_FALSE(*flow->value);
    EXPECT_FALSE(service->authError());
    EXPECT_FALSE(service->isLoading());
    EXPECT_TRUE(events.empty());

    auto timedOut = begin();
    clock.advance(QuilloOAuthPresenter::timeoutSeconds);
    drive(timedOut);
    EXPECT_FALSE(service->authError());

    // Signing out while the page is open closes it and abandons the sign-in.
    auto abandoned = begin();
    runVoid(service->signOut());
    drive(abandoned);
    EXPECT_FALSE(*abandoned->value);
    EXPECT_FALSE(web.isShowing());
    EXPECT_FALSE(service->isLoading());
    EXPECT_FALSE(service->authError());
}

class AccountDeletionTest : public QuilloAuthServiceTest {};

TEST_F(AccountDeletionTest, PasswordDeletionSendsTheTrimmedCodeAndEndsTheSession) {
    signedIn();
    transport.enqueue(Step::json(200, "{}"));
    EXPECT_TRUE(run(service->deleteAccount(" secret ", " 123456\n")));
    const QJsonObject body = bodyOf(transport.sent().back());
    EXPECT_EQ(body.value("password").toString(), " secret ");
    EXPECT_EQ(body.value("mfaCode").toString(), "123456");
    EXPECT_EQ(transport.sent().back().request.header("Authorization"), ("Bearer " + jwt(kSessionA)).toUtf8());
    EXPECT_FALSE(service->session());
    EXPECT_FALSE(stored());
    EXPECT_EQ(service->authNotice(), "Your Quillo account and cloud credits were permanently deleted.");
    EXPECT_EQ(events, std::vector<Event>{Event::accountDeletionSucceeded});

    EXPECT_FALSE(run(service->deleteAccount("secret", "")));
    EXPECT_EQ(service->authError(), "Sign in again before deleting your account.");
}

TEST_F(AccountDeletionTest, RefusalsAndRaces) {
    signedIn();
    transport.enqueue(Step::json(403, errorBody("invalid_credentials")));
    EXPECT_FALSE(run(service->deleteAccount("wrong", "  ")));
    EXPECT_FALSE(bodyOf(transport.sent().back()).contains("mfaCode"));
    EXPECT_EQ(service->authError(), "The current password is incorrect.");
    EXPECT_TRUE(service->session());
    EXPECT_FALSE(service->isLoading());

    // Pressing delete twice: the second returns at once.
    transport.enqueue(Step::json(200, "{}", {}, 2.0));
    auto first = observe(service->deleteAccount("secret", ""));
    EXPECT_FALSE(run(service->deleteAccount("secret", "")));
    // Meanwhile the cloud refused the session: the late confirmation claims nothing.
    service->invalidateSessionIfUnauthorized("Bearer " + jwt(kSessionA));
    drive(first);
    EXPECT_FALSE(*first->value);
    EXPECT_FALSE(service->isLoading());
    EXPECT_FALSE(service->authNotice());
    EXPECT_EQ(events, std::vector<Event>{Event::accountDeletionFailed});
}

TEST_F(AccountDeletionTest, GoogleDeletionReverifiesWithTheProofAndAFreshCode) {
    signedIn(3600, QString("google"));
    transport.enqueue(Step::json(200, QJsonDocument(QJsonObject{{"oauthURL", "https://consent.invalid/re?request=q"},
                                                                {"reauthenticationProof", kProof},
                                                                {"mfaRequired", true}})
                                          .toJson()));
    auto flow = observe(service->deleteGoogleAccount());
    EXPECT_TRUE(service->canCancelAccountDeletion());
    prompt.entries = {QString("12 34 56"), QString(" 654321 ")};
    transport.enqueue(Step::json(200, "{}"));
    transport.enqueue(Step::json(200, "{}"));
    web.complete(QUrl("quillo://auth/callback?code=re-code"));
    drive(flow);
    EXPECT_TRUE(*flow->value);
    EXPECT_EQ(prompt.asked, 2);
    EXPECT_EQ(prompt.warned, 1);
    ASSERT_EQ(actions(), (std::vector<QString>{"start_google_reauthentication", "complete_google_reauthentication",
                                               "delete_google_account"}));
    const QJsonObject start = bodyOf(transport.sent()[0]);
    const QJsonObject complete = bodyOf(transport.sent()[1]);
    EXPECT_EQ(QuilloOAuthPKCE::challenge(complete.value("codeVerifier").toString()),
              start.value("codeChallenge").toString());
    EXPECT_EQ(complete.value("authCode").toString(), "re-code");
    EXPECT_EQ(complete.value("mfaCode").toString(), "654321");
    EXPECT_EQ(complete.value("reauthenticationProof").toString(), kProof);
    EXPECT_EQ(bodyOf(transport.sent()[2]).value("reauthenticationProof").toString(), kProof);
    EXPECT_FALSE(service->session());
    EXPECT_FALSE(service->canCancelAccountDeletion());
}

TEST_F(AccountDeletionTest, GoogleDeletionEndsQuietlyWhenCancelledAndReportsAMalformedProof) {
    signedIn(3600, QString("google"));
    const auto startAnswer = [](const QString& proof, bool mfa = false) {
        return Step::json(200, QJsonDocument(QJsonObject{{"oauthURL", "https://consent.invalid/re"},
                                                         {"reauthenticationProof", proof},
                                                         {"mfaRequired", mfa}})
                                   .toJson());
    };
    transport.enqueue(startAnswer(kProof));
    auto cancelled = observe(service->deleteGoogleAccount());
    service->cancelAccountDeletion();
    drive(cancelled);
    EXPECT_FALSE(*cancelled->value);
    EXPECT_FALSE(web.isShowing());
    EXPECT_FALSE(service->isLoading());
    EXPECT_FALSE(service->authError());

    transport.enqueue(startAnswer(kProof, true));
    auto noCode = observe(service->deleteGoogleAccount());
    prompt.entries = {std::nullopt};
    web.complete(QUrl("quillo://auth/callback?code=c"));
    drive(noCode);
    EXPECT_FALSE(service->authError());
    EXPECT_TRUE(events.empty());

    for (const QString& proof : {QString(42, 'p'), QString(42, 'p') + "+"}) {
        transport.enqueue(startAnswer(proof));
        EXPECT_FALSE(run(service->deleteGoogleAccount()));
        EXPECT_EQ(service->authError(), "Quillo received an incomplete sign-in response. Try again.");
    }
    EXPECT_EQ(web.starts, 2);
    EXPECT_TRUE(service->session());
}

TEST(QuilloAuthPolicies, ProofAndAuthenticatorCodeShapes) {
    EXPECT_TRUE(QuilloReauthenticationProof::isValid("abcdefghijklmnopqrstuvwxyzABCDEFGHIJ-_01234"));
    EXPECT_FALSE(QuilloReauthenticationProof::isValid(QString(44, 'a')));
    EXPECT_FALSE(QuilloReauthenticationProof::isValid(QString(42, 'a') + "="));
    EXPECT_FALSE(QuilloReauthenticationProof::isValid(QString(42, 'a') + QChar(0xE9)));
    EXPECT_EQ(QuilloAuthenticatorCode::normalized(" 012345\n"), "012345");
    EXPECT_EQ(QuilloAuthenticatorCode::normalized("012 345"), std::nullopt);
    EXPECT_EQ(QuilloAuthenticatorCode::normalized("12345"), std::nullopt);
    EXPECT_EQ(QuilloAuthenticatorCode::normalized(QString::fromUtf8("١٢٣٤٥٦")), std::nullopt);
}
