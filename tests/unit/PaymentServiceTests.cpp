#include "Platform/Fake/FakeWorkspace.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Services/FixedSessionProvider.h"
#include "Services/PaymentError.h"
#include "Services/QuilloCloudError.h"
#include "Services/QuilloCloudService.h"
#include "Services/QuilloPaymentService.h"
#include "Services/ScriptedCloudHttpTransport.h"
#include "Support/VirtualClock.h"

#include "CapturedLog.h"
#include "QtTestPrinters.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace quillo;
using Step = ScriptedCloudHttpTransport::Step;
using State = QuilloPurchaseState;

namespace {

const QString kUserA = QStringLiteral("0d9c8b7a-6f5e-4d3c-2b1a-098765432100");
const QString kUserB = QStringLiteral("1e2d3c4b-5a69-4788-9aab-bccddeeff001");
const QString kOrder = QStringLiteral("6f1c2a4e-8d3b-4c5a-9e7f-0a1b2c3d4e5f");

QString token(const QString& sessionID, const QString& nonce = "1") {
    const QByteArray payload =
        QJsonDocument(QJsonObject{{"session_id", sessionID}, {"n", nonce}}).toJson(QJsonDocument::Compact);
    return "e30." +
           QString::fromLatin1(payload.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals)) +
           ".sig";
}

QuilloAuthSession session(const QString& user, const QString& sessionID) {
    QuilloAuthSession s;
    s.accessToken = token(sessionID);
    s.userId = user;
    s.userEmail = "buyer@example.com";
    return s;
}

QByteArray checkoutBody(const QString& url, const QString& order = kOrder) {
    return QJsonDocument(QJsonObject{{"checkoutUrl", url}, {"orderId", order}, {"reused", false}}).toJson();
}

QByteArray statusBody(const QString& status, const QString& pack = "regular", const QString& order = kOrder) {
    return QJsonDocument(QJsonObject{{"orderId", order},
                                     {"pack", pack},
                                     {"status", status},
                                     {"grantedCredits", 0},
                                     {"updatedAt", "2026-01-05T09:00:00Z"}})
        .toJson();
}

QJsonObject bodyOf(const CloudHttpRequest& request) { return QJsonDocument::fromJson(request.body).object(); }

class PaymentService : public ::testing::Test {
protected:
    PaymentService() {
        transport.setHandler([this](const CloudHttpRequest& request) {
            if (request.method == "GET") {
                ++balanceRequests;
                return Step::json(200, R"({"balanceCredits":13,"reservedCredits":0,"availableCredits":13})");
            }
            const QJsonObject body = bodyOf(request);
            if (body.value("action") == "status") {
                statusRequests.push_back(clock.uptimeSeconds() - start);
                return statusReply(request);
            }
            checkoutRequests.push_back(request);
            return checkoutReply(request);
        });
        checkoutReply = [](const CloudHttpRequest&) {
            return Step::json(200, checkoutBody("https://checkouthost/pay/1"));
        };
        statusReply = [](const CloudHttpRequest&) { return Step::json(200, statusBody("checkout_created")); };
        makeService();
    }

    void makeService() {
        QuilloPaymentService::Options options;
        options.checkoutURL = QUrl("https://127.0.0.1:9/api/checkout");
        options.checkoutHost = "checkouthost";
        options.clock = &clock;
        options.openURL = [this](const QUrl& url) {
            opened.append(url);
            return browserWorks;
        };
        options.recordEvent = [this](QuilloDiagnosticEvent event) { events.push_back(event); };
        service = std::make_unique<QuilloPaymentService>(transport, defaults, workspace, options);
    }

    static QuilloCloudService::Options cloudOptions(Clock& clock) {
        QuilloCloudService::Options options;
        options.endpoint = "https://127.0.0.1:9/api/correct";
        options.clock = &clock;
        options.recordEvent = [](QuilloDiagnosticEvent, std::optional<QUuid>) {};
        return options;
    }

    void purchase(QuilloCreditPack pack = QuilloCreditPack::regular) {
        start = clock.uptimeSeconds();
        auto task = service->purchase(pack, auth, cloud);
    }
    void refresh() { auto task = service->refreshPayment(auth, cloud); }

    VirtualClock clock;
    ScopedSharedClock sharedClock{clock};
    ScriptedCloudHttpTransport transport{clock};
    InMemoryUserDefaults defaults;
    FakeWorkspace workspace;
    FixedSessionProvider auth{session(kUserA, "aaaaaaaa-0000-4000-8000-000000000001")};
    CloudHealthChecker health{transport, 180.0, clock};
    QuilloCloudService cloud{transport, auth, &health, cloudOptions(clock)};
    std::unique_ptr<QuilloPaymentService> service;
    CapturedLog log{"Payment"};

    std::function<Step(const CloudHttpRequest&)> checkoutReply, statusReply;
    std::vector<CloudHttpRequest> checkoutRequests;
    std::vector<double> statusRequests;
    int balanceRequests = 0;
    double start = 0;
    QList<QUrl> opened;
    bool browserWorks = true;
    std::vector<QuilloDiagnosticEvent> events;
};

} // namespace

TEST_F(PaymentService, PurchaseOpensTheCheckoutAndFollowsTheOrderUntilPaid) {
    int polls = 0;
    statusReply = [&](const CloudHttpRequest&) {
        return Step::json(200, statusBody(++polls < 3 ? "checkout_created" : "paid"));
    };
    purchase();
    ASSERT_EQ(service->state(), State::awaitingPayment(QuilloCreditPack::regular));
    EXPECT_EQ(opened, QList<QUrl>{QUrl("https://checkouthost/pay/1")});

    ASSERT_EQ(checkoutRequests.size(), 1u);
    const CloudHttpRequest& request = checkoutRequests[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.url, QUrl("https://127.0.0.1:9/api/checkout"));
    EXPECT_EQ(request.timeoutSeconds, 15.0);
    ASSERT_EQ(request.headers.size(), 2u);
    EXPECT_EQ(request.headers[0], (std::pair<QByteArray, QByteArray>{"Content-Type", "application/json"}));
    EXPECT_EQ(request.headers[1].first, "Authorization");
    EXPECT_TRUE(request.headers[1].second.startsWith("Bearer e30."));
    EXPECT_EQ(bodyOf(request).value("pack"), "regular");
    const QString requestId = bodyOf(request).value("requestId").toString();
    EXPECT_EQ(requestId, requestId.toLower());
    EXPECT_EQ(QUuid::fromString(requestId), service->requestID(QuilloCreditPack::regular));

    const auto tracked = service->trackingStore().load();
    ASSERT_TRUE(tracked);
    EXPECT_EQ(tracked->orderID, QUuid(kOrder));
    EXPECT_EQ(tracked->userID, QUuid(kUserA));
    EXPECT_EQ(tracked->createdAt, clock.now());

    clock.advance(4.0);
    EXPECT_EQ(service->state(), State::awaitingPayment(QuilloCreditPack::regular)) << "checkout_created keeps waiting";
    const auto& status = transport.sent().back().request;
    EXPECT_EQ(status.timeoutSeconds, 10.0);
    EXPECT_EQ(status.headers[0].first, "Authorization");
    EXPECT_EQ(status.headers[1], (std::pair<QByteArray, QByteArray>{"Content-Type", "application/json"}));
    EXPECT_EQ(bodyOf(status), (QJsonObject{{"action", "status"}, {"orderId", kOrder}}));

    clock.advance(2.0);
    EXPECT_EQ(service->state(), State::completed(QuilloCreditPack::regular));
    EXPECT_EQ(service->state().message(), "10 + 2 free credits added.");
    EXPECT_EQ(statusRequests, (std::vector<double>{2, 4, 6}));
    EXPECT_EQ(balanceRequests, 1);
    EXPECT_EQ(cloud.account()->balanceCredits, 13);
    EXPECT_FALSE(service->requestID(QuilloCreditPack::regular));
    EXPECT_EQ(events, (std::vector{QuilloDiagnosticEvent::checkoutStarted, QuilloDiagnosticEvent::checkoutOpened,
                                   QuilloDiagnosticEvent::checkoutCompleted}));
    EXPECT_TRUE(service->trackingStore().load()) << "a final status keeps the order for the next prepare";

    clock.advance(120.0);
    EXPECT_EQ(statusRequests.size(), 3u) << "no polling after the outcome";
}

TEST_F(PaymentService, FollowUpGivesUpAfterTwentyFourPolls) {
    statusReply = [](const CloudHttpRequest&) { return Step::json(200, statusBody("pending")); };
    purchase();
    clock.advance(95.0);
    EXPECT_EQ(statusRequests.size(), 23u);
    EXPECT_EQ(service->state(), State::awaitingPayment(QuilloCreditPack::regular)) << "pending keeps awaitingPayment";
    clock.advance(1.0);
    ASSERT_EQ(statusRequests.size(), 24u);
    EXPECT_EQ(statusRequests.front(), 2.0);
    EXPECT_EQ(statusRequests[7], 16.0); // the first eight 2 s apart
    EXPECT_EQ(statusRequests[8], 21.0); // then 5 s apart
    EXPECT_EQ(statusRequests.back(), 96.0);
    EXPECT_EQ(service->state(), State::pending(QuilloCreditPack::regular));
    EXPECT_FALSE(service->isMonitoring() && clock.pendingTimers() > 0);
    clock.advance(600.0);
    EXPECT_EQ(statusRequests.size(), 24u);

    refresh(); // the user asks again
    EXPECT_EQ(statusRequests.size(), 25u);
    EXPECT_EQ(service->state(), State::pending(QuilloCreditPack::regular));
}

TEST_F(PaymentService, EveryResolutionOfAResumedOrder) {
    struct Case {
        const char* status;
        State expected;
        bool refreshesBalance;
    };
    const auto pack = QuilloCreditPack::regular;
    const std::vector<Case> cases = {
        {"paid", State::completed(pack), true},
        {"payment_failed", State::failed("Payment failed. No credits were charged."), false},
        {"expired", State::failed("Checkout expired. You can start a new payment."), false},
        {"partially_refunded", State::partiallyRefunded(pack), true},
        {"refunded", State::refunded(pack), true},
        {"disputed", State::underReview(pack), true},
        {"chargeback", State::underReview(pack), true},
        {"manual_review", State::underReview(pack), true},
        {"checkout_created", State::pending(pack), false},
    };
    service->trackingStore().save({QUuid(kOrder), QUuid(kUserA), pack, clock.now()});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        statusReply = [&](const CloudHttpRequest&) { return Step::json(200, statusBody(c.status)); };
        balanceRequests = 0;
        auto task = service->prepare(auth, cloud);
        EXPECT_EQ(service->state(), c.expected);
        EXPECT_EQ(balanceRequests, c.refreshesBalance ? 1 : 0);
        EXPECT_TRUE(service->trackingStore().load());
    }
    EXPECT_EQ(clock.pendingTimers(), 0u) << "a resumed order is refreshed once, without a monitor";
}

TEST_F(PaymentService, SecondPressWhileCreatingDoesNothing) {
    checkoutReply = [](const CloudHttpRequest&) {
        return Step::json(200, checkoutBody("https://checkouthost/x"), {}, 1.0);
    };
    purchase();
    EXPECT_TRUE(service->state().isCreatingCheckout());
    purchase(QuilloCreditPack::extra);
    clock.advance(1.0);
    EXPECT_EQ(checkoutRequests.size(), 1u);
    EXPECT_EQ(service->state(), State::awaitingPayment(QuilloCreditPack::regular));
}

TEST_F(PaymentService, RequestIdSurvivesOrdinaryFailuresButNotAConflict) {
    checkoutReply = [](const CloudHttpRequest&) { return Step::json(500, R"({"error":"x"})"); };
    purchase();
    EXPECT_EQ(service->state(),
              State::failed("Checkout is temporarily unavailable. Try again; no payment was started."));
    EXPECT_EQ(log.messages(), QStringList{"Unable to start checkout: checkoutRejected(status: 500)"});
    purchase();
    EXPECT_EQ(bodyOf(checkoutRequests[0]).value("requestId"), bodyOf(checkoutRequests[1]).value("requestId"));

    checkoutReply = [](const CloudHttpRequest&) { return Step::failure(NetworkErrorCode::timedOut); };
    purchase();
    EXPECT_EQ(service->state(), State::failed("Quillo took too long to open checkout. Try again."));
    EXPECT_EQ(bodyOf(checkoutRequests[1]).value("requestId"), bodyOf(checkoutRequests[2]).value("requestId"));

    checkoutReply = [](const CloudHttpRequest&) { return Step::json(409, R"({"error":"checkout_closed"})"); };
    purchase();
    EXPECT_EQ(service->state(), State::failed("This checkout is no longer open. Try again."));
    purchase();
    EXPECT_NE(bodyOf(checkoutRequests[3]).value("requestId"), bodyOf(checkoutRequests[4]).value("requestId"));
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(std::count(events.begin(), events.end(), QuilloDiagnosticEvent::checkoutFailed), 5);
}

TEST_F(PaymentService, AnotherAccountNeverReusesRequestIds) {
    checkoutReply = [](const CloudHttpRequest&) { return Step::json(500, "{}"); };
    purchase();
    auth.setSession(session(kUserB, "bbbbbbbb-0000-4000-8000-000000000002"));
    purchase();
    ASSERT_EQ(checkoutRequests.size(), 2u);
    EXPECT_NE(bodyOf(checkoutRequests[0]).value("requestId"), bodyOf(checkoutRequests[1]).value("requestId"));
}

TEST_F(PaymentService, CheckoutLinksOffTheProviderHostAreRefused) {
    for (const QString& url :
         QStringList{"http://checkouthost/pay", "https://otherhost/pay", "https://checkouthost.otherhost/",
                     "https://user@otherhost/checkouthost", "checkouthost/pay", "", "https://"}) {
        SCOPED_TRACE(url.toStdString());
        checkoutReply = [&](const CloudHttpRequest&) { return Step::json(200, checkoutBody(url)); };
        purchase();
        EXPECT_EQ(service->state(),
                  State::failed("Quillo received an invalid checkout link. Try again; no payment was started."));
    }
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_FALSE(service->trackingStore().load());
    EXPECT_EQ(log.messages().last(), "Unable to start checkout: invalidCheckoutURL");
}

TEST_F(PaymentService, UnreadableCheckoutAnswers) {
    for (const QByteArray& body :
         {QByteArray("not json"),
          QByteArray(R"({"checkoutUrl":"https://checkouthost/a","orderId":"x","reused":false})"),
          QByteArray(R"({"checkoutUrl":"https://checkouthost/a","orderId":"6f1c2a4e-8d3b-4c5a-9e7f-0a1b2c3d4e5f"})")}) {
        checkoutReply = [&](const CloudHttpRequest&) { return Step::json(200, body); };
        purchase();
        EXPECT_EQ(service->state(),
                  State::failed("Quillo received an invalid checkout link. Try again; no payment was started."));
    }
    checkoutReply = [](const CloudHttpRequest&) { return Step::json(400, R"({"error":"invalid_pack"})"); };
    purchase();
    EXPECT_EQ(service->state(), State::failed("This credit pack is unavailable. Close this window and try again."));
}

TEST_F(PaymentService, BrowserThatCannotOpenLeavesTheOrderTracked) {
    browserWorks = false;
    purchase();
    EXPECT_EQ(service->state(), State::failed("Quillo could not open your browser. Open a browser and try again."));
    EXPECT_TRUE(service->trackingStore().load());
    EXPECT_EQ(opened.size(), 1);
    clock.advance(30.0);
    EXPECT_TRUE(statusRequests.empty());
}

TEST_F(PaymentService, UnauthorizedCheckoutEndsTheSessionAndForgetsTheRequestId) {
    checkoutReply = [](const CloudHttpRequest&) { return Step::json(401, R"({"error":"session_invalid"})"); };
    purchase();
    EXPECT_EQ(auth.invalidations(), 1);
    EXPECT_FALSE(auth.currentSession());
    EXPECT_FALSE(service->requestID(QuilloCreditPack::regular));
    EXPECT_EQ(service->state(), State::failed("Your session expired. Sign in again before purchasing credits."));
}

TEST_F(PaymentService, SignedOutOrWithoutSessionIdCannotBuy) {
    auth.setSession(std::nullopt);
    purchase();
    EXPECT_EQ(service->state(), State::failed("Sign in before purchasing credits."));
    QuilloAuthSession opaque = session(kUserA, "x");
    opaque.accessToken = "opaque-token";
    auth.setSession(opaque);
    purchase();
    EXPECT_EQ(service->state(), State::failed("Sign in before purchasing credits."));
    EXPECT_TRUE(checkoutRequests.empty());

    QuilloPaymentService::Options options;
    options.clock = &clock;
    options.recordEvent = [](QuilloDiagnosticEvent) {};
    QuilloPaymentService unconfigured(transport, defaults, workspace, options);
    auto task = unconfigured.purchase(QuilloCreditPack::light, auth, cloud);
    EXPECT_EQ(unconfigured.state(), State::failed("Secure checkout is unavailable. Try again shortly."));
}

TEST_F(PaymentService, AnswerArrivingAfterSignOutIsDropped) {
    checkoutReply = [](const CloudHttpRequest&) {
        return Step::json(200, checkoutBody("https://checkouthost/x"), {}, 3.0);
    };
    purchase();
    clock.advance(1.0);
    auth.setSession(std::nullopt);
    clock.advance(2.0);
    EXPECT_EQ(service->state(), State::idle());
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_FALSE(service->trackingStore().load());
    EXPECT_EQ(std::count(events.begin(), events.end(), QuilloDiagnosticEvent::checkoutFailed), 0);
}

TEST_F(PaymentService, MonitorStopsWhenTheAccountChanges) {
    purchase();
    auth.setSession(session(kUserB, "bbbbbbbb-0000-4000-8000-000000000002"));
    clock.advance(10.0);
    EXPECT_TRUE(statusRequests.empty());
    EXPECT_EQ(service->state(), State::idle());
}

TEST_F(PaymentService, StatusAnswersForAnotherOrderOrPackChangeNothing) {
    int polls = 0;
    statusReply = [&](const CloudHttpRequest&) {
        ++polls;
        if (polls == 1)
            return Step::json(200, statusBody("paid", "regular", QUuid::createUuid().toString(QUuid::WithoutBraces)));
        if (polls == 2) return Step::json(200, statusBody("paid", "extra"));
        if (polls == 3) return Step::json(503, "{}");
        if (polls == 4) return Step::json(200, R"({"orderId":"x"})");
        return Step::json(200, statusBody("paid"));
    };
    purchase();
    clock.advance(8.0);
    EXPECT_EQ(service->state(), State::awaitingPayment(QuilloCreditPack::regular));
    EXPECT_EQ(log.messages().size(), 2) << log.messages().join('\n').toStdString();
    EXPECT_EQ(log.messages()[0], "Unable to refresh payment status: checkoutRejected(status: 503)");
    clock.advance(2.0);
    EXPECT_EQ(service->state(), State::completed(QuilloCreditPack::regular));
}

TEST_F(PaymentService, StatusNotFoundDiscardsTheOrderAndUnauthorizedEndsTheSession) {
    statusReply = [](const CloudHttpRequest&) { return Step::json(404, R"({"error":"order_not_found"})"); };
    purchase();
    clock.advance(2.0);
    EXPECT_EQ(service->state(), State::failed("This payment can no longer be found. You can start a new checkout."));
    EXPECT_FALSE(service->trackingStore().load());

    statusReply = [](const CloudHttpRequest&) { return Step::json(401, R"({"error":"session_invalid"})"); };
    purchase();
    clock.advance(2.0);
    EXPECT_EQ(auth.invalidations(), 1);
    EXPECT_EQ(service->state(), State::idle());
    EXPECT_TRUE(service->trackingStore().load());
}

TEST_F(PaymentService, RestartResumesOnlyTheBuyersOrder) {
    purchase();
    service.reset();
    makeService(); // a new run of the application
    EXPECT_EQ(service->state(), State::idle());

    statusReply = [](const CloudHttpRequest&) { return Step::json(200, statusBody("pending")); };
    statusRequests.clear();
    auto task = service->prepare(auth, cloud);
    EXPECT_EQ(service->state(), State::pending(QuilloCreditPack::regular));
    EXPECT_EQ(statusRequests.size(), 1u);
    clock.advance(60.0);
    EXPECT_EQ(statusRequests.size(), 1u);

    auth.setSession(session(kUserB, "bbbbbbbb-0000-4000-8000-000000000002"));
    refresh();
    EXPECT_EQ(service->state(), State::idle());
    EXPECT_EQ(statusRequests.size(), 1u);
    EXPECT_TRUE(service->trackingStore().load()) << "the order stays for its own account";
}

TEST_F(PaymentService, PrepareForgetsAFailureAndResetStopsTheMonitor) {
    checkoutReply = [](const CloudHttpRequest&) { return Step::json(500, "{}"); };
    purchase();
    ASSERT_EQ(service->state().kind, State::Kind::failed);
    auto task = service->prepare(auth, cloud);
    EXPECT_EQ(service->state(), State::idle());

    checkoutReply = [](const CloudHttpRequest&) { return Step::json(200, checkoutBody("https://checkouthost/x")); };
    purchase();
    ASSERT_TRUE(service->isMonitoring());
    service->reset();
    EXPECT_EQ(service->state(), State::idle());
    EXPECT_FALSE(service->requestID(QuilloCreditPack::regular));
    clock.advance(30.0);
    EXPECT_TRUE(statusRequests.empty());
    EXPECT_TRUE(service->trackingStore().load());
}

TEST(PaymentErrorSentences, EveryErrorHasItsCatalogueSentence) {
    auto message = [](auto error) { return QuilloPaymentService::userFacingMessage(std::make_exception_ptr(error)); };
    EXPECT_EQ(message(PaymentError::checkoutRejected(403)), "Purchases are not enabled for this account yet.");
    EXPECT_EQ(message(PaymentError::checkoutRejected(-1)),
              "Checkout could not be opened. Try again; no payment was started.");
    EXPECT_EQ(message(PaymentError::sessionChanged()), "Sign in before purchasing credits.");
    const QString invalid = "Quillo received an invalid checkout link. Try again; no payment was started.";
    EXPECT_EQ(message(PaymentError::invalidCheckoutURL()), invalid);
    EXPECT_EQ(message(PaymentError::invalidResponse()), invalid);
    EXPECT_EQ(message(PaymentError::trackingUnavailable()), invalid);
    EXPECT_EQ(message(CloudResponseDecodingError()), invalid);
    EXPECT_EQ(message(PaymentError::browserUnavailable()),
              "Quillo could not open your browser. Open a browser and try again.");
    EXPECT_EQ(message(NetworkError(NetworkErrorCode::notConnectedToInternet)),
              "Check your internet connection, then try again.");
    EXPECT_EQ(message(std::runtime_error("x")), "Quillo could not open checkout. Try again; no payment was started.");
}
