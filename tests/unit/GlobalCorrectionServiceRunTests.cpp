#include "GlobalCorrectionServiceFixture.h"
#include "Models/NetworkErrorCode.h"
#include "QtTestPrinters.h"
#include "Services/CorrectionPipelineError.h"
#include "Services/QuilloCloudError.h"
#include "Support/TaskOutcome.h"

using namespace quillo;
using namespace quillo::testing;
using Failure = UserFacingErrorCatalog::CorrectionFailure;

namespace {

const QString keptSuffix =
    QStringLiteral(" are kept temporarily. Retry the unchanged text now to reuse them without another charge.");

class CorrectionRunTest : public GlobalCorrectionServiceTest {
protected:
    void SetUp() override {
        GlobalCorrectionServiceTest::SetUp();
        startedService();
    }
    void correct(const QString& captured) {
        target.captureResult = ScriptedTextTarget::capturedText(captured);
        runOnce();
    }
    void runOnce() {
        pressGlobe();
        settle();
        ASSERT_FALSE(service->isCorrectionRunning());
    }
    QList<Event> correctionEvents() {
        QList<Event> list = events();
        list.removeAll(Event::monitoringStarted);
        return list;
    }
    void expectFailure(const QString& message) {
        EXPECT_EQ(toast.calls.last(), "error: " + message);
        ASSERT_FALSE(announcer.announcements.isEmpty());
        EXPECT_EQ(announcer.announcements.last(),
                  (RecordingAnnouncer::Announcement{"Correction failed. " + message, Priority::high}));
        EXPECT_EQ(statuses.last(), CorrectionStatus::error);
    }
    static std::optional<ScriptedCloud::Reply> fails(std::exception_ptr error) {
        return ScriptedCloud::Reply{std::nullopt, std::move(error)};
    }
};

// Prose of `length` UTF-16 units: five-letter words and single spaces.
QString prose(qsizetype length) {
    QString text;
    while (text.size() < length) text += (text.size() % 6 == 5) ? QChar(u' ') : QChar(u'w');
    return text;
}

} // namespace

// MARK: - Outcomes

TEST_F(CorrectionRunTest, ChangedTextIsPastedPreviewedRecordedAndLoggedUnderOneIdentifier) {
    defaults.setString(CorrectionSettingsKeys::cloudModel, QStringLiteral("fast"));
    defaults.setString(CorrectionSettingsKeys::writingMode, QStringLiteral("contextual"));
    correct(QStringLiteral("  Ths is wrong\n"));

    ASSERT_EQ(cloud.requests.size(), 1);
    EXPECT_EQ(cloud.requests[0].model, CloudCorrectionModel::fast);
    EXPECT_EQ(cloud.requests[0].mode, CorrectionWritingMode::contextual);
    ASSERT_EQ(target.applications.size(), 1);
    EXPECT_EQ(target.applications[0].second, "  This is wrong\n") << "the captured edges are kept";
    EXPECT_EQ(toast.calls, (QStringList{"processing", "preview:   Ths is wrong\n =>   This is wrong\n"}));
    ASSERT_EQ(history.entries.size(), 1);
    EXPECT_EQ(history.entries[0].original, "  Ths is wrong\n");
    EXPECT_EQ(history.entries[0].corrected, "  This is wrong\n");
    EXPECT_EQ(history.entries[0].models, (std::vector<CloudCorrectionModel>{CloudCorrectionModel::fast}));
    EXPECT_EQ(history.entries[0].mode, CorrectionWritingMode::contextual);
    EXPECT_EQ(statuses, (QList<CorrectionStatus>{CorrectionStatus::processing, CorrectionStatus::success}));
    EXPECT_EQ(announcer.announcements.size(), 1) << "the preview speaks for itself";

    auto recorded = records();
    ASSERT_EQ(recorded.size(), 3);
    EXPECT_EQ(recorded[1].event, Event::correctionStarted);
    EXPECT_EQ(recorded[2].event, Event::correctionSucceeded);
    ASSERT_TRUE(recorded[1].correlationID.has_value());
    EXPECT_EQ(recorded[1].correlationID, recorded[2].correlationID);
}

TEST_F(CorrectionRunTest, UnchangedResultIsCompletedWithoutPasteOrHistory) {
    correct(QStringLiteral("All good here."));
    EXPECT_TRUE(target.applications.isEmpty());
    EXPECT_TRUE(history.entries.isEmpty());
    EXPECT_EQ(toast.calls.last(), "success");
    EXPECT_EQ(announcer.announcements.last(),
              (RecordingAnnouncer::Announcement{"Correction completed", Priority::medium}));
    EXPECT_EQ(statuses.last(), CorrectionStatus::success);
    EXPECT_EQ(correctionEvents(), (QList<Event>{Event::correctionStarted, Event::correctionUnchanged}));

    // A blank answer never replaces the text, and a reroute is still mentioned.
    cloud.script = [](int, const QString&) {
        return ScriptedCloud::Reply{QuilloCorrectionResult{QStringLiteral("   "),
                                                           QuilloCorrectionRouting{CloudCorrectionModel::veryVeryFast,
                                                                                   CloudCorrectionModel::fast,
                                                                                   CloudCorrectionModel::veryVeryFast},
                                                           {CloudCorrectionModel::fast},
                                                           0.5},
                                    {}};
    };
    correct(QStringLiteral("Ths stays"));
    EXPECT_TRUE(target.applications.isEmpty());
    EXPECT_EQ(toast.calls.last(), QString::fromUtf8("success: Switched to Fast \u00B7 billed as Very Very Fast."));
}

TEST_F(CorrectionRunTest, WhitespaceOnlyTextIsNeverSentAndEndsUnavailable) {
    correct(QStringLiteral("  \n\t \n"));
    EXPECT_TRUE(cloud.requests.isEmpty());
    EXPECT_TRUE(target.applications.isEmpty());
    expectFailure(failure(Failure::unavailableResult()));
}

TEST_F(CorrectionRunTest, EachCaptureFailureEndsWithItsSentence) {
    const std::vector<std::pair<TextCorrectionCaptureResult, Failure>> cases = {
        {TextCorrectionCaptureResult::noEditableTarget(), Failure::noTextTarget()},
        {TextCorrectionCaptureResult::secureField(), Failure::secureTextField()},
        {TextCorrectionCaptureResult::terminal(), Failure::terminalApplication()},
        {TextCorrectionCaptureResult::fieldTooLong(), Failure::automaticTextTooLong()},
    };
    for (const auto& [result, expected] : cases) {
        target.captureResult = result;
        runOnce();
        expectFailure(failure(expected));
    }
    EXPECT_TRUE(cloud.requests.isEmpty());
    EXPECT_EQ(count(Event::correctionCaptureUnavailable), static_cast<int>(cases.size()));
    EXPECT_EQ(count(Event::correctionFailed), 0);
}

TEST_F(CorrectionRunTest, RefusedApplicationEndsWithTheResultsSentenceAndNoHistory) {
    for (auto result :
         {TextCorrectionApplicationResult::applicationChanged, TextCorrectionApplicationResult::selectionChanged,
          TextCorrectionApplicationResult::pasteFailed}) {
        target.applyResult = result;
        runOnce();
        expectFailure(*TextCorrectionApplicationResults::userMessage(result));
    }
    EXPECT_TRUE(history.entries.isEmpty());
    EXPECT_EQ(count(Event::correctionTargetChanged), 3);
}

TEST_F(CorrectionRunTest, CloudErrorsEndWithTheirGuidance) {
    cloud.script = [](int, const QString&) {
        return fails(std::make_exception_ptr(NetworkError{NetworkErrorCode::notConnectedToInternet}));
    };
    runOnce();
    expectFailure(failure(Failure::network(NetworkErrorCode::notConnectedToInternet)));
    EXPECT_EQ(correctionEvents(), (QList<Event>{Event::correctionStarted, Event::correctionFailed}));

    cloud.script = [](int, const QString&) {
        return fails(std::make_exception_ptr(QuilloCloudError::insufficientCredits()));
    };
    runOnce();
    expectFailure(failure(Failure::insufficientCredits()));
    EXPECT_TRUE(target.applications.isEmpty());
}

TEST_F(CorrectionRunTest, CharacterLongerThanAChunkEndsWithTheCombinedCharacterSentence) {
    correct(QStringLiteral("e") + QString(9001, QChar(0x0301)));
    EXPECT_TRUE(cloud.requests.isEmpty());
    expectFailure(
        QStringLiteral("This text contains an unusually long combined character. Shorten that part and try again."));
}

TEST_F(CorrectionRunTest, FailureAfterSavedProgressNamesTheKeptSectionsAndTheRetryReusesThem) {
    sessions.setSession(FakeSessions::signedIn("user-1", "0d4f6a0e-2c2b-4a38-9a6c-0a1c9d2e3f40"));
    const QString text = prose(20000);
    cloud.script = [](int number, const QString&) -> std::optional<ScriptedCloud::Reply> {
        if (number == 1) return fails(std::make_exception_ptr(NetworkError{NetworkErrorCode::networkConnectionLost}));
        return std::nullopt;
    };
    correct(text);
    expectFailure(failure(Failure::network(NetworkErrorCode::networkConnectionLost)) +
                  " 1 completed sections (1.000000 credits)" + keptSuffix);
    EXPECT_TRUE(service->correctionPipeline().hasResumeState());
    ASSERT_EQ(cloud.requests.size(), 2);

    cloud.script = {};
    correct(text);
    EXPECT_EQ(cloud.requests.size(), 4) << "the first section is not paid for again";
    EXPECT_EQ(statuses.last(), CorrectionStatus::success);
    EXPECT_FALSE(service->correctionPipeline().hasResumeState());
}

// MARK: - Stopping and losing the run

TEST_F(CorrectionRunTest, StopDuringTheCloudRequestCancelsSilently) {
    pressGlobe();
    clock.advance(0.5);
    ASSERT_EQ(cloud.requests.size(), 1);
    service->stopMonitoring();
    EXPECT_FALSE(service->isCorrectionRunning());
    settle();
    EXPECT_EQ(toast.calls, (QStringList{"processing", "dismiss"}));
    EXPECT_EQ(statuses, (QList<CorrectionStatus>{CorrectionStatus::processing, CorrectionStatus::idle}));
    EXPECT_EQ(announcer.announcements.size(), 1);
    EXPECT_TRUE(target.applications.isEmpty());
    EXPECT_TRUE(history.entries.isEmpty());
    EXPECT_EQ(count(Event::correctionFailed), 0);
    EXPECT_EQ(count(Event::correctionCancelled), 1);

    ASSERT_TRUE(service->startMonitoring());
    runOnce();
    EXPECT_EQ(target.applications.size(), 1) << "a new correction runs normally";
}

TEST_F(CorrectionRunTest, StopDuringCaptureOrBeforeTheRunStartedLeavesNoTrace) {
    pressGlobe();
    clock.advance(0.05); // capturing
    service->stopMonitoring();
    settle();
    EXPECT_EQ(toast.calls, (QStringList{"processing", "dismiss"}));
    EXPECT_TRUE(cloud.requests.isEmpty());
    EXPECT_EQ(correctionEvents(), (QList<Event>{Event::correctionStarted, Event::monitoringStopped}));

    ASSERT_TRUE(service->startMonitoring());
    service->triggerCorrection(); // the run is only scheduled yet
    service->stopMonitoring();
    settle();
    EXPECT_EQ(target.captureCount, 1);
}

TEST_F(CorrectionRunTest, RunCancelledByThePipelineItselfDoesNotLeaveTheToastProcessing) {
    sessions.setSession(FakeSessions::signedIn("user-1", "0d4f6a0e-2c2b-4a38-9a6c-0a1c9d2e3f40"));
    pressGlobe();
    clock.advance(0.5);
    // Signing in as someone else while the request is out makes the pipeline drop the run.
    sessions.setSession(FakeSessions::signedIn("user-2", "8c1f3a8e-0000-4a38-9a6c-0a1c9d2e3f41"));
    settle();
    EXPECT_EQ(toast.calls, (QStringList{"processing", "dismiss"}));
    EXPECT_EQ(statuses, (QList<CorrectionStatus>{CorrectionStatus::processing, CorrectionStatus::idle}));
    EXPECT_TRUE(target.applications.isEmpty());
    EXPECT_EQ(count(Event::correctionCancelled), 1);
    EXPECT_FALSE(service->isCorrectionRunning());
}

TEST_F(CorrectionRunTest, ServiceDestroyedMidRunTouchesNothingAfterwards) {
    pressGlobe();
    clock.advance(0.5);
    const int toastsBefore = static_cast<int>(toast.calls.size());
    service.reset();
    settle();
    EXPECT_EQ(toast.calls.size(), toastsBefore);
    EXPECT_TRUE(target.applications.isEmpty());
    EXPECT_FALSE(tap.isCreated());
}

// MARK: - Session scope

TEST_F(GlobalCorrectionServiceTest, SessionScopeChangesDiscardSavedProgress) {
    sessions.session = FakeSessions::signedIn("user-1", "0d4f6a0e-2c2b-4a38-9a6c-0a1c9d2e3f40");
    cloud.script = [](int number, const QString&) -> std::optional<ScriptedCloud::Reply> {
        if (number % 2 == 1) return ScriptedCloud::Reply{std::nullopt, std::make_exception_ptr(NetworkError{})};
        return std::nullopt;
    };
    auto pipeline = std::make_unique<CorrectionPipeline>(
        cloud, 9000, [this] { return GlobalCorrectionService::sessionScope(sessions.session); }, 600.0, clock);
    auto outcome = observe(pipeline->correct(prose(20000), {}));
    settle();
    ASSERT_TRUE(outcome->finished);
    ASSERT_TRUE(pipeline->hasResumeState());

    // The current session is delivered at once on subscription.
    service = std::make_unique<GlobalCorrectionService>(environment(), &cloud, std::move(pipeline), &target,
                                                        GlobalCorrectionService::StatusCallback{}, &sessions);
    EXPECT_FALSE(service->correctionPipeline().hasResumeState());

    auto makeProgress = [&] {
        auto again = observe(service->correctionPipeline().correct(prose(20000) + "x", {}));
        settle();
        ASSERT_TRUE(service->correctionPipeline().hasResumeState());
    };
    makeProgress();
    // A refreshed token of the same session keeps the scope: nothing is dropped.
    auto refreshed = FakeSessions::signedIn("user-1", "0d4f6a0e-2c2b-4a38-9a6c-0a1c9d2e3f40");
    refreshed.refreshToken = QStringLiteral("new");
    sessions.setSession(refreshed);
    EXPECT_TRUE(service->correctionPipeline().hasResumeState());

    sessions.setSession(std::nullopt);
    EXPECT_FALSE(service->correctionPipeline().hasResumeState());
    EXPECT_EQ(GlobalCorrectionService::sessionScope(refreshed), "user-1:0d4f6a0e-2c2b-4a38-9a6c-0a1c9d2e3f40");
    QuilloAuthSession opaque = refreshed;
    opaque.accessToken = QStringLiteral("opaque-token");
    EXPECT_EQ(GlobalCorrectionService::sessionScope(opaque), std::nullopt) << "no session identifier, no scope";
}
