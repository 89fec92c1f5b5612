#include "Models/NetworkErrorCode.h"
#include "QtTestPrinters.h"
#include "Services/CorrectionPipelineError.h"
#include "Services/GlobalCorrectionService.h"
#include "Services/QuilloCloudError.h"
#include "Support/CorrectionChunkingError.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace quillo;
using Failure = UserFacingErrorCatalog::CorrectionFailure;

namespace {

QString guidance(const std::exception_ptr& error) { return GlobalCorrectionService::errorGuidance(error); }
template <typename E> QString guidance(const E& error) { return GlobalCorrectionService::errorGuidance(error); }
QString sentence(const Failure& failure) { return UserFacingErrorCatalog::correction(failure); }

const QString kept =
    QStringLiteral(" are kept temporarily. Retry the unchanged text now to reuse them without another charge.");

} // namespace

TEST(CorrectionErrorGuidance, EveryErrorKindHasItsSentence) {
    EXPECT_EQ(guidance(CorrectionPipelineError::unavailable()), sentence(Failure::unavailableResult()));
    EXPECT_EQ(guidance(CorrectionChunkingError::characterExceedsLimit()),
              "This text contains an unusually long combined character. Shorten that part and try again.");
    EXPECT_EQ(guidance(QuilloCloudError::temporarilyBusy(12)), "Both speeds are busy. Try again in 12 s.");
    EXPECT_EQ(guidance(QuilloCloudError::temporarilyBusy(std::nullopt)), sentence(Failure::capacityBusy()));
    EXPECT_EQ(guidance(QuilloCloudError::httpError(413)), sentence(Failure::http(413)));
    EXPECT_EQ(guidance(QuilloCloudError::authenticationRequired()), sentence(Failure::authenticationRequired()));
    EXPECT_EQ(guidance(QuilloCloudError::insufficientCredits()), sentence(Failure::insufficientCredits()));
    EXPECT_EQ(guidance(QuilloCloudError::secureRandomUnavailable()), sentence(Failure::secureRecoveryUnavailable()));
    EXPECT_EQ(guidance(NetworkError{NetworkErrorCode::timedOut}),
              sentence(Failure::network(NetworkErrorCode::timedOut)));
    EXPECT_EQ(guidance(CloudRequestEncodingError{}), sentence(Failure::requestEncoding()));
    EXPECT_EQ(guidance(CloudResponseDecodingError{}), sentence(Failure::invalidResponse()));
}

TEST(CorrectionErrorGuidance, UnknownOrMissingErrorsAreUnexpected) {
    const QString unexpected = sentence(Failure::unexpected());
    EXPECT_EQ(guidance(std::runtime_error("boom")), unexpected);
    EXPECT_EQ(guidance(std::make_exception_ptr(42)), unexpected) << "not even a std::exception";
    EXPECT_EQ(guidance(std::exception_ptr{}), unexpected);
    EXPECT_EQ(guidance(CorrectionPipelineError::partial({}, 1, std::nullopt)),
              unexpected + " 1 completed sections" + kept);
}

TEST(CorrectionErrorGuidance, PartialProgressFollowsTheUnderlyingSentence) {
    const auto network = std::make_exception_ptr(NetworkError{NetworkErrorCode::networkConnectionLost});
    // Two of three chunks saved, charged 0.01 and 0.02.
    EXPECT_EQ(guidance(CorrectionPipelineError::partial(network, 2, 0.01 + 0.02)),
              sentence(Failure::network(NetworkErrorCode::networkConnectionLost)) +
                  " 2 completed sections (0.030000 credits)" + kept);
    EXPECT_EQ(guidance(CorrectionPipelineError::partial(network, 3, std::nullopt)),
              sentence(Failure::network(NetworkErrorCode::networkConnectionLost)) + " 3 completed sections" + kept)
        << "no charge, no parenthesis";
    EXPECT_EQ(guidance(CorrectionPipelineError::partial(std::make_exception_ptr(QuilloCloudError::httpError(503)), 1,
                                                        1234.5)),
              sentence(Failure::http(503)) + " 1 completed sections (1234.500000 credits)" + kept);
    EXPECT_EQ(guidance(CorrectionPipelineError::partial(std::make_exception_ptr(CorrectionPipelineError::unavailable()),
                                                        1, 0.0)),
              sentence(Failure::unavailableResult()) + " 1 completed sections (0.000000 credits)" + kept);
}

TEST(CorrectionErrorGuidance, CaptureFailuresMapToTheirCatalogueCases) {
    using Kind = TextCorrectionCaptureResult::Kind;
    EXPECT_EQ(GlobalCorrectionService::captureFailure(Kind::noEditableTarget), Failure::noTextTarget());
    EXPECT_EQ(GlobalCorrectionService::captureFailure(Kind::secureField), Failure::secureTextField());
    EXPECT_EQ(GlobalCorrectionService::captureFailure(Kind::terminal), Failure::terminalApplication());
    EXPECT_EQ(GlobalCorrectionService::captureFailure(Kind::fieldTooLong), Failure::automaticTextTooLong());
}
