#pragma once

#include "Platform/Fake/FakeAccessibilityPermission.h"
#include "Platform/Fake/FakeLocalKeyEventMonitor.h"
#include "Platform/Fake/FakeWebAuthenticationSession.h"
#include "Platform/Fake/FakeWorkspace.h"
#include "Platform/Fake/InMemorySecureStore.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Services/CloudHealthChecker.h"
#include "Services/ConnectivityService.h"
#include "Services/QuilloAuthService.h"
#include "Services/QuilloCloudService.h"
#include "Services/QuilloCorrectionHistory.h"
#include "Services/QuilloOAuthPresenter.h"
#include "Services/QuilloPaymentService.h"
#include "Services/QuilloUpdater.h"
#include "Services/ScriptedCloudHttpTransport.h"
#include "Support/InputPermissionCoordinator.h"
#include "Support/VirtualClock.h"
#include "Views/CorrectionToastController.h"
#include "Views/CreditPurchasePresentation.h"
#include "Views/LaunchAtLoginSettings.h"
#include "Views/MenuBarPopoverRules.h"
#include "Views/SettingsDependencies.h"
#include "Views/ToastScreenSource.h"

#include <QTemporaryDir>
#include <memory>

namespace quillo::screenshots {

// One display of the size the README shows, with nothing at its top edge.
class StageScreens final : public ToastScreenSource {
public:
    std::vector<ToastScreen> screens() const override {
        const QRectF frame(0, 0, 1440, 900);
        return {ToastScreen{frame, frame, 0.0, std::nullopt, std::nullopt}};
    }
    std::optional<std::size_t> mainScreenIndex() const override { return 0; }
    QPointF pointerLocation() const override { return {720, 450}; }
};

// The product's services in the state a new user reaches after a few days: signed in to a
// demo account with a balance, a trigger chosen, a few corrections kept in the history. The
// cloud answers from a script and time is virtual, so nothing moves unless a shot moves it.
class ScreenshotStage {
public:
    static inline const QString email = QStringLiteral("demo@example.com");
    static constexpr double availableCredits = 48.2;

    ScreenshotStage();
    ~ScreenshotStage();

    VirtualClock clock;
    ScopedSharedClock sharedClock{clock};
    ScriptedCloudHttpTransport transport{clock};
    InMemorySecureStore secureStore;
    InMemoryUserDefaults defaults;
    FakeWorkspace workspace;
    FakeAccessibilityPermission permission;
    std::unique_ptr<ConnectivityService> connectivity;
    FakeWebAuthenticationSession web;
    QuilloOAuthPresenter presenter{web, clock};
    std::unique_ptr<QuilloAuthService> auth;
    std::unique_ptr<CloudHealthChecker> health;
    std::unique_ptr<QuilloCloudService> cloud;
    std::unique_ptr<QuilloPaymentService> payment;
    CreditPurchasePresentation presentation;
    QuilloUpdater updater;
    std::unique_ptr<InputPermissionCoordinator> permissions;
    std::unique_ptr<LaunchAtLoginSettings> launchAtLogin;
    FakeLocalKeyEventMonitor keyMonitor;
    QTemporaryDir historyDirectory;
    std::unique_ptr<QuilloCorrectionHistory> history;
    StageScreens screens;
    std::unique_ptr<CorrectionToastController> toast;

    SettingsDependencies settingsDependencies();
    // What the application's popover would be given now.
    MenuBarPopoverInputs popoverInputs() const;
    // Runs every timer and resumed task that is due, without moving time.
    void settle();

private:
    void signIn();
    void fillHistory();
};

} // namespace quillo::screenshots
