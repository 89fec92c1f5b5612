#include "Platform/Fake/FakeDesktop.h"
#include "Support/AccessibilitySupport.h"
#include "Support/ChromeAccessibilityReadiness.h"
#include "Support/InputPermissionCoordinator.h"
#include "Support/TaskOutcome.h"
#include "Support/VirtualClock.h"

#include <gtest/gtest.h>

using namespace quillo;
using Context = FocusedElementCorrectionContext;
using Selection = FocusedTextSelectionState;

namespace {

class InspectionTest : public ::testing::Test {
protected:
    VirtualClock clock;
    FakeDesktop desktop{clock};
    FakeApplication& app = desktop.addApplication(501, QStringLiteral("org.gnome.TextEditor"));

    void SetUp() override { desktop.activate(app); }
    FocusedTextInputInspection inspect() {
        return FocusedTextInputInspector::inspection(desktop.accessibility, {501, app.bundleIdentifier()});
    }
};

} // namespace

TEST_F(InspectionTest, NoFocusedElementIsOtherUnknown) {
    EXPECT_EQ(inspect(), (FocusedTextInputInspection{Context::other, Selection::unknown}));
}

TEST_F(InspectionTest, TextFieldSelectionStates) {
    auto field = app.addTextField(QStringLiteral("Hello world"));
    app.focus(field);
    EXPECT_EQ(inspect(), (FocusedTextInputInspection{Context::textInput, Selection::empty}));
    field->select(0, 5);
    EXPECT_EQ(inspect(), (FocusedTextInputInspection{Context::textInput, Selection::nonEmpty}));
    field->element->failReads(QStringLiteral("AXSelectedTextRange"), AccessibilityStatus::failure);
    EXPECT_EQ(inspect(), (FocusedTextInputInspection{Context::textInput, Selection::unknown}));
}

TEST_F(InspectionTest, SelectionOfOneCandidateAndRangeOfAnotherType) {
    // A custom editor: the focused element has no readable range, its parent has an empty one.
    auto editor = app.addElement(QStringLiteral("AXGroup"));
    auto inner = app.addElement(QStringLiteral("AXStaticText"), editor);
    editor->set(QStringLiteral("AXSelectedTextRange"), AccessibilityValue::of(AccessibilityRange{3, 0}));
    inner->set(QStringLiteral("AXSelectedTextRange"), AccessibilityValue::of(QStringLiteral("not a range")));
    inner->setBoolean(QStringLiteral("AXIsEditable"), true);
    app.focusElement(inner);
    EXPECT_EQ(inspect(), (FocusedTextInputInspection{Context::textInput, Selection::empty}));
    editor->remove(QStringLiteral("AXSelectedTextRange"));
    EXPECT_EQ(inspect().selectionState, Selection::unknown);
}

TEST_F(InspectionTest, PasswordFieldInFocusChainOrAncestryIsSecure) {
    // A plain group forwarding focus to a password field.
    auto group = app.addElement(QStringLiteral("AXGroup"));
    auto password = app.addPasswordField(QStringLiteral("hunter2"), group);
    group->setElement(QStringLiteral("AXFocusedUIElement"), password->element);
    app.focusElement(group);
    EXPECT_EQ(inspect(), (FocusedTextInputInspection{Context::secureTextInput, Selection::unknown}));

    // A text element inside a secure container, several levels up.
    auto secureBox = app.addElement(QStringLiteral("AXSecureTextField"));
    auto middle = app.addElement(QStringLiteral("AXGroup"), secureBox);
    auto text = app.addTextField(QStringLiteral("x"), QStringLiteral("AXTextArea"), middle);
    app.focus(text);
    EXPECT_EQ(inspect().context, Context::secureTextInput);
}

TEST_F(InspectionTest, TextFieldHidingItsSelectionIsSecure) {
    auto field = app.addTextField(QStringLiteral("secret"));
    field->element->setAttributeNames(QStringList{"AXRole", "AXValue", "AXParent"});
    app.focus(field);
    EXPECT_EQ(inspect().context, Context::secureTextInput);
}

TEST_F(InspectionTest, WebAreaWithSettableRangeIsOther) {
    auto web = app.addElement(QStringLiteral("AXWebArea"));
    web->setSettable(QStringLiteral("AXSelectedTextRange"));
    app.focusElement(web);
    EXPECT_EQ(inspect().context, Context::other);
    // The same element with an editable ancestor is still structural.
    web->setElement(QStringLiteral("AXEditableAncestor"), app.window());
    EXPECT_EQ(inspect().context, Context::other);
    // A plain element with the editable ancestor is a text input.
    auto span = app.addElement(QStringLiteral("AXStaticText"), web);
    span->setElement(QStringLiteral("AXEditableAncestor"), web);
    app.focusElement(span);
    EXPECT_EQ(inspect().context, Context::textInput);
}

TEST_F(InspectionTest, EditableCandidateAroundThePrimaryElement) {
    auto textArea = app.addTextField(QStringLiteral("body"), QStringLiteral("AXTextArea"));
    auto paragraph = app.addElement(QStringLiteral("AXStaticText"), textArea->element);
    app.focusElement(paragraph);
    EXPECT_EQ(inspect().context, Context::textInput) << "a text role among the ancestors";
}

TEST_F(InspectionTest, FocusChainStopsOnCyclesAndDuplicatesAreMerged) {
    auto a = app.addElement(QStringLiteral("AXGroup"));
    auto b = app.addElement(QStringLiteral("AXGroup"), a);
    a->setElement(QStringLiteral("AXFocusedUIElement"), b);
    b->setElement(QStringLiteral("AXFocusedUIElement"), a->alias()); // cycles back through another handle
    app.focusElement(a);
    EXPECT_EQ(inspect().context, Context::other);
    EXPECT_LT(a->readCount + b->readCount, 40) << "each element read a fixed number of times";
}

TEST_F(InspectionTest, FocusChainIsBounded) {
    QList<FakeAccessibilityElement::Ref> chain;
    for (int i = 0; i < 20; ++i) chain.append(app.addElement(QStringLiteral("AXGroup")));
    for (int i = 0; i + 1 < chain.size(); ++i) chain[i]->setElement(QStringLiteral("AXFocusedUIElement"), chain[i + 1]);
    // Only the ninth element of the chain (focused + 8) is reached; the password beyond is not.
    chain[9]->setString(QStringLiteral("AXSubrole"), QStringLiteral("AXSecureTextField"));
    app.focusElement(chain[0]);
    EXPECT_EQ(inspect().context, Context::other);
    chain[8]->setString(QStringLiteral("AXSubrole"), QStringLiteral("AXSecureTextField"));
    EXPECT_EQ(inspect().context, Context::secureTextInput);
}

TEST_F(InspectionTest, SystemWideFallbackOnlyForTheSameProcess) {
    auto field = app.addTextField(QStringLiteral("text"));
    app.focus(field);
    app.exposesFocusOnApplication = false;
    EXPECT_EQ(inspect().context, Context::textInput) << "recovered through the system-wide element";
    field->element->setProcessIdentifier(999);
    EXPECT_EQ(inspect(), (FocusedTextInputInspection{Context::other, Selection::unknown}));
    field->element->setProcessIdentifier(std::nullopt);
    EXPECT_EQ(inspect().context, Context::other);
}

TEST_F(InspectionTest, UnresponsiveApplicationCostsOneTimeout) {
    auto field = app.addTextField(QStringLiteral("text"));
    app.focus(field);
    field->element->failAllReads(AccessibilityStatus::cannotComplete);
    EXPECT_EQ(inspect(), (FocusedTextInputInspection{Context::other, Selection::unknown}));
    EXPECT_EQ(field->element->readCount, 1) << "no further reads after the first timeout";
    field->element->failAllReads(AccessibilityStatus::notTrusted);
    EXPECT_EQ(inspect().context, Context::other);
}

// MARK: - Browser readiness

namespace {

struct ReadinessProbe {
    int inspections = 0;
    int activations = 0;
    int waits = 0;
    int textAfterInspections = 1000;
    bool current = true;
    std::function<void()> onWait;

    ChromeAccessibilityReadiness::Inspect inspect() {
        return [this] {
            ++inspections;
            return FocusedTextInputInspection{inspections >= textAfterInspections ? Context::textInput : Context::other,
                                              Selection::unknown};
        };
    }
    ChromeAccessibilityReadiness::IsCurrent isCurrent() {
        return [this] { return current; };
    }
    ChromeAccessibilityReadiness::Activate activate() {
        return [this] { ++activations; };
    }
    ChromeAccessibilityReadiness::Wait wait(VirtualClock& clock) {
        return [this, &clock] {
            ++waits;
            if (onWait) onWait();
            return sleepStep(clock);
        };
    }
    static QCoro::Task<bool> sleepStep(VirtualClock& clock) { co_return co_await clock.sleep(0.25); }

    auto resolve(VirtualClock& clock, const char* bundle) {
        return observe(ChromeAccessibilityReadiness::resolve(QString::fromUtf8(bundle), inspect(), isCurrent(),
                                                             activate(), wait(clock)));
    }
};

} // namespace

TEST(ChromeAccessibilityReadiness, OtherApplicationsInspectOnce) {
    VirtualClock clock;
    for (const char* bundle : {"com.apple.Safari", "firefox", "com.google.Chromebook"}) {
        ReadinessProbe probe;
        auto outcome = probe.resolve(clock, bundle);
        ASSERT_TRUE(outcome->finished) << bundle;
        EXPECT_EQ((*outcome->value)->context, Context::other);
        EXPECT_EQ(probe.inspections, 1);
        EXPECT_EQ(probe.activations, 0);
        EXPECT_EQ(probe.waits, 0);
    }
}

TEST(ChromeAccessibilityReadiness, ClassifiedChromeFieldNeedsNoActivation) {
    VirtualClock clock;
    ReadinessProbe probe;
    probe.textAfterInspections = 1;
    auto outcome = probe.resolve(clock, "com.google.Chrome");
    ASSERT_TRUE(outcome->finished);
    EXPECT_EQ((*outcome->value)->context, Context::textInput);
    EXPECT_EQ(probe.activations, 0);
}

TEST(ChromeAccessibilityReadiness, WebFieldAppearingAfterHalfASecond) {
    for (const char* bundle : {"com.google.Chrome", "com.google.Chrome.beta", "google-chrome", "Chromium-browser"}) {
        VirtualClock clock;
        ReadinessProbe probe;
        probe.textAfterInspections = 3;
        auto outcome = probe.resolve(clock, bundle);
        clock.advance(0.49);
        EXPECT_FALSE(outcome->finished);
        clock.advance(0.01);
        ASSERT_TRUE(outcome->finished) << bundle;
        EXPECT_EQ((*outcome->value)->context, Context::textInput);
        EXPECT_EQ(probe.activations, 1);
        EXPECT_EQ(probe.waits, 2);
        EXPECT_EQ(probe.inspections, 3);
    }
}

TEST(ChromeAccessibilityReadiness, GivesUpAfterTwelveWaits) {
    VirtualClock clock;
    ReadinessProbe probe;
    auto outcome = probe.resolve(clock, "com.google.Chrome");
    clock.advance(12 * 0.25 - 0.001);
    EXPECT_FALSE(outcome->finished);
    clock.advance(0.001);
    ASSERT_TRUE(outcome->finished);
    EXPECT_EQ((*outcome->value)->context, Context::other);
    EXPECT_EQ(probe.inspections, 13);
}

TEST(ChromeAccessibilityReadiness, SwitchingAwayOrCancellingEndsWithNothing) {
    VirtualClock clock;
    ReadinessProbe probe;
    probe.onWait = [&] {
        if (probe.waits == 2) probe.current = false;
    };
    auto outcome = probe.resolve(clock, "com.google.Chrome");
    clock.advance(1.0);
    ASSERT_TRUE(outcome->finished);
    EXPECT_EQ(*outcome->value, std::nullopt);

    ReadinessProbe notCurrent;
    notCurrent.current = false;
    auto none = notCurrent.resolve(clock, "com.google.Chrome");
    ASSERT_TRUE(none->finished);
    EXPECT_EQ(*none->value, std::nullopt);
    EXPECT_EQ(notCurrent.inspections, 0);

    // Cancelling during a real wait.
    FakeDesktop desktop(clock);
    auto& chrome = desktop.addApplication(700, QStringLiteral("com.google.Chrome"));
    desktop.activate(chrome);
    chrome.focusElement(chrome.addElement(QStringLiteral("AXGroup")));
    CancellationSource source;
    auto cancelled = observe(ChromeAccessibilityReadiness::inspection({700, "com.google.Chrome"}, desktop.accessibility,
                                                                      desktop.workspace, clock, source.token()));
    clock.advance(0.3);
    source.cancel();
    ASSERT_TRUE(cancelled->finished);
    EXPECT_EQ(*cancelled->value, std::nullopt);
    EXPECT_TRUE(chrome.element()->writtenBooleans.value(QStringLiteral("AXEnhancedUserInterface")));
}

TEST(ChromeAccessibilityReadiness, RealOperationsOnTheSimulatedBrowser) {
    VirtualClock clock;
    FakeDesktop desktop(clock);
    auto& chrome = desktop.addApplication(700, QStringLiteral("com.google.Chrome"));
    desktop.activate(chrome);
    auto webField = chrome.addElement(QStringLiteral("AXGroup"));
    chrome.focusElement(webField);
    chrome.element()->onSetBoolean = [&](const QString&, bool) {
        desktop.at(0.4, [webField] { webField->setString(QStringLiteral("AXRole"), QStringLiteral("AXTextField")); });
        return AccessibilityStatus::success;
    };
    auto outcome = observe(ChromeAccessibilityReadiness::inspection({700, "com.google.Chrome"}, desktop.accessibility,
                                                                    desktop.workspace, clock));
    clock.advance(0.5);
    ASSERT_TRUE(outcome->finished);
    EXPECT_EQ((*outcome->value)->context, Context::textInput);
}

// MARK: - Permission

TEST(InputPermissionCoordinator, RequestThenOpenSettings) {
    VirtualClock clock;
    FakeAccessibilityPermission permission;
    FakeWorkspace workspace;
    InputPermissionCoordinator coordinator(permission, workspace, clock);
    const auto kind = InputPermissionKind::accessibility;
    EXPECT_EQ(coordinator.nextAction(kind), InputPermissionNextAction::request);
    EXPECT_EQ(InputPermissionNextActions::title(InputPermissionNextAction::request), QStringLiteral("Allow"));
    EXPECT_EQ(InputPermissionNextActions::title(InputPermissionNextAction::openSettings),
              QStringLiteral("Open Settings"));
    EXPECT_EQ(InputPermissionNextActions::title(InputPermissionNextAction::none), std::nullopt);

    coordinator.performPrimaryAction(kind);
    EXPECT_EQ(permission.promptCount, 1);
    EXPECT_TRUE(coordinator.attemptedRequests().contains(kind));
    EXPECT_EQ(coordinator.nextAction(kind), InputPermissionNextAction::openSettings);

    // The user grants it in the dialog; the delayed refresh notices.
    int changes = 0;
    QObject::connect(&coordinator, &InputPermissionCoordinator::stateChanged, [&] { ++changes; });
    permission.trusted = true;
    clock.advance(0.49);
    EXPECT_FALSE(coordinator.state().accessibilityGranted);
    clock.advance(0.01);
    EXPECT_TRUE(coordinator.state().areGranted());
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(coordinator.nextAction(kind), InputPermissionNextAction::none);
}

TEST(InputPermissionCoordinator, ADesktopThatAsksEachTimeIsAskedAgainAfterARefusal) {
    VirtualClock clock;
    FakeAccessibilityPermission permission;
    permission.askAgain = true;
    FakeWorkspace workspace;
    InputPermissionCoordinator coordinator(permission, workspace, clock);
    const auto kind = InputPermissionKind::accessibility;
    coordinator.performPrimaryAction(kind);
    clock.advance(1.0);
    // Declined in the desktop's dialog: Allow again, never settings that do not exist.
    EXPECT_EQ(coordinator.nextAction(kind), InputPermissionNextAction::request);
    coordinator.performPrimaryAction(kind);
    EXPECT_EQ(permission.promptCount, 2);
    EXPECT_TRUE(workspace.openedUrls.isEmpty());
}

TEST(InputPermissionCoordinator, OpenSettingsAndDestructionWithPendingRefresh) {
    VirtualClock clock;
    FakeAccessibilityPermission permission;
    FakeWorkspace workspace;
    {
        InputPermissionCoordinator coordinator(permission, workspace, clock);
        coordinator.performPrimaryAction(InputPermissionKind::accessibility);
        coordinator.performPrimaryAction(InputPermissionKind::accessibility);
        ASSERT_EQ(workspace.openedUrls.size(), 1);
        EXPECT_EQ(workspace.openedUrls[0], permission.settingsUrl());
    }
    clock.advance(1.0); // the refresh of a destroyed coordinator must not run
    EXPECT_EQ(clock.pendingTimers(), 0u);
    EXPECT_FALSE(InputControlPermissions::areGranted(permission));
    permission.grantOnPrompt = true;
    EXPECT_FALSE(InputControlPermissions::request(InputPermissionKind::accessibility, permission));
    EXPECT_TRUE(InputControlPermissions::accessibilityGranted(permission));
}
