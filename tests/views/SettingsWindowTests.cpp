#include "Models/ModifierFlags.h"
#include "Models/VirtualKeyCode.h"
#include "Services/KeyboardPreferences.h"
#include "Services/QuilloDiagnosticLogStore.h"
#include "SettingsTestRig.h"
#include "Views/CreditPacksView.h"
#include "Views/SettingsAboutPage.h"
#include "Views/SettingsGeneralPage.h"
#include "Views/TriggerCommandLine.h"
#include "Views/TriggerKeyDetection.h"

#include <QAccessible>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTabWidget>
#include <QToolButton>
#include <cerrno>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace quillo;
using namespace quillo::testing;
using Step = ScriptedCloudHttpTransport::Step;

namespace {

const QString kProof = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQ"); // 43 base64url characters

class SettingsWindowTest : public ::testing::Test {
protected:
    SettingsTestRig rig;
    std::unique_ptr<SettingsWindow> window;

    void open(bool signedIn = false, bool google = false, std::function<void(SettingsDependencies&)> adjust = {}) {
        rig.start(signedIn, google);
        // The balance asked for when the window opens.
        rig.transport.setHandler([this](const CloudHttpRequest& request) {
            if (request.method == "GET") return balanceAnswer;
            return Step::failure(NetworkErrorCode::cannotConnectToHost);
        });
        SettingsDependencies dependencies = rig.dependencies();
        if (adjust) adjust(dependencies);
        window = std::make_unique<SettingsWindow>(dependencies);
        window->show();
        rig.settle();
    }
    void TearDown() override {
        window.reset();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    template <typename T> T* find(const QString& name) {
        T* widget = window->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }
    bool shown(const QString& name) {
        QWidget* widget = find<QWidget>(name);
        return widget && widget->isVisibleTo(window.get());
    }
    QString text(const QString& name) {
        auto* label = find<QLabel>(name);
        return label ? label->text() : QString();
    }
    QString storedTrigger() { return rig.defaults.string(KeyboardSettingsKeys::triggerPreference, QString()); }

    Step balanceAnswer = Step::json(200, R"({"balanceCredits":13.5,"reservedCredits":0,"availableCredits":12.345})");
};

} // namespace

// Trigger detection.

TEST_F(SettingsWindowTest, DetectionRefusesAndSwallowsLettersThenStoresAModifier) {
    open();
    EXPECT_EQ(window->triggerHelpText(),
              "Use a short press without combining it with another shortcut. Correction starts after one short press.");
    EXPECT_EQ(text("triggerTitle"), "fn / globe");
    auto* detect = find<QPushButton>("detectTrigger");
    EXPECT_EQ(detect->text(), "Detect key");
    EXPECT_EQ(rig.keyMonitor.installedCount(), 0);

    detect->click();
    EXPECT_TRUE(window->isDetectingTrigger());
    EXPECT_EQ(detect->text(), "Cancel");
    EXPECT_EQ(rig.keyMonitor.installedCount(), 1);
    EXPECT_EQ(text("triggerHelp"), "Press a modifier, function, navigation, or control key.");
    const QUuid first = window->triggerDetection().detectionIdentifier();
    EXPECT_FALSE(first.isNull());

    // A letter is refused and kept from the window; detection goes on.
    EXPECT_TRUE(rig.keyMonitor.keyDown(VirtualKeyCode::a, 0, "a"));
    EXPECT_EQ(window->triggerMessage(), QString("Typing keys are not accepted as triggers."));
    EXPECT_EQ(text("triggerHelp"), "Typing keys are not accepted as triggers.");
    EXPECT_TRUE(window->isDetectingTrigger());
    EXPECT_TRUE(storedTrigger().isEmpty());
    // So is a space, and a letter typed with Shift held.
    EXPECT_TRUE(rig.keyMonitor.keyDown(VirtualKeyCode::space, 0, " "));
    EXPECT_TRUE(rig.keyMonitor.keyDown(VirtualKeyCode::q, ModifierFlags::shift, "q"));
    EXPECT_TRUE(window->isDetectingTrigger());
    // Flag changes without a flag are swallowed but change nothing.
    EXPECT_TRUE(rig.keyMonitor.flagsChanged(0x8000 + 200, 0));
    EXPECT_EQ(window->triggerMessage(), QString("Typing keys are not accepted as triggers."));

    // The right Shift key becomes the trigger.
    EXPECT_TRUE(rig.keyMonitor.flagsChanged(VirtualKeyCode::rightShift, ModifierFlags::shift));
    EXPECT_FALSE(window->isDetectingTrigger());
    EXPECT_EQ(rig.keyMonitor.installedCount(), 0);
    const CorrectionTriggerPreference expected{CorrectionTriggerKind::modifier, VirtualKeyCode::rightShift,
                                               ModifierFlags::shift, QStringLiteral("Right Shift")};
    EXPECT_EQ(storedTrigger(), expected.storageValue());
    EXPECT_EQ(window->triggerMessage(), QString("Trigger set to Right Shift."));
    EXPECT_EQ(window->triggerHelpText(), "Trigger set to Right Shift.");
    EXPECT_EQ(text("triggerTitle"), "Right Shift");
    EXPECT_EQ(detect->text(), "Detect key");

    // Detection over: keys reach the window again.
    EXPECT_FALSE(rig.keyMonitor.keyDown(VirtualKeyCode::a, 0, "a"));
    // The stored message stays until the next detection; the 8 s time-out of this one never fires.
    rig.clock.advance(10.0);
    EXPECT_EQ(window->triggerMessage(), QString("Trigger set to Right Shift."));
}

TEST_F(SettingsWindowTest, DetectionAcceptsAFunctionKeyAndCancelClearsTheMessage) {
    open();
    window->startTriggerCapture();
    EXPECT_TRUE(rig.keyMonitor.keyDown(VirtualKeyCode::f8, 0, QString(QChar(0xF70B))));
    EXPECT_EQ(CorrectionTriggerPreference::decode(storedTrigger())->keyDownCode(), VirtualKeyCode::f8);
    EXPECT_EQ(window->triggerHelpText(), "Trigger set to F8.");
    EXPECT_EQ(text("triggerTitle"), "F8");

    window->startTriggerCapture();
    find<QPushButton>("detectTrigger")->click(); // "Cancel"
    EXPECT_FALSE(window->isDetectingTrigger());
    EXPECT_EQ(window->triggerMessage(), std::nullopt);
    EXPECT_EQ(window->triggerHelpText(), "Use a dedicated non-typing key. Correction starts after one short press.");
    EXPECT_EQ(rig.keyMonitor.installedCount(), 0);
}

TEST_F(SettingsWindowTest, TheKeyboardSectionShowsTheTriggerCommandToBind) {
    open();
    ASSERT_TRUE(shown(QStringLiteral("triggerCommand")));
    auto* line = find<QLineEdit>(QStringLiteral("triggerCommandLine"));
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->text(), TriggerCommandLine::current());
    EXPECT_TRUE(line->text().endsWith(QStringLiteral(" --trigger")));
    EXPECT_FALSE(shown(QStringLiteral("desktopBindingLine"))) << "no desktop line where the desktop has none";
}

TEST_F(SettingsWindowTest, TheDesktopsConfigurationLineFollowsTheTrigger) {
    open(false, false, [](SettingsDependencies& dependencies) {
        dependencies.desktopBindingLine = [](const CorrectionTriggerPreference& trigger) {
            return std::optional<DesktopBindingLine>(
                DesktopBindingLine{QStringLiteral("Add to your config:"), QStringLiteral("bind ") + trigger.title});
        };
    });
    auto* line = find<QLineEdit>(QStringLiteral("desktopBindingLine"));
    ASSERT_NE(line, nullptr);
    EXPECT_TRUE(shown(QStringLiteral("desktopBindingLine")));
    EXPECT_EQ(text(QStringLiteral("desktopBindingInstruction")), "Add to your config:");
    EXPECT_EQ(line->text(), "bind fn / globe");
    KeyboardPreferences(rig.defaults)
        .setTriggerPreference(CorrectionTriggerPreference::storedValue(QString(), QStringLiteral("f8")));
    EXPECT_EQ(line->text(), "bind F8");
}

TEST_F(SettingsWindowTest, DetectionTimesOutAfterEightSeconds) {
    open();
    window->startTriggerCapture();
    rig.clock.advance(7.9);
    EXPECT_TRUE(window->isDetectingTrigger());
    rig.clock.advance(0.1);
    EXPECT_FALSE(window->isDetectingTrigger());
    EXPECT_EQ(window->triggerMessage(), QString("Detection timed out."));
    EXPECT_EQ(text("triggerHelp"), "Detection timed out.");
    EXPECT_EQ(rig.keyMonitor.installedCount(), 0);
    EXPECT_TRUE(storedTrigger().isEmpty());
}

TEST_F(SettingsWindowTest, AnEarlierDetectionsTimeOutNeverEndsALaterOne) {
    open();
    window->startTriggerCapture();
    const QUuid first = window->triggerDetection().detectionIdentifier();
    rig.clock.advance(5.0);
    window->stopTriggerCapture(false);
    window->startTriggerCapture();
    EXPECT_NE(window->triggerDetection().detectionIdentifier(), first);
    rig.clock.advance(3.5); // past the first one's 8 s
    EXPECT_TRUE(window->isDetectingTrigger());
    EXPECT_EQ(window->triggerMessage(), QString("Press a modifier, function, navigation, or control key."));
    // Starting again at once (no stop in between) also resets the clock.
    window->startTriggerCapture();
    rig.clock.advance(7.9);
    EXPECT_TRUE(window->isDetectingTrigger());
    EXPECT_EQ(rig.keyMonitor.installedCount(), 1);
    rig.clock.advance(0.2);
    EXPECT_EQ(window->triggerMessage(), QString("Detection timed out."));
    EXPECT_EQ(rig.keyMonitor.installedCount(), 0);
}

TEST_F(SettingsWindowTest, ClosingOrHidingTheWindowRemovesTheMonitor) {
    open();
    window->startTriggerCapture();
    ASSERT_EQ(rig.keyMonitor.installedCount(), 1);
    window->hide();
    EXPECT_EQ(rig.keyMonitor.installedCount(), 0);
    EXPECT_FALSE(rig.keyMonitor.keyDown(VirtualKeyCode::a, 0, "a"));

    window->show();
    window->startTriggerCapture();
    window->close();
    EXPECT_EQ(rig.keyMonitor.installedCount(), 0);
    EXPECT_FALSE(window->isDetectingTrigger());

    window->show();
    window->startTriggerCapture();
    window.reset();
    EXPECT_EQ(rig.keyMonitor.installedCount(), 0);
    rig.clock.advance(10.0); // the time-out of a window that is gone does nothing
}

// Defaults-bound controls.

TEST_F(SettingsWindowTest, OpeningRecordsTheEndpointAndReadsTheServices) {
    rig.defaults.setString(QuilloCloudService::endpointDefaultsKey, "https://old.example/api/correct");
    rig.permission.trusted = true;
    rig.loginStatus = LaunchAtLoginStatus::enabled;
    open();
    EXPECT_FALSE(rig.defaults.contains(QuilloCloudService::endpointDefaultsKey));
    EXPECT_EQ(rig.defaults.boolean(QuilloCloudService::configuredDefaultsKey), true);
    EXPECT_EQ(text("permissionStatus"), "Allowed");
    EXPECT_FALSE(shown("permissionPrimary"));
    EXPECT_TRUE(find<QCheckBox>("launchAtLogin")->isChecked());
    EXPECT_EQ(window->windowTitle(), "Quillo Settings");
    EXPECT_EQ(window->minimumSize(), QSize(520, 480));
    EXPECT_EQ(window->selectedTab(), QuilloSettingsTab::general);
    auto* tabs = find<QTabWidget>("settingsTabs");
    EXPECT_EQ(tabs->tabText(0), "General");
    EXPECT_EQ(tabs->tabText(1), "History");
    EXPECT_EQ(tabs->tabText(2), "About");
}

TEST_F(SettingsWindowTest, SwitchesAndSliderWriteTheirKeys) {
    open();
    UserDefaults& d = rig.defaults;
    auto* autoCorrect = find<QCheckBox>("autoCorrect");
    auto* preview = find<QCheckBox>("showNotifications");
    EXPECT_EQ(autoCorrect->text(), "Automatic correction");
    EXPECT_EQ(preview->text(), "Correction preview");
    // Absent keys show their defaults and stay absent until changed.
    EXPECT_TRUE(autoCorrect->isChecked());
    EXPECT_TRUE(preview->isChecked());
    EXPECT_FALSE(d.contains("autoCorrect"));
    autoCorrect->click();
    EXPECT_EQ(d.value("autoCorrect"), QVariant(false));
    preview->click();
    EXPECT_EQ(d.value("showNotifications"), QVariant(false));
    preview->click();
    EXPECT_EQ(d.value("showNotifications"), QVariant(true));

    auto* slider = find<QSlider>("correctionPreviewDuration");
    EXPECT_EQ(slider->minimum(), 1);
    EXPECT_EQ(slider->maximum(), 60);
    EXPECT_EQ(slider->value(), 3);
    EXPECT_EQ(text("previewDurationValue"), "3 s");
    EXPECT_FALSE(d.contains("correctionPreviewDuration"));
    slider->setValue(12);
    EXPECT_EQ(d.value("correctionPreviewDuration"), QVariant(12.0));
    EXPECT_EQ(text("previewDurationValue"), "12 s");

    // Someone else writing a key moves the control.
    d.setBoolean("autoCorrect", true);
    EXPECT_TRUE(autoCorrect->isChecked());
    d.setNumber("correctionPreviewDuration", 0.4);
    EXPECT_EQ(slider->value(), 1);
    EXPECT_EQ(text("previewDurationValue"), "1 s");
}

TEST_F(SettingsWindowTest, PickersWriteTheirRawValues) {
    rig.start(false);
    rig.defaults.setString("quilloCloudModel", "groqGPTOSS120B"); // a legacy spelling
    rig.defaults.setString("physicalKeyboardLayout", "dvorak");   // unknown: automatic
    window = std::make_unique<SettingsWindow>(rig.dependencies());
    window->show();
    UserDefaults& d = rig.defaults;

    EXPECT_TRUE(find<QToolButton>("compactCorrectionPresentation/notch")->isChecked());
    EXPECT_EQ(find<QToolButton>("compactCorrectionPresentation/mini")->text(), "Subtle");
    find<QToolButton>("compactCorrectionPresentation/mini")->click();
    EXPECT_EQ(d.string("compactCorrectionPresentation"), QString("mini"));
    EXPECT_FALSE(find<QToolButton>("compactCorrectionPresentation/notch")->isChecked());

    EXPECT_TRUE(find<QRadioButton>("quilloCloudModel/very_very_fast")->isChecked());
    EXPECT_EQ(find<QRadioButton>("quilloCloudModel/very_very_fast")->text(), "Very Very Fast");
    EXPECT_EQ(text("creditNote/very_very_fast"), "= 1.85× credits");
    find<QRadioButton>("quilloCloudModel/fast")->click();
    EXPECT_EQ(d.string("quilloCloudModel"), QString("fast"));

    EXPECT_TRUE(find<QRadioButton>("quilloCorrectionWritingMode/proofread")->isChecked());
    EXPECT_EQ(text("writingModeHelp"), "Fixes objective mistakes without rephrasing.");
    EXPECT_FALSE(shown("writingModeWarning"));
    find<QRadioButton>("quilloCorrectionWritingMode/contextual")->click();
    EXPECT_EQ(d.string("quilloCorrectionWritingMode"), QString("contextual"));
    EXPECT_EQ(text("writingModeHelp"), "Fixes every error and improves phrasing using context.");
    EXPECT_TRUE(shown("writingModeWarning"));
    EXPECT_EQ(text("writingModeWarning"), "Contextual may substantially rephrase your text and alter its meaning.");

    auto* layout = find<QComboBox>("physicalKeyboardLayout");
    ASSERT_EQ(layout->count(), 3);
    EXPECT_EQ(layout->itemText(0), "Automatic");
    EXPECT_EQ(layout->itemText(1), "QWERTY");
    EXPECT_EQ(layout->itemText(2), "AZERTY");
    EXPECT_EQ(layout->currentIndex(), 0);
    layout->setCurrentIndex(2);
    emit layout->activated(2);
    EXPECT_EQ(d.string("physicalKeyboardLayout"), QString("azerty"));

    auto* activation = find<QComboBox>("correctionTriggerActivation");
    EXPECT_EQ(activation->itemText(0), "Single press");
    EXPECT_EQ(activation->itemText(1), "Double tap");
    activation->setCurrentIndex(1);
    emit activation->activated(1);
    EXPECT_EQ(d.string("correctionTriggerActivation"), QString("doubleTap"));
    EXPECT_EQ(text("triggerHelp"),
              "Use a short press without combining it with another shortcut. Correction starts after two short presses "
              "on the same key.");

    // The trigger line follows the legacy key when no preference is stored.
    d.setString("correctionTriggerKey", "f9");
    EXPECT_EQ(text("triggerTitle"), "F9");
    EXPECT_EQ(text("triggerHelp"),
              "Use a dedicated non-typing key. Correction starts after two short presses on the same key.");
}

TEST_F(SettingsWindowTest, LaunchAtLoginSwitchOrTheTestBuildNote) {
    open();
    auto* login = find<QCheckBox>("launchAtLogin");
    EXPECT_FALSE(login->isChecked());
    login->click();
    EXPECT_EQ(rig.loginRequests, QList<bool>{true});
    EXPECT_TRUE(login->isChecked());
    EXPECT_FALSE(shown("launchAtLoginMessage"));

    window.reset();
    window = std::make_unique<SettingsWindow>([&] {
        auto d = rig.dependencies();
        d.testBuild = true;
        return d;
    }());
    EXPECT_EQ(window->findChild<QCheckBox*>("launchAtLogin"), nullptr);
    ASSERT_NE(window->findChild<QWidget*>("testBuildNote"), nullptr);
    EXPECT_TRUE(window->findChild<QWidget*>("testBuildNote")
                    ->findChildren<QLabel*>()
                    .constLast()
                    ->text()
                    .contains("Test build · Launch at login disabled"));
}

// Account, balance and connection.

TEST_F(SettingsWindowTest, BalanceIsSignInRequiredThenLoadingThenTwoDecimals) {
    open(false);
    EXPECT_EQ(window->balanceText(), "Sign-in required");
    EXPECT_EQ(text("balanceValue"), "Sign-in required");
    EXPECT_TRUE(shown("signInForm"));
    EXPECT_FALSE(shown("signedInIdentity"));
    EXPECT_FALSE(shown("dangerZone"));
    window.reset();

    // Signed in, the balance is asked for when the window opens: "..." until it arrives.
    balanceAnswer =
        Step::json(200, R"({"balanceCredits":13.5,"reservedCredits":0,"availableCredits":12.345})", {}, 2.0);
    SettingsTestRig& r = rig;
    r.start(true);
    r.transport.setHandler([this](const CloudHttpRequest&) { return balanceAnswer; });
    window = std::make_unique<SettingsWindow>(r.dependencies());
    window->show();
    EXPECT_EQ(window->balanceText(), "...");
    EXPECT_TRUE(shown("balanceRefreshing"));
    EXPECT_FALSE(find<QToolButton>("refreshBalance")->isEnabled());
    r.clock.advance(2.0);
    EXPECT_EQ(window->balanceText(), "12.35");
    EXPECT_EQ(text("balanceValue"), "12.35");
    EXPECT_FALSE(shown("balanceRefreshing"));
    EXPECT_TRUE(find<QToolButton>("refreshBalance")->isEnabled());
    EXPECT_EQ(text("signedInEmail"), SettingsTestRig::email);
    EXPECT_FALSE(shown("signInForm"));
    EXPECT_TRUE(shown("dangerZone"));
}

TEST_F(SettingsWindowTest, SigningInThroughTheFormLoadsTheBalance) {
    open(false);
    EXPECT_EQ(window->balanceText(), "Sign-in required");
    const QByteArray session =
        QJsonDocument(
            QJsonObject{{"accessToken", SettingsTestRig::accessToken()},
                        {"refreshToken", "r"},
                        {"expiresIn", 3600},
                        {"user", QJsonObject{{"id", SettingsTestRig::userID}, {"email", SettingsTestRig::email}}}})
            .toJson(QJsonDocument::Compact);
    rig.transport.enqueue(Step::json(200, session));
    find<QLineEdit>("email")->setText(SettingsTestRig::email);
    find<QLineEdit>("password")->setText("secret-words");
    find<QPushButton>("submit")->click();
    rig.settle();
    ASSERT_TRUE(rig.auth->isSignedIn());
    EXPECT_EQ(window->balanceText(), "12.35");
    EXPECT_EQ(text("signedInEmail"), SettingsTestRig::email);
    EXPECT_TRUE(shown("dangerZone"));
}

TEST_F(SettingsWindowTest, SigningOutShowsTheFormAgain) {
    open(true);
    rig.transport.setHandler([](const CloudHttpRequest&) { return Step::json(200, "{}"); });
    find<QPushButton>("signOut")->click();
    rig.settle();
    EXPECT_FALSE(rig.auth->isSignedIn());
    EXPECT_TRUE(shown("signInForm"));
    EXPECT_FALSE(shown("dangerZone"));
    EXPECT_EQ(window->balanceText(), "Sign-in required");
}

TEST_F(SettingsWindowTest, ConnectionLineFollowsConnectivity) {
    open();
    EXPECT_EQ(text("connectionText"), "Connection available");
    EXPECT_FALSE(shown("connectionDetail"));
    rig.connectivity->apply({QNetworkInformation::Reachability::Disconnected, false});
    EXPECT_EQ(text("connectionText"), "Connection unavailable");
    EXPECT_TRUE(shown("connectionDetail"));
    EXPECT_EQ(text("connectionDetail"), "Internet required");
}

TEST_F(SettingsWindowTest, PrivacyDisclosureShowsTheTextAndReportsItsState) {
    open();
    auto* toggle = find<QPushButton>("privacyToggle");
    EXPECT_FALSE(shown("privacyText"));
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(toggle);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->text(QAccessible::Value), "Collapsed");
    toggle->click();
    EXPECT_TRUE(shown("privacyText"));
    EXPECT_EQ(text("privacyText"),
              "Cloud sends only the text being corrected over encrypted TLS 1.3 connections. It uses Zero Data "
              "Retention and your text is never used for AI training.");
    EXPECT_EQ(accessible->text(QAccessible::Value), "Expanded");
    EXPECT_TRUE(accessible->state().expanded);
}

TEST_F(SettingsWindowTest, PermissionRowAsksThenOffersTheSettings) {
    open();
    EXPECT_EQ(text("permissionStatus"), "Not allowed");
    auto* primary = find<QPushButton>("permissionPrimary");
    EXPECT_TRUE(shown("permissionPrimary"));
    EXPECT_EQ(primary->text(), "Allow");
    EXPECT_TRUE(shown("permissionOpenSettings"));
    // The settings can be opened before asking, too.
    find<QPushButton>("permissionOpenSettings")->click();
    EXPECT_EQ(rig.workspace.openedUrls, QList<QUrl>{rig.permission.settingsUrl()});
    rig.workspace.openedUrls.clear();
    EXPECT_EQ(text("permissionUsage"),
              "Quillo uses your desktop's keyboard control to trigger, copy, and replace text. It refuses password "
              "fields and the file manager, accepts only copied text, and never reads text through accessibility "
              "elements.");
    primary->click();
    EXPECT_EQ(rig.permission.promptCount, 1);
    EXPECT_EQ(primary->text(), "Open Settings");
    EXPECT_FALSE(shown("permissionOpenSettings"));
    primary->click();
    EXPECT_EQ(rig.workspace.openedUrls, QList<QUrl>{rig.permission.settingsUrl()});

    // Granted in the desktop's settings meanwhile: the next refresh says so.
    rig.permission.trusted = true;
    rig.clock.advance(1.0);
    EXPECT_EQ(text("permissionStatus"), "Allowed");
    EXPECT_FALSE(shown("permissionPrimary"));
}

TEST_F(SettingsWindowTest, ADesktopWithoutPermissionSettingsGetsNoButtonThatCannotWork) {
    // As on X11: trust is the session's facilities, there is no settings page to open.
    struct NoSettingsPermission final : AccessibilityPermission {
        int requests = 0;
        bool isProcessTrusted() const override { return false; }
        bool requestTrust(bool prompt) override {
            requests += prompt ? 1 : 0;
            return false;
        }
        QUrl settingsUrl() const override { return {}; }
    } permission;
    rig.start(false);
    InputPermissionCoordinator coordinator(permission, rig.workspace, rig.clock);
    EXPECT_FALSE(coordinator.canOpenSettings(InputPermissionKind::accessibility));
    EXPECT_FALSE(coordinator.openSettings(InputPermissionKind::accessibility));
    SettingsDependencies base = rig.dependencies();
    SettingsDependencies dependencies(base.defaults, base.clock, base.connectivity, base.cloud, base.auth, base.payment,
                                      base.creditPurchase, base.updater, coordinator, base.launchAtLogin,
                                      base.keyMonitor, base.history);
    dependencies.testBuild = false;
    window = std::make_unique<SettingsWindow>(dependencies);
    window->show();
    EXPECT_EQ(find<QPushButton>("permissionPrimary")->text(), "Allow");
    EXPECT_FALSE(shown("permissionOpenSettings"));
    find<QPushButton>("permissionPrimary")->click();
    EXPECT_EQ(permission.requests, 1);
    EXPECT_FALSE(shown("permissionPrimary"));
    EXPECT_EQ(text("permissionStatus"), "Not allowed");
    EXPECT_TRUE(rig.workspace.openedUrls.isEmpty());
    window.reset();
}

TEST_F(SettingsWindowTest, RunOnboardingAgainCallsTheDelegate) {
    open();
    find<QPushButton>("runOnboardingAgain")->click();
    EXPECT_EQ(rig.restartOnboardingCount, 1);
}

// Account deletion.

TEST_F(SettingsWindowTest, PasswordAccountDeletionNeedsThePasswordAndShowsTheRefusal) {
    open(true);
    EXPECT_FALSE(shown("deletionConfirmation"));
    find<QPushButton>("deleteAccount")->click();
    EXPECT_TRUE(shown("deletionPassword"));
    EXPECT_TRUE(shown("deletionCode"));
    auto* confirm = find<QPushButton>("confirmDeletion");
    EXPECT_EQ(confirm->text(), "Delete Permanently");
    EXPECT_FALSE(confirm->isEnabled());

    find<QLineEdit>("deletionPassword")->setText("wrong");
    find<QLineEdit>("deletionCode")->setText(" 123456 ");
    EXPECT_TRUE(confirm->isEnabled());
    rig.transport.enqueue(Step::json(403, R"({"error":"invalid_credentials"})"));
    confirm->click();
    rig.settle();
    const auto& request = rig.transport.sent().back().request;
    const QJsonObject body = QJsonDocument::fromJson(request.body).object();
    EXPECT_EQ(body.value("action").toString(), "delete_account");
    EXPECT_EQ(body.value("password").toString(), "wrong");
    EXPECT_EQ(body.value("mfaCode").toString(), "123456");
    EXPECT_TRUE(rig.auth->isSignedIn());
    EXPECT_TRUE(shown("deletionError"));
    EXPECT_EQ(text("deletionError"), "The current password is incorrect.");
    EXPECT_TRUE(find<QLineEdit>("deletionCode")->text().isEmpty());

    // Right password: the account is gone, the form says so.
    find<QLineEdit>("deletionPassword")->setText("right");
    rig.transport.enqueue(Step::json(200, "{}"));
    confirm->click();
    rig.settle();
    EXPECT_FALSE(rig.auth->isSignedIn());
    EXPECT_FALSE(shown("dangerZone"));
    EXPECT_TRUE(shown("signInForm"));
    auto* notice = window->findChild<QLabel*>("authNotice");
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->isVisibleTo(window.get()));
    EXPECT_EQ(notice->text(), "Your Quillo account and cloud credits were permanently deleted.");
    EXPECT_TRUE(find<QLineEdit>("deletionPassword")->text().isEmpty());
}

TEST_F(SettingsWindowTest, GoogleAccountDeletionCanBeCancelledWhileTheBrowserPageIsOpen) {
    open(true, true);
    find<QPushButton>("deleteAccount")->click();
    EXPECT_FALSE(shown("deletionPassword"));
    auto* confirm = find<QPushButton>("confirmDeletion");
    EXPECT_EQ(confirm->text(), "Verify with Google and Delete");
    ASSERT_TRUE(confirm->isEnabled());
    rig.transport.enqueue(Step::json(200, QJsonDocument(QJsonObject{{"oauthURL", "https://consent.invalid/re"},
                                                                    {"reauthenticationProof", kProof},
                                                                    {"mfaRequired", false}})
                                              .toJson()));
    confirm->click();
    rig.settle();
    ASSERT_TRUE(rig.web.isShowing());
    EXPECT_TRUE(shown("deletionWaiting"));
    EXPECT_TRUE(shown("cancelVerification"));
    EXPECT_FALSE(confirm->isEnabled());

    find<QPushButton>("cancelVerification")->click();
    rig.settle();
    EXPECT_FALSE(rig.web.isShowing());
    EXPECT_FALSE(rig.auth->isLoading());
    EXPECT_TRUE(rig.auth->isSignedIn());
    EXPECT_FALSE(shown("deletionWaiting"));
    EXPECT_FALSE(shown("deletionError")); // cancelling is never an error
    EXPECT_TRUE(confirm->isEnabled());
}

// Credit packs and the update banner.

TEST_F(SettingsWindowTest, OpeningAtTheCreditPacksSelectsGeneralAndScrollsToThem) {
    rig.start(true);
    rig.transport.setHandler([this](const CloudHttpRequest&) { return balanceAnswer; });
    window = std::make_unique<SettingsWindow>(rig.dependencies());
    window->show();
    // The user had scrolled to the bottom of General, then went to About.
    QScrollArea* scroll = window->generalScrollArea();
    scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
    ASSERT_GT(scroll->verticalScrollBar()->value(), 0);
    rig.presentation.setSelectedSettingsTab(QuilloSettingsTab::about);
    EXPECT_EQ(window->selectedTab(), QuilloSettingsTab::about);

    window->showCreditPacks();
    EXPECT_EQ(window->selectedTab(), QuilloSettingsTab::general);
    EXPECT_EQ(rig.presentation.selectedSettingsTab(), QuilloSettingsTab::general);
    EXPECT_TRUE(rig.presentation.isExpanded());
    QWidget* packs = window->generalPage()->creditPacks()->packsPanel();
    EXPECT_TRUE(packs->isVisibleTo(window.get()));
    // The whole panel lies within the visible part of the page.
    const int top = packs->mapTo(scroll->widget(), QPoint(0, 0)).y();
    const int viewTop = scroll->verticalScrollBar()->value();
    EXPECT_GE(top, viewTop);
    EXPECT_LE(top + packs->height(), viewTop + scroll->viewport()->height());

    // Tabs chosen in the window are remembered in the shared presentation.
    window->findChild<QTabWidget*>("settingsTabs")->setCurrentIndex(1);
    EXPECT_EQ(rig.presentation.selectedSettingsTab(), QuilloSettingsTab::history);
}

TEST_F(SettingsWindowTest, UpdateBannerShowsTheAvailableVersion) {
    open();
    EXPECT_FALSE(shown("updateBanner"));
    rig.updater.setAvailableVersion(QStringLiteral("2.4.1"));
    EXPECT_TRUE(shown("updateBanner"));
    EXPECT_EQ(text("updateBannerText"), "Quillo 2.4.1 is available.");
    EXPECT_EQ(find<QPushButton>("viewUpdate")->text(), "View Update…");
    rig.updater.setAvailableVersion(std::nullopt);
    EXPECT_FALSE(shown("updateBanner"));
}

// About.

TEST_F(SettingsWindowTest, AboutShowsVersionTaglineAndTheUpdaterState) {
    open();
    EXPECT_EQ(text("version"), "Version 1.2.3 (45)");
    EXPECT_EQ(text("tagline"), "One-Key Instant Correction for Linux");
    // Not configured: everything off, with the reason.
    EXPECT_FALSE(find<QPushButton>("checkForUpdates")->isEnabled());
    EXPECT_FALSE(find<QCheckBox>("automaticallyCheckForUpdates")->isEnabled());
    EXPECT_EQ(text("updatesUnavailable"), "Updates are not configured yet.");
    rig.updater.configure(false, true);
    EXPECT_EQ(text("updatesUnavailable"), "Sparkle updates are disabled in this test build.");

    rig.updater.configure(true);
    EXPECT_FALSE(shown("updatesUnavailable"));
    auto* check = find<QPushButton>("checkForUpdates");
    EXPECT_EQ(check->text(), "Check for Updates...");
    ASSERT_TRUE(check->isEnabled());
    check->click();
    EXPECT_EQ(rig.events, QList<QuilloDiagnosticEvent>{QuilloDiagnosticEvent::updateCheckRequested});

    // The two check switches are one setting; downloads are the other.
    find<QCheckBox>("automaticallyCheckForUpdates")->click();
    EXPECT_TRUE(rig.updater.automaticallyChecksForUpdates());
    EXPECT_TRUE(find<QCheckBox>("checkForUpdatesAutomatically")->isChecked());
    find<QCheckBox>("checkForUpdatesAutomatically")->click();
    EXPECT_FALSE(rig.updater.automaticallyChecksForUpdates());
    EXPECT_FALSE(find<QCheckBox>("automaticallyCheckForUpdates")->isChecked());
    find<QCheckBox>("automaticallyDownloadUpdates")->click();
    EXPECT_TRUE(rig.updater.automaticallyDownloadsUpdates());
    rig.updater.setAutomaticallyDownloadsUpdates(false);
    EXPECT_FALSE(find<QCheckBox>("automaticallyDownloadUpdates")->isChecked());
}

TEST_F(SettingsWindowTest, ExportLogsReportsEachOutcome) {
    QList<QString> asked;
    std::optional<QString> answer;
    std::function<void(const QString&)> writer;
    QList<QString> written;
    open(false, false, [&](SettingsDependencies& d) {
        d.chooseExportPath = [&](const QString& suggested) {
            asked.append(suggested);
            return answer;
        };
        d.exportLogs = [&](const QString& path) {
            written.append(path);
            if (writer) writer(path);
        };
    });
    using E = QuilloDiagnosticEvent;
    auto* exportButton = find<QPushButton>("exportLogs");
    EXPECT_EQ(exportButton->text(), "Export Logs...");

    // Cancelled: only the request is recorded.
    exportButton->click();
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].startsWith("Quillo-Diagnostics-"));
    EXPECT_TRUE(asked[0].endsWith(".txt"));
    EXPECT_TRUE(written.isEmpty());
    EXPECT_EQ(rig.events, QList<E>{E::diagnosticsExportRequested});
    EXPECT_FALSE(shown("exportResult"));

    answer = QStringLiteral("/tmp/out.txt");
    exportButton->click();
    EXPECT_EQ(written, QList<QString>{"/tmp/out.txt"});
    EXPECT_EQ(text("exportResult"), "Logs exported successfully.");
    EXPECT_EQ(rig.events.mid(1), (QList<E>{E::diagnosticsExportRequested, E::diagnosticsExportCompleted}));

    struct Row {
        std::function<void()> fail;
        QString sentence;
    };
    const Row rows[] = {
        {[] { throw QuilloDiagnosticsFileError(DiagnosticsFailure::permissionDenied, EROFS, "write"); },
         "Logs could not be saved in this folder. Choose another location."},
        {[] { throw QuilloDiagnosticsFileError(DiagnosticsFailure::diskFull, ENOSPC, "write"); },
         "Logs could not be saved because this disk is full. Free some space and try again."},
        {[] { throw QuilloDiagnosticsFileError(DiagnosticsFailure::locationUnavailable, ENOENT, "open"); },
         "The selected location is unavailable. Choose another folder."},
        {[] { throw std::runtime_error("odd"); }, "Logs could not be exported. Choose another location and try again."},
    };
    for (const Row& row : rows) {
        rig.events.clear();
        writer = [&row](const QString&) { row.fail(); };
        exportButton->click();
        EXPECT_EQ(text("exportResult"), row.sentence);
        EXPECT_EQ(rig.events, (QList<E>{E::diagnosticsExportRequested, E::diagnosticsExportFailed}));
    }
}

TEST_F(SettingsWindowTest, CopiesTheSupportAddress) {
    open();
    auto* copy = find<QPushButton>("copySupportEmail");
    EXPECT_EQ(copy->text(), "Copy email address");
    EXPECT_EQ(copy->accessibleName(), "Copy support email address");
    copy->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "help@quillo.example");
    EXPECT_FALSE(SettingsAboutPage::buildSupportEmail().isEmpty());
}
