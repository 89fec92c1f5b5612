#include "GlobalCorrectionServiceFixture.h"
#include "QtTestPrinters.h"
#include "Services/KeyboardPreferences.h"

using namespace quillo;
using namespace quillo::testing;

namespace {

class MonitoringTest : public GlobalCorrectionServiceTest {};
class TriggerTest : public GlobalCorrectionServiceTest {
protected:
    void SetUp() override {
        GlobalCorrectionServiceTest::SetUp();
        startedService();
    }
    void useDoubleTap() { defaults.setString(KeyboardSettingsKeys::triggerActivation, QStringLiteral("doubleTap")); }
    void useF8() {
        KeyboardPreferences(defaults).setTriggerPreference(
            CorrectionTriggerPreference::storedValue(QString(), QStringLiteral("f8")));
    }
    // Corrections started so far (each trigger shows the processing toast once).
    int triggers() const { return processingToasts(); }
};

} // namespace

// MARK: - Starting and stopping

TEST_F(MonitoringTest, UntrustedProcessDoesNotStartAndSaysWhy) {
    permission.trusted = false;
    auto& s = makeService();
    EXPECT_FALSE(s.startMonitoring());
    EXPECT_FALSE(s.isMonitoring());
    EXPECT_EQ(tap.createCount, 0) << "no tap without the permission";
    const QString message = failure(UserFacingErrorCatalog::CorrectionFailure::inputPermissionsMissing());
    EXPECT_EQ(toast.calls, QStringList{"error: " + message});
    ASSERT_EQ(announcer.announcements.size(), 1);
    EXPECT_EQ(announcer.announcements[0],
              (RecordingAnnouncer::Announcement{"Correction failed. " + message, Priority::high}));
    const auto recorded = records();
    ASSERT_EQ(recorded.size(), 1);
    EXPECT_EQ(recorded[0].event, Event::inputPermissionMissing);
    EXPECT_FALSE(recorded[0].correlationID.has_value());
    EXPECT_TRUE(statuses.isEmpty());
}

TEST_F(MonitoringTest, RefusedTapAndRefusedAttachEachReportTheirOwnSentence) {
    auto& s = makeService();
    tap.refuseCreate = true;
    EXPECT_FALSE(s.startMonitoring());
    EXPECT_EQ(toast.calls.last(),
              "error: " + failure(UserFacingErrorCatalog::CorrectionFailure::keyboardMonitoringUnavailable()));

    tap.refuseCreate = false;
    tap.refuseAttach = true;
    EXPECT_FALSE(s.startMonitoring());
    EXPECT_FALSE(s.isMonitoring());
    EXPECT_FALSE(tap.isCreated()) << "a tap that cannot be attached is released";
    EXPECT_EQ(tap.destroyCount, 1);
    EXPECT_EQ(toast.calls.last(),
              "error: " + failure(UserFacingErrorCatalog::CorrectionFailure::monitoringStartFailed()));
    EXPECT_EQ(announcer.announcements.last().priority, Priority::high);
    EXPECT_EQ(events(), (QList<Event>{Event::monitoringFailed, Event::monitoringFailed}));

    tap.refuseAttach = false;
    EXPECT_TRUE(s.startMonitoring()) << "a later attempt may succeed";
}

TEST_F(MonitoringTest, StartAndStopDriveTheTapAndThePublishedState) {
    auto& s = makeService();
    QList<bool> changes;
    QObject::connect(&s, &GlobalCorrectionService::isMonitoringChanged, [&](bool on) { changes.append(on); });
    ASSERT_TRUE(s.startMonitoring());
    EXPECT_TRUE(s.startMonitoring()) << "already on";
    EXPECT_EQ(tap.createCount, 1);
    EXPECT_TRUE(tap.isLive());
    EXPECT_TRUE(s.isMonitoring());

    s.stopMonitoring();
    s.stopMonitoring(); // only once
    EXPECT_FALSE(s.isMonitoring());
    EXPECT_FALSE(tap.isCreated());
    EXPECT_EQ(tap.enableHistory, (QList<bool>{true, false}));
    EXPECT_EQ(toast.calls, QStringList{"dismiss"});
    EXPECT_EQ(statuses, QList<CorrectionStatus>{CorrectionStatus::idle});
    EXPECT_EQ(changes, (QList<bool>{true, false}));
    EXPECT_EQ(events(), (QList<Event>{Event::monitoringStarted, Event::monitoringStopped}));

    pressGlobe();
    settle();
    EXPECT_EQ(target.captureCount, 0) << "no events reach a stopped service";
}

TEST_F(MonitoringTest, TapDisabledByTimeoutIsEnabledAgainAndKeepsDelivering) {
    auto& s = startedService();
    tap.timeOut();
    EXPECT_TRUE(tap.isEnabled());
    EXPECT_EQ(tap.enableHistory, (QList<bool>{true, true}));
    pressGlobe();
    settle();
    EXPECT_EQ(target.captureCount, 1);
    EXPECT_TRUE(s.isMonitoring());
}

// MARK: - Gestures

TEST_F(TriggerTest, SinglePressOfTheGlobeKeyStartsOneCorrection) {
    pressGlobe();
    EXPECT_EQ(statuses, QList<CorrectionStatus>{CorrectionStatus::processing});
    EXPECT_EQ(toast.calls, QStringList{"processing"});
    EXPECT_EQ(announcer.announcements,
              (QList<RecordingAnnouncer::Announcement>{{"Correction in progress", Priority::low}}));
    EXPECT_TRUE(service->isCorrectionRunning());
    settle();
    EXPECT_EQ(target.captureCount, 1);
    EXPECT_FALSE(service->isCorrectionRunning());
}

TEST_F(TriggerTest, DoubleTapCountsPressesAtMost055SecondsApart) {
    useDoubleTap();
    pressGlobe();
    clock.advance(0.4); // second press 0.5 s after the first
    pressGlobe();
    EXPECT_EQ(triggers(), 1);
    settle();

    pressGlobe();
    clock.advance(0.5); // 0.6 s: too slow, this press opens a new pair...
    pressGlobe();
    EXPECT_EQ(triggers(), 1);
    clock.advance(0.4); // ...which this one completes
    pressGlobe();
    EXPECT_EQ(triggers(), 2);
}

TEST_F(TriggerTest, ThirdTapOfATripleStartsANewPair) {
    useDoubleTap();
    pressGlobe();
    clock.advance(0.1);
    pressGlobe();
    clock.advance(0.1);
    pressGlobe();
    EXPECT_EQ(triggers(), 1);
    settle();
    EXPECT_EQ(target.captureCount, 1);
}

TEST_F(TriggerTest, DoubleTapOfTwoDifferentTriggersDoesNotCount) {
    useDoubleTap();
    pressGlobe();
    useF8();
    clock.advance(0.1);
    tap.keyDown(f8KeyCode);
    EXPECT_EQ(triggers(), 0);
    clock.advance(0.1);
    tap.keyDown(f8KeyCode);
    EXPECT_EQ(triggers(), 1) << "two presses of F8 are a pair";
}

TEST_F(TriggerTest, ModifierHeldTooLongDoesNotTrigger) {
    pressGlobe(1.5);
    EXPECT_EQ(triggers(), 0);
    pressGlobe(1.3);
    EXPECT_EQ(triggers(), 0);
    pressGlobe(1.2);
    EXPECT_EQ(triggers(), 1) << "a hold of exactly the limit still counts";
    pressGlobe(1.0);
    EXPECT_EQ(triggers(), 2);
}

TEST_F(TriggerTest, KeyTypedWhileTheModifierIsHeldCancelsThePress) {
    tap.flagsChanged(globeKeyCode, ModifierFlags::function);
    tap.keyDown(letterAKeyCode, ModifierFlags::function);
    tap.flagsChanged(globeKeyCode, 0);
    EXPECT_EQ(triggers(), 0);
    pressGlobe();
    EXPECT_EQ(triggers(), 1) << "the interruption ends with the release";
}

TEST_F(TriggerTest, OtherModifiersDuringTheHoldDoNotInterrupt) {
    tap.flagsChanged(globeKeyCode, ModifierFlags::function);
    tap.flagsChanged(leftShiftKeyCode, ModifierFlags::function | ModifierFlags::shift);
    tap.flagsChanged(leftShiftKeyCode, ModifierFlags::function);
    tap.flagsChanged(globeKeyCode, 0);
    EXPECT_EQ(triggers(), 1);
}

TEST_F(TriggerTest, RightOptionTriggerReleasedUnderAnotherKeyCodeStillCounts) {
    KeyboardPreferences(defaults).setTriggerPreference(
        CorrectionTriggerPreference::storedValue(QString(), QStringLiteral("rightOption")));
    tap.flagsChanged(61, ModifierFlags::option);
    tap.flagsChanged(leftShiftKeyCode, ModifierFlags::option | ModifierFlags::shift); // shift joins
    tap.flagsChanged(leftShiftKeyCode, ModifierFlags::shift);                         // option gone
    EXPECT_EQ(triggers(), 1);
}

TEST_F(TriggerTest, ApplicationActivationForgetsTheHeldModifier) {
    workspace.addApplication({700, QStringLiteral("org.example.Other")});
    tap.flagsChanged(globeKeyCode, ModifierFlags::function);
    workspace.activate(700);
    tap.flagsChanged(globeKeyCode, 0);
    EXPECT_EQ(triggers(), 0);

    // The interruption flag is reset too.
    tap.flagsChanged(globeKeyCode, ModifierFlags::function);
    tap.keyDown(letterAKeyCode);
    workspace.activate(700);
    pressGlobe();
    EXPECT_EQ(triggers(), 1);
}

TEST_F(TriggerTest, KeyDownTriggerFiresOnKeyDownOnly) {
    useF8();
    KeyboardEvent up;
    up.type = KeyboardEvent::Type::keyUp;
    up.keyCode = f8KeyCode;
    tap.deliver(up);
    pressGlobe(); // not the trigger any more
    EXPECT_EQ(triggers(), 0);
    tap.keyDown(f8KeyCode);
    EXPECT_EQ(triggers(), 1);
}

TEST_F(TriggerTest, AutoCorrectOffMakesEveryTriggerANoOp) {
    defaults.setBoolean(CorrectionServiceSettingsKeys::autoCorrect, false);
    pressGlobe();
    useDoubleTap();
    pressGlobe();
    pressGlobe();
    settle();
    EXPECT_EQ(triggers(), 0);
    EXPECT_EQ(target.captureCount, 0);
    EXPECT_TRUE(service->isMonitoring());
    defaults.setBoolean(CorrectionServiceSettingsKeys::autoCorrect, true);
    pressGlobe();
    clock.advance(0.1);
    pressGlobe();
    EXPECT_EQ(triggers(), 1);
}

TEST_F(TriggerTest, TriggerDuringARunShowsProgressAndLeavesTheRunAlone) {
    pressGlobe();
    clock.advance(0.5); // the cloud is working
    const auto running = service->activeCorrectionID();
    pressGlobe();
    EXPECT_EQ(toast.calls, (QStringList{"processing", "processing"}));
    EXPECT_EQ(announcer.announcements.size(), 2);
    EXPECT_EQ(announcer.announcements[1], (RecordingAnnouncer::Announcement{"Correction in progress", Priority::low}));
    EXPECT_EQ(statuses, QList<CorrectionStatus>{CorrectionStatus::processing}) << "no second start";
    EXPECT_EQ(service->activeCorrectionID(), running);
    settle();
    EXPECT_EQ(target.captureCount, 1);
    EXPECT_EQ(toast.calls.last(), "preview: Ths is wrong => This is wrong");
    EXPECT_EQ(count(Event::correctionStarted), 1);
}

TEST_F(TriggerTest, AnOrdinaryKeyTriggerIsConsumedAndAModifierStaysListenOnly) {
    EXPECT_EQ(tap.consumedKey, std::nullopt) << "the default fn / Globe trigger is a modifier";
    useF8();
    EXPECT_EQ(tap.consumedKey, f8KeyCode);
    tap.keyDown(f8KeyCode);
    EXPECT_EQ(triggers(), 1);

    KeyboardPreferences(defaults).setTriggerPreference(
        CorrectionTriggerPreference::storedValue(QString(), QStringLiteral("rightOption")));
    EXPECT_EQ(tap.consumedKey, std::nullopt);

    // With corrections off, the key goes back to the applications.
    useF8();
    defaults.setBoolean(CorrectionServiceSettingsKeys::autoCorrect, false);
    EXPECT_EQ(tap.consumedKey, std::nullopt);
    defaults.setBoolean(CorrectionServiceSettingsKeys::autoCorrect, true);
    EXPECT_EQ(tap.consumedKey, f8KeyCode);

    service->stopMonitoring();
    EXPECT_EQ(tap.consumedKey, std::nullopt);
}

TEST_F(MonitoringTest, ARefusedKeyReservationStillTriggers) {
    tap.refuseConsume = true;
    KeyboardPreferences(defaults).setTriggerPreference(
        CorrectionTriggerPreference::storedValue(QString(), QStringLiteral("f8")));
    startedService();
    EXPECT_EQ(tap.consumedKey, std::nullopt);
    tap.keyDown(f8KeyCode);
    EXPECT_EQ(processingToasts(), 1);
}

// MARK: - The trigger command

TEST_F(TriggerTest, TriggerCommandStartsACorrectionOnlyWhereTheKeyWould) {
    EXPECT_TRUE(service->handleTriggerCommand());
    EXPECT_EQ(triggers(), 1);
    settle();
    EXPECT_EQ(target.captureCount, 1);

    defaults.setBoolean(CorrectionServiceSettingsKeys::autoCorrect, false);
    EXPECT_FALSE(service->handleTriggerCommand());
    defaults.setBoolean(CorrectionServiceSettingsKeys::autoCorrect, true);
    service->stopMonitoring();
    EXPECT_FALSE(service->handleTriggerCommand()) << "no correction while monitoring is off";
    settle();
    EXPECT_EQ(target.captureCount, 1);
    EXPECT_EQ(triggers(), 1);
}

TEST_F(TriggerTest, TriggerCommandsPairUpForDoubleTapButNotWithTheKey) {
    useDoubleTap();
    service->handleTriggerCommand();
    clock.advance(0.3);
    service->handleTriggerCommand();
    EXPECT_EQ(triggers(), 1);
    settle();

    service->handleTriggerCommand();
    clock.advance(0.1);
    pressGlobe(); // another identity: opens a new pair
    EXPECT_EQ(triggers(), 1);
    clock.advance(0.1);
    pressGlobe();
    EXPECT_EQ(triggers(), 2);
}
