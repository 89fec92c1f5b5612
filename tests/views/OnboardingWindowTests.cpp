#include "Models/ModifierFlags.h"
#include "Models/VirtualKeyCode.h"
#include "OnboardingTestSupport.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Services/KeyboardPreferences.h"
#include "Support/VirtualClock.h"
#include "Views/AccountSignInForm.h"
#include "Views/OnboardingLayout.h"
#include "Views/OnboardingShortcutDemoController.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <gtest/gtest.h>

using namespace quillo;
using namespace quillo::testing;
using Demo = OnboardingShortcutDemoController;
using Step = ScriptedCloudHttpTransport::Step;

namespace {

class OnboardingWindowTest : public ::testing::Test {
protected:
    VirtualClock clock;
    ScopedSharedClock sharedClock{clock};
    InMemoryUserDefaults defaults;
    OnboardingRig rig{defaults, clock};
    std::unique_ptr<OnboardingWindow> window;

    void open(bool canCancel = false) {
        window.reset(rig.make(canCancel));
        window->show();
    }
    void TearDown() override {
        window.reset();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    template <typename T = QWidget> T* child(const QString& name, QWidget* within = nullptr) {
        return (within ? within : window.get())->findChild<T*>(name);
    }
    // The named widget on the page of `step` (the practice pages repeat names).
    template <typename T = QWidget> T* onPage(OnboardingStep step, const QString& name) {
        auto* page = child<QWidget>(QStringLiteral("page-%1").arg(OnboardingSteps::title(step).toLower()));
        return page ? page->findChild<T*>(name) : nullptr;
    }
    QPushButton* continueButton() { return child<QPushButton>(QStringLiteral("continue")); }
    QPushButton* backButton() { return child<QPushButton>(QStringLiteral("back")); }
    void goTo(OnboardingStep step) {
        while (window->step() != step) continueButton()->click();
    }
    bool shown(QWidget* widget) { return widget && widget->isVisibleTo(window.get()); }
    void settle() {
        for (int i = 0; i < 100 && clock.advanceToNextTimer(); ++i) {}
    }
};

} // namespace

TEST_F(OnboardingWindowTest, WalksTheSevenStepsInOrderAndListensOnlyOnThePracticeSteps) {
    open();
    EXPECT_EQ(window->windowTitle(), "Welcome to Quillo");
    EXPECT_EQ(window->size(), QSize(780, 620));
    EXPECT_EQ(window->step(), OnboardingStep::welcome);
    EXPECT_FALSE(shown(backButton()));
    EXPECT_EQ(continueButton()->text(), "Get Started");
    EXPECT_FALSE(shown(child(QStringLiteral("cancel"))));

    QList<OnboardingStep> visited{window->step()};
    QList<int> monitors{rig.keyMonitor.installedCount()};
    QSignalSpy finished(window.get(), &OnboardingWindow::finished);
    QSignalSpy closed(window.get(), &OnboardingWindow::closedByUser);
    while (window->step() != OnboardingStep::ready) {
        continueButton()->click();
        visited.append(window->step());
        monitors.append(rig.keyMonitor.installedCount());
        EXPECT_TRUE(shown(backButton()));
        EXPECT_EQ(child<QStackedWidget>(QStringLiteral("pages"))->currentIndex(), int(window->step()));
    }
    EXPECT_EQ(visited, QList<OnboardingStep>(OnboardingSteps::allCases.begin(), OnboardingSteps::allCases.end()));
    // welcome, permissions, account, shortcut, selection, privacy, ready
    EXPECT_EQ(monitors, QList<int>({0, 0, 0, 1, 1, 0, 0}));
    EXPECT_EQ(continueButton()->text(), "Start Using Quillo");

    // Back returns through the practice steps, which listen again.
    backButton()->click();
    backButton()->click();
    EXPECT_EQ(window->step(), OnboardingStep::selection);
    EXPECT_EQ(rig.keyMonitor.installedCount(), 1);
    goTo(OnboardingStep::ready);
    EXPECT_EQ(rig.keyMonitor.installedCount(), 0);

    continueButton()->click();
    EXPECT_EQ(finished.count(), 1);
    window->close(); // the delegate releases it; a late close is not a cancellation
    EXPECT_EQ(closed.count(), 0);
}

TEST_F(OnboardingWindowTest, ThePracticeShowsTheDesktopCommandAndTakesItsTrigger) {
    open();
    goTo(OnboardingStep::shortcut);
    auto* line = child<QLineEdit>(QStringLiteral("triggerCommandLine"));
    ASSERT_NE(line, nullptr);
    EXPECT_TRUE(line->isVisibleTo(window.get()));
    EXPECT_TRUE(line->text().endsWith(QStringLiteral(" --trigger")));
    EXPECT_TRUE(window->demo().handleTriggerCommand());
    EXPECT_TRUE(window->demo().hasSucceeded());
}

TEST_F(OnboardingWindowTest, ThePracticeSaysWhereTheDesktopKeepsTheTrigger) {
    OnboardingWindow::Dependencies dependencies{defaults,      clock,     rig.keyMonitor, rig.permission,
                                                rig.workspace, *rig.auth, rig.updater,    rig.launchAtLogin};
    QStringList asked;
    dependencies.desktopBindingLine = [&asked](const CorrectionTriggerPreference& trigger) {
        asked.append(trigger.title);
        return std::optional<DesktopBindingLine>(
            DesktopBindingLine{QStringLiteral("Change it in System Settings > Shortcuts > Quillo."), QString()});
    };
    window = std::make_unique<OnboardingWindow>(std::move(dependencies), false);
    window->show();
    goTo(OnboardingStep::shortcut);
    auto* instruction = child<QLabel>(QStringLiteral("desktopBindingInstruction"));
    ASSERT_NE(instruction, nullptr);
    EXPECT_TRUE(shown(instruction));
    EXPECT_EQ(instruction->text(), QStringLiteral("Change it in System Settings > Shortcuts > Quillo."));
    EXPECT_FALSE(shown(child(QStringLiteral("desktopBindingLine")))) << "no line to copy";
    EXPECT_FALSE(asked.isEmpty());
    window.reset();
}

TEST_F(OnboardingWindowTest, OnlyACancellableWalkthroughOffersCancel) {
    open(true);
    auto* cancel = child<QPushButton>(QStringLiteral("cancel"));
    ASSERT_TRUE(shown(cancel));
    goTo(OnboardingStep::shortcut);
    EXPECT_EQ(rig.keyMonitor.installedCount(), 1);
    QSignalSpy closed(window.get(), &OnboardingWindow::closedByUser);
    QSignalSpy finished(window.get(), &OnboardingWindow::finished);
    cancel->click();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(finished.count(), 0);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(rig.keyMonitor.installedCount(), 0);
}

TEST_F(OnboardingWindowTest, TheUpdateChoicesReachTheUpdater) {
    struct Case {
        bool check, install, expectedCheck, expectedInstall;
    };
    for (const Case c : {Case{true, true, true, true}, Case{true, false, true, false}, Case{false, true, false, false},
                         Case{false, false, false, false}}) {
        SCOPED_TRACE(::testing::Message() << "check " << c.check << " install " << c.install);
        // Start from the opposite of what is expected, so a choice that never arrives shows.
        rig.updater.setAutomaticallyChecksForUpdates(!c.expectedCheck);
        rig.updater.setAutomaticallyDownloadsUpdates(!c.expectedInstall);
        open();
        goTo(OnboardingStep::ready);
        auto* check = child<QCheckBox>(QStringLiteral("checkAutomatically"));
        auto* install = child<QCheckBox>(QStringLiteral("installAutomatically"));
        install->setEnabled(true);
        install->setChecked(c.install);
        check->setChecked(c.check);
        // Installing by itself needs the checks.
        EXPECT_EQ(install->isEnabled(), c.check);
        continueButton()->click();
        EXPECT_EQ(rig.updater.automaticallyChecksForUpdates(), c.expectedCheck);
        EXPECT_EQ(rig.updater.automaticallyDownloadsUpdates(), c.expectedInstall);
    }
}

TEST_F(OnboardingWindowTest, ReadyStepSwitchesLaunchAtLoginAndNamesTheTrigger) {
    KeyboardPreferences(defaults).setActivation(CorrectionTriggerActivation::doubleTap);
    open();
    goTo(OnboardingStep::ready);
    auto* summary = child<QLabel>(QStringLiteral("readySummary"));
    EXPECT_TRUE(summary->text().contains(QStringLiteral("Double-tap <b>fn / globe</b>")))
        << summary->text().toStdString();
    EXPECT_TRUE(shown(child(QStringLiteral("updatesNote")))); // the updater stub has no feed
    auto* login = child<QCheckBox>(QStringLiteral("launchAtLogin"));
    EXPECT_FALSE(login->isChecked());
    login->click();
    EXPECT_EQ(rig.launchAtLoginChanges, 1);
    EXPECT_TRUE(rig.launchAtLogin.isEnabled());
    EXPECT_TRUE(login->isChecked());
}

TEST_F(OnboardingWindowTest, PermissionRowOffersTheCoordinatorsNextAction) {
    open();
    goTo(OnboardingStep::permissions);
    auto* button = child<QPushButton>(QStringLiteral("permissionButton"));
    ASSERT_TRUE(shown(button));
    EXPECT_EQ(button->text(), "Allow");
    EXPECT_TRUE(shown(child(QStringLiteral("permissionNote"))));
    button->click();
    EXPECT_EQ(rig.permission.promptCount, 1);
    EXPECT_EQ(button->text(), "Open Settings");
    button->click();
    ASSERT_EQ(rig.workspace.openedUrls.size(), 1);
    EXPECT_EQ(rig.workspace.openedUrls[0], rig.permission.settingsUrl());

    // Granted in the desktop's settings: seen when the application comes back to the front.
    rig.permission.trusted = true;
    window->applicationBecameActive();
    EXPECT_FALSE(shown(button));
    EXPECT_EQ(child<QLabel>(QStringLiteral("permissionDetail"))->text(), "Allowed");
    EXPECT_FALSE(shown(child(QStringLiteral("permissionNote"))));
}

TEST_F(OnboardingWindowTest, WithoutASettingsPageThePermissionRowSaysWhereToLook) {
    // The desktop refused the request and has no settings address to open.
    struct NoSettingsPermission final : AccessibilityPermission {
        int requests = 0;
        bool isProcessTrusted() const override { return false; }
        bool requestTrust(bool) override { return ++requests, false; }
        QUrl settingsUrl() const override { return {}; }
    } permission;
    window = std::make_unique<OnboardingWindow>(OnboardingWindow::Dependencies{defaults, clock, rig.keyMonitor,
                                                                               permission, rig.workspace, *rig.auth,
                                                                               rig.updater, rig.launchAtLogin},
                                                false);
    window->show();
    goTo(OnboardingStep::permissions);
    auto* button = child<QPushButton>(QStringLiteral("permissionButton"));
    EXPECT_FALSE(shown(child(QStringLiteral("permissionHelp"))));
    button->click();
    EXPECT_EQ(permission.requests, 1);
    EXPECT_FALSE(shown(button));
    EXPECT_TRUE(shown(child(QStringLiteral("permissionHelp"))));
    EXPECT_TRUE(rig.workspace.openedUrls.isEmpty());
    window.reset();
}

TEST_F(OnboardingWindowTest, ADesktopThatSaysWhatIsMissingIsQuotedInThePermissionRow) {
    struct DesktopPermission final : AccessibilityPermission {
        bool trusted = false;
        bool isProcessTrusted() const override { return trusted; }
        bool requestTrust(bool) override { return trusted; }
        QUrl settingsUrl() const override { return {}; }
        QStringList unmetRequirements() const override {
            return trusted ? QStringList()
                           : QStringList{QStringLiteral("KWin does not let Quillo type."),
                                         QStringLiteral("Run kbuildsycoca5.")};
        }
    } permission;
    window = std::make_unique<OnboardingWindow>(OnboardingWindow::Dependencies{defaults, clock, rig.keyMonitor,
                                                                               permission, rig.workspace, *rig.auth,
                                                                               rig.updater, rig.launchAtLogin},
                                                false);
    window->show();
    goTo(OnboardingStep::permissions);
    auto* help = child<QLabel>(QStringLiteral("permissionHelp"));
    EXPECT_TRUE(shown(help)) << "shown before any request";
    EXPECT_EQ(help->text(), QStringLiteral("KWin does not let Quillo type.\nRun kbuildsycoca5."));
    window.reset();
}

TEST_F(OnboardingWindowTest, AccountStepSignsInOrMayBeSkipped) {
    open();
    goTo(OnboardingStep::account);
    EXPECT_EQ(continueButton()->text(), "Skip for Now");
    auto* form = child<AccountSignInForm>(QString());
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(window->authMode(), OnboardingAuthMode::createAccount);
    EXPECT_EQ(form->mode(), AccountSignInForm::Mode::createAccount);
    window->setAuthMode(OnboardingAuthMode::signIn);
    EXPECT_EQ(form->mode(), AccountSignInForm::Mode::signIn);
    QSignalSpy modes(window.get(), &OnboardingWindow::authModeChanged);
    child<QAbstractButton>(QStringLiteral("createAccountTab"), form)->click();
    EXPECT_EQ(window->authMode(), OnboardingAuthMode::createAccount);
    EXPECT_EQ(modes.count(), 1);

    window->setAuthMode(OnboardingAuthMode::signIn);
    child<QLineEdit>(QStringLiteral("email"), form)->setText(QStringLiteral("person@example.com"));
    child<QLineEdit>(QStringLiteral("password"), form)->setText(QStringLiteral("secret-words"));
    rig.transport.enqueue(Step::json(200, OnboardingRig::sessionBody()));
    form->submit();
    settle();
    ASSERT_TRUE(rig.auth->isSignedIn());
    EXPECT_TRUE(shown(child(QStringLiteral("signedInCard"))));
    EXPECT_FALSE(shown(form));
    EXPECT_EQ(child<QLabel>(QStringLiteral("signedInEmail"))->text(), "person@example.com");
    EXPECT_EQ(continueButton()->text(), "Continue");

    rig.transport.enqueue(Step::json(200, "{}"));
    child<QPushButton>(QStringLiteral("signOut"))->click();
    settle();
    EXPECT_FALSE(rig.auth->isSignedIn());
    EXPECT_TRUE(shown(form));
    EXPECT_EQ(continueButton()->text(), "Skip for Now");
}

TEST_F(OnboardingWindowTest, ShortcutStepChoosesTheKeyAndCorrectsTheWholeField) {
    open();
    goTo(OnboardingStep::shortcut);
    const auto step = OnboardingStep::shortcut;
    auto* field = onPage<QPlainTextEdit>(step, QStringLiteral("wholeFieldSample"));
    auto* status = onPage<QLabel>(step, QStringLiteral("practiceStatus"));
    auto* keycap = onPage<QLabel>(step, QStringLiteral("keycap"));
    ASSERT_TRUE(field && status && keycap);
    EXPECT_TRUE(field->isReadOnly());
    EXPECT_EQ(field->toPlainText(), Demo::wholeFieldSample);
    EXPECT_EQ(status->text(), "Choose your correction key to try the sample.");
    EXPECT_EQ(keycap->text(), "fn / globe");
    EXPECT_TRUE(shown(onPage(step, QStringLiteral("useCurrentTrigger"))));

    auto* choose = onPage<QPushButton>(step, QStringLiteral("chooseKey"));
    choose->click();
    EXPECT_EQ(keycap->text(), "Press a key…");
    EXPECT_EQ(choose->text(), "Cancel");
    EXPECT_TRUE(rig.keyMonitor.keyDown(VirtualKeyCode::q, 0, QStringLiteral("q")));
    EXPECT_EQ(status->text(), "Typing keys are not accepted as triggers.");
    EXPECT_TRUE(rig.keyMonitor.keyDown(VirtualKeyCode::f8));
    EXPECT_EQ(keycap->text(), "F8");
    EXPECT_EQ(status->text(), "Trigger set to F8. Try it now.");
    EXPECT_FALSE(shown(onPage(step, QStringLiteral("useCurrentTrigger"))));

    // Activation is a setting of its own, written as it is chosen.
    onPage<QRadioButton>(step, QStringLiteral("doubleTap"))->click();
    EXPECT_EQ(KeyboardPreferences(defaults).activation(), CorrectionTriggerActivation::doubleTap);
    EXPECT_TRUE(rig.keyMonitor.keyDown(VirtualKeyCode::f8));
    EXPECT_EQ(status->text(), "First tap detected — tap once more.");
    clock.advance(0.3);
    EXPECT_TRUE(rig.keyMonitor.keyDown(VirtualKeyCode::f8));
    EXPECT_EQ(field->toPlainText(), Demo::wholeFieldCorrected);
    EXPECT_EQ(status->text(), "Whole field corrected.");

    onPage<QPushButton>(step, QStringLiteral("resetSample"))->click();
    EXPECT_EQ(field->toPlainText(), Demo::wholeFieldSample);
    EXPECT_EQ(status->text(), "Press your configured trigger to correct the whole field.");
}

TEST_F(OnboardingWindowTest, SelectionStepFeedsTheTextViewsSelectionToThePractice) {
    open();
    goTo(OnboardingStep::selection);
    const auto step = OnboardingStep::selection;
    auto* field = onPage<QPlainTextEdit>(step, QStringLiteral("selectionSample"));
    auto* status = onPage<QLabel>(step, QStringLiteral("practiceStatus"));
    ASSERT_TRUE(field && status);
    EXPECT_EQ(field->toPlainText(), Demo::selectionSample);
    onPage<QPushButton>(step, QStringLiteral("useCurrentTrigger"))->click();
    EXPECT_EQ(status->text(), "Select “leving evrything els untuched”, then press your trigger.");

    const auto select = [&](qsizetype from, qsizetype length) {
        QTextCursor cursor = field->textCursor();
        cursor.setPosition(int(from));
        cursor.setPosition(int(from + length), QTextCursor::KeepAnchor);
        field->setTextCursor(cursor);
    };
    const auto globe = [&] {
        EXPECT_TRUE(rig.keyMonitor.flagsChanged(VirtualKeyCode::function, ModifierFlags::function));
        clock.advance(0.2);
        EXPECT_TRUE(rig.keyMonitor.flagsChanged(VirtualKeyCode::function, 0));
    };
    const qsizetype at = Demo::selectionSample.indexOf(Demo::selectionPhrase);
    select(at, 6);
    EXPECT_EQ(window->demo().selectionText(), "leving");
    globe();
    EXPECT_EQ(status->text(), "Select “leving evrything els untuched”, then try again.");
    EXPECT_EQ(field->toPlainText(), Demo::selectionSample);

    select(at, Demo::selectionPhrase.size());
    EXPECT_EQ(window->demo().selectedRange(), (Demo::TextRange{at, Demo::selectionPhrase.size()}));
    globe();
    EXPECT_EQ(status->text(), "Selection corrected. Everything else stayed unchanged.");
    EXPECT_EQ(field->toPlainText(), "Quillo corrects only the text you select, leaving everything else untouched.");
    // The corrected phrase stays selected in the view.
    EXPECT_EQ(field->textCursor().selectedText(), Demo::selectionReplacement);
}

TEST(OnboardingLayout, CentresOnTheScreenUnderThePointer) {
    const QList<QRect> screens{QRect(0, 0, 1440, 870), QRect(1440, 0, 1920, 1050)};
    EXPECT_EQ(OnboardingLayout::frame(QSize(780, 620), QPoint(2000, 500), screens),
              QRect(QPoint(1440 + 570, 215), QSize(780, 620)));
    EXPECT_EQ(OnboardingLayout::frame(QSize(780, 620), QPoint(10, 10), screens),
              QRect(QPoint(330, 125), QSize(780, 620)));
    // A pointer between screens: the primary one.
    EXPECT_EQ(OnboardingLayout::frame(QSize(780, 620), QPoint(-50, -50), screens, 1).topLeft(), QPoint(2010, 215));
    // A screen smaller than the window keeps the title bar on screen.
    EXPECT_EQ(OnboardingLayout::frame(QSize(780, 620), QPoint(100, 100), {QRect(0, 24, 640, 456)}).topLeft(),
              QPoint(0, 24));
    EXPECT_EQ(OnboardingLayout::frame(QSize(780, 620), QPoint(0, 0), {}).topLeft(), QPoint(0, 0));
}
