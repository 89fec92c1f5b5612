#include "Platform/Fake/FakeWebAuthenticationSession.h"
#include "Services/QuilloOAuthPresenter.h"
#include "Support/QuilloOAuthError.h"
#include "Support/QuilloOAuthSupport.h"
#include "Support/TaskOutcome.h"
#include "Support/VirtualClock.h"

#include "QtTestPrinters.h"

#include <gtest/gtest.h>

using namespace quillo;
using Kind = QuilloOAuthError::Kind;

namespace {

std::optional<Kind> codeError(const QString& url, const std::optional<QString>& state = std::nullopt) {
    try {
        QuilloOAuthPKCE::authorizationCode(QUrl(url), state);
    } catch (const QuilloOAuthError& error) {
        return error.kind();
    }
    return std::nullopt;
}

template <typename T> std::optional<Kind> oauthError(const std::shared_ptr<TaskOutcome<T>>& outcome) {
    try {
        outcome->rethrowIfFailed();
    } catch (const QuilloOAuthError& error) {
        return error.kind();
    }
    return std::nullopt;
}

} // namespace

TEST(QuilloOAuthPKCE, VerifierAndChallengeAreUnpaddedBase64URL) {
    const QString verifier = QuilloOAuthPKCE::randomBase64URLString(32);
    EXPECT_EQ(verifier.size(), 43);
    EXPECT_FALSE(verifier.contains('+') || verifier.contains('/') || verifier.contains('='));
    EXPECT_NE(verifier, QuilloOAuthPKCE::randomBase64URLString(32));
    // The worked example of the proof-key standard.
    // Checked with an independent SHA-256.
    EXPECT_EQ(QuilloOAuthPKCE::challenge("dBjftJeZ4CVP-mB92K9uhvlqsQB7Hw6ZZXsYkH4eC1I"),
              "ncjy6czboUCen4_C3bprfxPOlg7v9KIgF00CoAE7W1s");

    QuilloOAuthPKCE::setRandomSourceForTesting([](unsigned char*, int) { return false; });
    try {
        QuilloOAuthPKCE::randomBase64URLString(32);
        ADD_FAILURE() << "expected a failure";
    } catch (const QuilloOAuthError& error) {
        EXPECT_EQ(error.kind(), Kind::secureRandomUnavailable);
    }
    QuilloOAuthPKCE::setRandomSourceForTesting({});
}

TEST(QuilloOAuthPKCE, CallbackRecognitionComparesSchemeAndHostWithoutCase) {
    EXPECT_TRUE(QuilloOAuthPKCE::isExpectedCallback(QUrl("quillo://auth/callback?code=a")));
    EXPECT_TRUE(QuilloOAuthPKCE::isExpectedCallback(QUrl("QUILLO://AUTH/callback?code=a")));
    EXPECT_FALSE(QuilloOAuthPKCE::isExpectedCallback(QUrl("quillo://auth/Callback?code=a")));
    EXPECT_FALSE(QuilloOAuthPKCE::isExpectedCallback(QUrl("quillo://other/callback")));
    EXPECT_FALSE(QuilloOAuthPKCE::isExpectedCallback(QUrl("/callback?code=a")));
    EXPECT_FALSE(QuilloOAuthPKCE::isExpectedCallback(QUrl("https://auth/callback?code=a")));
}

TEST(QuilloOAuthPKCE, CodeComesOnlyFromTheQueryAndErrorsWinFromEitherPart) {
    EXPECT_EQ(QuilloOAuthPKCE::authorizationCode(QUrl("quillo://auth/callback?code=first&code=second")), "first");
    EXPECT_EQ(QuilloOAuthPKCE::authorizationCode(QUrl("quillo://auth/callback?code=a%2Bb%20c")), "a+b c");
    EXPECT_EQ(codeError("quillo://auth/callback?code=abc#error=denied"), Kind::providerRejected);
    EXPECT_EQ(codeError("quillo://auth/callback?error=access_denied"), Kind::providerRejected);
    EXPECT_EQ(codeError("quillo://auth/callback#code=abc"), Kind::invalidCallback);
    EXPECT_EQ(codeError("quillo://auth/callback?code="), Kind::invalidCallback);
    EXPECT_EQ(codeError("quillo://auth/callback?code"), Kind::invalidCallback);
    EXPECT_EQ(codeError("quillo://auth/other?code=abc"), Kind::invalidCallback);
    // An empty "error" is no rejection.
    EXPECT_EQ(codeError("quillo://auth/callback?error=&code=abc"), std::nullopt);

    const QString longest(2048, 'c');
    EXPECT_EQ(QuilloOAuthPKCE::authorizationCode(QUrl("quillo://auth/callback?code=" + longest)), longest);
    EXPECT_EQ(codeError("quillo://auth/callback?code=" + longest + "c"), Kind::invalidCallback);
}

TEST(QuilloOAuthPKCE, StateOfTheProviderPageMustComeBack) {
    EXPECT_EQ(QuilloOAuthPKCE::expectedState(QUrl("https://consent.invalid/page?request=1&state=s-1")), "s-1");
    EXPECT_EQ(QuilloOAuthPKCE::expectedState(QUrl("https://consent.invalid/page?request=1")), std::nullopt);
    EXPECT_EQ(codeError("quillo://auth/callback?code=abc&state=s-1", QString("s-1")), std::nullopt);
    EXPECT_EQ(codeError("quillo://auth/callback?code=abc&state=s-2", QString("s-1")), Kind::invalidCallback);
    EXPECT_EQ(codeError("quillo://auth/callback?code=abc", QString("s-1")), Kind::invalidCallback);
}

class QuilloOAuthPresenterTest : public ::testing::Test {
protected:
    VirtualClock clock;
    FakeWebAuthenticationSession web;
    QuilloOAuthPresenter presenter{web, clock};
    const QUrl page{"https://consent.invalid/oauth?request=r1"};

    std::shared_ptr<TaskOutcome<QUrl>> start(CancellationToken token = {}) {
        return observe(presenter.authenticate(page, "quillo", std::move(token)));
    }
};

TEST_F(QuilloOAuthPresenterTest, CallbackOfThePageResumesTheCaller) {
    auto flow = start();
    EXPECT_EQ(web.shownURL, page);
    EXPECT_EQ(web.shownScheme, "quillo");
    EXPECT_FALSE(flow->finished);
    web.complete(QUrl("quillo://auth/callback?code=c1"));
    ASSERT_TRUE(flow->finished);
    EXPECT_EQ(*flow->value, QUrl("quillo://auth/callback?code=c1"));
    EXPECT_FALSE(presenter.isPending());
    EXPECT_EQ(clock.pendingTimers(), 0u);
}

TEST_F(QuilloOAuthPresenterTest, SecondFlowIsRefusedAndTheFirstGoesOn) {
    auto first = start();
    auto second = start();
    EXPECT_EQ(oauthError(second), Kind::browserUnavailable);
    EXPECT_EQ(web.starts, 1);
    EXPECT_FALSE(first->finished);
    EXPECT_TRUE(presenter.deliverCallback(QUrl("quillo://auth/callback?code=c")));
    EXPECT_TRUE(first->finished);
    EXPECT_EQ(web.cancels, 1); // the delivered callback closes the page

    auto wrongScheme = observe(presenter.authenticate(page, "https"));
    EXPECT_EQ(oauthError(wrongScheme), Kind::browserUnavailable);
    web.startSucceeds = false;
    EXPECT_EQ(oauthError(start()), Kind::browserUnavailable);
    EXPECT_FALSE(presenter.isPending());
}

TEST_F(QuilloOAuthPresenterTest, ClosingTimeoutAndCancellationAllEndAsCancelled) {
    auto closed = start();
    web.fail(WebAuthenticationSessionError::userCancelled);
    EXPECT_EQ(oauthError(closed), Kind::cancelled);

    auto broken = start();
    web.fail(WebAuthenticationSessionError::failed);
    EXPECT_EQ(oauthError(broken), Kind::browserUnavailable);

    auto waiting = start();
    clock.advance(299.0);
    EXPECT_FALSE(waiting->finished);
    clock.advance(1.0);
    EXPECT_EQ(oauthError(waiting), Kind::cancelled);
    EXPECT_FALSE(web.isShowing());
    // The page answering after the timeout changes nothing, nor does it touch the next flow.
    const auto stale = web.completions.back();
    auto next = start();
    stale(QUrl("quillo://auth/callback?code=late"), std::nullopt);
    EXPECT_FALSE(next->finished);
    presenter.cancelPendingFlow();
    EXPECT_EQ(oauthError(next), Kind::cancelled);

    CancellationSource source;
    auto task = start(source.token());
    source.cancel();
    EXPECT_EQ(oauthError(task), Kind::cancelled);
    EXPECT_FALSE(web.isShowing());
    EXPECT_EQ(clock.pendingTimers(), 0u);
}

TEST_F(QuilloOAuthPresenterTest, DeliveredAddressesOtherThanTheCallbackAreIgnored) {
    EXPECT_FALSE(presenter.deliverCallback(QUrl("quillo://auth/callback?code=c"))); // nothing pending
    auto flow = start();
    EXPECT_FALSE(presenter.deliverCallback(QUrl("quillo://settings")));
    EXPECT_FALSE(flow->finished);
    EXPECT_TRUE(presenter.deliverCallback(QUrl("quillo://auth/callback?error=access_denied")));
    ASSERT_TRUE(flow->finished);
    EXPECT_EQ(*flow->value, QUrl("quillo://auth/callback?error=access_denied"));
}
