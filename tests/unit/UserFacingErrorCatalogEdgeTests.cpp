#include "Support/UserFacingErrorCatalog.h"

#include <gtest/gtest.h>

using namespace quillo;
using namespace quillo::UserFacingErrorCatalog;

// A Retry-After of zero or below carries no wait worth showing: the sentence says "shortly"
// rather than "in 0 s" or "in -3 s".
TEST(UserFacingErrorCatalogEdges, NonPositiveRetrySecondsReadAsShortly) {
    for (int seconds : {0, -1, -3, -2147483647})
        EXPECT_EQ(correction(CorrectionFailure::capacityBusy(seconds)), "Both speeds are busy. Try again shortly.")
            << seconds;
    EXPECT_EQ(correction(CorrectionFailure::capacityBusy(2147483647)),
              "Both speeds are busy. Try again in 2147483647 s.");
}

TEST(UserFacingErrorCatalogEdges, DefaultConstructedFailuresAreUnexpected) {
    EXPECT_EQ(CorrectionFailure{}, CorrectionFailure::unexpected());
    EXPECT_EQ(AuthenticationFailure{}, AuthenticationFailure::unexpected());
    EXPECT_EQ(CheckoutFailure{}, CheckoutFailure::unexpected());
    EXPECT_EQ(AccountFailure{}, AccountFailure::unexpected());
    EXPECT_NE(AuthenticationFailure::http(401, QString("x")), AuthenticationFailure::http(401));
    EXPECT_NE(CheckoutFailure::http(401), CheckoutFailure::http(402));
    EXPECT_NE(AccountFailure::network(NetworkErrorCode::timedOut), AccountFailure::invalidResponse());
}
