// The payment service against the reference server's checkout: the service talks HTTPS through
// the Qt transport; the test plays the browser on the checkout page and moves the virtual clock
// that the order follow-up waits on.
#include "CloudTestServer.h"

#include "Platform/Fake/FakeWorkspace.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Services/CloudHealthChecker.h"
#include "Services/CloudPasswordSignIn.h"
#include "Services/FixedSessionProvider.h"
#include "Services/QtCloudHttpTransport.h"
#include "Services/QuilloCloudService.h"
#include "Services/QuilloPaymentService.h"
#include "Support/SessionIdentity.h"
#include "Support/VirtualClock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>

#include <gtest/gtest.h>
#include <qcoro/qcorotask.h>

using namespace quillo;
using State = QuilloPurchaseState;

namespace {

const std::string kEmail = "buyer@example.com";
const std::string kPassword = "long enough secret";

// Counts finished requests, so the test knows when an answer has been handled.
class CountingTransport final : public CloudHttpTransport {
public:
    explicit CountingTransport(CloudHttpTransport& inner) : inner_(inner) {}
    QCoro::Task<CloudHttpResponse> send(CloudHttpRequest request, CancellationToken token) override {
        const bool status = request.body.contains("\"status\"");
        struct Done {
            CountingTransport* self;
            bool status;
            ~Done() {
                ++self->finished;
                if (status) ++self->statusRequests;
            }
        } done{this, status};
        co_return co_await inner_.send(std::move(request), std::move(token));
    }
    int finished = 0;
    int statusRequests = 0;

private:
    CloudHttpTransport& inner_;
};

// Runs the event loop until `done` holds; the guard only stops a broken test from hanging.
template <typename Predicate> bool pumpUntil(Predicate done) {
    QElapsedTimer guard;
    guard.start();
    while (!done()) {
        if (guard.elapsed() > 30000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

template <typename T> T await(QCoro::Task<T> task) {
    std::optional<T> result;
    std::exception_ptr failure;
    auto runner = [&]() -> QCoro::Task<> {
        try {
            result = co_await std::move(task);
        } catch (...) {
            failure = std::current_exception();
        }
    };
    auto running = runner();
    EXPECT_TRUE(pumpUntil([&] { return result.has_value() || failure; }));
    if (failure) std::rethrow_exception(failure);
    return *result;
}

class CheckoutAgainstServer : public ::testing::Test {
protected:
    void SetUp() override {
        server.createAccount(kEmail, kPassword, 1);
        const QString base = QString::fromStdString(server.base());
        QuilloCloudService::Options cloudOptions;
        cloudOptions.endpoint = base + "/api/correct";
        cloudOptions.clock = &clock;
        cloudOptions.recordEvent = [](QuilloDiagnosticEvent, std::optional<QUuid>) {};
        cloud = std::make_unique<QuilloCloudService>(transport, auth, &health, cloudOptions);
        auth.setSession(await(CloudPasswordSignIn::signIn(
            qtTransport, *QuilloCloudService::authURL(cloudOptions.endpoint), QString::fromStdString(kEmail),
            QString::fromStdString(kPassword), QString::fromStdString(cloudtest::kInstallationId))));
        ASSERT_TRUE(auth.currentSession());
        service = makeService(QuilloPaymentService::checkoutHost());
    }

    std::unique_ptr<QuilloPaymentService> makeService(const QString& checkoutHost) {
        QuilloPaymentService::Options options;
        options.checkoutURL = QuilloCloudService::checkoutURL(cloud->endpointInUse());
        options.checkoutHost = checkoutHost;
        options.clock = &clock;
        options.recordEvent = [](QuilloDiagnosticEvent) {};
        return std::make_unique<QuilloPaymentService>(transport, defaults, workspace, options);
    }

    void purchase(QuilloCreditPack pack) {
        const int before = transport.finished;
        auto task = service->purchase(pack, auth, *cloud);
        ASSERT_TRUE(pumpUntil([&] { return transport.finished > before && !service->state().isCreatingCheckout(); }));
    }
    void refresh() {
        const int before = transport.statusRequests;
        auto task = service->refreshPayment(auth, *cloud);
        ASSERT_TRUE(pumpUntil([&] { return transport.statusRequests > before && !cloud->isRefreshingAccount(); }));
    }
    // Moves the clock to the follow-up's next status request and waits for its answer.
    bool nextPoll() {
        if (clock.pendingTimers() == 0) return false;
        const int before = transport.statusRequests;
        clock.advanceToNextTimer();
        return pumpUntil([&] { return transport.statusRequests > before && !cloud->isRefreshingAccount(); });
    }
    int pageAction(const QUrl& checkoutUrl, const std::string& action) const {
        const std::string token = QUrlQuery(checkoutUrl).queryItemValue("token").toStdString();
        return server
            .post(checkoutUrl.path().toStdString(), "token=" + token + "&action=" + action, {},
                  "application/x-www-form-urlencoded")
            .status;
    }
    double serverBalance() const {
        return server
            .get("/api/correct", cloudtest::CloudTestServer::bearer(auth.currentSession()->accessToken.toStdString()))
            .body["balanceCredits"]
            .get<double>();
    }

    cloudtest::CloudTestServer server;
    VirtualClock clock;
    ScopedSharedClock sharedClock{clock};
    QtCloudHttpTransport qtTransport{{QStringLiteral(QUILLO_TEST_CA_DIR "/ca.pem")}, clock};
    CountingTransport transport{qtTransport};
    FixedSessionProvider auth;
    CloudHealthChecker health{transport, 180.0, clock};
    std::unique_ptr<QuilloCloudService> cloud;
    InMemoryUserDefaults defaults;
    FakeWorkspace workspace;
    std::unique_ptr<QuilloPaymentService> service;
};

} // namespace

TEST_F(CheckoutAgainstServer, PaidOnThePageThenRefunded) {
    purchase(QuilloCreditPack::regular);
    ASSERT_EQ(service->state(), State::awaitingPayment(QuilloCreditPack::regular))
        << service->state().message()->toStdString();
    ASSERT_EQ(workspace.openedUrls.size(), 1);
    const QUrl page = workspace.openedUrls[0];
    EXPECT_EQ(page.scheme(), "https");
    EXPECT_EQ(page.host(), QuilloPaymentService::checkoutHost());

    ASSERT_TRUE(nextPoll());
    EXPECT_EQ(service->state(), State::awaitingPayment(QuilloCreditPack::regular)) << "not paid yet";
    EXPECT_EQ(pageAction(page, "pay"), 303);
    ASSERT_TRUE(nextPoll());
    EXPECT_EQ(service->state(), State::completed(QuilloCreditPack::regular));
    ASSERT_TRUE(cloud->account());
    EXPECT_DOUBLE_EQ(cloud->account()->balanceCredits, 13);
    EXPECT_EQ(clock.pendingTimers(), 0u) << "the follow-up ends with the outcome";

    EXPECT_EQ(pageAction(page, "refund"), 303);
    refresh();
    EXPECT_EQ(service->state(), State::refunded(QuilloCreditPack::regular));
    EXPECT_DOUBLE_EQ(cloud->account()->balanceCredits, 1);
    EXPECT_DOUBLE_EQ(serverBalance(), 1);
}

TEST_F(CheckoutAgainstServer, LeftPendingUntilTheFollowUpGivesUp) {
    purchase(QuilloCreditPack::light);
    ASSERT_TRUE(service->state().isAwaitingPayment());
    EXPECT_EQ(pageAction(workspace.openedUrls[0], "pending"), 303);
    int polls = 0;
    while (nextPoll()) ++polls;
    EXPECT_EQ(polls, 24);
    EXPECT_EQ(service->state(), State::pending(QuilloCreditPack::light));
    EXPECT_EQ(transport.statusRequests, 24);
    EXPECT_TRUE(service->trackingStore().load());
}

TEST_F(CheckoutAgainstServer, CheckoutPageOnAnotherHostIsRefused) {
    service = makeService(QStringLiteral("127.0.0.1")); // the server's pages are on the checkout host only
    purchase(QuilloCreditPack::extra);
    EXPECT_EQ(service->state(),
              State::failed("Quillo received an invalid checkout link. Try again; no payment was started."));
    EXPECT_TRUE(workspace.openedUrls.isEmpty());
    EXPECT_FALSE(service->trackingStore().load());
}

TEST_F(CheckoutAgainstServer, RequestIdOfAClosedOrderIsAConflictAndThenReplaced) {
    purchase(QuilloCreditPack::regular);
    ASSERT_TRUE(service->state().isAwaitingPayment());
    const auto firstId = service->requestID(QuilloCreditPack::regular);
    EXPECT_EQ(pageAction(workspace.openedUrls[0], "pay"), 303);

    purchase(QuilloCreditPack::regular); // before the follow-up saw the payment: same request id
    EXPECT_EQ(service->state(), State::failed("This checkout is no longer open. Try again."));
    EXPECT_FALSE(service->requestID(QuilloCreditPack::regular));

    purchase(QuilloCreditPack::regular);
    EXPECT_TRUE(service->state().isAwaitingPayment());
    EXPECT_NE(service->requestID(QuilloCreditPack::regular), firstId);
    EXPECT_EQ(workspace.openedUrls.size(), 2);
}

TEST_F(CheckoutAgainstServer, UnknownOrderIsForgotten) {
    const QUuid user = QUuid::fromString(auth.currentSession()->userId);
    service->trackingStore().save({QUuid::createUuid(), user, QuilloCreditPack::light, clock.now()});
    auto task = service->prepare(auth, *cloud);
    ASSERT_TRUE(pumpUntil([&] { return service->state().kind == State::Kind::failed; }));
    EXPECT_EQ(service->state(), State::failed("This payment can no longer be found. You can start a new checkout."));
    EXPECT_FALSE(service->trackingStore().load());
}

TEST_F(CheckoutAgainstServer, RefusedSessionSignsOut) {
    // A token that names a session but was not issued by the server.
    QuilloAuthSession forged = *auth.currentSession();
    const QStringList parts = forged.accessToken.split('.');
    forged.accessToken = parts[0] + "." + parts[1] + ".forged-signature";
    ASSERT_TRUE(AccessTokenSessionIdentity::sessionID(forged.accessToken));
    auth.setSession(forged);

    purchase(QuilloCreditPack::light);
    EXPECT_EQ(service->state(), State::failed("Your session expired. Sign in again before purchasing credits."));
    EXPECT_FALSE(auth.currentSession());
    EXPECT_EQ(auth.invalidations(), 1);
    EXPECT_FALSE(service->requestID(QuilloCreditPack::light));
    EXPECT_TRUE(workspace.openedUrls.isEmpty());
}
