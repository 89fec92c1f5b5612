// The sign-in a launch asks for: once, with the stored session of the same account kept, and
// with neither the password nor the address in the log.
#include "App/StartupSignIn.h"
#include "Platform/Fake/InMemorySecureStore.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Services/QuilloAuthService.h"
#include "Services/ScriptedCloudHttpTransport.h"
#include "Support/VirtualClock.h"
#include "unit/CapturedLog.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace quillo;
using Step = ScriptedCloudHttpTransport::Step;

namespace {

const QString kEndpoint = QStringLiteral("https://127.0.0.1:9/api/correct");

QByteArray sessionBody(const QString& email) {
    const QByteArray claims = QJsonDocument(QJsonObject{{"session_id", "0b7c4d1e-9a0f-4b8e-8f31-2a6d5c4b3a21"}})
                                  .toJson(QJsonDocument::Compact)
                                  .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    return QJsonDocument(QJsonObject{{"accessToken", "h." + QString::fromLatin1(claims) + ".s"},
                                     {"refreshToken", "refresh"},
                                     {"expiresIn", 3600},
                                     {"user", QJsonObject{{"id", "user-1"}, {"email", email}}}})
        .toJson(QJsonDocument::Compact);
}

class StartupSignInTest : public ::testing::Test {
protected:
    VirtualClock clock;
    ScopedSharedClock sharedClock{clock};
    ScriptedCloudHttpTransport transport{clock};
    InMemorySecureStore store;
    InMemoryUserDefaults defaults;
    std::unique_ptr<QuilloAuthService> auth;

    void SetUp() override { makeAuth(); }
    void makeAuth() {
        QuilloAuthService::Options options;
        options.endpoint = kEndpoint;
        options.clock = &clock;
        options.recordEvent = [](QuilloDiagnosticEvent, std::optional<QUuid>) {};
        auth = std::make_unique<QuilloAuthService>(transport, store, defaults, options);
    }
    void runUntilFinished(StartupSignIn& signIn) {
        for (int i = 0; i < 100 && !signIn.outcome(); ++i) {
            clock.advanceToNextTimer();
            QCoreApplication::processEvents();
        }
    }
};

} // namespace

TEST_F(StartupSignInTest, SignsInOnceWithoutLoggingThePassword) {
    CapturedLog log("Auth");
    transport.enqueue(Step::json(200, sessionBody(QStringLiteral("demo@localhost")), {}, 0.2));
    StartupSignIn signIn(*auth, QStringLiteral("demo@localhost"), QStringLiteral("s3cret-pass"));
    QSignalSpy finished(&signIn, &StartupSignIn::finished);
    signIn.start();
    signIn.start(); // a second call asks nothing more
    runUntilFinished(signIn);

    ASSERT_EQ(signIn.outcome(), true);
    ASSERT_EQ(finished.size(), 1);
    EXPECT_TRUE(finished.first().first().toBool());
    ASSERT_EQ(transport.sent().size(), 1u);
    const QJsonObject body = QJsonDocument::fromJson(transport.sent().front().request.body).object();
    EXPECT_EQ(body.value("action").toString(), QStringLiteral("sign_in"));
    EXPECT_EQ(body.value("password").toString(), QStringLiteral("s3cret-pass"));
    EXPECT_TRUE(auth->isSignedIn());
    EXPECT_TRUE(log.messages().contains(QStringLiteral("Signed in at start")));
    for (const QString& line : log.messages()) {
        EXPECT_FALSE(line.contains(QStringLiteral("s3cret-pass"))) << line.toStdString();
        EXPECT_FALSE(line.contains(QStringLiteral("demo@localhost"))) << line.toStdString();
    }
}

TEST_F(StartupSignInTest, ARefusedSignInIsReportedAndLeavesTheAppSignedOut) {
    CapturedLog log("Auth");
    transport.enqueue(Step::json(401, R"({"error":"invalid_credentials"})"));
    StartupSignIn signIn(*auth, QStringLiteral("demo@localhost"), QStringLiteral("wrong-pass"));
    signIn.start();
    runUntilFinished(signIn);

    EXPECT_EQ(signIn.outcome(), false);
    EXPECT_FALSE(auth->isSignedIn());
    bool reported = false;
    for (const QString& line : log.messages()) {
        EXPECT_FALSE(line.contains(QStringLiteral("wrong-pass"))) << line.toStdString();
        reported =
            reported || line.startsWith(QStringLiteral("Sign-in at start failed: The email or password is incorrect"));
    }
    EXPECT_TRUE(reported) << log.messages().join(u'\n').toStdString();
}

TEST_F(StartupSignInTest, TheSameAccountAlreadySignedInIsKept) {
    transport.enqueue(Step::json(200, sessionBody(QStringLiteral("demo@localhost"))));
    auto first = std::make_unique<StartupSignIn>(*auth, QStringLiteral("demo@localhost"), QStringLiteral("p"));
    first->start();
    runUntilFinished(*first);
    ASSERT_TRUE(auth->isSignedIn());
    makeAuth(); // the next launch restores the stored session

    StartupSignIn again(*auth, QStringLiteral(" Demo@LocalHost"), QStringLiteral("p"));
    again.start();
    EXPECT_EQ(again.outcome(), true);
    EXPECT_EQ(transport.sent().size(), 1u);

    // Another account replaces it.
    transport.enqueue(Step::json(200, sessionBody(QStringLiteral("other@localhost"))));
    StartupSignIn other(*auth, QStringLiteral("other@localhost"), QStringLiteral("p"));
    other.start();
    runUntilFinished(other);
    EXPECT_EQ(other.outcome(), true);
    EXPECT_EQ(transport.sent().size(), 2u);
    EXPECT_EQ(auth->displayEmail(), QStringLiteral("other@localhost"));
}
