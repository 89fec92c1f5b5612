#include "Support/CorrectionNetworkRetryPolicy.h"
#include "Support/CorrectionRequestIdentity.h"

#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <gtest/gtest.h>

using namespace quillo;

namespace {
constexpr std::uint64_t kSecond = 1'000'000'000ULL;
}

TEST(CorrectionNetworkRetryPolicy, TransportRetriesTwiceWithGrowingWaits) {
    CorrectionNetworkRetryPolicy policy;
    EXPECT_EQ(policy.transportRetryDelay(NetworkErrorCode::timedOut, 10 * kSecond), 250'000'000ULL);
    EXPECT_EQ(policy.transportRetryDelay(NetworkError{NetworkErrorCode::timedOut}, 10 * kSecond), 500'000'000ULL);
    EXPECT_EQ(policy.transportRetryDelay(NetworkErrorCode::timedOut, 10 * kSecond), std::nullopt);
    EXPECT_EQ(policy.transportRetries, 2);
}

TEST(CorrectionNetworkRetryPolicy, TransportRetryNeedsTimeLeftAndATransientError) {
    CorrectionNetworkRetryPolicy policy;
    EXPECT_EQ(policy.transportRetryDelay(NetworkErrorCode::timedOut, 200'000'000ULL), std::nullopt);
    // A wait equal to the time left is refused too.
    EXPECT_EQ(policy.transportRetryDelay(NetworkErrorCode::timedOut, 250'000'000ULL), std::nullopt);
    EXPECT_EQ(policy.transportRetryDelay(NetworkErrorCode::timedOut, 0), std::nullopt);
    EXPECT_EQ(policy.transportRetries, 0);

    for (auto code : {NetworkErrorCode::notConnectedToInternet, NetworkErrorCode::cancelled,
                      NetworkErrorCode::secureConnectionFailed, NetworkErrorCode::dnsLookupFailed,
                      NetworkErrorCode::badServerResponse, NetworkErrorCode::unknown}) {
        EXPECT_EQ(policy.transportRetryDelay(code, 10 * kSecond), std::nullopt);
    }
    EXPECT_EQ(policy.transportRetries, 0);

    for (auto code : {NetworkErrorCode::networkConnectionLost, NetworkErrorCode::cannotFindHost}) {
        EXPECT_TRUE(policy.transportRetryDelay(code, 10 * kSecond).has_value());
    }
    CorrectionNetworkRetryPolicy other;
    EXPECT_EQ(other.transportRetryDelay(NetworkErrorCode::cannotConnectToHost, 10 * kSecond), 250'000'000ULL);
    // The second wait (0.5 s) must also fit.
    EXPECT_EQ(other.transportRetryDelay(NetworkErrorCode::timedOut, 400'000'000ULL), std::nullopt);
    EXPECT_EQ(other.transportRetries, 1);
}

TEST(CorrectionNetworkRetryPolicy, RetryAfterWaitIsOneOrTwoSeconds) {
    EXPECT_EQ(CorrectionNetworkRetryPolicy::retryAfterWait(std::nullopt), kSecond);
    EXPECT_EQ(CorrectionNetworkRetryPolicy::retryAfterWait(-5), kSecond);
    EXPECT_EQ(CorrectionNetworkRetryPolicy::retryAfterWait(0), kSecond);
    EXPECT_EQ(CorrectionNetworkRetryPolicy::retryAfterWait(1), kSecond);
    EXPECT_EQ(CorrectionNetworkRetryPolicy::retryAfterWait(2), 2 * kSecond);
    EXPECT_EQ(CorrectionNetworkRetryPolicy::retryAfterWait(600), 2 * kSecond);
}

TEST(CorrectionNetworkRetryPolicy, ProcessingPollsFifteenTimesAtMost) {
    CorrectionNetworkRetryPolicy policy;
    int polls = 0;
    for (int answer = 0; answer < 16; ++answer) {
        if (policy.processingRetryDelay(1, 100 * kSecond)) ++polls;
    }
    EXPECT_EQ(polls, 15);
    EXPECT_EQ(policy.processingPolls, 15);

    CorrectionNetworkRetryPolicy late;
    EXPECT_EQ(late.processingRetryDelay(600, 2 * kSecond), std::nullopt); // 2 s is not shorter than 2 s
    EXPECT_EQ(late.processingRetryDelay(std::nullopt, 2 * kSecond), kSecond);
    EXPECT_EQ(late.processingRetryDelay(std::nullopt, kSecond), std::nullopt);
    EXPECT_EQ(late.processingPolls, 1);
    EXPECT_EQ(late.processingRetryDelay(0, 3 * kSecond), kSecond);
    EXPECT_EQ(late.processingRetryDelay(2, 3 * kSecond), 2 * kSecond);
}

TEST(CorrectionNetworkRetryPolicy, SafeHTTPRetryOnlyOnceForMarkedGatewayFailures) {
    const std::optional<QString> marked = QString("1");
    CorrectionNetworkRetryPolicy policy;
    EXPECT_EQ(policy.safeHTTPRetryDelay(503, marked, std::nullopt, 10 * kSecond), kSecond);
    EXPECT_EQ(policy.safeHTTPRetryDelay(503, marked, std::nullopt, 10 * kSecond), std::nullopt);
    EXPECT_EQ(policy.safeHTTPRetries, 1);

    for (int status : {502, 504}) {
        CorrectionNetworkRetryPolicy fresh;
        EXPECT_EQ(fresh.safeHTTPRetryDelay(status, marked, 30, 10 * kSecond), 2 * kSecond);
    }
    CorrectionNetworkRetryPolicy refused;
    EXPECT_EQ(refused.safeHTTPRetryDelay(500, marked, std::nullopt, 10 * kSecond), std::nullopt);
    EXPECT_EQ(refused.safeHTTPRetryDelay(429, marked, std::nullopt, 10 * kSecond), std::nullopt);
    EXPECT_EQ(refused.safeHTTPRetryDelay(503, QString("true"), std::nullopt, 10 * kSecond), std::nullopt);
    EXPECT_EQ(refused.safeHTTPRetryDelay(503, QString(" 1"), std::nullopt, 10 * kSecond), std::nullopt);
    EXPECT_EQ(refused.safeHTTPRetryDelay(503, std::nullopt, std::nullopt, 10 * kSecond), std::nullopt);
    EXPECT_EQ(refused.safeHTTPRetryDelay(503, marked, 5, 2 * kSecond), std::nullopt);
    EXPECT_EQ(refused.safeHTTPRetries, 0);
    EXPECT_EQ(refused, CorrectionNetworkRetryPolicy{});
}

TEST(CorrectionNetworkRetryPolicy, CountersAreIndependent) {
    CorrectionNetworkRetryPolicy policy;
    ASSERT_TRUE(policy.transportRetryDelay(NetworkErrorCode::timedOut, 60 * kSecond));
    ASSERT_TRUE(policy.transportRetryDelay(NetworkErrorCode::timedOut, 60 * kSecond));
    EXPECT_TRUE(policy.processingRetryDelay(std::nullopt, 60 * kSecond));
    EXPECT_TRUE(policy.safeHTTPRetryDelay(502, QString("1"), std::nullopt, 60 * kSecond));
    EXPECT_EQ(policy.transportRetries, 2);
    EXPECT_EQ(policy.processingPolls, 1);
    EXPECT_EQ(policy.safeHTTPRetries, 1);
}

TEST(CorrectionRequestIdentity, HasAUrlSafeRecoveryKeyAndALowerCaseUUID) {
    static const QRegularExpression key("^[A-Za-z0-9_-]{43}$");
    static const QRegularExpression uuid("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$");
    QSet<QString> keys;
    QSet<QString> ids;
    for (int i = 0; i < 200; ++i) {
        const auto identity = CorrectionRequestIdentity::make();
        EXPECT_TRUE(key.match(identity.recoveryKey).hasMatch()) << identity.recoveryKey.toStdString();
        EXPECT_TRUE(uuid.match(identity.correctionId).hasMatch()) << identity.correctionId.toStdString();
        keys.insert(identity.recoveryKey);
        ids.insert(identity.correctionId);
    }
    EXPECT_EQ(keys.size(), 200);
    EXPECT_EQ(ids.size(), 200);
}

TEST(CorrectionRequestIdentity, UrlSafeBase64ReplacesAndStrips) {
    // 0xfb 0xff encodes as "+/8=" in the standard alphabet.
    EXPECT_EQ(CorrectionRequestIdentity::urlSafeBase64(QByteArray("\xfb\xff", 2)), "-_8");
    EXPECT_EQ(CorrectionRequestIdentity::urlSafeBase64(QByteArray(32, '\xff')).size(), 43);
}

TEST(CorrectionRequestIdentity, FailingRandomGeneratorThrowsSecureRandomUnavailable) {
    CorrectionRequestIdentity::setRandomSourceForTesting([](unsigned char*, int) { return false; });
    try {
        (void)CorrectionRequestIdentity::make();
        ADD_FAILURE() << "a failing generator must throw";
    } catch (const CorrectionRequestIdentityFailure& failure) {
        EXPECT_EQ(failure.error(), CorrectionRequestIdentityError::secureRandomUnavailable);
    }

    // The key is exactly the generator's bytes: all 0xFB encodes to "-_" runs only.
    CorrectionRequestIdentity::setRandomSourceForTesting([](unsigned char* bytes, int count) {
        EXPECT_EQ(count, 32);
        std::fill(bytes, bytes + count, 0xFB);
        return true;
    });
    const auto fixed = CorrectionRequestIdentity::make();
    EXPECT_EQ(fixed.recoveryKey, CorrectionRequestIdentity::urlSafeBase64(QByteArray(32, char(0xFB))));
    EXPECT_EQ(fixed.recoveryKey.size(), 43);
    EXPECT_TRUE(fixed.recoveryKey.contains('-') && fixed.recoveryKey.contains('_'));

    CorrectionRequestIdentity::setRandomSourceForTesting({});
    EXPECT_NE(CorrectionRequestIdentity::make().recoveryKey, fixed.recoveryKey);
}
