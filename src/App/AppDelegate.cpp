#include "App/AppDelegate.h"

#include "Services/QuilloDiagnostics.h"
#include "Services/QuilloUpdater.h"
#include "Support/Logging.h"
#include "Views/MenuBarPopover.h"
#include "Views/MenuBarPopoverView.h"
#include "Views/OnboardingShortcutDemoController.h"
#include "Views/OnboardingWindow.h"
#include "Views/PopoverPlacement.h"
#include "Views/QuilloTrayItem.h"
#include "Views/SettingsWindow.h"
#include "Views/StartupLoadingView.h"
#include "Views/StartupWindow.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

namespace quillo {

namespace {

bool isExpectedOAuthCallback(const QUrl& url) {
    return url.scheme() == QLatin1String("quillo") && url.host() == QLatin1String("auth") &&
           url.path() == QLatin1String("/callback");
}

void releaseWindow(QWidget* window) {
    if (!window) return;
    window->hide();
    window->deleteLater();
}

} // namespace

AppDelegate::AppDelegate(Environment environment, QObject* parent)
    : QObject(parent), env_(std::move(environment)), splash_(std::make_unique<EarlySplashController>(env_.clock)),
      indicator_(env_.clock) {
    toast_ = std::make_unique<CorrectionToastController>(
        CorrectionToastController::Dependencies{env_.defaults, env_.screens, env_.clock, env_.announcer, {}, {}});
    permissionCoordinator_ = std::make_unique<InputPermissionCoordinator>(env_.permission, env_.workspace, env_.clock);
}

AppDelegate::~AppDelegate() {
    if (correctionMonitor_) correctionMonitor_->stopMonitoring();
    for (QWidget* w : {static_cast<QWidget*>(loadingWindow_.data()), static_cast<QWidget*>(onboardingWindow_.data()),
                       static_cast<QWidget*>(settingsWindow_.data())})
        delete w;
}

QWidget* AppDelegate::loadingWindow() const { return loadingWindow_.data(); }
QWidget* AppDelegate::onboardingWindow() const { return onboardingWindow_.data(); }
SettingsWindow* AppDelegate::settingsWindow() const { return settingsWindow_.data(); }

void AppDelegate::record(QuilloDiagnosticEvent event) {
    if (env_.recordEvent) env_.recordEvent(event);
    else QuilloDiagnostics::record(event);
}

bool AppDelegate::onboardingCompletedBefore() const {
    return env_.defaults.integer(onboardingCompletedVersionKey, 0) >= 1;
}

void AppDelegate::showEarlySplash() { splash_->show(); }

void AppDelegate::applicationWillFinishLaunching() {
    if (!env_.registerUrlScheme) return;
    if (const auto error = env_.registerUrlScheme())
        qCWarning(lcApp, "Quillo could not register its OAuth callback handler: %s", qUtf8Printable(*error));
}

void AppDelegate::applicationDidFinishLaunching() {
    record(QuilloDiagnosticEvent::appLaunched);
    // A tray application keeps running with no window open.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) QGuiApplication::setQuitOnLastWindowClosed(false);
    CorrectionEngineMode::migrateStoredPreference(env_.defaults);
    isOnboardingPresented_ = !onboardingCompletedBefore();

    connect(&env_.defaults, &UserDefaults::changed, this, [this] { syncCorrectionMonitoring(); });
    connect(&env_.cloud, &AppCloudState::changed, this, [this] {
        refreshPopover();
        if (loadingView_) loadingView_->inputsChanged();
    });
    connect(&env_.cloud, &AppCloudState::signedInChanged, this, [this] {
        refreshPopover();
        if (loadingView_) loadingView_->inputsChanged();
    });
    setupMenuBar();
    launched_ = true;

    if (!isOnboardingPresented_) {
        synchronizeCloudIfNeeded(false);
        syncCorrectionMonitoring();
    }

    const bool signedIn = env_.cloud.isSignedIn();
    const bool ready =
        !isOnboardingPresented_ && signedIn && env_.cloud.isConfigured() && env_.permission.isProcessTrusted();
    splash_->closeAfterMinimumDisplay(ready, [this, signedIn] {
        if (isOnboardingPresented_) showOnboarding(false);
        else if (signedIn) showLoadingWindow();
        else finishStartupWithoutLoadingWindow();
        emit startupFinished(); // NOLINT(readability-misleading-indentation): `emit` expands to nothing
    });
}

void AppDelegate::applicationDidBecomeActive() {
    if (!launched_) return;
    if (!isOnboardingPresented_) syncCorrectionMonitoring();
    if (loadingView_) loadingView_->applicationBecameActive();
}

bool AppDelegate::applicationShouldHandleReopen() {
    if (onboardingWindow_) showWindow(onboardingWindow_);
    // Onboarding closed before it was ever finished leaves nothing running; a second launch
    // is the user coming back to it.
    else if (isOnboardingPresented_ && !onboardingCompletedBefore()) showOnboarding(false);
    else if (loadingWindow_ && loadingWindow_->isVisible()) showWindow(loadingWindow_);
    else if (settingsWindow_ && settingsWindow_->isVisible()) showWindow(settingsWindow_);
    else showMenuBarPopover();
    return true;
}

bool AppDelegate::handleTriggerCommand() {
    if (onboardingWindow_ && onboardingWindow_->demo().handleTriggerCommand()) return true;
    if (isOnboardingPresented_ || !correctionMonitor_) {
        qCInfo(lcApp, "Trigger command ignored: corrections are not running");
        return false;
    }
    return correctionMonitor_->handleTriggerCommand();
}

void AppDelegate::handleOpenUrl(const QUrl& url) {
    if (!isExpectedOAuthCallback(url)) {
        qCInfo(lcApp, "Ignoring a URL that is not the sign-in callback");
        return;
    }
    if (env_.oauthCallback) env_.oauthCallback(url);
    if (onboardingWindow_ && onboardingWindow_->isVisible()) showWindow(onboardingWindow_);
    else if (settingsWindow_ && settingsWindow_->isVisible()) showWindow(settingsWindow_);
}

void AppDelegate::applicationWillTerminate() {
    toast_->forceDismiss();
    stopCorrectionMonitoring();
}

void AppDelegate::setOnline(bool online) {
    const bool cameOnline = online && !online_;
    online_ = online;
    refreshPopover();
    if (cameOnline) synchronizeCloudIfNeeded(false);
}

// Tray and popover.

void AppDelegate::setupMenuBar() {
    popoverView_ = new MenuBarPopoverView;
    const bool tray = env_.trayAvailable ? env_.trayAvailable() : QuilloTrayItem::isAvailable();
    popover_ = std::make_unique<MenuBarPopover>(tray ? MenuBarPopover::Mode::popup : MenuBarPopover::Mode::window,
                                                popoverView_);
    settingsTransition_ = std::make_unique<PopoverWindowTransition>(PopoverWindowTransition::Popover{
        [this] { return popover_ && popover_->isVisible(); }, [this] { popover_->hide(); }});
    connect(popover_.get(), &MenuBarPopover::willClose, this, [this] { settingsTransition_->popoverWillClose(); });
    connect(popover_.get(), &MenuBarPopover::didClose, this, [this] { settingsTransition_->popoverDidClose(); });
    connect(popoverView_, &MenuBarPopoverView::settingsRequested, this,
            [this] { settingsTransition_->presentAfterClosing([this] { openPreferencesWindow(false); }); });
    connect(popoverView_, &MenuBarPopoverView::creditPacksRequested, this,
            [this] { settingsTransition_->presentAfterClosing([this] { openPreferencesWindow(true); }); });
    connect(popoverView_, &MenuBarPopoverView::undoRequested, this, &AppDelegate::undoLastCorrection);
    connect(popoverView_, &MenuBarPopoverView::quitRequested, this, [this] {
        if (env_.quit) env_.quit();
        else QCoreApplication::quit();
    });
    refreshPopover();

    if (tray) {
        trayItem_ = std::make_unique<QuilloTrayItem>(indicator_);
        connect(trayItem_.get(), &QuilloTrayItem::clicked, this, &AppDelegate::togglePopover);
        connect(trayItem_.get(), &QuilloTrayItem::undoRequested, this, &AppDelegate::undoLastCorrection);
        trayItem_->show();
    } else {
        // Said once per run: the popover then lives in a small window.
        qCWarning(lcApp, "No system tray is available; the status window stands in for the tray item");
        popoverView_->setNotice(trayMissingNotice);
    }

    // The orange dot and "Quillo — Update available" while an update waits.
    if (env_.updater) {
        connect(env_.updater, &QuilloUpdater::availableVersionChanged, this,
                [this] { indicator_.setAvailableUpdate(env_.updater->availableVersion()); });
        indicator_.setAvailableUpdate(env_.updater->availableVersion());
    }
}

MenuBarPopoverInputs AppDelegate::popoverInputs() const {
    MenuBarPopoverInputs in;
    in.signedIn = env_.cloud.isSignedIn();
    in.availableCredits = env_.cloud.availableCredits();
    in.cloudErrorMessage = env_.cloud.errorMessage();
    in.networkConnected = online_;
    in.cloudConfigured = env_.cloud.isConfigured();
    in.isRefreshing = env_.cloud.isRefreshing();
    in.cloudModel = CloudCorrectionModels::storedValue(env_.defaults.string(CorrectionSettingsKeys::cloudModel));
    return in;
}

void AppDelegate::refreshPopover() {
    if (popoverView_) popoverView_->setInputs(popoverInputs());
}

void AppDelegate::setUndoAvailable(bool available) {
    if (popoverView_) popoverView_->setUndoAvailable(available);
    if (trayItem_) trayItem_->setUndoAvailable(available);
}

void AppDelegate::undoLastCorrection() {
    if (!settingsTransition_) return;
    // The popover goes first, so the keyboard is back with the corrected field.
    settingsTransition_->presentAfterClosing([this] {
        if (correctionMonitor_ && correctionMonitor_->canUndoLastCorrection()) correctionMonitor_->undoLastCorrection();
    });
}

void AppDelegate::togglePopover() {
    if (popover_ && popover_->isVisible()) popover_->hide();
    else presentMenuBarPopover();
}

void AppDelegate::presentMenuBarPopover() {
    if (!popover_) return;
    // Opening the popover is when the balance is worth refreshing.
    synchronizeCloudIfNeeded(false);
    refreshPopover();
    popoverView_->adjustSize();
    popover_->adjustSize();
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect anchor = trayItem_ ? trayItem_->geometry() : QRect();
    if (trayItem_ && anchor.isValid()) {
        if (QScreen* at = QGuiApplication::screenAt(anchor.center())) screen = at;
    }
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1440, 900);
    popover_->present(PopoverPlacement::origin(popover_->sizeHint(), anchor, available));
}

void AppDelegate::showMenuBarPopover() {
    if (popover_ && !popover_->isVisible()) presentMenuBarPopover();
    else if (popover_) popover_->raise();
}

void AppDelegate::updateStatusIcon(CorrectionStatus status) { indicator_.updateStatusIcon(status); }

// Start-up windows.

void AppDelegate::showLoadingWindow() {
    if (!loadingWindow_) {
        loadingView_ = new StartupLoadingView(
            [this] {
                return StartupLoadingInputs{env_.cloud.isConfigured(), env_.cloud.isSignedIn(),
                                            env_.cloud.errorMessage()};
            },
            *permissionCoordinator_, env_.displayName, [this] { closeLoadingWindow(); });
        loadingWindow_ = new StartupWindow(loadingView_, true, false);
        connect(loadingWindow_, &StartupWindow::closeRequested, this, [this] { closeLoadingWindow(); });
    }
    showWindow(loadingWindow_);
}

void AppDelegate::closeLoadingWindow() {
    if (!loadingWindow_) return;
    QWidget* window = loadingWindow_;
    loadingWindow_ = nullptr;
    loadingView_ = nullptr;
    releaseWindow(window);
    // Without a tray the status window is the way back in.
    if (!trayItem_ && !isOnboardingPresented_) showMenuBarPopover();
}

void AppDelegate::finishStartupWithoutLoadingWindow() {
    closeLoadingWindow();
    splash_->cancelPendingClose();
    splash_->closeImmediately();
    if (!trayItem_) showMenuBarPopover();
}

void AppDelegate::showOnboarding(bool canCancel) {
    stopCorrectionMonitoring();
    closeLoadingWindow();
    splash_->cancelPendingClose();
    splash_->closeImmediately();
    isOnboardingPresented_ = true;
    if (!onboardingWindow_) {
        onboardingWindow_ = env_.makeOnboardingWindow ? env_.makeOnboardingWindow(canCancel) : nullptr;
        if (!onboardingWindow_) {
            qCWarning(lcApp, "The onboarding window could not be made; starting without it");
            closeOnboardingAndResume();
            return;
        }
        connect(onboardingWindow_, &OnboardingWindow::finished, this, &AppDelegate::finishOnboarding);
        connect(onboardingWindow_, &OnboardingWindow::closedByUser, this, [this] {
            // Leaving without finishing resumes only for someone who finished onboarding before.
            QWidget* window = onboardingWindow_;
            onboardingWindow_ = nullptr;
            releaseWindow(window);
            if (onboardingCompletedBefore()) closeOnboardingAndResume();
        });
    }
    showWindow(onboardingWindow_);
}

void AppDelegate::finishOnboarding() {
    env_.defaults.setInteger(onboardingCompletedVersionKey, 1);
    if (env_.startUpdater) env_.startUpdater();
    closeOnboardingAndResume();
}

void AppDelegate::closeOnboardingAndResume() {
    if (onboardingWindow_) {
        QWidget* window = onboardingWindow_;
        onboardingWindow_ = nullptr;
        releaseWindow(window);
    }
    isOnboardingPresented_ = false;
    synchronizeCloudIfNeeded(true);
    syncCorrectionMonitoring();
    if (!trayItem_) showMenuBarPopover();
}

void AppDelegate::openPreferencesWindow(bool showCreditPacks) {
    if (!settingsWindow_) {
        if (!env_.makeSettingsWindow) {
            qCWarning(lcApp, "Settings cannot open: no settings window factory");
            return;
        }
        QPointer<AppDelegate> self(this);
        settingsWindow_ = env_.makeSettingsWindow(*permissionCoordinator_, [self] {
            if (self) self->restartOnboardingFromSettings();
        });
        if (!settingsWindow_) return;
        // Made on demand, let go when closed: nothing of it (a key monitor) outlives it.
        connect(settingsWindow_, &SettingsWindow::closed, this, &AppDelegate::closeSettingsWindow);
    }
    showWindow(settingsWindow_);
    if (showCreditPacks) settingsWindow_->showCreditPacks();
}

void AppDelegate::closeSettingsWindow() {
    if (!settingsWindow_) return;
    QWidget* window = settingsWindow_;
    settingsWindow_ = nullptr;
    releaseWindow(window);
}

void AppDelegate::restartOnboardingFromSettings() {
    if (settingsWindow_) settingsWindow_->close();
    QPointer<AppDelegate> self(this);
    env_.clock.schedule(0.0, [self] {
        if (self) self->showOnboarding(true);
    });
}

void AppDelegate::showWindow(QWidget* window) {
    if (!window) return;
    window->show();
    window->raise();
    window->activateWindow();
}

// Cloud and monitoring.

void AppDelegate::synchronizeCloudIfNeeded(bool force) {
    if (!online_) return;
    env_.cloud.synchronize(force);
}

void AppDelegate::syncCorrectionMonitoring() {
    if (isOnboardingPresented_) {
        stopCorrectionMonitoring();
        return;
    }
    toggleCorrection(env_.defaults.boolean(autoCorrectKey, true));
}

void AppDelegate::toggleCorrection(bool enabled) {
    if (isOnboardingPresented_ || !enabled || !env_.permission.isProcessTrusted()) {
        stopCorrectionMonitoring();
        return;
    }
    startCorrectionMonitoring();
}

void AppDelegate::startCorrectionMonitoring() {
    if (env_.defaults.boolean(autoCorrectKey).value_or(true) == false) return;
    if (!correctionMonitor_) {
        if (!env_.makeCorrectionMonitor) return;
        QPointer<AppDelegate> self(this);
        correctionMonitor_ = env_.makeCorrectionMonitor(*toast_, [self](CorrectionStatus status) {
            if (self) self->updateStatusIcon(status);
        });
        if (!correctionMonitor_) return;
        correctionMonitor_->setUndoAvailabilityHandler([self](bool available) {
            if (self) self->setUndoAvailable(available);
        });
    }
    // A service stopped earlier (autoCorrect off, then on) starts again.
    if (!correctionMonitor_->isMonitoring()) correctionMonitor_->startMonitoring();
}

void AppDelegate::stopCorrectionMonitoring() {
    if (correctionMonitor_ && correctionMonitor_->isMonitoring()) correctionMonitor_->stopMonitoring();
}

} // namespace quillo
