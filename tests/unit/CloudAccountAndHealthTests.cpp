#include "CloudTestSupport.h"
#include "QtTestPrinters.h"
#include "Services/CloudHealthChecker.h"
#include "Services/ConnectivityService.h"
#include "Support/UserFacingErrorCatalog.h"

using namespace cloudclienttest;
using AccountFailure = UserFacingErrorCatalog::AccountFailure;

namespace {

QByteArray balance(double b, double r, double a) {
    return json({{"balanceCredits", b}, {"reservedCredits", r}, {"availableCredits", a}});
}

bool isHealth(const CloudHttpRequest& request) { return request.url.query() == QStringLiteral("action=health"); }

class CloudAccountTest : public CloudServiceTest {
protected:
    std::shared_ptr<TaskOutcome<void>> refresh() { return observe(service->refreshAccount()); }
    std::shared_ptr<TaskOutcome<void>> synchronize(bool force) {
        return observe(service->synchronizeCloudState(force));
    }
    int count(bool health) const {
        int n = 0;
        for (const auto& s : transport.sent()) n += isHealth(s.request) == health;
        return n;
    }
};

} // namespace

TEST_F(CloudAccountTest, RefreshSendsOnlyTheBearerAndPublishesTheBalance) {
    transport.enqueue(Step::json(200, balance(10, 1, 9)));
    auto outcome = refresh();
    ASSERT_TRUE(outcome->finished);
    ASSERT_EQ(transport.sent().size(), 1u);
    const CloudHttpRequest& request = transport.sent()[0].request;
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.url.toString(), kEndpoint);
    EXPECT_EQ(request.headers, (CloudHttpHeaders{{"Authorization", "Bearer token-a"}}));
    EXPECT_TRUE(request.body.isEmpty());
    EXPECT_DOUBLE_EQ(request.timeoutSeconds, 10.0);
    EXPECT_EQ(service->account(), (QuilloCloudAccount{10, 1, 9}));
    EXPECT_FALSE(service->isRefreshingAccount());
}

TEST_F(CloudAccountTest, OnlyTheNewestOfTwoRefreshesPublishes) {
    // The older answer arrives first: it is dropped and the flag stays up until the newer ends.
    transport.enqueue(Step::json(200, balance(1, 0, 1), {}, 1.0));
    transport.enqueue(Step::json(200, balance(2, 0, 2), {}, 2.0));
    auto older = refresh();
    auto newer = refresh();
    clock.advance(1.0);
    EXPECT_TRUE(older->finished);
    EXPECT_EQ(service->account(), std::nullopt);
    EXPECT_TRUE(service->isRefreshingAccount());
    clock.advance(1.0);
    EXPECT_TRUE(newer->finished);
    EXPECT_EQ(service->account(), (QuilloCloudAccount{2, 0, 2}));
    EXPECT_FALSE(service->isRefreshingAccount());

    // The newer answer arrives first: the older one, arriving later, changes nothing.
    transport.enqueue(Step::json(503, "{}", {}, 2.0));
    transport.enqueue(Step::json(200, balance(3, 0, 3), {}, 1.0));
    refresh();
    refresh();
    clock.advance(1.0);
    EXPECT_EQ(service->account(), (QuilloCloudAccount{3, 0, 3}));
    EXPECT_FALSE(service->isRefreshingAccount());
    clock.advance(1.0);
    EXPECT_EQ(service->account(), (QuilloCloudAccount{3, 0, 3}));
    EXPECT_EQ(service->loadingError(), std::nullopt);
}

TEST_F(CloudAccountTest, SignedOutRefreshClearsEverythingWithoutSending) {
    transport.enqueue(Step::json(200, balance(10, 1, 9)));
    refresh();
    transport.enqueue(Step::json(503, "{}"));
    refresh();
    ASSERT_TRUE(service->loadingError().has_value());
    auth.setSession(std::nullopt);
    refresh();
    EXPECT_EQ(transport.sent().size(), 2u);
    EXPECT_EQ(service->account(), std::nullopt);
    EXPECT_EQ(service->lastChargedCredits(), std::nullopt);
    EXPECT_EQ(service->loadingError(), std::nullopt);
    EXPECT_FALSE(service->isRefreshingAccount());
}

TEST_F(CloudAccountTest, RefreshFailuresBecomeBalanceSentences) {
    struct Case {
        Step step;
        QString sentence;
    };
    const std::vector<Case> cases{
        {Step::json(200, R"({"balanceCredits":1,"availableCredits":1})"),
         UserFacingErrorCatalog::account(AccountFailure::invalidResponse())},
        {Step::json(200, R"({"balanceCredits":"1","reservedCredits":0,"availableCredits":1})"),
         UserFacingErrorCatalog::account(AccountFailure::invalidResponse())},
        {Step::json(504, "{}"), QStringLiteral("Balance refresh took too long. Try again.")},
        {Step::answer(-1), UserFacingErrorCatalog::account(AccountFailure::http(-1))},
        {Step::failure(NetworkErrorCode::timedOut),
         QStringLiteral("Quillo took too long to refresh your balance. Try again.")},
        {Step::failure(NetworkErrorCode::cannotConnectToHost),
         QStringLiteral("Check your internet connection, then try again.")},
    };
    for (const Case& c : cases) {
        transport.enqueue(c.step);
        auto outcome = refresh();
        drive(outcome);
        EXPECT_EQ(service->loadingError(), c.sentence);
        EXPECT_FALSE(service->isRefreshingAccount());
    }
    transport.enqueue(Step::json(200, balance(4, 0, 4)));
    refresh();
    EXPECT_EQ(service->loadingError(), std::nullopt) << "a good answer clears the sentence";
}

TEST_F(CloudAccountTest, UnauthorizedRefreshEndsTheSession) {
    transport.enqueue(Step::json(200, balance(4, 0, 4)));
    refresh();
    transport.enqueue(Step::json(401, R"({"error":"session_invalid"})"));
    refresh();
    EXPECT_EQ(auth.currentSession(), std::nullopt);
    EXPECT_EQ(service->account(), std::nullopt);
    EXPECT_EQ(service->loadingError(), QStringLiteral("Your session expired. Sign in again to refresh your balance."));

    // A 401 for a token that is no longer current leaves the new session alone.
    auth.setSession(sessionWith("token-b"));
    transport.enqueue(Step::json(200, balance(5, 0, 5)));
    refresh();
    transport.enqueue(Step::json(401, "{}", {}, 1.0));
    auto stale = refresh();
    auth.setSession(sessionWith("token-c"));
    drive(stale);
    EXPECT_EQ(auth.currentSession()->accessToken, QStringLiteral("token-c"));
    EXPECT_EQ(service->account(), (QuilloCloudAccount{5, 0, 5}));
}

TEST_F(CloudAccountTest, SynchronisationRefreshesAndChecksHealthTogether) {
    transport.setHandler([](const CloudHttpRequest& request) {
        return isHealth(request) ? Step::json(200, "{}", {}, 1.0) : Step::json(200, balance(7, 0, 7), {}, 1.0);
    });
    auto run = synchronize(false);
    EXPECT_EQ(transport.inFlight(), 2) << "both requests are out at once";
    const CloudHttpRequest* health = nullptr;
    for (const auto& s : transport.sent())
        if (isHealth(s.request)) health = &s.request;
    ASSERT_NE(health, nullptr);
    EXPECT_TRUE(health->headers.empty());
    EXPECT_TRUE(health->ignoreCache);
    EXPECT_DOUBLE_EQ(health->timeoutSeconds, 5.0);
    clock.advance(1.0);
    EXPECT_TRUE(run->finished);
    EXPECT_EQ(service->account(), (QuilloCloudAccount{7, 0, 7}));
    EXPECT_FALSE(service->isSynchronizingCloudState());

    auth.setSession(std::nullopt);
    synchronize(true);
    EXPECT_EQ(transport.sent().size(), 2u) << "signed out: nothing";
}

TEST_F(CloudAccountTest, SynchronisationJoinRules) {
    transport.setHandler([](const CloudHttpRequest& request) {
        return isHealth(request) ? Step::json(200, "{}", {}, 1.0) : Step::json(200, balance(7, 0, 7), {}, 1.0);
    });
    // An unforced call during a forced run for the same session is covered by it.
    auto forced = synchronize(true);
    auto joined = synchronize(false);
    clock.advance(1.0);
    EXPECT_TRUE(forced->finished);
    EXPECT_TRUE(joined->finished);
    EXPECT_EQ(count(false), 1);
    EXPECT_EQ(count(true), 1);

    // A forced call during an unforced run starts its own run afterwards, which asks the server
    // again although the health answer is fresh.
    auto unforced = synchronize(false);
    auto forcing = synchronize(true);
    EXPECT_EQ(count(false), 2);
    EXPECT_EQ(count(true), 1) << "the unforced run used the cached health";
    clock.advance(1.0);
    EXPECT_TRUE(unforced->finished);
    EXPECT_FALSE(forcing->finished);
    EXPECT_EQ(count(false), 3);
    EXPECT_EQ(count(true), 2);
    clock.advance(1.0);
    EXPECT_TRUE(forcing->finished);

    // A run for another token never covers a call for the new one.
    auto old = synchronize(true);
    auth.setSession(sessionWith("token-b"));
    auto other = synchronize(false);
    clock.advance(1.0);
    EXPECT_TRUE(old->finished);
    EXPECT_FALSE(other->finished);
    clock.advance(1.0);
    EXPECT_TRUE(other->finished);
    EXPECT_EQ(count(false), 5);
    EXPECT_EQ(*transport.sent().back().request.header("Authorization"), "Bearer token-b");
}

namespace {

class CloudHealthTest : public ::testing::Test {
protected:
    VirtualClock clock;
    ScriptedCloudHttpTransport transport{clock};
    CloudHealthChecker checker{transport, 180.0, clock};
    const QUrl url{QStringLiteral("https://127.0.0.1:9/api/correct?action=health")};

    bool check(bool force = false) {
        auto outcome = observe(checker.check(url, force));
        while (!outcome->finished && clock.advanceToNextTimer()) {}
        return *outcome->value;
    }
};

} // namespace

TEST_F(CloudHealthTest, ConcurrentChecksShareOneRequest) {
    transport.enqueue(Step::answer(200, {}, {}, 1.0));
    auto a = observe(checker.check(url, false));
    auto b = observe(checker.check(url, true));
    clock.advance(1.0);
    ASSERT_TRUE(a->finished && b->finished);
    EXPECT_TRUE(*a->value);
    EXPECT_TRUE(*b->value);
    EXPECT_EQ(transport.sent().size(), 1u);
}

TEST_F(CloudHealthTest, AnswersAreReusedForLessThanThreeMinutes) {
    transport.enqueue(Step::answer(503));
    EXPECT_FALSE(check());
    clock.advance(179.0);
    EXPECT_FALSE(check()) << "a false answer is cached too";
    EXPECT_EQ(transport.sent().size(), 1u);
    clock.advance(1.0);
    transport.enqueue(Step::answer(200));
    EXPECT_TRUE(check());
    EXPECT_EQ(transport.sent().size(), 2u);
    transport.enqueue(Step::failure(NetworkErrorCode::cannotConnectToHost));
    EXPECT_FALSE(check(true)) << "forced asks at once";
    EXPECT_EQ(transport.sent().size(), 3u);
    transport.enqueue(Step::hang());
    clock.advance(180.0);
    EXPECT_FALSE(check()) << "times out after 5 s";
    EXPECT_DOUBLE_EQ(transport.sent().back().request.timeoutSeconds, 5.0);
}

TEST(ConnectivityService, OnlineUntilTheFirstReportSaysOtherwise) {
    std::unique_ptr<ConnectivityService> service(ConnectivityServiceTestAccess::makeUnmonitored());
    EXPECT_TRUE(service->isOnline());
    EXPECT_FALSE(service->isExpensive());
    EXPECT_FALSE(service->isConstrained());
    using R = QNetworkInformation::Reachability;
    service->apply({R::Unknown, false});
    EXPECT_TRUE(service->isOnline());
    service->apply({R::Disconnected, false});
    EXPECT_FALSE(service->isOnline());
    service->apply({R::Unknown, true});
    EXPECT_FALSE(service->isOnline()) << "unknown keeps the last state";
    EXPECT_TRUE(service->isExpensive());
    service->apply({R::Online, false});
    EXPECT_TRUE(service->isOnline());
    service->apply({R::Local, false});
    EXPECT_FALSE(service->isOnline());
}
