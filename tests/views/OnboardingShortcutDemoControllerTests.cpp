#include "Models/ModifierFlags.h"
#include "Models/VirtualKeyCode.h"
#include "Platform/Fake/FakeLocalKeyEventMonitor.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Services/KeyboardPreferences.h"
#include "Support/VirtualClock.h"
#include "Views/OnboardingShortcutDemoController.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace quillo;
using Controller = OnboardingShortcutDemoController;
using Exercise = OnboardingShortcutDemoController::Exercise;
using Range = OnboardingShortcutDemoController::TextRange;

namespace {

constexpr auto fn = ModifierFlags::function;

class OnboardingDemoTest : public ::testing::Test {
protected:
    VirtualClock clock;
    InMemoryUserDefaults defaults;
    FakeLocalKeyEventMonitor monitor;
    Controller demo{defaults, monitor, clock};

    void SetUp() override { demo.start(); }

    // Chooses a trigger the way the shortcut step does: capture, then the key.
    void chooseGlobe() {
        demo.beginCapture();
        ASSERT_TRUE(monitor.flagsChanged(VirtualKeyCode::function, fn));
        ASSERT_FALSE(demo.isCapturing());
        // Letting go of the key that was just chosen is not a press.
        EXPECT_FALSE(monitor.flagsChanged(VirtualKeyCode::function, 0));
    }
    void chooseF6() {
        demo.beginCapture();
        ASSERT_TRUE(monitor.keyDown(VirtualKeyCode::f6));
    }
    void doubleTap() { KeyboardPreferences(defaults).setActivation(CorrectionTriggerActivation::doubleTap); }
    // A Globe press held for `seconds`.
    void pressGlobe(double seconds = 0.1) {
        EXPECT_TRUE(monitor.flagsChanged(VirtualKeyCode::function, fn));
        clock.advance(seconds);
        EXPECT_TRUE(monitor.flagsChanged(VirtualKeyCode::function, 0));
    }
};

} // namespace

TEST_F(OnboardingDemoTest, StartsOnTheWholeFieldSampleAndOnlyMonitorsWhileStarted) {
    Controller fresh(defaults, monitor, clock);
    EXPECT_EQ(fresh.demoText(), "Quillo corect yor speling, gramar and punctation instanly in evry app.");
    EXPECT_EQ(fresh.statusMessage(), "Press your configured trigger to correct the sample.");
    EXPECT_FALSE(fresh.hasChosenTrigger());
    EXPECT_FALSE(fresh.isCapturing());
    EXPECT_FALSE(fresh.hasSucceeded());

    EXPECT_EQ(monitor.installedCount(), 1); // the fixture's controller
    fresh.start();
    fresh.start();
    EXPECT_EQ(monitor.installedCount(), 2);
    fresh.stop();
    EXPECT_EQ(monitor.installedCount(), 1);
    {
        Controller shortLived(defaults, monitor, clock);
        shortLived.start();
        EXPECT_EQ(monitor.installedCount(), 2);
    }
    EXPECT_EQ(monitor.installedCount(), 1);
}

TEST_F(OnboardingDemoTest, CaptureRefusesTypingKeysAndStoresAModifier) {
    // Before a trigger is chosen, keys pass through to the window.
    EXPECT_FALSE(monitor.keyDown(VirtualKeyCode::f6));
    EXPECT_FALSE(monitor.flagsChanged(VirtualKeyCode::function, fn));

    QSignalSpy triggerChanged(&demo, &Controller::triggerChanged);
    demo.beginCapture();
    EXPECT_TRUE(demo.isCapturing());
    EXPECT_TRUE(monitor.keyDown(VirtualKeyCode::a, 0, QStringLiteral("a")));
    EXPECT_EQ(demo.statusMessage(), "Typing keys are not accepted as triggers.");
    EXPECT_TRUE(demo.isCapturing());
    EXPECT_FALSE(defaults.contains(KeyboardSettingsKeys::triggerPreference));
    // A flags change without any modifier is refused quietly, and swallowed all the same; so is
    // the release of a modifier that was down before the capture began.
    EXPECT_TRUE(monitor.flagsChanged(200, 0));
    EXPECT_TRUE(monitor.flagsChanged(VirtualKeyCode::shift, 0));
    EXPECT_TRUE(demo.isCapturing());
    EXPECT_EQ(demo.statusMessage(), "Typing keys are not accepted as triggers.");

    EXPECT_TRUE(monitor.flagsChanged(VirtualKeyCode::rightShift, ModifierFlags::shift));
    EXPECT_FALSE(demo.isCapturing());
    EXPECT_TRUE(demo.hasChosenTrigger());
    EXPECT_EQ(triggerChanged.count(), 1);
    EXPECT_EQ(demo.statusMessage(), "Trigger set to Right Shift. Try it now.");
    EXPECT_EQ(defaults.string(KeyboardSettingsKeys::triggerPreference, {}),
              R"({"kind":"modifier","keyCode":60,"modifierFlagRawValue":131072,"title":"Right Shift"})");
    EXPECT_EQ(demo.selectedTrigger().title, "Right Shift");

    // The new trigger works at once.
    EXPECT_FALSE(monitor.flagsChanged(VirtualKeyCode::rightShift, 0));
    EXPECT_TRUE(monitor.flagsChanged(VirtualKeyCode::rightShift, ModifierFlags::shift));
    EXPECT_TRUE(monitor.flagsChanged(VirtualKeyCode::rightShift, 0));
    EXPECT_TRUE(demo.hasSucceeded());
}

TEST_F(OnboardingDemoTest, CaptureOfAKeyAndItsCancellation) {
    demo.beginCapture();
    demo.cancelCapture();
    EXPECT_FALSE(demo.isCapturing());
    EXPECT_EQ(demo.statusMessage(), "Choose your correction key to try the sample.");
    EXPECT_FALSE(monitor.keyDown(VirtualKeyCode::home));

    demo.beginCapture();
    EXPECT_TRUE(monitor.keyDown(VirtualKeyCode::home));
    EXPECT_EQ(demo.statusMessage(), "Trigger set to Home. Try it now.");
    EXPECT_EQ(KeyboardPreferences(defaults).triggerPreference().keyDownCode(), VirtualKeyCode::home);

    // Leaving the practice while choosing ends the choice: nothing would deliver the key.
    demo.beginCapture();
    demo.stop();
    EXPECT_FALSE(demo.isCapturing());
    EXPECT_EQ(monitor.installedCount(), 0);
}

TEST_F(OnboardingDemoTest, KeyTriggerIsSwallowedAndOtherKeysPassThrough) {
    chooseF6();
    EXPECT_FALSE(monitor.keyDown(VirtualKeyCode::a, 0, QStringLiteral("a")));
    EXPECT_FALSE(monitor.keyDown(VirtualKeyCode::f7));
    EXPECT_FALSE(monitor.flagsChanged(VirtualKeyCode::shift, ModifierFlags::shift));
    EXPECT_FALSE(demo.hasSucceeded());

    EXPECT_TRUE(monitor.keyDown(VirtualKeyCode::f6));
    EXPECT_TRUE(demo.hasSucceeded());
    EXPECT_EQ(demo.demoText(), "Quillo corrects your spelling, grammar, and punctuation instantly in every app.");
    EXPECT_EQ(demo.statusMessage(), "Whole field corrected.");

    EXPECT_TRUE(monitor.keyDown(VirtualKeyCode::f6));
    EXPECT_EQ(demo.statusMessage(), "Shortcut detected again. The sample is already corrected.");
    EXPECT_EQ(demo.demoText(), Controller::wholeFieldCorrected);
}

TEST_F(OnboardingDemoTest, DoubleTapNeedsTheSecondTapWithinTheInterval) {
    chooseGlobe();
    doubleTap();
    QStringList shown;
    QObject::connect(&demo, &Controller::statusMessageChanged, [&] { shown.append(demo.statusMessage()); });

    // Taps register on release: 0.5 s of pause plus 0.1 s of hold puts them 0.6 s apart.
    pressGlobe(0.1);
    clock.advance(0.5);
    pressGlobe(0.1);
    EXPECT_EQ(shown, QStringList({"First tap detected — tap once more.", "First tap detected — tap once more."}));
    EXPECT_FALSE(demo.hasSucceeded());
    EXPECT_EQ(demo.demoText(), Controller::wholeFieldSample);

    // The second tap above starts a pair; one 0.5 s later completes it.
    clock.advance(0.5 - 0.1);
    pressGlobe(0.1);
    EXPECT_TRUE(demo.hasSucceeded());
    EXPECT_EQ(demo.statusMessage(), "Whole field corrected.");

    // A completed pair is forgotten: the next tap starts a new one.
    demo.resetDemo();
    pressGlobe();
    EXPECT_EQ(demo.statusMessage(), "First tap detected — tap once more.");
}

TEST_F(OnboardingDemoTest, KeyTriggerDoubleTapAndTapsAcrossATriggerChange) {
    chooseF6();
    doubleTap();
    EXPECT_TRUE(monitor.keyDown(VirtualKeyCode::f6));
    clock.advance(0.55);
    EXPECT_TRUE(monitor.keyDown(VirtualKeyCode::f6));
    EXPECT_TRUE(demo.hasSucceeded());

    // A tap of the old trigger does not pair with one of the new.
    demo.resetDemo();
    EXPECT_TRUE(monitor.keyDown(VirtualKeyCode::f6));
    demo.beginCapture();
    EXPECT_TRUE(monitor.keyDown(VirtualKeyCode::f7));
    EXPECT_TRUE(monitor.keyDown(VirtualKeyCode::f7));
    EXPECT_FALSE(demo.hasSucceeded());
    EXPECT_EQ(demo.statusMessage(), "First tap detected — tap once more.");
}

TEST_F(OnboardingDemoTest, GlobeHeldTooLongDoesNotCorrectAShortHoldDoes) {
    chooseGlobe();
    pressGlobe(1.5);
    EXPECT_FALSE(demo.hasSucceeded());
    EXPECT_EQ(demo.demoText(), Controller::wholeFieldSample);
    pressGlobe(1.2);
    EXPECT_TRUE(demo.hasSucceeded());
}

TEST_F(OnboardingDemoTest, AnyKeyWhileAModifierTriggerIsHeldCancelsThatPress) {
    chooseGlobe();
    EXPECT_TRUE(monitor.flagsChanged(VirtualKeyCode::function, fn));
    // The letter itself reaches the window.
    EXPECT_FALSE(monitor.keyDown(VirtualKeyCode::c, fn, QStringLiteral("c")));
    EXPECT_TRUE(monitor.flagsChanged(VirtualKeyCode::function, 0));
    EXPECT_FALSE(demo.hasSucceeded());

    // Another modifier joining in makes a shortcut too.
    EXPECT_TRUE(monitor.flagsChanged(VirtualKeyCode::function, fn));
    EXPECT_FALSE(monitor.flagsChanged(VirtualKeyCode::shift, fn | ModifierFlags::shift));
    EXPECT_FALSE(monitor.flagsChanged(VirtualKeyCode::shift, fn));
    EXPECT_TRUE(monitor.flagsChanged(VirtualKeyCode::function, 0));
    EXPECT_FALSE(demo.hasSucceeded());

    // The next clean press counts again.
    pressGlobe();
    EXPECT_TRUE(demo.hasSucceeded());
}

TEST_F(OnboardingDemoTest, AModifierTriggerIsRecognisedOnlyFromItsOwnKey) {
    demo.beginCapture();
    ASSERT_TRUE(monitor.flagsChanged(VirtualKeyCode::rightCommand, ModifierFlags::command));
    ASSERT_FALSE(monitor.flagsChanged(VirtualKeyCode::rightCommand, 0));
    // Left Command carries the same flag but is not the chosen key.
    EXPECT_FALSE(monitor.flagsChanged(VirtualKeyCode::command, ModifierFlags::command));
    EXPECT_FALSE(monitor.flagsChanged(VirtualKeyCode::command, 0));
    EXPECT_FALSE(demo.hasSucceeded());
    // The Globe key may arrive under another key code; its flag is what counts.
    demo.beginCapture();
    ASSERT_TRUE(monitor.flagsChanged(VirtualKeyCode::function, fn));
    EXPECT_TRUE(monitor.flagsChanged(179, fn));
    EXPECT_TRUE(monitor.flagsChanged(179, 0));
    EXPECT_TRUE(demo.hasSucceeded());
}

TEST_F(OnboardingDemoTest, SelectionExerciseCorrectsOnlyTheSelectedPhrase) {
    chooseF6();
    demo.setExercise(Exercise::selection);
    const QString sample = Controller::selectionSample;
    EXPECT_EQ(demo.demoText(), sample);
    const qsizetype phraseAt = sample.indexOf(Controller::selectionPhrase);

    // Only "leving" selected: the whole phrase is asked for.
    demo.setSelectedRange({phraseAt, 6});
    EXPECT_EQ(demo.selectionText(), "leving");
    EXPECT_TRUE(monitor.keyDown(VirtualKeyCode::f6));
    EXPECT_FALSE(demo.hasSucceeded());
    EXPECT_EQ(demo.statusMessage(), "Select “leving evrything els untuched”, then try again.");
    EXPECT_EQ(demo.demoText(), sample);

    // Nothing selected, or a range that runs past the text, is refused the same way.
    for (Range bad : {Range{-1, 0}, Range{0, 0}, Range{phraseAt, 500}, Range{sample.size() + 3, 2}}) {
        demo.setSelectedRange(bad);
        demo.applyPreparedCorrection();
        EXPECT_FALSE(demo.hasSucceeded());
        EXPECT_EQ(demo.demoText(), sample);
    }

    demo.setSelectedRange({phraseAt, Controller::selectionPhrase.size()});
    EXPECT_TRUE(monitor.keyDown(VirtualKeyCode::f6));
    EXPECT_TRUE(demo.hasSucceeded());
    EXPECT_EQ(demo.statusMessage(), "Selection corrected. Everything else stayed unchanged.");
    EXPECT_EQ(demo.demoText(), "Quillo corrects only the text you select, leaving everything else untouched.");
    EXPECT_EQ(demo.selectedRange(), (Range{phraseAt, Controller::selectionReplacement.size()}));
    EXPECT_EQ(demo.selectionText(), "leaving everything else untouched");
}

TEST_F(OnboardingDemoTest, AWiderSelectionKeepsEverythingAroundThePhrase) {
    chooseF6();
    demo.setExercise(Exercise::selection);
    const QString sample = Controller::selectionSample;
    const qsizetype from = sample.indexOf(QStringLiteral("you select"));
    demo.setSelectedRange({from, sample.size() - from});
    EXPECT_EQ(demo.selectionText(), "you select, leving evrything els untuched.");
    EXPECT_TRUE(monitor.keyDown(VirtualKeyCode::f6));
    EXPECT_TRUE(demo.hasSucceeded());
    EXPECT_EQ(demo.demoText(), "Quillo corrects only the text you select, leaving everything else untouched.");
    EXPECT_EQ(demo.selectionText(), "you select, leaving everything else untouched.");
}

TEST_F(OnboardingDemoTest, ResetRestoresTheSampleAndSaysWhatToDo) {
    demo.resetDemo();
    EXPECT_EQ(demo.statusMessage(), "Choose your correction key to try the sample.");

    demo.useCurrentTrigger();
    EXPECT_TRUE(demo.hasChosenTrigger());
    EXPECT_EQ(demo.selectedTrigger().identity(), "modifier:63:8388608");
    EXPECT_EQ(demo.statusMessage(), "Press your configured trigger to correct the whole field.");
    pressGlobe();
    ASSERT_TRUE(demo.hasSucceeded());
    demo.resetDemo();
    EXPECT_FALSE(demo.hasSucceeded());
    EXPECT_EQ(demo.demoText(), Controller::wholeFieldSample);

    demo.setExercise(Exercise::selection);
    EXPECT_EQ(demo.demoText(), Controller::selectionSample);
    EXPECT_EQ(demo.statusMessage(), "Select “leving evrything els untuched”, then press your trigger.");

    // A half-finished gesture does not survive a reset.
    doubleTap();
    demo.setSelectedRange({demo.demoText().indexOf(Controller::selectionPhrase), Controller::selectionPhrase.size()});
    pressGlobe();
    demo.resetDemo();
    demo.setSelectedRange({demo.demoText().indexOf(Controller::selectionPhrase), Controller::selectionPhrase.size()});
    pressGlobe();
    EXPECT_FALSE(demo.hasSucceeded());
    EXPECT_EQ(demo.statusMessage(), "First tap detected — tap once more.");
}

TEST_F(OnboardingDemoTest, TheDesktopsTriggerCommandPractisesWithoutAKeyChosenHere) {
    EXPECT_TRUE(demo.handleTriggerCommand());
    EXPECT_TRUE(demo.hasSucceeded());
    EXPECT_EQ(demo.statusMessage(), "Whole field corrected.");

    demo.resetDemo();
    doubleTap();
    EXPECT_TRUE(demo.handleTriggerCommand());
    EXPECT_EQ(demo.statusMessage(), "First tap detected — tap once more.");
    clock.advance(0.3);
    demo.handleTriggerCommand();
    EXPECT_TRUE(demo.hasSucceeded());

    demo.beginCapture();
    EXPECT_FALSE(demo.handleTriggerCommand()) << "choosing a key takes no command";
    demo.cancelCapture();
    demo.stop();
    EXPECT_FALSE(demo.handleTriggerCommand()) << "nothing to practise on once stopped";
}
