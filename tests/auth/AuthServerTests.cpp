// The auth service against a private reference server over HTTPS. The test plays the user's
// browser: it answers the consent page with an HTTP client and launches "the second instance"
// that hands the callback address over the single-instance channel.
#include "CloudTestServer.h"

#include "App/AppInstanceChannel.h"
#include "Platform/Fake/InMemorySecureStore.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Platform/Linux/LinuxWebAuthenticationSession.h"
#include "Services/QtCloudHttpTransport.h"
#include "Services/QuilloAuthService.h"
#include "Services/QuilloOAuthPresenter.h"
#include "Support/TaskOutcome.h"

#include "../unit/QtTestPrinters.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <QUuid>
#include <gtest/gtest.h>

using namespace quillo;
using cloudtest::CloudTestServer;

namespace {

const std::string kPassword = "correct horse battery";

// Runs the event loop until the task ends. The bound only keeps a broken run from hanging ctest.
template <typename T> std::shared_ptr<TaskOutcome<T>> await(QCoro::Task<T>&& task) {
    QEventLoop loop;
    auto outcome = observe(std::move(task),
                           std::function<void(const TaskOutcome<T>&)>([&loop](const TaskOutcome<T>&) { loop.quit(); }));
    if (!outcome->finished) {
        QTimer::singleShot(90000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    EXPECT_TRUE(outcome->finished) << "the operation did not end";
    return outcome;
}

template <typename T> T run(QCoro::Task<T>&& task) {
    auto outcome = await(std::move(task));
    if (!outcome->finished) return T{};
    outcome->rethrowIfFailed();
    return *outcome->value;
}

void runVoid(QCoro::Task<>&& task) { await(std::move(task)); }

} // namespace

class AuthServerTest : public ::testing::Test {
protected:
    std::unique_ptr<CloudTestServer> server;
    QtCloudHttpTransport transport{QStringList{QString::fromUtf8(QUILLO_TEST_CA_DIR) + QStringLiteral("/ca.pem")}};
    InMemorySecureStore store;
    InMemoryUserDefaults defaults;
    const QString channelName = QStringLiteral("quillo-auth-test-") + QUuid::createUuid().toString(QUuid::Id128);
    AppInstanceChannel channel{channelName};
    std::vector<QUrl> opened;
    // What the "browser" does with a page the app opens; it runs after start() returned.
    std::function<void(const QUrl&)> browser;
    LinuxWebAuthenticationSession web{[this](const QUrl& url) {
        opened.push_back(url);
        QTimer::singleShot(0, [this, url] {
            if (browser) browser(url);
        });
        return true;
    }};
    QuilloOAuthPresenter presenter{web};
    std::unique_ptr<QuilloAuthService> service;

    void start(std::vector<std::string> flags = {}) {
        flags.push_back("--dev-google-stand-in"); // the consent page plays Google
        server = std::make_unique<CloudTestServer>(std::move(flags));
        ASSERT_GT(server->port(), 0);
        ASSERT_TRUE(channel.listen());
        // As the application does: an address from another launch goes to the presenter.
        QObject::connect(&channel, &AppInstanceChannel::requestReceived, &presenter,
                         [this](const AppInstanceChannel::Request& request) {
                             if (request.url) presenter.deliverCallback(*request.url);
                         });
        QuilloAuthService::Options options;
        options.endpoint = QString::fromStdString(server->base() + "/api/correct");
        options.recordEvent = [](QuilloDiagnosticEvent, std::optional<QUuid>) {};
        options.presenter = &presenter;
        service = std::make_unique<QuilloAuthService>(transport, store, defaults, options);
    }

    // The balance request, which the server answers only for a valid bearer.
    int balanceStatus(const QString& bearer) const {
        return server->get("/api/correct", {{"Authorization", bearer.toStdString()}}).status;
    }

    // Answers the consent page as the user `email` would and hands the callback to the app
    // the way a second launch does.
    void consentAs(const std::string& email, bool allow = true) {
        browser = [this, email, allow](const QUrl& page) {
            const std::string url = page.toString().toStdString();
            ASSERT_EQ(server->get(cloudtest::pathAndQuery(url)).status, 200);
            const auto decision = server->post("/oauth/google",
                                               "request=" + cloudtest::queryValue(url, "request") + "&email=" + email +
                                                   "&decision=" + (allow ? "allow" : "deny"),
                                               {}, "application/x-www-form-urlencoded");
            ASSERT_EQ(decision.status, 302);
            // The desktop opens the callback with a second launch, which hands it over and exits.
            const QUrl callback = QUrl::fromEncoded(QByteArray::fromStdString(decision.header("Location")));
            AppInstanceChannel secondLaunch(channelName);
            EXPECT_FALSE(secondLaunch.listen());
            EXPECT_TRUE(secondLaunch.sendToRunningInstance({callback}));
        };
    }
};

TEST_F(AuthServerTest, SignUpConfirmSignInAndWrongPassword) {
    start();
    EXPECT_FALSE(run(service->signUp("new@example.com", QString::fromStdString(kPassword))));
    EXPECT_EQ(service->authNotice(), "Check your email to confirm your account, then sign in.");
    EXPECT_FALSE(service->isSignedIn());

    // Not confirmed yet.
    EXPECT_FALSE(run(service->signIn("new@example.com", QString::fromStdString(kPassword))));
    EXPECT_TRUE(service->authError());

    const auto mails = server->mails();
    ASSERT_EQ(mails.size(), 1u);
    const std::string link = cloudtest::linkIn(mails[0]);
    const auto confirmed = server->post("/auth/confirm", "token=" + cloudtest::queryValue(link, "token"), {},
                                        "application/x-www-form-urlencoded");
    ASSERT_EQ(confirmed.status, 200);

    EXPECT_FALSE(run(service->signIn("new@example.com", "not the password")));
    EXPECT_EQ(service->authError(),
              "The email or password is incorrect. If you signed up with Google, choose Continue with Google.");
    EXPECT_TRUE(run(service->signIn("new@example.com", QString::fromStdString(kPassword))));
    EXPECT_FALSE(service->authError());
    EXPECT_EQ(service->displayEmail(), "new@example.com");
    const auto bearer = run(service->authorizationBearer());
    ASSERT_TRUE(bearer);
    EXPECT_EQ(balanceStatus(*bearer), 200);
    EXPECT_EQ(run(service->requestPasswordReset("new@example.com")), true);
}

TEST_F(AuthServerTest, ExpiringTokenIsRefreshedAndSignOutRevokesIt) {
    start({"--no-email-confirmation", "--access-token-ttl", "60"});
    server->createAccount("r@example.com", kPassword, 1);
    ASSERT_TRUE(run(service->signIn("r@example.com", QString::fromStdString(kPassword))));
    const QString first = service->session()->accessToken;

    // 60 s of life is within the refresh lead: the bearer is a renewed token of the same session.
    const auto bearer = run(service->authorizationBearer());
    ASSERT_TRUE(bearer);
    EXPECT_NE(*bearer, "Bearer " + first);
    EXPECT_EQ(service->session()->userEmail, "r@example.com");
    server->control("clock", {{"advanceSeconds", 61}});
    EXPECT_EQ(balanceStatus("Bearer " + first), 401);
    // Once the server's clock passed, the renewed one is renewed again before use.
    const auto again = run(service->authorizationBearer());
    ASSERT_TRUE(again);
    EXPECT_EQ(balanceStatus(*again), 200);

    runVoid(service->signOut());
    EXPECT_FALSE(service->isSignedIn());
    EXPECT_FALSE(service->authError());
    EXPECT_EQ(store.itemCount(), 0);
    EXPECT_EQ(balanceStatus(*again), 401);
}

TEST_F(AuthServerTest, GoogleSignInThroughTheConsentPageAndTheSecondLaunch) {
    start();
    consentAs("google.user@example.com");
    EXPECT_TRUE(run(service->signInWithGoogle()));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].scheme(), "https");
    EXPECT_TRUE(service->isGoogleSession());
    EXPECT_EQ(service->displayEmail(), "google.user@example.com");
    const auto bearer = run(service->authorizationBearer());
    ASSERT_TRUE(bearer);
    EXPECT_EQ(balanceStatus(*bearer), 200);

    runVoid(service->signOut());
    consentAs("google.user@example.com", false);
    EXPECT_FALSE(run(service->signInWithGoogle()));
    EXPECT_EQ(service->authError(), "Google sign-in was not completed. Try again.");
}

TEST_F(AuthServerTest, DeletionRefusesAWrongCodeAndAcceptsTheRightOne) {
    start();
    const auto created = server->createAccount("mfa@example.com", kPassword, 3, true);
    ASSERT_TRUE(created.contains("totpSecret"));
    ASSERT_TRUE(run(service->signIn("mfa@example.com", QString::fromStdString(kPassword))));

    EXPECT_FALSE(run(service->deleteAccount("not the password", "")));
    EXPECT_EQ(service->authError(), "The current password is incorrect.");
    EXPECT_FALSE(run(service->deleteAccount(QString::fromStdString(kPassword), "")));
    EXPECT_EQ(service->authError(), "Enter the six-digit code from your authenticator app.");

    const std::string code = server->control("totp-code", {{"email", "mfa@example.com"}}).body["code"];
    const std::string wrong = code == "000000" ? "111111" : "000000";
    EXPECT_FALSE(run(service->deleteAccount(QString::fromStdString(kPassword), QString::fromStdString(wrong))));
    EXPECT_EQ(service->authError(), "The authenticator code is invalid or expired.");
    EXPECT_TRUE(service->isSignedIn());

    EXPECT_TRUE(
        run(service->deleteAccount(QString::fromStdString(kPassword), QString::fromStdString(" " + code + " "))));
    EXPECT_EQ(service->authNotice(), "Your Quillo account and cloud credits were permanently deleted.");
    EXPECT_FALSE(service->isSignedIn());
    EXPECT_FALSE(run(service->signIn("mfa@example.com", QString::fromStdString(kPassword))));
    EXPECT_EQ(service->authError(),
              "The email or password is incorrect. If you signed up with Google, choose Continue with Google.");
}

TEST_F(AuthServerTest, GoogleAccountDeletionReverifiesInTheBrowser) {
    start();
    consentAs("g.delete@example.com");
    ASSERT_TRUE(run(service->signInWithGoogle()));
    EXPECT_TRUE(run(service->deleteGoogleAccount()));
    EXPECT_EQ(opened.size(), 2u);
    EXPECT_FALSE(service->isSignedIn());
    EXPECT_EQ(service->authNotice(), "Your Quillo account and cloud credits were permanently deleted.");
}
