#pragma once

#include "Views/SettingsDependencies.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QToolButton;

namespace quillo {

class TriggerCommandField;

class AccountSignInForm;
class CreditPacksView;
class DisclosureButton;
class TriggerKeyDetection;

// The General tab: correction switches and feedback, account, balance and credit packs, engine,
// connection, privacy, language, keyboard trigger, input permission, onboarding and account
// deletion. Every control writes its user-defaults key or calls its service at once.
class SettingsGeneralPage : public QWidget {
    Q_OBJECT
public:
    SettingsGeneralPage(const SettingsDependencies& dependencies, TriggerKeyDetection& detection,
                        QWidget* parent = nullptr);

    QString triggerHelpText() const;
    QString balanceText() const;
    CreditPacksView* creditPacks() const { return creditPacks_; }

    // Reads the account, launch-at-login and permission state again (the window opened).
    void refreshAll();

private:
    QWidget* buildFeedbackSection();
    QWidget* buildAccountSection();
    QWidget* buildCreditSection();
    QWidget* buildEngineSection();
    QWidget* buildConnectionLine();
    QWidget* buildPrivacySection();
    QWidget* buildLanguageSection();
    QWidget* buildKeyboardSection();
    QWidget* buildPermissionSection();
    QWidget* buildOnboardingSection();
    QWidget* buildDangerZone();

    void refreshLaunchAtLogin();
    void refreshAccount();
    void refreshBalance();
    void refreshConnection();
    void refreshTrigger();
    void refreshPermissions();
    void refreshWritingMode();

    SettingsDependencies deps_;
    TriggerKeyDetection& detection_;

    QCheckBox* launchAtLogin_ = nullptr;
    QLabel* launchAtLoginMessage_ = nullptr;
    AccountSignInForm* signInForm_ = nullptr;
    QLabel* signedInEmail_ = nullptr;
    QPushButton* signOut_ = nullptr;
    QLabel* accountNotice_ = nullptr;
    QLabel* balanceValue_ = nullptr;
    QToolButton* refreshBalance_ = nullptr;
    QProgressBar* balanceRefreshing_ = nullptr;
    QLabel* cloudError_ = nullptr;
    CreditPacksView* creditPacks_ = nullptr;
    QLabel* writingModeHelp_ = nullptr;
    QLabel* writingModeWarning_ = nullptr;
    QWidget* writingModeWarningRow_ = nullptr;
    QLabel* connectionIcon_ = nullptr;
    QLabel* connectionText_ = nullptr;
    QLabel* connectionDetail_ = nullptr;
    DisclosureButton* privacyToggle_ = nullptr;
    QLabel* privacyText_ = nullptr;
    QLabel* triggerTitle_ = nullptr;
    QPushButton* detectTrigger_ = nullptr;
    QLabel* triggerHelp_ = nullptr;
    TriggerCommandField* triggerCommand_ = nullptr;
    QLabel* permissionAllowed_ = nullptr;
    QPushButton* permissionPrimary_ = nullptr;
    QPushButton* permissionOpenSettings_ = nullptr;
    QWidget* dangerZone_ = nullptr;
};

} // namespace quillo
