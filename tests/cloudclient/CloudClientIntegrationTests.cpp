#include "CloudClientHarness.h"

#include "Services/CloudHealthChecker.h"
#include "Services/CloudPasswordSignIn.h"
#include "Services/QuilloCloudError.h"
#include "Support/BlockingWait.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

using namespace cloudclienttest;

namespace {

struct Correction {
    std::optional<QuilloCorrectionResult> result;
    std::exception_ptr error;
};

Correction correct(QuilloCloudService& service, const QString& text,
                   CloudCorrectionModel model = CloudCorrectionModel::fast,
                   CorrectionWritingMode mode = CorrectionWritingMode::proofread) {
    Correction c;
    try {
        c.result = blockingWait(service.correctText(text, QStringLiteral("cloud_fast"), model, mode));
    } catch (...) {
        c.error = std::current_exception();
    }
    return c;
}

template <typename E> std::optional<E> errorAs(const Correction& c) {
    if (!c.error) return std::nullopt;
    try {
        std::rethrow_exception(c.error);
    } catch (const E& e) {
        return e;
    } catch (...) {}
    return std::nullopt;
}

std::string describe(const Correction& c) {
    if (!c.error) return c.result ? c.result->correction.toStdString() : "no result";
    try {
        std::rethrow_exception(c.error);
    } catch (const std::exception& e) {
        return e.what();
    }
}

} // namespace

TEST(CloudClientAgainstServer, CorrectsAtEachSpeedAndModeAndKeepsTheBalanceInStep) {
    CloudClientHarness h;
    h.signIn("speeds@localhost", 10);
    using M = CloudCorrectionModel;
    using W = CorrectionWritingMode;
    const QString text = QStringLiteral("i recieve teh letter yesterday  and i could of answered.");
    std::map<std::pair<M, W>, QuilloCorrectionResult> results;
    for (M model : {M::fast, M::veryVeryFast})
        for (W mode : {W::proofread, W::contextual}) {
            const double before = h.serverAvailableCredits();
            const Correction c = correct(*h.service, text, model, mode);
            ASSERT_TRUE(c.result) << describe(c);
            const QuilloCorrectionResult& r = *c.result;
            EXPECT_TRUE(r.correction.startsWith(QStringLiteral("I receive the letter yesterday and I could")))
                << r.correction.toStdString();
            ASSERT_TRUE(r.routing.has_value());
            EXPECT_EQ(r.routing->requestedModel, model);
            EXPECT_EQ(r.usedModels, std::vector<M>{model});
            ASSERT_TRUE(r.chargedCredits.has_value());
            EXPECT_NEAR(before - h.serverAvailableCredits(), *r.chargedCredits, 1e-9);
            ASSERT_TRUE(h.service->account().has_value());
            EXPECT_NEAR(h.service->account()->availableCredits, h.serverAvailableCredits(), 1e-9);
            EXPECT_EQ(h.service->lastChargedCredits(), r.chargedCredits);
            results[{model, mode}] = r;
        }
    const auto at = [&](M model, W mode) { return results[std::make_pair(model, mode)]; };
    EXPECT_TRUE(at(M::fast, W::contextual).correction.contains(QStringLiteral("could have")));
    EXPECT_TRUE(at(M::fast, W::proofread).correction.contains(QStringLiteral("could have")));
    EXPECT_NEAR(*at(M::veryVeryFast, W::proofread).chargedCredits, 1.85 * *at(M::fast, W::proofread).chargedCredits,
                1e-9);
    EXPECT_TRUE(h.waits.empty());
    EXPECT_EQ(h.service->loadingError(), std::nullopt);
}

TEST(CloudClientAgainstServer, ADroppedConnectionIsRetriedAndChargedOnce) {
    CloudClientHarness h;
    h.signIn("drop@localhost", 5);
    const double before = h.serverAvailableCredits();
    h.server.control("drop", {{"count", 1}});
    const Correction c = correct(*h.service, QStringLiteral("teh end"));
    ASSERT_TRUE(c.result) << describe(c);
    EXPECT_EQ(c.result->correction, QStringLiteral("the end")) << "a fragment keeps its first letter";
    EXPECT_NEAR(before - h.serverAvailableCredits(), *c.result->chargedCredits, 1e-9) << "one charge";

    // The answer is lost after the server charged: the repeat replays it.
    const double middle = h.serverAvailableCredits();
    h.server.control("gateway", {{"status", 502}, {"safe", true}, {"afterProcessing", true}, {"count", 1}});
    const Correction replay = correct(*h.service, QStringLiteral("teh second end"));
    ASSERT_TRUE(replay.result) << describe(replay);
    EXPECT_EQ(replay.result->correction, QStringLiteral("the second end"));
    EXPECT_NEAR(middle - h.serverAvailableCredits(), *replay.result->chargedCredits, 1e-9)
        << "replayed, not charged again";
    EXPECT_EQ(h.waits.back(), 1'000'000'000u);
}

TEST(CloudClientAgainstServer, PollsWhileTheSameRequestIsProcessing) {
    CloudClientHarness h;
    h.signIn("early@localhost", 5);
    h.server.control("too-early", {{"count", 3}});
    const Correction c = correct(*h.service, QStringLiteral("teh poll"));
    ASSERT_TRUE(c.result) << describe(c);
    EXPECT_EQ(c.result->correction, QStringLiteral("the poll"));
    EXPECT_EQ(h.waits, (std::vector<std::uint64_t>(3, 1'000'000'000u))) << "Retry-After 1 from the server";
}

TEST(CloudClientAgainstServer, ASafeGatewayFailureIsRetriedOnce) {
    CloudClientHarness h;
    h.signIn("gateway@localhost", 5);
    h.server.control("gateway", {{"status", 503}, {"safe", true}, {"count", 1}});
    const Correction once = correct(*h.service, QStringLiteral("teh gate"));
    ASSERT_TRUE(once.result) << describe(once);
    EXPECT_EQ(h.waits.size(), 1u);

    h.server.control("gateway", {{"status", 503}, {"safe", true}, {"count", 2}});
    const Correction twice = correct(*h.service, QStringLiteral("teh gate"));
    ASSERT_EQ(errorAs<QuilloCloudError>(twice), QuilloCloudError::httpError(503)) << describe(twice);
    EXPECT_EQ(h.service->loadingError(),
              QStringLiteral("The correction service is temporarily unavailable. Try again shortly."));

    h.server.control("gateway", {{"status", 504}, {"safe", false}, {"count", 1}});
    const Correction unsafe = correct(*h.service, QStringLiteral("teh gate"));
    EXPECT_EQ(errorAs<QuilloCloudError>(unsafe), QuilloCloudError::httpError(504)) << describe(unsafe);
    EXPECT_EQ(h.waits.size(), 2u) << "an unmarked failure is not repeated";
}

TEST(CloudClientAgainstServer, RefusalsForCreditCapacityAndSession) {
    CloudClientHarness h;
    const QuilloAuthSession session = h.signIn("refusals@localhost", 0.001);

    const Correction poor = correct(*h.service, QStringLiteral("teh money"));
    EXPECT_EQ(errorAs<QuilloCloudError>(poor), QuilloCloudError::insufficientCredits()) << describe(poor);
    ASSERT_TRUE(h.service->account().has_value());
    EXPECT_NEAR(h.service->account()->availableCredits, 0.001, 1e-9);
    EXPECT_EQ(h.service->loadingError(), QStringLiteral("Top up your balance, then try again."));

    h.server.control("balance", {{"email", "refusals@localhost"}, {"balanceCredits", 5}});
    h.server.control("busy", {{"fast", true}, {"very_very_fast", true}, {"retryAfter", 7}});
    const Correction busy = correct(*h.service, QStringLiteral("teh busy"));
    EXPECT_EQ(errorAs<QuilloCloudError>(busy), QuilloCloudError::temporarilyBusy(7)) << describe(busy);
    EXPECT_EQ(h.service->loadingError(), QStringLiteral("Both speeds are busy. Try again in 7 s."));
    h.server.control("busy", {{"fast", false}, {"very_very_fast", false}});

    // Signed out on the server: the next correction's 401 ends the client's session.
    const auto signOut = h.server.auth({{"action", "sign_out"}}, session.accessToken.toStdString());
    ASSERT_EQ(signOut.status, 200) << signOut.text;
    const Correction refused = correct(*h.service, QStringLiteral("teh end"));
    EXPECT_EQ(errorAs<QuilloCloudError>(refused), QuilloCloudError::httpError(401)) << describe(refused);
    EXPECT_EQ(h.auth.currentSession(), std::nullopt);
    EXPECT_EQ(h.service->account(), std::nullopt);
    EXPECT_EQ(h.service->loadingError(), QStringLiteral("Your session expired. Sign in again from Quillo Settings."));

    const Correction signedOut = correct(*h.service, QStringLiteral("teh end"));
    EXPECT_EQ(errorAs<QuilloCloudError>(signedOut), QuilloCloudError::authenticationRequired());
}

TEST(CloudClientAgainstServer, BalanceRefreshAndSynchronisation) {
    CloudClientHarness h;
    h.signIn("balance@localhost", 12.5);
    blockingWait(h.service->refreshAccount());
    ASSERT_TRUE(h.service->account().has_value());
    EXPECT_EQ(*h.service->account(), (QuilloCloudAccount{12.5, 0, 12.5}));

    h.server.control("balance", {{"email", "balance@localhost"}, {"balanceCredits", 3}});
    blockingWait(h.service->synchronizeCloudState(true));
    EXPECT_EQ(*h.service->account(), (QuilloCloudAccount{3, 0, 3}));
    EXPECT_TRUE(h.service->healthChecker().lastResult());
    EXPECT_FALSE(h.service->isRefreshingAccount());
}

TEST(CloudClientAgainstServer, HealthIsTrueWhileServingAndFalseOnceStopped) {
    CloudClientHarness h;
    CloudHealthChecker checker(h.transport);
    const auto url = QuilloCloudService::healthURL(h.endpoint());
    EXPECT_TRUE(blockingWait(checker.check(*url, true)));
    h.server.stop();
    EXPECT_TRUE(blockingWait(checker.check(*url, false))) << "cached";
    EXPECT_FALSE(blockingWait(checker.check(*url, true)));
}

TEST(CloudClientAgainstServer, AnUntrustedServerIsRefusedAsACertificateFailure) {
    CloudClientHarness h;
    QtCloudHttpTransport systemOnly(QStringList{});
    CloudHttpRequest request;
    request.url = *QuilloCloudService::healthURL(h.endpoint());
    request.timeoutSeconds = 10;
    try {
        blockingWait(systemOnly.send(request, {}));
        FAIL() << "a certificate of an unknown authority was accepted";
    } catch (const NetworkError& error) {
        EXPECT_EQ(error.code, NetworkErrorCode::serverCertificateHasUnknownRoot)
            << networkErrorCodeName(error.code).toStdString();
    }
}

TEST(CloudClientAgainstServer, TransportMapsRefusedConnectionsAndTimeouts) {
    CloudClientHarness h;
    const QUrl url = *QuilloCloudService::healthURL(h.endpoint());
    h.server.control("delay", {{"milliseconds", 3000}, {"count", 1}});
    CloudHttpRequest slow;
    slow.url = url;
    slow.timeoutSeconds = 0.3;
    try {
        blockingWait(h.transport.send(slow, {}));
        FAIL() << "no timeout";
    } catch (const NetworkError& error) {
        EXPECT_EQ(error.code, NetworkErrorCode::timedOut);
    }
    h.server.stop();
    CloudHttpRequest refused;
    refused.url = url;
    try {
        blockingWait(h.transport.send(refused, {}));
        FAIL() << "answered by a stopped server";
    } catch (const NetworkError& error) {
        EXPECT_EQ(error.code, NetworkErrorCode::cannotConnectToHost) << networkErrorCodeName(error.code).toStdString();
    }
}

TEST(CloudClientAgainstServer, PasswordSignInReportsTheServersCode) {
    CloudClientHarness h;
    h.server.createAccount("code@localhost", "a-long-password", 1);
    try {
        blockingWait(CloudPasswordSignIn::signIn(h.transport, *QuilloCloudService::authURL(h.endpoint()),
                                                 "code@localhost", "wrong-password-here",
                                                 toQString(cloudtest::kInstallationId)));
        FAIL() << "signed in with a wrong password";
    } catch (const CloudSignInError& error) {
        EXPECT_EQ(error.code, QStringLiteral("invalid_credentials"));
    }
}
