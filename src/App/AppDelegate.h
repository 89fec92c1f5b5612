#pragma once

#include "App/AppCloudState.h"
#include "App/CorrectionMonitor.h"
#include "App/EarlySplashController.h"
#include "Models/CorrectionModels.h"
#include "Platform/AccessibilityAnnouncer.h"
#include "Platform/AccessibilityPermission.h"
#include "Platform/UserDefaults.h"
#include "Platform/Workspace.h"
#include "Services/QuilloDiagnosticEvent.h"
#include "Support/Clock.h"
#include "Support/InputPermissionCoordinator.h"
#include "Views/CorrectionToastController.h"
#include "Views/MenuBarPopoverRules.h"
#include "Views/MenuBarStatusIndicator.h"
#include "Views/PopoverWindowTransition.h"

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

namespace quillo {

class LaunchAtLoginSettings;
class MenuBarPopover;
class MenuBarPopoverView;
class OnboardingWindow;
class QuilloTrayItem;
class QuilloUpdater;
class SettingsWindow;
class StartupLoadingView;
class StartupWindow;

// Owns the application's life: start-up order, splash, onboarding, loading window, tray item and
// popover, correction monitoring and the hand-over of browser callbacks. Main thread only.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    using StatusHandler = std::function<void(CorrectionStatus)>;

    struct Environment {
        UserDefaults& defaults;
        Clock& clock;
        AccessibilityPermission& permission;
        Workspace& workspace;
        ToastScreenSource& screens;
        AppCloudState& cloud;
        AccessibilityAnnouncer* announcer = nullptr;
        LaunchAtLoginSettings* launchAtLogin = nullptr;
        QuilloUpdater* updater = nullptr; // its available version badges the tray
        // Makes the correction service the first time monitoring starts.
        std::function<std::unique_ptr<CorrectionMonitor>(CorrectionToastPresenting& toast, StatusHandler onStatus)>
            makeCorrectionMonitor;
        std::function<bool()> trayAvailable;                       // none: ask the desktop
        std::function<std::optional<QString>()> registerUrlScheme; // the error, if any
        std::function<bool(const QUrl&)> oauthCallback;            // true when a sign-in took it
        std::function<void()> startUpdater;
        // Makes the onboarding window; the delegate owns it until it closes.
        std::function<OnboardingWindow*(bool canCancel)> makeOnboardingWindow;
        std::function<void(QuilloDiagnosticEvent)> recordEvent; // none: the diagnostic log
        std::function<void()> quit;                             // none: quit the application
        // Builds the settings window with the delegate's permission coordinator and its
        // "Run onboarding again"; without one settings cannot open.
        std::function<SettingsWindow*(InputPermissionCoordinator& permissions, std::function<void()> restartOnboarding)>
            makeSettingsWindow;
        QString displayName = QStringLiteral("Quillo");
    };

    static inline const QString onboardingCompletedVersionKey = QStringLiteral("quilloOnboardingCompletedVersion");
    static inline const QString autoCorrectKey = QStringLiteral("autoCorrect");
    static inline const QString trayMissingNotice = QStringLiteral(
        "Your desktop has no system tray, so Quillo shows this window instead. Closing it keeps Quillo running.");

    explicit AppDelegate(Environment environment, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Shown the moment the application exists.
    void showEarlySplash();
    void applicationWillFinishLaunching();
    void applicationDidFinishLaunching();
    void applicationDidBecomeActive();
    // A second launch without a URL (always handled).
    bool applicationShouldHandleReopen();
    // `quillo --trigger` from the desktop's shortcut: the onboarding practice while it runs,
    // else the correction service. False when nothing took it.
    bool handleTriggerCommand();
    void handleOpenUrl(const QUrl& url);
    void applicationWillTerminate();
    void setOnline(bool online);

    void openPreferencesWindow(bool showCreditPacks);
    void restartOnboardingFromSettings();
    void togglePopover();
    void showMenuBarPopover();
    void updateStatusIcon(CorrectionStatus status);
    // Closes the popover, then asks the correction service to take back its last correction.
    void undoLastCorrection();

    // State, for the shell and tests.
    bool isOnboardingPresented() const { return isOnboardingPresented_; }
    bool isMonitoring() const { return correctionMonitor_ && correctionMonitor_->isMonitoring(); }
    bool hasCorrectionService() const { return correctionMonitor_ != nullptr; }
    EarlySplashController& splash() { return *splash_; }
    MenuBarStatusIndicator& indicator() { return indicator_; }
    CorrectionToastController& toast() { return *toast_; }
    QWidget* loadingWindow() const;
    StartupLoadingView* loadingView() const { return loadingView_; }
    QWidget* onboardingWindow() const;
    SettingsWindow* settingsWindow() const;
    MenuBarPopover* popover() const { return popover_.get(); }
    QuilloTrayItem* trayItem() const { return trayItem_.get(); }
    MenuBarPopoverInputs popoverInputs() const;

signals:
    void startupFinished();

private:
    void record(QuilloDiagnosticEvent event);
    void setupMenuBar();
    void refreshPopover();
    void setUndoAvailable(bool available);
    void presentMenuBarPopover();
    void showLoadingWindow();
    void finishStartupWithoutLoadingWindow();
    void closeLoadingWindow();
    void closeSettingsWindow();
    void showOnboarding(bool canCancel);
    void finishOnboarding();
    void closeOnboardingAndResume();
    void synchronizeCloudIfNeeded(bool force);
    void syncCorrectionMonitoring();
    void toggleCorrection(bool enabled);
    void startCorrectionMonitoring();
    void stopCorrectionMonitoring();
    void showWindow(QWidget* window);
    bool onboardingCompletedBefore() const;

    Environment env_;
    std::unique_ptr<EarlySplashController> splash_;
    MenuBarStatusIndicator indicator_;
    std::unique_ptr<CorrectionToastController> toast_;
    std::unique_ptr<InputPermissionCoordinator> permissionCoordinator_;
    std::unique_ptr<QuilloTrayItem> trayItem_;
    std::unique_ptr<MenuBarPopover> popover_;
    MenuBarPopoverView* popoverView_ = nullptr;
    std::unique_ptr<PopoverWindowTransition> settingsTransition_;
    QPointer<StartupWindow> loadingWindow_;
    StartupLoadingView* loadingView_ = nullptr;
    QPointer<OnboardingWindow> onboardingWindow_;
    QPointer<SettingsWindow> settingsWindow_;
    std::unique_ptr<CorrectionMonitor> correctionMonitor_;
    bool isOnboardingPresented_ = false;
    bool online_ = true;
    bool launched_ = false;
};

} // namespace quillo
