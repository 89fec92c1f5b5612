#include "App/AppDelegate.h"
#include "App/AppInstanceChannel.h"
#include "OnboardingTestSupport.h"
#include "Platform/Fake/FakeAccessibilityPermission.h"
#include "Platform/Fake/FakeWorkspace.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "SettingsTestRig.h"
#include "Support/QuilloAppEnvironment.h"
#include "Support/VirtualClock.h"
#include "Views/LaunchAtLoginSettings.h"
#include "Views/MenuBarPopover.h"
#include "Views/MenuBarPopoverView.h"
#include "Views/OnboardingWindow.h"
#include "Views/QuilloTrayItem.h"
#include "Views/StartupLoadingView.h"
#include "ViewsTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUuid>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace quillo;
using namespace quillo::testing;

namespace {

class FakeCloudState final : public AppCloudState {
public:
    bool configured = true;
    bool signedIn = false;
    std::optional<double> credits;
    std::optional<QString> error;
    QList<bool> synchronizations;

    bool isConfigured() const override { return configured; }
    bool isSignedIn() const override { return signedIn; }
    std::optional<double> availableCredits() const override { return credits; }
    std::optional<QString> errorMessage() const override { return error; }
    bool isRefreshing() const override { return false; }
    void synchronize(bool force) override { synchronizations.append(force); }
};

// What the shell asked of the monitor's undo, and its availability handler; and the trigger
// commands handed to it.
struct UndoRecord {
    std::function<void(bool)> handler;
    bool offered = false;
    int undos = 0;
    int triggerCommands = 0;
};

class FakeMonitor final : public CorrectionMonitor {
public:
    explicit FakeMonitor(int& starts, int& stops, UndoRecord& undo) : starts_(starts), stops_(stops), undo_(undo) {}
    bool startMonitoring() override {
        ++starts_;
        on_ = true;
        return true;
    }
    void stopMonitoring() override {
        ++stops_;
        on_ = false;
    }
    bool isMonitoring() const override { return on_; }
    bool canUndoLastCorrection() const override { return undo_.offered; }
    void undoLastCorrection() override { ++undo_.undos; }
    bool handleTriggerCommand() override {
        ++undo_.triggerCommands;
        return on_;
    }
    void setUndoAvailabilityHandler(const std::function<void(bool)>& handler) override { undo_.handler = handler; }

private:
    int& starts_;
    int& stops_;
    UndoRecord& undo_;
    bool on_ = false;
};

class AppDelegateTest : public ::testing::Test {
protected:
    VirtualClock clock;
    InMemoryUserDefaults defaults;
    FakeAccessibilityPermission permission;
    FakeWorkspace workspace;
    FakeToastScreens screens;
    FakeCloudState cloud;
    int monitorsMade = 0, starts = 0, stops = 0;
    AppDelegate::StatusHandler statusHandler;
    UndoRecord undo;
    QList<QuilloDiagnosticEvent> events;
    QList<QUrl> callbacks;
    std::unique_ptr<AppDelegate> delegate;
    LaunchAtLoginSettings launchAtLogin{[] { return LaunchAtLoginStatus::notRegistered; }, [](bool) {}};
    OnboardingRig onboarding{defaults, clock};
    QList<bool> onboardingWindowsMade; // canCancel of each
    int updaterStarts = 0;
    std::unique_ptr<SettingsTestRig> settingsRig;
    InputPermissionCoordinator* settingsPermissions = nullptr;

    void launch(bool tray = false) {
        AppDelegate::Environment env{defaults, clock, permission, workspace, screens, cloud};
        env.makeCorrectionMonitor = [this](CorrectionToastPresenting&, AppDelegate::StatusHandler onStatus) {
            ++monitorsMade;
            statusHandler = std::move(onStatus);
            return std::make_unique<FakeMonitor>(starts, stops, undo);
        };
        env.trayAvailable = [tray] { return tray; };
        env.recordEvent = [this](QuilloDiagnosticEvent e) { events.append(e); };
        env.oauthCallback = [this](const QUrl& url) {
            callbacks.append(url);
            return true;
        };
        env.quit = [] {};
        env.launchAtLogin = &launchAtLogin;
        env.startUpdater = [this] { ++updaterStarts; };
        env.makeOnboardingWindow = [this](bool canCancel) {
            onboardingWindowsMade.append(canCancel);
            return onboarding.make(canCancel);
        };
        settingsRig = std::make_unique<SettingsTestRig>();
        settingsRig->start(false);
        env.makeSettingsWindow = [this](InputPermissionCoordinator& permissions, std::function<void()> restart) {
            settingsPermissions = &permissions;
            SettingsDependencies dependencies = settingsRig->dependencies();
            dependencies.restartOnboarding = std::move(restart);
            return new SettingsWindow(dependencies);
        };
        delegate = std::make_unique<AppDelegate>(env);
        delegate->showEarlySplash();
        delegate->applicationWillFinishLaunching();
        delegate->applicationDidFinishLaunching();
    }
    void completedOnboarding() { defaults.setInteger(AppDelegate::onboardingCompletedVersionKey, 1); }
    OnboardingWindow* onboardingWindow() { return qobject_cast<OnboardingWindow*>(delegate->onboardingWindow()); }
    void finishOnboardingWindow() {
        ASSERT_NE(onboardingWindow(), nullptr);
        auto* next = onboardingWindow()->findChild<QPushButton*>(QStringLiteral("continue"));
        while (onboardingWindow() && onboardingWindow()->step() != OnboardingStep::ready) next->click();
        next->click();
    }
    void TearDown() override {
        delegate.reset();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        settingsRig.reset();
    }
};

} // namespace

TEST_F(AppDelegateTest, FirstLaunchShowsOnboardingWithoutMonitoringOrCloud) {
    permission.trusted = true;
    cloud.signedIn = true;
    launch(true);
    EXPECT_EQ(events, QList<QuilloDiagnosticEvent>{QuilloDiagnosticEvent::appLaunched});
    EXPECT_TRUE(delegate->isOnboardingPresented());
    EXPECT_EQ(monitorsMade, 0);
    EXPECT_TRUE(cloud.synchronizations.isEmpty());
    ASSERT_TRUE(delegate->splash().isShown());
    clock.advance(1.99);
    EXPECT_TRUE(delegate->splash().isShown());
    EXPECT_EQ(delegate->onboardingWindow(), nullptr);
    clock.advance(0.02);
    // Never the ready phase: onboarding comes straight after the 2 s.
    EXPECT_EQ(delegate->splash().phase(), EarlySplashPhase::preparing);
    EXPECT_FALSE(delegate->splash().isShown());
    ASSERT_NE(delegate->onboardingWindow(), nullptr);
    EXPECT_EQ(delegate->onboardingWindow()->windowTitle(), QStringLiteral("Welcome to Quillo"));
    EXPECT_EQ(onboardingWindowsMade, QList<bool>{false});
    EXPECT_TRUE(delegate->onboardingWindow()->isVisible());

    // Finishing it stores the version, starts the updater, synchronises (forced) and starts monitoring.
    finishOnboardingWindow();
    EXPECT_EQ(defaults.integer(AppDelegate::onboardingCompletedVersionKey, 0), 1);
    EXPECT_EQ(updaterStarts, 1);
    EXPECT_EQ(delegate->onboardingWindow(), nullptr);
    EXPECT_FALSE(delegate->isOnboardingPresented());
    EXPECT_EQ(cloud.synchronizations, QList<bool>{true});
    EXPECT_TRUE(delegate->isMonitoring());
}

TEST_F(AppDelegateTest, ClosingOnboardingResumesOnlyWhenItWasCompletedBefore) {
    permission.trusted = true;
    launch(true);
    clock.advance(2.0);
    ASSERT_NE(onboardingWindow(), nullptr);
    // Not cancellable at first launch, and closing it does not count as finishing.
    EXPECT_FALSE(onboardingWindow()->canCancel());
    onboardingWindow()->close();
    EXPECT_EQ(delegate->onboardingWindow(), nullptr);
    EXPECT_TRUE(delegate->isOnboardingPresented());
    EXPECT_FALSE(delegate->isMonitoring());
    EXPECT_TRUE(cloud.synchronizations.isEmpty());
    EXPECT_EQ(defaults.integer(AppDelegate::onboardingCompletedVersionKey, 0), 0);
    EXPECT_EQ(updaterStarts, 0);
    // Launching Quillo again brings the unfinished onboarding back rather than a dead popover.
    EXPECT_TRUE(delegate->applicationShouldHandleReopen());
    ASSERT_NE(onboardingWindow(), nullptr);
    EXPECT_FALSE(onboardingWindow()->canCancel());
    onboardingWindow()->close();

    // Run again from the settings after it was once completed: cancellable, and cancelling resumes.
    completedOnboarding();
    delegate->restartOnboardingFromSettings();
    EXPECT_EQ(delegate->onboardingWindow(), nullptr); // on a later turn of the event loop
    clock.runDue();
    ASSERT_NE(onboardingWindow(), nullptr);
    EXPECT_EQ(onboardingWindowsMade, QList<bool>({false, false, true}));
    onboardingWindow()->findChild<QPushButton*>(QStringLiteral("cancel"))->click();
    EXPECT_EQ(delegate->onboardingWindow(), nullptr);
    EXPECT_FALSE(delegate->isOnboardingPresented());
    EXPECT_EQ(cloud.synchronizations, QList<bool>{true});
    EXPECT_TRUE(delegate->isMonitoring());
    EXPECT_EQ(updaterStarts, 0);
}

TEST_F(AppDelegateTest, OnboardingFromSettingsStopsMonitoringAndClosesTheLoadingWindow) {
    completedOnboarding();
    permission.trusted = true;
    cloud.signedIn = true;
    cloud.configured = false;
    launch(true);
    clock.advance(2.0);
    ASSERT_NE(delegate->loadingWindow(), nullptr); // the engine is not ready: the loading window waits
    EXPECT_TRUE(delegate->isMonitoring());
    delegate->restartOnboardingFromSettings();
    clock.runDue();
    EXPECT_FALSE(delegate->isMonitoring());
    EXPECT_EQ(delegate->loadingWindow(), nullptr);
    ASSERT_NE(onboardingWindow(), nullptr);
    // Defaults written by the practice do not restart monitoring behind onboarding's back.
    defaults.setBoolean(AppDelegate::autoCorrectKey, true);
    EXPECT_FALSE(delegate->isMonitoring());
    EXPECT_TRUE(delegate->applicationShouldHandleReopen());
    EXPECT_TRUE(onboardingWindow()->isVisible());

    finishOnboardingWindow();
    EXPECT_EQ(updaterStarts, 1);
    EXPECT_TRUE(delegate->isMonitoring());
}

TEST_F(AppDelegateTest, SignedOutSkipsTheLoadingWindow) {
    completedOnboarding();
    permission.trusted = true;
    launch();
    EXPECT_EQ(cloud.synchronizations, QList<bool>{false});
    EXPECT_TRUE(delegate->isMonitoring());
    clock.advance(2.0);
    EXPECT_FALSE(delegate->splash().isShown());
    EXPECT_EQ(delegate->loadingWindow(), nullptr);
    EXPECT_EQ(delegate->onboardingWindow(), nullptr);
    // No tray here: the status window stands in, with the notice.
    ASSERT_NE(delegate->popover(), nullptr);
    EXPECT_EQ(delegate->popover()->mode(), MenuBarPopover::Mode::window);
    EXPECT_TRUE(delegate->popover()->isVisible());
}

TEST_F(AppDelegateTest, SignedInAndReadyShowsReadyThenALoadingWindowThatClosesItself) {
    completedOnboarding();
    permission.trusted = true;
    cloud.signedIn = true;
    launch(true);
    clock.advance(2.0);
    EXPECT_EQ(delegate->splash().phase(), EarlySplashPhase::ready);
    EXPECT_TRUE(delegate->splash().isShown());
    clock.advance(0.64);
    EXPECT_TRUE(delegate->splash().isShown());
    QSignalSpy finished(delegate.get(), &AppDelegate::startupFinished);
    clock.advance(0.02);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(delegate->splash().isShown());
    // Everything is ready, so the loading window dismissed itself on opening.
    EXPECT_EQ(delegate->loadingWindow(), nullptr);
}

TEST_F(AppDelegateTest, LoadingWindowWaitsForTrustAndClosesWhenGranted) {
    completedOnboarding();
    cloud.signedIn = true;
    launch(true);
    clock.advance(2.0); // not ready: no ready phase
    ASSERT_NE(delegate->loadingWindow(), nullptr);
    EXPECT_TRUE(delegate->loadingWindow()->isVisible());
    EXPECT_FALSE(delegate->isMonitoring());
    EXPECT_EQ(delegate->loadingView()->dismissButtonTitle(), QStringLiteral("Continue in background"));
    permission.trusted = true;
    delegate->applicationDidBecomeActive();
    EXPECT_EQ(delegate->loadingWindow(), nullptr);
    EXPECT_TRUE(delegate->isMonitoring());
}

TEST_F(AppDelegateTest, AutoCorrectSwitchStopsAndRestartsMonitoring) {
    completedOnboarding();
    permission.trusted = true;
    launch(true);
    EXPECT_EQ(starts, 1);
    defaults.setBoolean(AppDelegate::autoCorrectKey, false);
    EXPECT_FALSE(delegate->isMonitoring());
    EXPECT_EQ(stops, 1);
    defaults.setBoolean(AppDelegate::autoCorrectKey, true);
    EXPECT_TRUE(delegate->isMonitoring());
    EXPECT_EQ(monitorsMade, 1); // one service for the life of the process
    EXPECT_EQ(starts, 2);
}

TEST_F(AppDelegateTest, StatusIconFollowsTheServiceAndProcessingCancelsTheReset) {
    completedOnboarding();
    permission.trusted = true;
    launch(true);
    ASSERT_TRUE(statusHandler);
    statusHandler(CorrectionStatus::success);
    clock.advance(1.0);
    statusHandler(CorrectionStatus::processing);
    clock.advance(5.0);
    EXPECT_EQ(delegate->indicator().status(), CorrectionStatus::processing);
    statusHandler(CorrectionStatus::error);
    clock.advance(2.01);
    EXPECT_EQ(delegate->indicator().status(), CorrectionStatus::idle);
}

TEST_F(AppDelegateTest, ReopenShowsThePopoverAndCallbacksAreRouted) {
    completedOnboarding();
    launch(true);
    clock.advance(2.0);
    EXPECT_FALSE(delegate->popover()->isVisible());
    EXPECT_TRUE(delegate->applicationShouldHandleReopen());
    EXPECT_TRUE(delegate->popover()->isVisible());
    EXPECT_EQ(delegate->popover()->mode(), MenuBarPopover::Mode::popup);

    delegate->handleOpenUrl(QUrl(QStringLiteral("quillo://auth/callback?code=abc")));
    delegate->handleOpenUrl(QUrl(QStringLiteral("https://example.invalid/phish")));
    delegate->handleOpenUrl(QUrl(QStringLiteral("quillo://other/path")));
    ASSERT_EQ(callbacks.size(), 1);
    EXPECT_EQ(callbacks[0].query(), QStringLiteral("code=abc"));
}

TEST_F(AppDelegateTest, SettingsOpenOnlyAfterThePopoverCloses) {
    completedOnboarding();
    launch(true);
    clock.advance(2.0);
    delegate->togglePopover();
    ASSERT_TRUE(delegate->popover()->isVisible());
    // Watch the moment the settings window is shown.
    struct ShowWatcher : QObject {
        AppDelegate* delegate;
        bool popoverUpAtShow = true;
        int shows = 0;
        bool eventFilter(QObject* object, QEvent* event) override {
            if (event->type() == QEvent::Show && object->isWidgetType() &&
                static_cast<QWidget*>(object)->windowTitle() == QStringLiteral("Quillo Settings")) {
                ++shows;
                popoverUpAtShow = delegate->popover()->isVisible();
            }
            return false;
        }
    } watcher;
    watcher.delegate = delegate.get();
    qApp->installEventFilter(&watcher);
    delegate->popover()->content()->findChild<QPushButton*>(QStringLiteral("settings"))->click();
    qApp->removeEventFilter(&watcher);
    EXPECT_EQ(watcher.shows, 1);
    EXPECT_FALSE(watcher.popoverUpAtShow);
    ASSERT_NE(delegate->settingsWindow(), nullptr);
    EXPECT_FALSE(delegate->popover()->isVisible());
}

TEST_F(AppDelegateTest, ComingOnlineSynchronises) {
    completedOnboarding();
    launch(true);
    delegate->setOnline(false);
    EXPECT_EQ(MenuBarPopoverRules::statusText(delegate->popoverInputs()), QStringLiteral("Account"));
    cloud.signedIn = true;
    EXPECT_EQ(MenuBarPopoverRules::statusText(delegate->popoverInputs()), QStringLiteral("Offline"));
    const auto before = cloud.synchronizations.size();
    delegate->setOnline(true);
    EXPECT_EQ(cloud.synchronizations.size(), before + 1);
    delegate->setOnline(true); // no change, no new request
    EXPECT_EQ(cloud.synchronizations.size(), before + 1);
}

TEST_F(AppDelegateTest, TriggerCommandReachesTheServiceOnlyOutsideOnboarding) {
    permission.trusted = true;
    launch(true);
    clock.advance(2.01);
    ASSERT_TRUE(delegate->isOnboardingPresented());
    EXPECT_FALSE(delegate->handleTriggerCommand()) << "the practice has not started";
    EXPECT_EQ(undo.triggerCommands, 0);
    finishOnboardingWindow();
    ASSERT_TRUE(delegate->isMonitoring());
    EXPECT_TRUE(delegate->handleTriggerCommand());
    defaults.setBoolean(AppDelegate::autoCorrectKey, false);
    EXPECT_FALSE(delegate->handleTriggerCommand());
    EXPECT_EQ(undo.triggerCommands, 2);
}

TEST(AppInstanceChannel, MessagesRoundTripAndBadOnesAreRefused) {
    using R = AppInstanceChannel::Request;
    EXPECT_EQ(AppInstanceChannel::decode(AppInstanceChannel::encode(R{})), R{});
    const R url{QUrl(QStringLiteral("quillo://auth/callback?code=a%20b"))};
    EXPECT_EQ(AppInstanceChannel::decode(AppInstanceChannel::encode(url)), url);
    EXPECT_EQ(AppInstanceChannel::decode(AppInstanceChannel::encode(R::correctionTrigger())), R::correctionTrigger());
    EXPECT_EQ(AppInstanceChannel::decode("trigger\n"), R::correctionTrigger());
    EXPECT_EQ(AppInstanceChannel::decode("trigger now\n"), std::nullopt);
    EXPECT_EQ(AppInstanceChannel::decode("open not a url\n"), std::nullopt);
    EXPECT_EQ(AppInstanceChannel::decode("rm -rf\n"), std::nullopt);
    EXPECT_EQ(AppInstanceChannel::decode("open quillo://" + QByteArray(9000, 'a') + "\n"), std::nullopt);
}

TEST(AppInstanceChannel, ASecondLaunchHandsItsRequestToTheFirst) {
    const QString name = QStringLiteral("quillo-test-%1").arg(QUuid::createUuid().toString(QUuid::Id128));
    AppInstanceChannel first(name);
    ASSERT_TRUE(first.listen());
    QList<AppInstanceChannel::Request> received;
    QObject::connect(&first, &AppInstanceChannel::requestReceived,
                     [&](const AppInstanceChannel::Request& r) { received.append(r); });

    AppInstanceChannel second(name);
    EXPECT_FALSE(second.listen());
    EXPECT_TRUE(second.sendToRunningInstance({QUrl(QStringLiteral("quillo://auth/callback?code=1"))}));
    EXPECT_TRUE(second.sendToRunningInstance({}));
    for (int i = 0; i < 200 && received.size() < 2; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_EQ(received.size(), 2);
    EXPECT_EQ(received[0].url, QUrl(QStringLiteral("quillo://auth/callback?code=1")));
    EXPECT_EQ(received[1].url, std::nullopt);

    // Nobody listening: a stale socket name is taken over.
    AppInstanceChannel lonely(QStringLiteral("quillo-test-%1").arg(QUuid::createUuid().toString(QUuid::Id128)));
    EXPECT_FALSE(lonely.sendToRunningInstance({}, 100));
}

#ifdef QUILLO_EXECUTABLE
// The real `quillo --trigger`, as a desktop shortcut runs it, against an instance's channel.
TEST(AppInstanceChannel, TriggerCommandReachesTheRunningInstanceAndFailsClearlyWithoutOne) {
    QTemporaryDir runtime;
    ASSERT_TRUE(QFile::setPermissions(runtime.path(),
                                      QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    // It must need no display.
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    QProcess command;
    command.setProcessEnvironment(environment);
    const auto run = [&command](const std::function<bool()>& done) {
        command.start(QStringLiteral(QUILLO_EXECUTABLE), {QStringLiteral("--trigger")});
        QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired() && !(command.state() == QProcess::NotRunning && done()))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    };

    run([] { return true; });
    EXPECT_EQ(command.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(command.exitCode(), 1);
    EXPECT_TRUE(command.readAllStandardError().contains("is not running, so there is nothing to trigger"));
    EXPECT_TRUE(QDir(runtime.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).isEmpty())
        << "the command never becomes the instance";

    AppInstanceChannel running(
        QStringLiteral("%1/quillo-%2.socket").arg(runtime.path(), QuilloAppEnvironment::current().bundleIdentifier));
    ASSERT_TRUE(running.listen());
    QList<AppInstanceChannel::Request> received;
    QObject::connect(&running, &AppInstanceChannel::requestReceived,
                     [&](const AppInstanceChannel::Request& r) { received.append(r); });
    run([&] { return !received.isEmpty(); });
    EXPECT_EQ(command.exitCode(), 0) << command.readAllStandardError().toStdString();
    EXPECT_EQ(received, QList<AppInstanceChannel::Request>{AppInstanceChannel::Request::correctionTrigger()});
}
#endif

TEST(AppInstanceChannel, TheSocketLivesInAFolderOfTheUsersOwn) {
    QTemporaryDir base;
    const QString open = base.filePath(QStringLiteral("open"));
    const QString closed = base.filePath(QStringLiteral("closed"));
    ASSERT_TRUE(QDir().mkdir(open) && QDir().mkdir(closed));
    ASSERT_TRUE(QFile::setPermissions(open, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                                QFileDevice::ReadOther | QFileDevice::ExeOther));
    ASSERT_TRUE(
        QFile::setPermissions(closed, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    ASSERT_TRUE(QFile::link(closed, base.filePath(QStringLiteral("link"))));
    const unsigned int uid = ::getuid();
    EXPECT_TRUE(AppInstanceChannel::isPrivateDirectory(closed, uid));
    EXPECT_FALSE(AppInstanceChannel::isPrivateDirectory(open, uid)) << "others may enter";
    EXPECT_FALSE(AppInstanceChannel::isPrivateDirectory(closed, uid + 1)) << "someone else's";
    EXPECT_FALSE(AppInstanceChannel::isPrivateDirectory(base.filePath(QStringLiteral("link")), uid));
    EXPECT_FALSE(AppInstanceChannel::isPrivateDirectory(base.filePath(QStringLiteral("missing")), uid));
    EXPECT_FALSE(AppInstanceChannel::isPrivateDirectory(QStringLiteral("relative"), uid));

    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(closed));
    const auto name = AppInstanceChannel::defaultServerName(QStringLiteral("com.quillo.test"));
    ASSERT_TRUE(name);
    EXPECT_EQ(*name, closed + QStringLiteral("/quillo-com.quillo.test.socket"));
    {
        AppInstanceChannel first(*name);
        ASSERT_TRUE(first.listen());
        AppInstanceChannel second(*name);
        EXPECT_FALSE(second.listen());
        EXPECT_TRUE(second.sendToRunningInstance({}));
    }
    // A runtime folder others can enter is not used.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(open));
    const auto fallback = AppInstanceChannel::defaultServerName(QStringLiteral("com.quillo.test"));
    ASSERT_TRUE(fallback);
    EXPECT_FALSE(fallback->startsWith(open));
    EXPECT_TRUE(AppInstanceChannel::isPrivateDirectory(QFileInfo(*fallback).path(), uid));
    if (saved.isNull()) qunsetenv("XDG_RUNTIME_DIR");
    else qputenv("XDG_RUNTIME_DIR", saved);
}

TEST(EarlySplashController, MinimumDisplayCountsFromShowing) {
    VirtualClock clock;
    EarlySplashController splash(clock);
    splash.show();
    clock.advance(3.0); // start-up took longer than the minimum
    int completions = 0;
    splash.closeAfterMinimumDisplay(false, [&] { ++completions; });
    clock.runDue();
    EXPECT_EQ(completions, 1);
    EXPECT_FALSE(splash.isShown());

    splash.show();
    clock.advance(0.5);
    splash.closeAfterMinimumDisplay(true, [&] { ++completions; });
    // A second request replaces the first: one completion only.
    splash.closeAfterMinimumDisplay(true, [&] { completions += 10; });
    clock.advance(1.49);
    EXPECT_EQ(splash.phase(), EarlySplashPhase::preparing);
    clock.advance(0.02);
    EXPECT_EQ(splash.phase(), EarlySplashPhase::ready);
    clock.advance(0.65);
    EXPECT_EQ(completions, 11);
    EXPECT_FALSE(splash.isShown());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(AppDelegateTest, WithoutATrayThePopoverWindowSaysSoOnce) {
    completedOnboarding();
    launch(false);
    clock.advance(2.0);
    auto* notice = delegate->popover()->content()->findChild<QLabel*>(QStringLiteral("notice"));
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->text(), AppDelegate::trayMissingNotice);
    EXPECT_EQ(delegate->trayItem(), nullptr);
    delegate->popover()->close();
    EXPECT_TRUE(delegate->applicationShouldHandleReopen());
    EXPECT_TRUE(delegate->popover()->isVisible());
}

TEST_F(AppDelegateTest, SettingsOpenAtTheCreditPacksWithTheDelegatesPermissions) {
    completedOnboarding();
    launch(true);
    clock.advance(2.0);
    settingsRig->presentation.setSelectedSettingsTab(QuilloSettingsTab::history);
    delegate->openPreferencesWindow(true);
    SettingsWindow* window = delegate->settingsWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->size(), QSize(620, 560));
    EXPECT_EQ(window->selectedTab(), QuilloSettingsTab::general);
    EXPECT_TRUE(settingsRig->presentation.isExpanded());
    EXPECT_NE(settingsPermissions, nullptr);
    // Asking again brings the same window forward.
    delegate->openPreferencesWindow(false);
    EXPECT_EQ(delegate->settingsWindow(), window);
}

TEST_F(AppDelegateTest, ClosingSettingsLetsTheWindowAndItsKeyMonitorGo) {
    completedOnboarding();
    launch(true);
    clock.advance(2.0);
    delegate->openPreferencesWindow(false);
    QPointer<SettingsWindow> window = delegate->settingsWindow();
    ASSERT_TRUE(window);
    window->startTriggerCapture();
    ASSERT_EQ(settingsRig->keyMonitor.installedCount(), 1);
    window->close();
    EXPECT_EQ(delegate->settingsWindow(), nullptr);
    EXPECT_EQ(settingsRig->keyMonitor.installedCount(), 0);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window);
    delegate->openPreferencesWindow(false);
    EXPECT_NE(delegate->settingsWindow(), nullptr);
}

TEST_F(AppDelegateTest, RunOnboardingAgainClosesSettingsThenShowsTheWelcome) {
    completedOnboarding();
    permission.trusted = true;
    launch(true);
    clock.advance(2.0);
    ASSERT_TRUE(delegate->isMonitoring());
    delegate->openPreferencesWindow(false);
    delegate->settingsWindow()->findChild<QPushButton*>(QStringLiteral("runOnboardingAgain"))->click();
    EXPECT_EQ(delegate->settingsWindow(), nullptr);
    EXPECT_EQ(delegate->onboardingWindow(), nullptr); // in the next turn
    clock.runDue();
    ASSERT_NE(delegate->onboardingWindow(), nullptr);
    EXPECT_TRUE(delegate->isOnboardingPresented());
    EXPECT_FALSE(delegate->isMonitoring());
}

TEST_F(AppDelegateTest, UndoIsOfferedInTheTrayMenuAndThePopoverOnlyWhileTheServiceOffersIt) {
    completedOnboarding();
    permission.trusted = true;
    launch(true);
    clock.advance(2.0);
    ASSERT_TRUE(delegate->isMonitoring());
    ASSERT_TRUE(undo.handler);
    ASSERT_NE(delegate->trayItem(), nullptr);
    auto* button = delegate->popover()->content()->findChild<QPushButton*>(QStringLiteral("undoLastCorrection"));
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->isHidden());
    EXPECT_FALSE(delegate->trayItem()->undoAction()->isEnabled());

    undo.offered = true;
    undo.handler(true);
    EXPECT_FALSE(button->isHidden());
    EXPECT_TRUE(delegate->trayItem()->undoAction()->isEnabled());

    // From the popover: it closes first, then the undo runs once.
    delegate->togglePopover();
    ASSERT_TRUE(delegate->popover()->isVisible());
    button->click();
    EXPECT_FALSE(delegate->popover()->isVisible());
    EXPECT_EQ(undo.undos, 1);

    // From the tray menu.
    delegate->trayItem()->undoAction()->trigger();
    EXPECT_EQ(undo.undos, 2);

    undo.offered = false;
    undo.handler(false);
    EXPECT_TRUE(button->isHidden());
    EXPECT_FALSE(delegate->trayItem()->undoAction()->isEnabled());
    delegate->undoLastCorrection();
    EXPECT_EQ(undo.undos, 2) << "nothing to undo once the offer is gone";
}
