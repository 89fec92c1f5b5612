#include "BuildInfo.h"
#include "CloudTestSupport.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "QtTestPrinters.h"
#include "Services/QuilloCloudError.h"
#include "Support/UserFacingErrorCatalog.h"

#define QUILLO_CLOUD_ENDPOINT_TEXT QUILLO_CLOUD_ENDPOINT

using namespace cloudclienttest;
using Failure = UserFacingErrorCatalog::CorrectionFailure;

namespace {

class CloudCorrectionTest : public CloudServiceTest {};

QJsonObject billing(double charged, double balance) {
    return {{QStringLiteral("chargedCredits"), charged}, {QStringLiteral("balanceCredits"), balance}};
}

} // namespace

TEST_F(CloudCorrectionTest, RequestCarriesOneIdentityTheHeadersInOrderAndTheWireValues) {
    transport.enqueue(Step::answer(503, {}, {{"X-Quillo-Retry-Safe", "1"}}));
    transport.enqueue(Step::json(200, successBody(QStringLiteral("the text"))));
    auto outcome = run(QStringLiteral("  teh text\n"), CloudCorrectionModel::veryVeryFast);
    ASSERT_FALSE(outcome->failed());
    ASSERT_EQ(transport.sent().size(), 2u);

    const CloudHttpRequest& first = transport.sent()[0].request;
    EXPECT_EQ(first.method, "POST");
    EXPECT_EQ(first.url.toString(), kEndpoint);
    ASSERT_EQ(first.headers.size(), 4u);
    EXPECT_EQ(first.headers[0], std::make_pair(QByteArray("Content-Type"), QByteArray("application/json")));
    EXPECT_EQ(first.headers[1], std::make_pair(QByteArray("Authorization"), QByteArray("Bearer token-a")));
    EXPECT_EQ(first.headers[2], std::make_pair(QByteArray("X-Quillo-Version"), QByteArray("2.3 (41)")));
    EXPECT_EQ(first.headers[3].first, "X-Quillo-Request-ID");
    EXPECT_DOUBLE_EQ(first.timeoutSeconds, 34.0);

    const QJsonObject body = bodyOf(first);
    EXPECT_EQ(body.size(), 6);
    EXPECT_EQ(body.value("text").toString(), QStringLiteral("  teh text\n")) << "sent untrimmed";
    EXPECT_EQ(body.value("mode").toString(), QStringLiteral("cloud_fast"));
    EXPECT_EQ(body.value("cloudModel").toString(), QStringLiteral("very_very_fast"));
    EXPECT_EQ(body.value("correctionStyle").toString(), QStringLiteral("proofread"));
    const QString id = body.value("correctionId").toString();
    EXPECT_EQ(id.size(), 36);
    EXPECT_EQ(id, id.toLower());
    EXPECT_EQ(first.headers[3].second, id.toUtf8());
    EXPECT_EQ(body.value("recoveryKey").toString().size(), 43);
    EXPECT_EQ(transport.sent()[1].request.body, first.body) << "every attempt is the same request";

    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0],
              std::make_pair(QuilloDiagnosticEvent::cloudRequestStarted, std::optional<QUuid>(QUuid::fromString(id))));
    EXPECT_EQ(events[1], std::make_pair(QuilloDiagnosticEvent::cloudRequestSucceeded,
                                        std::optional<QUuid>(QUuid::fromString(id))));

    // A later call is a new identity, contextual goes out as such.
    transport.enqueue(Step::json(200, successBody(QStringLiteral("x"))));
    auto second = start(QStringLiteral("x"), CloudCorrectionModel::fast, CorrectionWritingMode::contextual);
    ASSERT_TRUE(second->finished);
    const QJsonObject again = bodyOf(transport.sent()[2].request);
    EXPECT_NE(again.value("correctionId"), body.value("correctionId"));
    EXPECT_EQ(again.value("cloudModel").toString(), QStringLiteral("fast"));
    EXPECT_EQ(again.value("correctionStyle").toString(), QStringLiteral("contextual"));
}

TEST_F(CloudCorrectionTest, VersionHeaderWithoutBundleVersionsIsUnknown) {
    QuilloInfoDictionary bare;
    bare.insert(QStringLiteral("CFBundleIdentifier"), QStringLiteral("x"));
    service = std::make_unique<QuilloCloudService>(transport, auth, nullptr, options(bare));
    transport.enqueue(Step::json(200, successBody(QStringLiteral("ok"))));
    run();
    EXPECT_EQ(*transport.sent()[0].request.header("X-Quillo-Version"), "unknown (unknown)");
}

TEST_F(CloudCorrectionTest, SuccessBodiesMapRoutingModelsBillingAndBlankCorrections) {
    struct Case {
        const char* name;
        QByteArray body;
        CloudCorrectionModel requested;
        QString expectedCorrection;
        std::optional<QuilloCorrectionRouting> routing;
        std::vector<CloudCorrectionModel> used;
    };
    using M = CloudCorrectionModel;
    const std::vector<Case> cases{
        {"no routing", successBody("fixed"), M::veryVeryFast, "fixed", std::nullopt, {M::veryVeryFast}},
        {"rerouted",
         successBody("fixed", routing("Fast", "Fast", "Fast")),
         M::veryVeryFast,
         "fixed",
         QuilloCorrectionRouting{M::fast, M::fast, M::fast},
         {M::fast}},
        {"billing mismatch",
         successBody("fixed", routing("Fast", "Fast", "Very Very Fast")),
         M::fast,
         "fixed",
         std::nullopt,
         {}},
        {"lower-case title", successBody("fixed", routing("fast", "fast", "fast")), M::fast, "fixed", std::nullopt, {}},
        {"blank correction", successBody(" \n\t"), M::fast, "teh text", std::nullopt, {M::fast}},
        {"null members",
         R"({"correction":"fixed","routing":null,"billing":null,"other":1})",
         M::fast,
         "fixed",
         std::nullopt,
         {M::fast}},
    };
    for (const Case& c : cases) {
        transport.enqueue(Step::json(200, c.body));
        auto outcome = run(QStringLiteral("teh text"), c.requested);
        ASSERT_FALSE(outcome->failed()) << c.name;
        const QuilloCorrectionResult& result = **outcome->value;
        EXPECT_EQ(result.correction, c.expectedCorrection) << c.name;
        EXPECT_EQ(result.routing, c.routing) << c.name;
        EXPECT_EQ(result.usedModels, c.used) << c.name;
        EXPECT_EQ(result.chargedCredits, std::nullopt) << c.name;
    }
    EXPECT_EQ(service->account(), std::nullopt) << "no billing, no balance";
}

TEST_F(CloudCorrectionTest, BillingKeepsThePublishedBalanceInStep) {
    auto full = billing(0.18, 9.5);
    full.insert("reservedCredits", 1.0);
    full.insert("availableCredits", 8.5);
    transport.enqueue(Step::json(200, successBody("a", std::nullopt, full)));
    auto outcome = run();
    EXPECT_EQ((*outcome->value)->chargedCredits, 0.18);
    EXPECT_EQ(service->account(), (QuilloCloudAccount{9.5, 1.0, 8.5}));
    EXPECT_EQ(service->lastChargedCredits(), 0.18);

    transport.enqueue(Step::json(200, successBody("a", std::nullopt, billing(0.01, 9.0))));
    run();
    EXPECT_EQ(service->account(), (QuilloCloudAccount{9.0, 0.0, 9.0})) << "reserved 0, available = balance";
    EXPECT_EQ(service->lastChargedCredits(), 0.01);
}

TEST_F(CloudCorrectionTest, UnreadableSuccessBodiesThrowAndPublishNothing) {
    const std::vector<QByteArray> bodies{
        "not json",
        "[]",
        R"({"routing":null})",
        R"({"correction":5})",
        R"({"correction":"a","routing":{"requestedSpeed":"Fast","usedSpeed":"Fast"}})",
        R"({"correction":"a","routing":"Fast"})",
        R"({"correction":"a","billing":{"chargedCredits":1}})",
        R"({"correction":"a","billing":{"chargedCredits":"1","balanceCredits":2}})",
        R"({"correction":"a","billing":{"chargedCredits":1,"balanceCredits":2,"availableCredits":"x"}})",
    };
    for (const QByteArray& body : bodies) {
        events.clear();
        transport.enqueue(Step::json(200, body));
        auto outcome = run();
        EXPECT_TRUE(outcome->failedWith<CloudResponseDecodingError>()) << body.toStdString();
        ASSERT_EQ(events.size(), 1u) << "started only: " << body.toStdString();
        EXPECT_EQ(events[0].first, QuilloDiagnosticEvent::cloudRequestStarted);
    }
    EXPECT_EQ(service->account(), std::nullopt);
    EXPECT_EQ(service->loadingError(), std::nullopt);
}

TEST_F(CloudCorrectionTest, NothingIsSentForBlankTextABadEndpointOrHalfASurrogatePair) {
    auto blank = start(QStringLiteral(" \n\t "));
    ASSERT_TRUE(blank->finished);
    EXPECT_EQ(*blank->value, std::nullopt);

    auto options = this->options();
    options.endpoint = QStringLiteral("not a url");
    QuilloCloudService broken(transport, auth, nullptr, options);
    auto none =
        observe(broken.correctText("text", "cloud_fast", CloudCorrectionModel::fast, CorrectionWritingMode::proofread));
    ASSERT_TRUE(none->finished);
    EXPECT_EQ(*none->value, std::nullopt);
    EXPECT_EQ(broken.loadingError(),
              UserFacingErrorCatalog::account(UserFacingErrorCatalog::AccountFailure::invalidEndpoint()));

    QString halfPair = QStringLiteral("ab");
    halfPair.append(QChar(0xD83D));
    auto encoding = start(halfPair);
    ASSERT_TRUE(encoding->finished);
    EXPECT_TRUE(encoding->failedWith<CloudRequestEncodingError>());
    EXPECT_TRUE(transport.sent().empty());
    EXPECT_TRUE(events.empty() || events.back().first == QuilloDiagnosticEvent::cloudRequestStarted);
}

TEST_F(CloudCorrectionTest, SignedOutCallsAreRefusedWithTheSignInSentence) {
    auth.setSession(std::nullopt);
    auto outcome = start();
    ASSERT_TRUE(outcome->finished);
    EXPECT_EQ(errorOf<QuilloCloudError>(outcome), QuilloCloudError::authenticationRequired());
    EXPECT_EQ(service->loadingError(), UserFacingErrorCatalog::correction(Failure::authenticationRequired()));
    EXPECT_TRUE(transport.sent().empty());
    EXPECT_TRUE(events.empty());
}

TEST_F(CloudCorrectionTest, TransportFailuresAreRetriedTwiceAfterAQuarterAndHalfASecond) {
    transport.enqueue(2, Step::failure(NetworkErrorCode::timedOut));
    transport.enqueue(Step::json(200, successBody("ok")));
    auto outcome = run();
    ASSERT_FALSE(outcome->failed());
    EXPECT_EQ(sendGaps(), (std::vector<double>{0.25, 0.5}));

    transport.enqueue(3, Step::failure(NetworkErrorCode::networkConnectionLost));
    auto lost = run();
    EXPECT_EQ(errorOf<NetworkError>(lost).code, NetworkErrorCode::networkConnectionLost);
    EXPECT_EQ(transport.sent().size(), 6u) << "three attempts at most";
    EXPECT_EQ(events.back().first, QuilloDiagnosticEvent::cloudRequestFailed);

    transport.enqueue(Step::failure(NetworkErrorCode::notConnectedToInternet));
    auto offline = run();
    EXPECT_EQ(errorOf<NetworkError>(offline).code, NetworkErrorCode::notConnectedToInternet);
    EXPECT_EQ(transport.sent().size(), 7u) << "never retried offline";
    EXPECT_EQ(service->loadingError(), std::nullopt) << "transport failures publish nothing";
}

TEST_F(CloudCorrectionTest, TheDeadlineShortensAttemptsAndCutsRetriesShort) {
    // The first attempt hangs for its whole 34 s, the retry gets only what is left of 40 s.
    transport.enqueue(2, Step::hang());
    const double started = clock.uptimeSeconds();
    auto outcome = run();
    EXPECT_EQ(errorOf<NetworkError>(outcome).code, NetworkErrorCode::timedOut);
    ASSERT_EQ(transport.sent().size(), 2u);
    EXPECT_DOUBLE_EQ(transport.sent()[1].request.timeoutSeconds, 40.0 - 34.25);
    EXPECT_NEAR(clock.uptimeSeconds() - started, 40.0, 1e-6) << "nothing starts after the deadline";

    // With 0.2 s left a transport failure is not retried.
    transport.enqueue(Step::hang());
    transport.enqueue(Step::failure(NetworkErrorCode::timedOut, 5.55));
    auto late = run();
    EXPECT_EQ(errorOf<NetworkError>(late).code, NetworkErrorCode::timedOut);
    EXPECT_EQ(transport.sent().size(), 4u);

    // An answer that is still processing near the deadline is not polled past it.
    transport.enqueue(Step::hang());
    transport.enqueue(Step::answer(425, {}, {}, 5.0));
    auto polled = run();
    EXPECT_EQ(errorOf<QuilloCloudError>(polled), QuilloCloudError::httpError(425));
    EXPECT_EQ(transport.sent().size(), 6u);
    EXPECT_EQ(service->loadingError(), UserFacingErrorCatalog::correction(Failure::http(425)));

    // The attempt timeout never drops under 1 s.
    transport.enqueue(Step::hang());
    transport.enqueue(Step::failure(NetworkErrorCode::timedOut, 5.0));
    transport.enqueue(Step::json(200, successBody("ok")));
    auto floor = run();
    ASSERT_FALSE(floor->failed());
    ASSERT_EQ(transport.sent().size(), 9u);
    EXPECT_NEAR(transport.sent().back().uptime - transport.sent()[6].uptime, 39.75, 1e-6);
    EXPECT_DOUBLE_EQ(transport.sent().back().request.timeoutSeconds, 1.0);
}

TEST_F(CloudCorrectionTest, RetryAfterPacesPollsBetweenOneAndTwoSeconds) {
    for (const char* value : {"0", "1", "2", "600", "-3", "soon", ""}) {
        transport.enqueue(Step::answer(425, {}, {{"Retry-After", value}}));
        transport.enqueue(Step::json(200, successBody("ok")));
    }
    std::vector<double> waits;
    for (int i = 0; i < 7; ++i) {
        const std::size_t before = transport.sent().size();
        auto outcome = run();
        ASSERT_FALSE(outcome->failed());
        waits.push_back(transport.sent()[before + 1].uptime - transport.sent()[before].uptime);
    }
    EXPECT_EQ(waits, (std::vector<double>{1, 1, 2, 2, 1, 1, 1}));
}

TEST_F(CloudCorrectionTest, FifteenPollsAtMostThenTheStillProcessingStatus) {
    transport.enqueue(16, Step::answer(425));
    auto outcome = run();
    EXPECT_EQ(errorOf<QuilloCloudError>(outcome), QuilloCloudError::httpError(425));
    EXPECT_EQ(transport.sent().size(), 16u);
    EXPECT_EQ(sendGaps(), std::vector<double>(15, 1.0));

    transport.enqueue(15, Step::answer(425));
    transport.enqueue(Step::json(200, successBody("done")));
    auto fifteenth = run();
    ASSERT_FALSE(fifteenth->failed());
    EXPECT_EQ((*fifteenth->value)->correction, QStringLiteral("done"));
}

TEST_F(CloudCorrectionTest, OnlyAGatewayFailureMarkedSafeIsRepeatedAndOnlyOnce) {
    const CloudHttpHeaders safe{{"X-Quillo-Retry-Safe", "1"}};
    transport.enqueue(2, Step::answer(503, {}, safe));
    auto twice = run();
    EXPECT_EQ(errorOf<QuilloCloudError>(twice), QuilloCloudError::httpError(503));
    EXPECT_EQ(transport.sent().size(), 2u);
    EXPECT_EQ(service->loadingError(), UserFacingErrorCatalog::correction(Failure::http(503)));

    struct Case {
        int status;
        QByteArray header;
    };
    for (const Case& c : {Case{503, "true"}, Case{500, "1"}, Case{502, ""}}) {
        const std::size_t before = transport.sent().size();
        transport.enqueue(Step::answer(c.status, {}, {{"X-Quillo-Retry-Safe", c.header}}));
        auto outcome = run();
        EXPECT_EQ(errorOf<QuilloCloudError>(outcome), QuilloCloudError::httpError(c.status));
        EXPECT_EQ(transport.sent().size(), before + 1) << c.status << " " << c.header.toStdString();
    }

    transport.enqueue(Step::answer(504, {}, {{"X-Quillo-Retry-Safe", "1"}, {"Retry-After", "9"}}));
    transport.enqueue(Step::json(200, successBody("ok")));
    const std::size_t before = transport.sent().size();
    auto retried = run();
    ASSERT_FALSE(retried->failed());
    EXPECT_EQ(transport.sent()[before + 1].uptime - transport.sent()[before].uptime, 2.0);
}

TEST_F(CloudCorrectionTest, CancellationEndsARetryWaitAtOnce) {
    CancellationSource source;
    transport.enqueue(Step::answer(425));
    auto outcome =
        start(QStringLiteral("teh"), CloudCorrectionModel::fast, CorrectionWritingMode::proofread, source.token());
    clock.advance(0.5);
    ASSERT_FALSE(outcome->finished);
    source.cancel();
    ASSERT_TRUE(outcome->finished);
    EXPECT_TRUE(outcome->failedWith<CancellationError>());
    EXPECT_EQ(transport.sent().size(), 1u);
    EXPECT_EQ(events.back().first, QuilloDiagnosticEvent::cloudRequestFailed);
    EXPECT_EQ(service->loadingError(), std::nullopt);

    // And a request in flight.
    CancellationSource second;
    transport.enqueue(Step::hang());
    auto inFlight =
        start(QStringLiteral("teh"), CloudCorrectionModel::fast, CorrectionWritingMode::proofread, second.token());
    second.cancel();
    EXPECT_TRUE(inFlight->failedWith<CancellationError>());
    EXPECT_EQ(clock.pendingTimers(), 0u) << "no timer is left behind";
}

TEST_F(CloudCorrectionTest, CapacityRefusalCarriesRetryAfter) {
    transport.enqueue(Step::answer(429, {}, {{"Retry-After", "30"}}));
    auto busy = run();
    EXPECT_EQ(errorOf<QuilloCloudError>(busy), QuilloCloudError::temporarilyBusy(30));
    EXPECT_EQ(service->loadingError(), QStringLiteral("Both speeds are busy. Try again in 30 s."));
    EXPECT_EQ(transport.sent().size(), 1u) << "429 is never repeated";

    transport.enqueue(Step::answer(429));
    auto plain = run();
    EXPECT_EQ(errorOf<QuilloCloudError>(plain), QuilloCloudError::temporarilyBusy(std::nullopt));
    EXPECT_EQ(service->loadingError(), QStringLiteral("Both speeds are busy. Try again shortly."));
}

TEST_F(CloudCorrectionTest, CreditRefusalPublishesTheAvailableCredit) {
    transport.enqueue(Step::json(402, "{}"));
    auto empty = run();
    EXPECT_EQ(errorOf<QuilloCloudError>(empty), QuilloCloudError::insufficientCredits());
    EXPECT_EQ(service->account(), (QuilloCloudAccount{0, 0, 0}));
    EXPECT_EQ(service->loadingError(), UserFacingErrorCatalog::correction(Failure::insufficientCredits()));

    auto full = billing(0.1, 5.0);
    full.insert("reservedCredits", 2.0);
    full.insert("availableCredits", 3.0);
    transport.enqueue(Step::json(200, successBody("a", std::nullopt, full)));
    run();
    transport.enqueue(
        Step::json(402, R"({"error":"insufficient_credits","availableCredits":0.05,"requiredCredits":0.18})"));
    run();
    EXPECT_EQ(service->account(), (QuilloCloudAccount{5.0, 2.0, 0.05})) << "balance and reservation kept";

    transport.enqueue(Step::answer(402, "<html>"));
    auto unreadable = run();
    EXPECT_EQ(errorOf<QuilloCloudError>(unreadable), QuilloCloudError::httpError(402));
    EXPECT_EQ(service->loadingError(), UserFacingErrorCatalog::correction(Failure::http(402)));
}

TEST_F(CloudCorrectionTest, UnauthorizedEndsTheSessionItWasSentWith) {
    transport.enqueue(Step::json(200, successBody("a", std::nullopt, billing(0.1, 5.0))));
    run();
    transport.enqueue(Step::json(401, R"({"error":"session_invalid"})"));
    auto refused = run();
    EXPECT_EQ(errorOf<QuilloCloudError>(refused), QuilloCloudError::httpError(401));
    EXPECT_EQ(auth.currentSession(), std::nullopt);
    EXPECT_EQ(service->account(), std::nullopt);
    EXPECT_EQ(service->lastChargedCredits(), std::nullopt);
    EXPECT_EQ(service->loadingError(), QStringLiteral("Your session expired. Sign in again from Quillo Settings."));
}

TEST_F(CloudCorrectionTest, AnswersForAnEarlierSessionChangeNothingPublished) {
    transport.enqueue(Step::json(200, successBody("a", std::nullopt, billing(0.1, 5.0))));
    run();
    const auto published = service->account();

    // The user signs in again while a request is in flight: its 401 neither signs out nor clears.
    transport.enqueue(Step::json(401, "{}", {}, 1.0));
    auto stale = start();
    auth.setSession(sessionWith(QStringLiteral("token-b")));
    drive(stale);
    EXPECT_EQ(errorOf<QuilloCloudError>(stale), QuilloCloudError::httpError(401));
    EXPECT_EQ(auth.currentSession()->accessToken, QStringLiteral("token-b"));
    EXPECT_EQ(service->account(), published);
    EXPECT_EQ(service->loadingError(), std::nullopt);

    // Signing out while a billed answer is on its way: nothing published either.
    transport.enqueue(Step::json(200, successBody("b", std::nullopt, billing(0.2, 1.0)), {}, 1.0));
    auto late = start();
    auth.setSession(std::nullopt);
    drive(late);
    ASSERT_FALSE(late->failed());
    EXPECT_EQ((*late->value)->correction, QStringLiteral("b")) << "the caller still gets its result";
    EXPECT_EQ(service->account(), published);

    auth.setSession(sessionWith(QStringLiteral("token-c")));
    transport.enqueue(Step::answer(429, {}, {}, 1.0));
    auto busy = start();
    auth.setSession(sessionWith(QStringLiteral("token-d")));
    drive(busy);
    EXPECT_TRUE(busy->failedWith<QuilloCloudError>());
    EXPECT_EQ(service->loadingError(), std::nullopt);
}

TEST_F(CloudCorrectionTest, OtherStatusesAndNonHTTPAnswersBecomeHTTPErrors) {
    for (int status : {400, 403, 413, 500, -1}) {
        transport.enqueue(Step::answer(status));
        auto outcome = run();
        EXPECT_EQ(errorOf<QuilloCloudError>(outcome), QuilloCloudError::httpError(status));
        EXPECT_EQ(service->loadingError(), UserFacingErrorCatalog::correction(Failure::http(status)));
    }
    EXPECT_EQ(transport.sent().size(), 5u);
}

TEST(CloudServiceEndpoint, DerivedURLsAndConfiguration) {
    const QString endpoint = QStringLiteral("https://127.0.0.1:8443/api/correct?x=1#frag");
    EXPECT_EQ(QuilloCloudService::healthURL(endpoint)->toString(),
              QStringLiteral("https://127.0.0.1:8443/api/correct?action=health"));
    EXPECT_EQ(QuilloCloudService::checkoutURL(endpoint)->toString(),
              QStringLiteral("https://127.0.0.1:8443/api/checkout"));
    EXPECT_EQ(QuilloCloudService::authURL(endpoint)->toString(), QStringLiteral("https://127.0.0.1:8443/api/auth"));
    EXPECT_FALSE(QuilloCloudService::isConfigured(QStringLiteral("")));
    EXPECT_FALSE(QuilloCloudService::isConfigured(QStringLiteral("/api/correct")));
    EXPECT_FALSE(QuilloCloudService::authURL(QStringLiteral("::")).has_value());
    EXPECT_TRUE(QuilloCloudService::isConfigured()) << "the build constant parses";
    EXPECT_EQ(QuilloCloudService::endpointURL()->path(), QStringLiteral("/api/correct"));
}

TEST(CloudServiceEndpoint, SavingTheConfigurationForgetsAFormerUserEndpoint) {
    InMemoryUserDefaults defaults;
    defaults.setString(QuilloCloudService::endpointDefaultsKey, QStringLiteral("https://127.0.0.2/api/correct"));
    QuilloCloudService::saveConfiguration(defaults, QStringLiteral("https://127.0.0.3/api/correct"));
    EXPECT_FALSE(defaults.contains(QuilloCloudService::endpointDefaultsKey));
    EXPECT_EQ(defaults.boolean(QuilloCloudService::configuredDefaultsKey), true);
    EXPECT_EQ(QuilloCloudService::endpoint(), QStringLiteral(QUILLO_CLOUD_ENDPOINT_TEXT));
}
