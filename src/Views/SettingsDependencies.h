#pragma once

#include "Models/CorrectionTriggerPreference.h"
#include "Services/QuilloDiagnosticEvent.h"
#include "Views/TriggerCommandField.h"

#include <QString>
#include <functional>
#include <optional>

namespace quillo {

class Clock;
class ConnectivityService;
class CreditPurchasePresentation;
class InputPermissionCoordinator;
class LaunchAtLoginSettings;
class LocalKeyEventMonitor;
class QuilloAuthService;
class QuilloCloudService;
class QuilloCorrectionHistory;
class QuilloPaymentService;
class QuilloUpdater;
class UserDefaults;

// What the settings window is built with: the long-lived services it shows and edits (all
// must outlive the window) and the few desktop actions tests replace.
struct SettingsDependencies {
    SettingsDependencies(UserDefaults& defaults, Clock& clock, ConnectivityService& connectivity,
                         QuilloCloudService& cloud, QuilloAuthService& auth, QuilloPaymentService& payment,
                         CreditPurchasePresentation& creditPurchase, QuilloUpdater& updater,
                         InputPermissionCoordinator& permissions, LaunchAtLoginSettings& launchAtLogin,
                         LocalKeyEventMonitor& keyMonitor, QuilloCorrectionHistory& history,
                         std::function<void()> restartOnboarding = {})
        : defaults(defaults), clock(clock), connectivity(connectivity), cloud(cloud), auth(auth), payment(payment),
          creditPurchase(creditPurchase), updater(updater), permissions(permissions), launchAtLogin(launchAtLogin),
          keyMonitor(keyMonitor), history(history), restartOnboarding(std::move(restartOnboarding)) {}

    UserDefaults& defaults;
    Clock& clock;
    ConnectivityService& connectivity;
    QuilloCloudService& cloud;
    QuilloAuthService& auth;
    QuilloPaymentService& payment;
    CreditPurchasePresentation& creditPurchase;
    QuilloUpdater& updater;
    InputPermissionCoordinator& permissions;
    LaunchAtLoginSettings& launchAtLogin;
    LocalKeyEventMonitor& keyMonitor;
    QuilloCorrectionHistory& history;
    // "Run onboarding again"; the button is hidden without one.
    std::function<void()> restartOnboarding;

    std::optional<bool> testBuild; // none: the build's channel
    QString versionText;           // empty: the build's version
    QString supportEmail;          // empty: the build's support address
    // Asks where to save the exported log; none when the user cancels. None: a save dialog.
    std::function<std::optional<QString>(const QString& suggestedFileName)> chooseExportPath;
    // Writes the export; throws QuilloDiagnosticsFileError. None: the diagnostic log's export.
    std::function<void(const QString& path)> exportLogs;
    std::function<void(QuilloDiagnosticEvent)> recordEvent; // none: the diagnostic log
    // The line that keeps a trigger bound in the desktop's own configuration (sway's config);
    // none, or a function answering none: the desktop has no such line to show.
    std::function<std::optional<DesktopBindingLine>(const CorrectionTriggerPreference&)> desktopBindingLine;
};

} // namespace quillo
