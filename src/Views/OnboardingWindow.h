#pragma once

#include "Models/CorrectionTriggerPreference.h"
#include "Views/OnboardingAuthMode.h"
#include "Views/OnboardingStep.h"
#include "Views/TriggerCommandField.h"

#include <QList>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QVBoxLayout;

namespace quillo {

class AccessibilityPermission;
class AccountSignInForm;
class Clock;
class InputPermissionCoordinator;
class LaunchAtLoginSettings;
class LocalKeyEventMonitor;
class OnboardingShortcutDemoController;
class QuilloAuthService;
class QuilloUpdater;
class UserDefaults;
class Workspace;

// The first-launch walkthrough, also run again from the settings: what Quillo does, the input
// permission, the account, choosing and practising the trigger on the window's own samples,
// privacy, and the last choices (updates, launch at login). The practice never leaves the
// window: no cloud request, credit or permission is involved.
class OnboardingWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int width = 780;
    static constexpr int height = 620;
    static inline const QString windowTitleText = QStringLiteral("Welcome to Quillo");
    static inline const QString manualPermissionHelp = QStringLiteral(
        "Quillo could not turn this on by itself. Turn on accessibility in your desktop's settings, then come back "
        "to this window.");

    struct Dependencies {
        UserDefaults& defaults;
        Clock& clock;
        LocalKeyEventMonitor& keyMonitor;
        AccessibilityPermission& permission;
        Workspace& workspace;
        QuilloAuthService& auth;
        QuilloUpdater& updater;
        LaunchAtLoginSettings& launchAtLogin;
        QString displayName = QStringLiteral("Quillo");
        // What the desktop does with the chosen trigger (its own shortcut settings); none hides it.
        std::function<std::optional<DesktopBindingLine>(const CorrectionTriggerPreference&)> desktopBindingLine = {};
    };

    // `canCancel`: the walkthrough was asked for again and may be left without finishing.
    OnboardingWindow(Dependencies dependencies, bool canCancel, QWidget* parent = nullptr);
    ~OnboardingWindow() override;

    bool canCancel() const { return canCancel_; }
    OnboardingStep step() const { return step_; }
    void setStep(OnboardingStep step);
    void goForward();
    void goBack();

    OnboardingAuthMode authMode() const { return authMode_; }
    void setAuthMode(OnboardingAuthMode mode);

    OnboardingShortcutDemoController& demo() { return *demo_; }
    InputPermissionCoordinator& permissions() { return *permissions_; }

    // Applies the update choices and reports the walkthrough finished.
    void finish();
    // Centres the window on the screen under the pointer.
    void placeOnScreenUnderPointer();
    // The application came to the front again, perhaps from the desktop's settings.
    void applicationBecameActive();

signals:
    void stepChanged(quillo::OnboardingStep step);
    void authModeChanged(quillo::OnboardingAuthMode mode);
    void finished();
    // Closed without finishing: the window's close button or the cancel button.
    void closedByUser();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Page;
    QWidget* buildSidebar();
    QWidget* buildFooter();
    Page& addPage(OnboardingStep step, const QString& title, const QString& subtitle);
    void buildWelcome();
    void buildPermissions();
    void buildAccount();
    void buildShortcut();
    void buildSelection();
    void buildPrivacy();
    void buildReady();
    QWidget* buildTriggerBar(QWidget* parent, bool withActivation);
    QWidget* buildPractice(QWidget* parent, QPlainTextEdit*& field, bool selectable);

    void enterStep();
    void refreshNavigation();
    void refreshSidebar();
    void refreshPermissions();
    void refreshAccount();
    void refreshTrigger();
    void refreshPractice();
    void refreshReady();
    void syncFieldFromDemo();
    void syncSelectionFromDemo();
    void syncSelectionFromField();

    Dependencies deps_;
    bool canCancel_;
    std::unique_ptr<InputPermissionCoordinator> permissions_;
    std::unique_ptr<OnboardingShortcutDemoController> demo_;
    OnboardingStep step_ = OnboardingStep::welcome;
    OnboardingAuthMode authMode_ = OnboardingAuthMode::createAccount;
    bool finishing_ = false;
    bool placed_ = false;
    bool syncingField_ = false;

    QList<QLabel*> sidebarItems_;
    QStackedWidget* pages_ = nullptr;
    QList<std::shared_ptr<Page>> pageList_;
    QPushButton* backButton_ = nullptr;
    QPushButton* continueButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;

    // Permissions.
    QLabel* permissionState_ = nullptr;
    QPushButton* permissionButton_ = nullptr;
    QLabel* permissionHelp_ = nullptr;
    QLabel* permissionNote_ = nullptr;

    // Account.
    QWidget* signedInCard_ = nullptr;
    QLabel* signedInEmail_ = nullptr;
    QPushButton* signOutButton_ = nullptr;
    AccountSignInForm* signInForm_ = nullptr;

    // Trigger bars (shortcut and selection steps) and practice fields.
    QList<std::function<void()>> triggerRefreshers_;
    QList<std::function<void()>> practiceRefreshers_;
    QPlainTextEdit* wholeFieldSample_ = nullptr;
    QPlainTextEdit* selectionSample_ = nullptr;

    // Ready.
    QLabel* readySummary_ = nullptr;
    QCheckBox* checkAutomatically_ = nullptr;
    QCheckBox* installAutomatically_ = nullptr;
    QLabel* updatesNote_ = nullptr;
    QCheckBox* launchAtLogin_ = nullptr;
    QLabel* launchAtLoginMessage_ = nullptr;
};

} // namespace quillo
