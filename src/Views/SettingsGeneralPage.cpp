#include "Views/SettingsGeneralPage.h"

#include "Models/CorrectionModels.h"
#include "Models/CorrectionTriggerActivation.h"
#include "Models/CorrectionTriggerPreference.h"
#include "Models/PhysicalKeyboardLayout.h"
#include "Platform/UserDefaults.h"
#include "Services/ConnectivityService.h"
#include "Services/KeyboardPreferences.h"
#include "Services/QuilloAuthService.h"
#include "Services/QuilloCloudService.h"
#include "Support/InputPermissionCoordinator.h"
#include "Views/AccountDeletionSection.h"
#include "Views/AccountSignInForm.h"
#include "Views/CreditPacksView.h"
#include "Views/LaunchAtLoginSettings.h"
#include "Views/SettingsControls.h"
#include "Views/SettingsWindowRules.h"
#include "Views/TriggerCommandField.h"
#include "Views/TriggerCommandLine.h"
#include "Views/TriggerKeyDetection.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include <qcoro/qcorotask.h>

namespace quillo {

namespace {

using namespace SettingsControls;

const QString autoCorrectKey = QStringLiteral("autoCorrect");
const QString showNotificationsKey = QStringLiteral("showNotifications");
const QString previewDurationKey = QStringLiteral("correctionPreviewDuration");

struct Option {
    QString title;
    QString raw;
};
// The option to show for what is stored (absent included), after the setting's own parsing.
using SelectedRaw = std::function<QString(const std::optional<QString>& stored)>;

// Runs `apply` now and whenever `key` is written, by this window or anyone else.
void followKey(UserDefaults& defaults, const QString& key, QObject* context, const std::function<void()>& apply) {
    apply();
    QObject::connect(&defaults, &UserDefaults::changed, context, [key, apply](const QString& changed) {
        if (changed == key) apply();
    });
}

QCheckBox* boundSwitch(UserDefaults& defaults, const QString& title, const QString& key, bool fallback,
                       QWidget* parent) {
    auto* box = new QCheckBox(title, parent);
    box->setObjectName(key);
    followKey(defaults, key, box, [box, &defaults, key, fallback] {
        const QSignalBlocker block(box);
        box->setChecked(defaults.boolean(key, fallback));
    });
    QObject::connect(box, &QCheckBox::toggled, box, [&defaults, key](bool on) { defaults.setBoolean(key, on); });
    return box;
}

// A segmented control: exclusive buttons in a row, one per option ("<key>/<raw>").
QWidget* boundSegments(UserDefaults& defaults, const QString& key, const QList<Option>& options,
                       const SelectedRaw& selected, QWidget* parent) {
    auto* row = new QWidget(parent);
    row->setObjectName(key);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* group = new QButtonGroup(row);
    group->setExclusive(true);
    for (const Option& option : options) {
        auto* button = new QToolButton(row);
        button->setObjectName(key + QLatin1Char('/') + option.raw);
        button->setText(option.title);
        button->setCheckable(true);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setMinimumWidth(72);
        group->addButton(button);
        layout->addWidget(button);
        QObject::connect(button, &QToolButton::clicked, button,
                         [&defaults, key, raw = option.raw] { defaults.setString(key, raw); });
    }
    followKey(defaults, key, row, [group, &defaults, key, selected] {
        const QString raw = selected(defaults.string(key));
        for (QAbstractButton* button : group->buttons()) {
            const QSignalBlocker block(button);
            button->setChecked(button->objectName() == key + QLatin1Char('/') + raw);
        }
    });
    return row;
}

QComboBox* boundMenu(UserDefaults& defaults, const QString& key, const QList<Option>& options,
                     const SelectedRaw& selected, QWidget* parent) {
    auto* menu = new QComboBox(parent);
    menu->setObjectName(key);
    for (const Option& option : options) menu->addItem(option.title, option.raw);
    followKey(defaults, key, menu, [menu, &defaults, key, selected] {
        const QSignalBlocker block(menu);
        menu->setCurrentIndex(std::max(0, menu->findData(selected(defaults.string(key)))));
    });
    QObject::connect(menu, &QComboBox::activated, menu,
                     [menu, &defaults, key](int index) { defaults.setString(key, menu->itemData(index).toString()); });
    return menu;
}

// Radio buttons ("<key>/<raw>") laid out by the caller.
void boundRadios(UserDefaults& defaults, const QString& key, const QList<QRadioButton*>& buttons,
                 const QStringList& raws, const SelectedRaw& selected, QWidget* owner) {
    auto* group = new QButtonGroup(owner);
    group->setExclusive(true);
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        QRadioButton* button = buttons[i];
        button->setObjectName(key + QLatin1Char('/') + raws[i]);
        group->addButton(button);
        QObject::connect(button, &QRadioButton::clicked, button,
                         [&defaults, key, raw = raws[i]] { defaults.setString(key, raw); });
    }
    followKey(defaults, key, owner, [buttons, raws, &defaults, key, selected] {
        const QString raw = selected(defaults.string(key));
        for (qsizetype i = 0; i < buttons.size(); ++i) {
            const QSignalBlocker block(buttons[i]);
            buttons[i]->setChecked(raws[i] == raw);
        }
    });
}

QHBoxLayout* labeledRow(const QString& title, QWidget* control, QWidget* parent) {
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(title, parent));
    row->addStretch(1);
    row->addWidget(control);
    return row;
}

} // namespace

SettingsGeneralPage::SettingsGeneralPage(const SettingsDependencies& dependencies, TriggerKeyDetection& detection,
                                         QWidget* parent)
    : QWidget(parent), deps_(dependencies), detection_(detection) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 16, 20, 20);
    column->setSpacing(18);
    column->addWidget(buildFeedbackSection());
    column->addWidget(buildAccountSection());
    column->addWidget(buildCreditSection());
    column->addWidget(buildEngineSection());
    column->addWidget(buildConnectionLine());
    column->addWidget(buildPrivacySection());
    column->addWidget(buildLanguageSection());
    column->addWidget(buildKeyboardSection());
    column->addWidget(buildPermissionSection());
    column->addWidget(buildOnboardingSection());
    column->addWidget(buildDangerZone());
    column->addStretch(1);

    connect(&deps_.auth, &QuilloSessionProviding::sessionChanged, this, [this] {
        refreshAccount();
        refreshBalance();
        // A new sign-in's balance is not known yet: ask for it rather than show "..." forever.
        if (deps_.auth.isSignedIn()) QCoro::connect(deps_.cloud.refreshAccount(deps_.auth), this, [] {});
    });
    for (auto signal : {&QuilloAuthService::authNoticeChanged, &QuilloAuthService::isLoadingChanged})
        connect(&deps_.auth, signal, this, &SettingsGeneralPage::refreshAccount);
    for (auto signal : {&QuilloCloudService::accountChanged, &QuilloCloudService::isRefreshingAccountChanged,
                        &QuilloCloudService::loadingErrorChanged})
        connect(&deps_.cloud, signal, this, &SettingsGeneralPage::refreshBalance);
    connect(&deps_.connectivity, &ConnectivityService::changed, this, &SettingsGeneralPage::refreshConnection);
    connect(&detection_, &TriggerKeyDetection::changed, this, &SettingsGeneralPage::refreshTrigger);
    connect(&deps_.permissions, &InputPermissionCoordinator::stateChanged, this,
            &SettingsGeneralPage::refreshPermissions);
    connect(&deps_.permissions, &InputPermissionCoordinator::attemptedRequestsChanged, this,
            &SettingsGeneralPage::refreshPermissions);
    connect(&deps_.launchAtLogin, &LaunchAtLoginSettings::statusChanged, this,
            &SettingsGeneralPage::refreshLaunchAtLogin);
    connect(&deps_.launchAtLogin, &LaunchAtLoginSettings::errorMessageChanged, this,
            &SettingsGeneralPage::refreshLaunchAtLogin);
    connect(&deps_.defaults, &UserDefaults::changed, this, [this](const QString& key) {
        if (key == KeyboardSettingsKeys::triggerPreference || key == KeyboardSettingsKeys::triggerKey ||
            key == KeyboardSettingsKeys::triggerActivation)
            refreshTrigger();
    });
    refreshAll();
}

void SettingsGeneralPage::refreshAll() {
    refreshLaunchAtLogin();
    refreshAccount();
    refreshBalance();
    refreshConnection();
    refreshTrigger();
    refreshPermissions();
    refreshWritingMode();
}

QString SettingsGeneralPage::triggerHelpText() const {
    const auto trigger = CorrectionTriggerPreference::storedValue(
        deps_.defaults.string(KeyboardSettingsKeys::triggerPreference, QString()),
        deps_.defaults.string(KeyboardSettingsKeys::triggerKey, QStringLiteral("functionGlobe")));
    const auto activation = CorrectionTriggerActivations::storedValue(
        deps_.defaults.string(KeyboardSettingsKeys::triggerActivation, QStringLiteral("singlePress")));
    return SettingsWindowRules::triggerHelpText(detection_.message(), trigger, activation);
}

QString SettingsGeneralPage::balanceText() const {
    std::optional<double> credits;
    if (const auto& account = deps_.cloud.account()) credits = account->availableCredits;
    return SettingsWindowRules::balanceText(deps_.auth.isSignedIn(), credits);
}

// Sections.

QWidget* SettingsGeneralPage::buildFeedbackSection() {
    QVBoxLayout* body = nullptr;
    QWidget* section = SettingsControls::section(QString(), this, &body);
    UserDefaults& defaults = deps_.defaults;
    body->addWidget(boundSwitch(defaults, QStringLiteral("Automatic correction"), autoCorrectKey, true, section));
    body->addWidget(boundSwitch(defaults, QStringLiteral("Correction preview"), showNotificationsKey, true, section));

    QList<Option> presentations;
    for (auto presentation : CompactCorrectionPresentations::allCases)
        presentations.append({CompactCorrectionPresentations::title(presentation),
                              CompactCorrectionPresentations::rawValue(presentation)});
    body->addLayout(labeledRow(QStringLiteral("Compact feedback"),
                               boundSegments(
                                   defaults, CorrectionSettingsKeys::compactPresentation, presentations,
                                   [](const std::optional<QString>& stored) {
                                       return CompactCorrectionPresentations::rawValue(
                                           CompactCorrectionPresentations::storedValue(stored));
                                   },
                                   section),
                               section));

    auto* durationRow = new QHBoxLayout;
    durationRow->addWidget(new QLabel(QStringLiteral("Preview duration"), section));
    auto* slider = new QSlider(Qt::Horizontal, section);
    slider->setObjectName(previewDurationKey);
    slider->setRange(SettingsWindowRules::minimumPreviewDuration, SettingsWindowRules::maximumPreviewDuration);
    slider->setSingleStep(1);
    slider->setPageStep(5);
    slider->setAccessibleName(QStringLiteral("Preview duration"));
    durationRow->addWidget(slider, 1);
    auto* durationValue = new QLabel(section);
    durationValue->setObjectName(QStringLiteral("previewDurationValue"));
    durationValue->setMinimumWidth(40);
    durationValue->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    durationRow->addWidget(durationValue);
    body->addLayout(durationRow);
    followKey(defaults, previewDurationKey, slider, [slider, durationValue, &defaults] {
        const QSignalBlocker block(slider);
        slider->setValue(SettingsWindowRules::previewDurationPosition(defaults.number(previewDurationKey)));
        durationValue->setText(SettingsWindowRules::previewDurationText(slider->value()));
    });
    connect(slider, &QSlider::valueChanged, slider, [&defaults, durationValue](int seconds) {
        durationValue->setText(SettingsWindowRules::previewDurationText(seconds));
        defaults.setNumber(previewDurationKey, double(seconds));
    });

    const bool testBuild = deps_.testBuild.value_or(false);
    if (testBuild) {
        auto* note = new QWidget(section);
        note->setObjectName(QStringLiteral("testBuildNote"));
        auto* row = new QHBoxLayout(note);
        row->setContentsMargins(0, 0, 0, 0);
        row->addWidget(symbolLabel(QuilloSymbol::testtube, QuilloPalette::orange, note));
        row->addWidget(secondaryLabel(SettingsWindowRules::testBuildNote, note), 1);
        body->addWidget(note);
    } else {
        launchAtLogin_ = new QCheckBox(QStringLiteral("Launch at login"), section);
        launchAtLogin_->setObjectName(QStringLiteral("launchAtLogin"));
        connect(launchAtLogin_, &QCheckBox::toggled, this, [this](bool on) { deps_.launchAtLogin.setEnabled(on); });
        body->addWidget(launchAtLogin_);
        launchAtLoginMessage_ = secondaryLabel(QString(), section);
        launchAtLoginMessage_->setObjectName(QStringLiteral("launchAtLoginMessage"));
        body->addWidget(launchAtLoginMessage_);
    }
    return section;
}

QWidget* SettingsGeneralPage::buildAccountSection() {
    QVBoxLayout* body = nullptr;
    QWidget* section = SettingsControls::section(QStringLiteral("Account"), this, &body);
    signInForm_ = new AccountSignInForm(deps_.auth, AccountSignInForm::Mode::signIn, section);
    signInForm_->setObjectName(QStringLiteral("signInForm"));
    body->addWidget(signInForm_);

    auto* identity = new QWidget(section);
    identity->setObjectName(QStringLiteral("signedInIdentity"));
    auto* row = new QHBoxLayout(identity);
    row->setContentsMargins(0, 0, 0, 0);
    auto* text = new QVBoxLayout;
    text->setSpacing(0);
    text->addWidget(secondaryLabel(QStringLiteral("Signed in as"), identity));
    signedInEmail_ = new QLabel(identity);
    signedInEmail_->setObjectName(QStringLiteral("signedInEmail"));
    signedInEmail_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text->addWidget(signedInEmail_);
    row->addLayout(text, 1);
    signOut_ = new QPushButton(QStringLiteral("Sign out"), identity);
    signOut_->setObjectName(QStringLiteral("signOut"));
    row->addWidget(signOut_, 0, Qt::AlignVCenter);
    body->addWidget(identity);
    accountNotice_ = secondaryLabel(QString(), section);
    accountNotice_->setObjectName(QStringLiteral("accountNotice"));
    body->addWidget(accountNotice_);

    connect(signOut_, &QPushButton::clicked, this, [this] {
        if (deps_.auth.isLoading()) return;
        QCoro::connect(deps_.auth.signOut(), this, [] {});
    });
    return section;
}

QWidget* SettingsGeneralPage::buildCreditSection() {
    QVBoxLayout* body = nullptr;
    QWidget* section = SettingsControls::section(QStringLiteral("Credits"), this, &body);
    auto* row = new QHBoxLayout;
    row->addWidget(symbolLabel(QuilloSymbol::creditcard, QuilloPalette::grey, section));
    row->addWidget(new QLabel(QStringLiteral("Balance"), section));
    row->addStretch(1);
    balanceRefreshing_ = new QProgressBar(section);
    balanceRefreshing_->setObjectName(QStringLiteral("balanceRefreshing"));
    balanceRefreshing_->setRange(0, 0);
    balanceRefreshing_->setFixedSize(60, 6);
    balanceRefreshing_->setTextVisible(false);
    balanceRefreshing_->setAccessibleName(QStringLiteral("Refreshing balance"));
    row->addWidget(balanceRefreshing_);
    balanceValue_ = titleLabel(QString(), section);
    balanceValue_->setObjectName(QStringLiteral("balanceValue"));
    row->addWidget(balanceValue_);
    refreshBalance_ = new QToolButton(section);
    refreshBalance_->setObjectName(QStringLiteral("refreshBalance"));
    refreshBalance_->setText(QStringLiteral("Refresh"));
    refreshBalance_->setToolTip(QStringLiteral("Refresh balance"));
    refreshBalance_->setAccessibleName(QStringLiteral("Refresh balance"));
    row->addWidget(refreshBalance_);
    body->addLayout(row);
    cloudError_ = new QLabel(section);
    cloudError_->setObjectName(QStringLiteral("cloudError"));
    cloudError_->setWordWrap(true);
    cloudError_->setStyleSheet(QStringLiteral("color: #FF3B30;"));
    body->addWidget(cloudError_);
    creditPacks_ = new CreditPacksView(deps_.payment, deps_.auth, deps_.cloud, deps_.creditPurchase, section);
    creditPacks_->setObjectName(QStringLiteral("creditPacks"));
    body->addWidget(creditPacks_);

    connect(refreshBalance_, &QToolButton::clicked, this,
            [this] { QCoro::connect(deps_.cloud.refreshAccount(deps_.auth), this, [] {}); });
    return section;
}

QWidget* SettingsGeneralPage::buildEngineSection() {
    QVBoxLayout* body = nullptr;
    QWidget* section = SettingsControls::section(QStringLiteral("Engine"), this, &body);
    UserDefaults& defaults = deps_.defaults;

    body->addWidget(new QLabel(QStringLiteral("Speed"), section));
    QList<QRadioButton*> speeds;
    QStringList speedRaws;
    for (CloudCorrectionModel model : CloudCorrectionModels::allCases) {
        auto* row = new QHBoxLayout;
        auto* radio = new QRadioButton(CloudCorrectionModels::title(model), section);
        row->addWidget(radio);
        for (int i = 0; i < CloudCorrectionModels::speedBoltCount(model); ++i)
            row->addWidget(symbolLabel(QuilloSymbol::boltFill, QuilloPalette::purple, section, 12));
        row->addStretch(1);
        if (const auto note = CloudCorrectionModels::relativeCreditUsageText(model)) {
            auto* noteLabel = secondaryLabel(*note, section);
            noteLabel->setWordWrap(false);
            noteLabel->setObjectName(QStringLiteral("creditNote/") + CloudCorrectionModels::rawValue(model));
            row->addWidget(noteLabel);
        }
        body->addLayout(row);
        speeds.append(radio);
        speedRaws.append(CloudCorrectionModels::rawValue(model));
    }
    boundRadios(
        defaults, CorrectionSettingsKeys::cloudModel, speeds, speedRaws,
        [](const std::optional<QString>& stored) {
            return CloudCorrectionModels::rawValue(CloudCorrectionModels::storedValue(stored));
        },
        section);

    body->addWidget(separator(section));
    body->addWidget(new QLabel(QStringLiteral("Correction mode"), section));
    QList<QRadioButton*> modes;
    QStringList modeRaws;
    auto* modeRow = new QHBoxLayout;
    for (CorrectionWritingMode mode : CorrectionWritingModes::allCases) {
        auto* radio = new QRadioButton(CorrectionWritingModes::title(mode), section);
        modeRow->addWidget(radio);
        modes.append(radio);
        modeRaws.append(CorrectionWritingModes::rawValue(mode));
    }
    modeRow->addStretch(1);
    body->addLayout(modeRow);
    boundRadios(
        defaults, CorrectionSettingsKeys::writingMode, modes, modeRaws,
        [](const std::optional<QString>& stored) {
            return CorrectionWritingModes::rawValue(CorrectionWritingModes::storedValue(stored));
        },
        section);
    writingModeHelp_ = secondaryLabel(QString(), section);
    writingModeHelp_->setObjectName(QStringLiteral("writingModeHelp"));
    body->addWidget(writingModeHelp_);
    writingModeWarningRow_ = new QWidget(section);
    auto* warningRow = new QHBoxLayout(writingModeWarningRow_);
    warningRow->setContentsMargins(0, 0, 0, 0);
    warningRow->addWidget(
        symbolLabel(QuilloSymbol::exclamationmarkTriangleFill, QuilloPalette::orange, writingModeWarningRow_, 14), 0,
        Qt::AlignTop);
    writingModeWarning_ = new QLabel(writingModeWarningRow_);
    writingModeWarning_->setObjectName(QStringLiteral("writingModeWarning"));
    writingModeWarning_->setWordWrap(true);
    warningRow->addWidget(writingModeWarning_, 1);
    body->addWidget(writingModeWarningRow_);
    connect(&defaults, &UserDefaults::changed, this, [this](const QString& key) {
        if (key == CorrectionSettingsKeys::writingMode) refreshWritingMode();
    });
    return section;
}

QWidget* SettingsGeneralPage::buildConnectionLine() {
    auto* line = new QWidget(this);
    line->setObjectName(QStringLiteral("connectionLine"));
    auto* row = new QHBoxLayout(line);
    row->setContentsMargins(14, 0, 14, 0);
    connectionIcon_ = new QLabel(line);
    connectionIcon_->setFixedSize(18, 18);
    row->addWidget(connectionIcon_);
    connectionText_ = new QLabel(line);
    connectionText_->setObjectName(QStringLiteral("connectionText"));
    row->addWidget(connectionText_);
    row->addStretch(1);
    connectionDetail_ = secondaryLabel(QStringLiteral("Internet required"), line);
    connectionDetail_->setObjectName(QStringLiteral("connectionDetail"));
    connectionDetail_->setWordWrap(false);
    row->addWidget(connectionDetail_);
    return line;
}

QWidget* SettingsGeneralPage::buildPrivacySection() {
    auto* group = new QWidget(this);
    auto* column = new QVBoxLayout(group);
    column->setContentsMargins(0, 0, 0, 0);
    privacyToggle_ = new DisclosureButton(QStringLiteral("Privacy"), QStringLiteral("Privacy"), group);
    privacyToggle_->setObjectName(QStringLiteral("privacyToggle"));
    privacyToggle_->setIcon(QuilloSymbols::icon(QuilloSymbol::lockFill, QuilloPalette::grey));
    privacyToggle_->setFlat(true);
    privacyToggle_->setStyleSheet(QStringLiteral("QPushButton { text-align: left; font-weight: bold; }"));
    column->addWidget(privacyToggle_, 0, Qt::AlignLeft);
    privacyText_ = secondaryLabel(SettingsWindowRules::privacyText, group);
    privacyText_->setObjectName(QStringLiteral("privacyText"));
    privacyText_->setContentsMargins(14, 0, 14, 0);
    privacyText_->hide();
    column->addWidget(privacyText_);
    connect(privacyToggle_, &QPushButton::clicked, this, [this] {
        privacyToggle_->setExpanded(!privacyToggle_->isExpanded());
        privacyText_->setVisible(privacyToggle_->isExpanded());
    });
    return group;
}

QWidget* SettingsGeneralPage::buildLanguageSection() {
    QVBoxLayout* body = nullptr;
    QWidget* section = SettingsControls::section(QStringLiteral("Language"), this, &body);
    auto* row = new QHBoxLayout;
    row->addWidget(symbolLabel(QuilloSymbol::globe, QuilloPalette::grey, section));
    row->addWidget(new QLabel(QStringLiteral("Smart language detection"), section), 1);
    body->addLayout(row);
    return section;
}

QWidget* SettingsGeneralPage::buildKeyboardSection() {
    QVBoxLayout* body = nullptr;
    QWidget* section = SettingsControls::section(QStringLiteral("Keyboard"), this, &body);
    UserDefaults& defaults = deps_.defaults;

    auto* triggerRow = new QHBoxLayout;
    triggerRow->addWidget(new QLabel(QStringLiteral("Trigger"), section));
    triggerRow->addStretch(1);
    triggerTitle_ = titleLabel(QString(), section);
    triggerTitle_->setObjectName(QStringLiteral("triggerTitle"));
    triggerRow->addWidget(triggerTitle_);
    detectTrigger_ = new QPushButton(section);
    detectTrigger_->setObjectName(QStringLiteral("detectTrigger"));
    // Clicking it must not itself be taken for the trigger: the mouse has no key event.
    detectTrigger_->setFocusPolicy(Qt::NoFocus);
    triggerRow->addWidget(detectTrigger_);
    body->addLayout(triggerRow);
    triggerHelp_ = secondaryLabel(QString(), section);
    triggerHelp_->setObjectName(QStringLiteral("triggerHelp"));
    body->addWidget(triggerHelp_);
    triggerCommand_ = new TriggerCommandField(TriggerCommandLine::current(), section);
    body->addWidget(triggerCommand_);
    connect(detectTrigger_, &QPushButton::clicked, this, [this] {
        if (detection_.isDetecting()) detection_.stop(false);
        else detection_.start();
    });

    QList<Option> activations;
    for (auto activation : CorrectionTriggerActivations::allCases)
        activations.append(
            {CorrectionTriggerActivations::title(activation), CorrectionTriggerActivations::rawValue(activation)});
    body->addLayout(labeledRow(QStringLiteral("Activation"),
                               boundMenu(
                                   defaults, KeyboardSettingsKeys::triggerActivation, activations,
                                   [](const std::optional<QString>& stored) {
                                       return CorrectionTriggerActivations::rawValue(
                                           CorrectionTriggerActivations::storedValue(stored.value_or(QString())));
                                   },
                                   section),
                               section));

    QList<Option> layouts;
    for (auto layout :
         {PhysicalKeyboardLayout::automatic, PhysicalKeyboardLayout::qwerty, PhysicalKeyboardLayout::azerty})
        layouts.append({PhysicalKeyboardLayouts::title(layout), PhysicalKeyboardLayouts::rawValue(layout)});
    body->addLayout(labeledRow(QStringLiteral("Physical layout"),
                               boundMenu(
                                   defaults, KeyboardSettingsKeys::physicalKeyboardLayout, layouts,
                                   [](const std::optional<QString>& stored) {
                                       return PhysicalKeyboardLayouts::rawValue(
                                           PhysicalKeyboardLayouts::storedValue(stored));
                                   },
                                   section),
                               section));
    return section;
}

QWidget* SettingsGeneralPage::buildPermissionSection() {
    QVBoxLayout* body = nullptr;
    QWidget* section = SettingsControls::section(QStringLiteral("Input Control Permissions"), this, &body);
    // One kind today; the row is built for it.
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Keyboard control and accessibility"), section), 1);
    permissionAllowed_ = new QLabel(section);
    permissionAllowed_->setObjectName(QStringLiteral("permissionStatus"));
    row->addWidget(permissionAllowed_);
    permissionPrimary_ = new QPushButton(section);
    permissionPrimary_->setObjectName(QStringLiteral("permissionPrimary"));
    row->addWidget(permissionPrimary_);
    permissionOpenSettings_ = new QPushButton(QStringLiteral("Open Settings"), section);
    permissionOpenSettings_->setObjectName(QStringLiteral("permissionOpenSettings"));
    row->addWidget(permissionOpenSettings_);
    body->addLayout(row);
    body->addWidget(new QLabel(QStringLiteral("How this permission is used"), section));
    auto* usage = secondaryLabel(SettingsWindowRules::permissionUsage, section);
    usage->setObjectName(QStringLiteral("permissionUsage"));
    body->addWidget(usage);

    connect(permissionPrimary_, &QPushButton::clicked, this,
            [this] { deps_.permissions.performPrimaryAction(InputPermissionKind::accessibility); });
    connect(permissionOpenSettings_, &QPushButton::clicked, this,
            [this] { deps_.permissions.openSettings(InputPermissionKind::accessibility); });
    return section;
}

QWidget* SettingsGeneralPage::buildOnboardingSection() {
    QVBoxLayout* body = nullptr;
    QWidget* section = SettingsControls::section(QStringLiteral("Onboarding"), this, &body);
    auto* run = new QPushButton(QStringLiteral("Run onboarding again"), section);
    run->setObjectName(QStringLiteral("runOnboardingAgain"));
    body->addWidget(run, 0, Qt::AlignLeft);
    connect(run, &QPushButton::clicked, this, [this] {
        if (deps_.restartOnboarding) deps_.restartOnboarding();
    });
    section->setVisible(static_cast<bool>(deps_.restartOnboarding));
    return section;
}

QWidget* SettingsGeneralPage::buildDangerZone() {
    QVBoxLayout* body = nullptr;
    dangerZone_ = SettingsControls::section(QStringLiteral("Danger Zone"), this, &body);
    dangerZone_->setObjectName(QStringLiteral("dangerZone"));
    body->addWidget(new AccountDeletionSection(deps_.auth, dangerZone_));
    return dangerZone_;
}

// Refreshing.

void SettingsGeneralPage::refreshLaunchAtLogin() {
    if (!launchAtLogin_) return;
    LaunchAtLoginSettings& settings = deps_.launchAtLogin;
    {
        const QSignalBlocker block(launchAtLogin_);
        launchAtLogin_->setChecked(settings.isEnabled());
    }
    QString message = settings.errorMessage().value_or(QString());
    if (message.isEmpty() && settings.requiresApproval()) message = LaunchAtLoginSettings::approvalMessage;
    launchAtLoginMessage_->setText(message);
    launchAtLoginMessage_->setVisible(!message.isEmpty());
}

void SettingsGeneralPage::refreshAccount() {
    QuilloAuthService& auth = deps_.auth;
    const bool signedIn = auth.isSignedIn();
    signInForm_->setVisible(!signedIn);
    signedInEmail_->parentWidget()->setVisible(signedIn);
    signedInEmail_->setText(auth.displayEmail());
    signOut_->setEnabled(!auth.isLoading());
    // Signed out, the form shows the notice itself.
    const QString notice = signedIn ? auth.authNotice().value_or(QString()) : QString();
    accountNotice_->setText(notice);
    accountNotice_->setVisible(!notice.isEmpty());
    dangerZone_->setVisible(signedIn);
}

void SettingsGeneralPage::refreshBalance() {
    const bool signedIn = deps_.auth.isSignedIn();
    const bool refreshing = deps_.cloud.isRefreshingAccount();
    balanceValue_->setText(balanceText());
    balanceRefreshing_->setVisible(signedIn && refreshing);
    refreshBalance_->setEnabled(signedIn && !refreshing);
    const QString error = deps_.cloud.loadingError().value_or(QString());
    cloudError_->setText(error);
    cloudError_->setVisible(!error.isEmpty());
}

void SettingsGeneralPage::refreshConnection() {
    const bool online = deps_.connectivity.isOnline();
    connectionIcon_->setPixmap(
        QuilloSymbols::pixmap(online ? QuilloSymbol::wifi : QuilloSymbol::wifiSlash, QSize(16, 16),
                              online ? QuilloPalette::green : QuilloPalette::orange, devicePixelRatioF()));
    connectionText_->setText(online ? QStringLiteral("Connection available")
                                    : QStringLiteral("Connection unavailable"));
    connectionDetail_->setVisible(!online);
}

void SettingsGeneralPage::refreshTrigger() {
    const auto trigger = CorrectionTriggerPreference::storedValue(
        deps_.defaults.string(KeyboardSettingsKeys::triggerPreference, QString()),
        deps_.defaults.string(KeyboardSettingsKeys::triggerKey, QStringLiteral("functionGlobe")));
    triggerTitle_->setText(trigger.title);
    detectTrigger_->setText(detection_.isDetecting() ? QStringLiteral("Cancel") : QStringLiteral("Detect key"));
    triggerHelp_->setText(triggerHelpText());
    triggerCommand_->setDesktopBinding(deps_.desktopBindingLine ? deps_.desktopBindingLine(trigger) : std::nullopt);
}

void SettingsGeneralPage::refreshPermissions() {
    const auto kind = InputPermissionKind::accessibility;
    const auto next = deps_.permissions.nextAction(kind);
    const bool granted = next == InputPermissionNextAction::none;
    const bool canOpenSettings = deps_.permissions.canOpenSettings(kind);
    permissionAllowed_->setText(granted ? QStringLiteral("Allowed") : QStringLiteral("Not allowed"));
    permissionAllowed_->setStyleSheet(granted ? QStringLiteral("color: #34C759;") : QStringLiteral("color: #FF9500;"));
    // The next step's button ("Allow", then "Open Settings"), and the settings beside "Allow";
    // a desktop without a settings page for it gets no button that cannot work.
    permissionPrimary_->setVisible(!granted && (next == InputPermissionNextAction::request || canOpenSettings));
    permissionPrimary_->setText(InputPermissionNextActions::title(next).value_or(QString()));
    permissionOpenSettings_->setVisible(!granted && next == InputPermissionNextAction::request && canOpenSettings);
}

void SettingsGeneralPage::refreshWritingMode() {
    const auto mode = CorrectionWritingModes::storedValue(deps_.defaults.string(CorrectionSettingsKeys::writingMode));
    writingModeHelp_->setText(CorrectionWritingModes::helpText(mode));
    const auto warning = CorrectionWritingModes::additionalInformationText(mode);
    writingModeWarning_->setText(warning.value_or(QString()));
    writingModeWarningRow_->setVisible(warning.has_value());
}

} // namespace quillo
