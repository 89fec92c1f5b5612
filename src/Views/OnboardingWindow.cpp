#include "Views/OnboardingWindow.h"

#include "Models/CorrectionTriggerActivation.h"
#include "Platform/UserDefaults.h"
#include "Services/KeyboardPreferences.h"
#include "Services/QuilloAuthService.h"
#include "Services/QuilloUpdater.h"
#include "Support/InputPermissionCoordinator.h"
#include "Views/AccountSignInForm.h"
#include "Views/LaunchAtLoginSettings.h"
#include "Views/OnboardingArtwork.h"
#include "Views/OnboardingLayout.h"
#include "Views/OnboardingShortcutDemoController.h"
#include "Views/QuilloSymbol.h"
#include "Views/StartupLoadingRules.h"
#include "Views/TriggerCommandField.h"
#include "Views/TriggerCommandLine.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCursor>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <qcoro/qcorotask.h>

namespace quillo {

namespace {

const QString accent = QStringLiteral("#6d4ad8");

// The secondary text colour for a style sheet: Qt 6.4 style sheets know no placeholder-text role.
QString secondaryColor(const QWidget* widget) {
    const QColor color = widget->palette().color(QPalette::PlaceholderText);
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alpha());
}

QLabel* secondaryLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QLabel* symbolLabel(QuilloSymbol symbol, const QColor& tint, int side, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(QuilloSymbols::pixmap(symbol, QSize(side, side), tint, parent->devicePixelRatioF()));
    label->setFixedSize(side + 2, side + 2);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QFrame* card(QWidget* parent, const char* name = "card") {
    auto* frame = new QFrame(parent);
    frame->setObjectName(QLatin1String(name));
    frame->setStyleSheet(QStringLiteral("QFrame#%1 { background: palette(alternate-base); border-radius: 12px; }")
                             .arg(QLatin1String(name)));
    return frame;
}

QFont scaledFont(const QFont& base, qreal factor, bool bold) {
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * factor);
    font.setBold(bold);
    return font;
}

// One line of a feature or privacy list: a symbol, a bold title and a sentence under it.
QWidget* featureRow(QuilloSymbol symbol, const QString& title, const QString& detail, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 4, 0, 4);
    layout->setSpacing(12);
    layout->addWidget(symbolLabel(symbol, QColor(accent), 22, row), 0, Qt::AlignTop);
    auto* text = new QVBoxLayout;
    text->setSpacing(1);
    auto* heading = new QLabel(title, row);
    heading->setFont(scaledFont(heading->font(), 1.0, true));
    text->addWidget(heading);
    text->addWidget(secondaryLabel(detail, row));
    layout->addLayout(text, 1);
    return row;
}

struct Feature {
    QuilloSymbol symbol;
    QString title;
    QString detail;
};

// A card listing features or promises, one row each.
QFrame* featureList(const char* name, std::initializer_list<Feature> features, QWidget* parent) {
    auto* list = card(parent, name);
    auto* column = new QVBoxLayout(list);
    column->setContentsMargins(18, 12, 18, 12);
    for (const Feature& feature : features)
        column->addWidget(featureRow(feature.symbol, feature.title, feature.detail, list));
    return list;
}

QString permissionTitle(InputPermissionKind kind) {
    switch (kind) {
    case InputPermissionKind::accessibility: return QStringLiteral("Keyboard control and accessibility");
    }
    return {};
}

const QString fieldStyle = QStringLiteral(
    "QPlainTextEdit { background: palette(base); border: 1px solid palette(mid); border-radius: 8px; padding: 6px; }");
const QString fieldSucceededStyle = QStringLiteral(
    "QPlainTextEdit { background: palette(base); border: 2px solid #34C759; border-radius: 8px; padding: 5px; }");

} // namespace

struct OnboardingWindow::Page {
    OnboardingStep step;
    QWidget* widget = nullptr;
    QVBoxLayout* body = nullptr;
};

OnboardingWindow::OnboardingWindow(Dependencies dependencies, bool canCancel, QWidget* parent)
    : QWidget(parent, Qt::Window), deps_(std::move(dependencies)), canCancel_(canCancel) {
    permissions_ = std::make_unique<InputPermissionCoordinator>(deps_.permission, deps_.workspace, deps_.clock);
    demo_ = std::make_unique<OnboardingShortcutDemoController>(deps_.defaults, deps_.keyMonitor, deps_.clock);

    setWindowTitle(windowTitleText);
    setWindowIcon(QuilloSymbols::icon(QuilloSymbol::appIcon));
    setFixedSize(width, height);

    auto* root = new QHBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(buildSidebar());

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::VLine);
    divider->setStyleSheet(QStringLiteral("color: palette(midlight);"));
    root->addWidget(divider);

    auto* main = new QVBoxLayout;
    main->setContentsMargins(0, 0, 0, 0);
    main->setSpacing(0);
    pages_ = new QStackedWidget(this);
    pages_->setObjectName(QStringLiteral("pages"));
    main->addWidget(pages_, 1);
    main->addWidget(buildFooter());
    root->addLayout(main, 1);

    buildWelcome();
    buildPermissions();
    buildAccount();
    buildShortcut();
    buildSelection();
    buildPrivacy();
    buildReady();

    connect(permissions_.get(), &InputPermissionCoordinator::stateChanged, this, &OnboardingWindow::refreshPermissions);
    connect(permissions_.get(), &InputPermissionCoordinator::attemptedRequestsChanged, this,
            &OnboardingWindow::refreshPermissions);
    connect(&deps_.auth, &QuilloSessionProviding::sessionChanged, this, &OnboardingWindow::refreshAccount);
    connect(&deps_.auth, &QuilloAuthService::isLoadingChanged, this, &OnboardingWindow::refreshAccount);

    auto* demo = demo_.get();
    for (auto signal :
         {&OnboardingShortcutDemoController::hasChosenTriggerChanged,
          &OnboardingShortcutDemoController::isCapturingChanged, &OnboardingShortcutDemoController::triggerChanged})
        connect(demo, signal, this, &OnboardingWindow::refreshTrigger);
    for (auto signal : {&OnboardingShortcutDemoController::statusMessageChanged,
                        &OnboardingShortcutDemoController::hasSucceededChanged,
                        &OnboardingShortcutDemoController::isCapturingChanged})
        connect(demo, signal, this, &OnboardingWindow::refreshPractice);
    connect(demo, &OnboardingShortcutDemoController::demoTextChanged, this, &OnboardingWindow::syncFieldFromDemo);
    connect(demo, &OnboardingShortcutDemoController::selectedRangeChanged, this,
            &OnboardingWindow::syncSelectionFromDemo);
    connect(&deps_.launchAtLogin, &LaunchAtLoginSettings::statusChanged, this, &OnboardingWindow::refreshReady);
    connect(&deps_.launchAtLogin, &LaunchAtLoginSettings::errorMessageChanged, this, &OnboardingWindow::refreshReady);
    connect(&deps_.defaults, &UserDefaults::changed, this, [this](const QString& key) {
        if (key == KeyboardSettingsKeys::triggerPreference || key == KeyboardSettingsKeys::triggerActivation ||
            key == KeyboardSettingsKeys::triggerKey) {
            refreshTrigger();
            refreshReady();
        }
    });
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive) applicationBecameActive();
        });
    }

    refreshPermissions();
    refreshAccount();
    refreshTrigger();
    refreshPractice();
    refreshReady();
    enterStep();
}

// The controller, and with it the monitor installation, goes with the window.
OnboardingWindow::~OnboardingWindow() = default;

// MARK: - Frame

QWidget* OnboardingWindow::buildSidebar() {
    auto* sidebar = new QFrame(this);
    sidebar->setObjectName(QStringLiteral("sidebar"));
    sidebar->setFixedWidth(200);
    sidebar->setStyleSheet(QStringLiteral("QFrame#sidebar { background: palette(window); }"));
    auto* column = new QVBoxLayout(sidebar);
    column->setContentsMargins(20, 28, 16, 20);
    column->setSpacing(4);

    auto* header = new QHBoxLayout;
    header->setSpacing(10);
    auto* logo = new QLabel(sidebar);
    logo->setPixmap(QuilloSymbols::pixmap(QuilloSymbol::appIcon, QSize(32, 32), {}, devicePixelRatioF()));
    header->addWidget(logo);
    auto* names = new QVBoxLayout;
    names->setSpacing(0);
    auto* name = new QLabel(deps_.displayName, sidebar);
    name->setFont(scaledFont(name->font(), 1.2, true));
    names->addWidget(name);
    names->addWidget(secondaryLabel(QStringLiteral("Setup"), sidebar));
    header->addLayout(names, 1);
    column->addLayout(header);
    column->addSpacing(22);

    for (OnboardingStep step : OnboardingSteps::allCases) {
        auto* item = new QLabel(sidebar);
        item->setObjectName(QStringLiteral("step-%1").arg(OnboardingSteps::title(step).toLower()));
        item->setMinimumHeight(30);
        sidebarItems_.append(item);
        column->addWidget(item);
    }
    column->addStretch(1);
    return sidebar;
}

QWidget* OnboardingWindow::buildFooter() {
    auto* footer = new QFrame(this);
    footer->setObjectName(QStringLiteral("footer"));
    footer->setStyleSheet(QStringLiteral("QFrame#footer { border-top: 1px solid palette(midlight); }"));
    auto* row = new QHBoxLayout(footer);
    row->setContentsMargins(28, 12, 28, 14);
    row->setSpacing(8);

    cancelButton_ = new QPushButton(QStringLiteral("Cancel"), footer);
    cancelButton_->setObjectName(QStringLiteral("cancel"));
    cancelButton_->setVisible(canCancel_);
    connect(cancelButton_, &QPushButton::clicked, this, [this] { close(); });
    row->addWidget(cancelButton_);
    row->addStretch(1);

    backButton_ = new QPushButton(QIcon::fromTheme(QStringLiteral("go-previous")), QStringLiteral("Back"), footer);
    backButton_->setObjectName(QStringLiteral("back"));
    connect(backButton_, &QPushButton::clicked, this, &OnboardingWindow::goBack);
    row->addWidget(backButton_);

    continueButton_ = new QPushButton(footer);
    continueButton_->setObjectName(QStringLiteral("continue"));
    continueButton_->setMinimumWidth(140);
    continueButton_->setStyleSheet(
        QStringLiteral("QPushButton#continue { background: %1; color: white; border: none; border-radius: 6px;"
                       " padding: 6px 16px; font-weight: 600; }"
                       "QPushButton#continue:hover { background: #5b3bc4; }"
                       "QPushButton#continue:pressed { background: #4b2fae; }")
            .arg(accent));
    connect(continueButton_, &QPushButton::clicked, this, &OnboardingWindow::goForward);
    row->addWidget(continueButton_);
    return footer;
}

OnboardingWindow::Page& OnboardingWindow::addPage(OnboardingStep step, const QString& title, const QString& subtitle) {
    auto page = std::make_shared<Page>();
    page->step = step;

    auto* scroll = new QScrollArea(pages_);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget(scroll);
    content->setObjectName(QStringLiteral("page-%1").arg(OnboardingSteps::title(step).toLower()));
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(40, 24, 40, 16);
    column->setSpacing(10);

    auto* art = new QLabel(content);
    art->setPixmap(OnboardingArtwork::pixmap(step, QSize(210, 140), devicePixelRatioF()));
    art->setAlignment(Qt::AlignCenter);
    column->addWidget(art);

    auto* heading = new QLabel(title, content);
    heading->setObjectName(QStringLiteral("title"));
    heading->setFont(scaledFont(heading->font(), 1.6, true));
    heading->setAlignment(Qt::AlignCenter);
    heading->setWordWrap(true);
    column->addWidget(heading);

    auto* sub = secondaryLabel(subtitle, content);
    sub->setObjectName(QStringLiteral("subtitle"));
    sub->setAlignment(Qt::AlignCenter);
    column->addWidget(sub);
    column->addSpacing(6);

    page->body = new QVBoxLayout;
    page->body->setSpacing(10);
    column->addLayout(page->body);
    column->addStretch(1);

    scroll->setWidget(content);
    page->widget = scroll;
    pages_->addWidget(scroll);
    pageList_.append(page);
    return *pageList_.last();
}

// MARK: - Pages

void OnboardingWindow::buildWelcome() {
    Page& page = addPage(OnboardingStep::welcome, QStringLiteral("Welcome to Quillo"),
                         QStringLiteral("Quillo fixes the spelling, grammar, and punctuation of what you type, in the "
                                        "app you are using. Press one key and the text is corrected in place."));
    page.body->addWidget(featureList(
        "features",
        {{QuilloSymbol::boltFill, QStringLiteral("One key, any app"),
          QStringLiteral("Editors, mail, chat: wherever you type, your trigger key corrects it.")},
         {QuilloSymbol::sparkles, QStringLiteral("The whole field or just a selection"),
          QStringLiteral("Select a few words to correct only those; select nothing to correct the whole field.")},
         {QuilloSymbol::lockFill, QStringLiteral("Private by design"),
          QStringLiteral("Only the text being corrected is sent, and it is never kept.")}},
        page.body->parentWidget()));
}

void OnboardingWindow::buildPermissions() {
    Page& page = addPage(OnboardingStep::permissions, QStringLiteral("Allow keyboard control"),
                         QStringLiteral("Quillo uses keyboard control to trigger, copy, and replace text. It refuses "
                                        "password fields and the file manager, accepts only copied text, and never "
                                        "reads text through accessibility elements."));
    QWidget* parent = page.body->parentWidget();
    for (InputPermissionKind kind : InputPermissionKinds::allCases) {
        auto* row = card(parent, "permissionRow");
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(16, 12, 16, 12);
        layout->setSpacing(12);
        auto* icon = new QLabel(row);
        const QIcon keyboard = QIcon::fromTheme(QStringLiteral("input-keyboard"));
        icon->setPixmap(keyboard.isNull() ? QuilloSymbols::pixmap(QuilloSymbol::lockFill, QSize(28, 28), QColor(accent),
                                                                  devicePixelRatioF())
                                          : keyboard.pixmap(QSize(28, 28), devicePixelRatioF()));
        layout->addWidget(icon);
        auto* text = new QVBoxLayout;
        text->setSpacing(2);
        auto* title = new QLabel(permissionTitle(kind), row);
        title->setFont(scaledFont(title->font(), 1.0, true));
        text->addWidget(title);
        permissionState_ = secondaryLabel(QString(), row);
        permissionState_->setObjectName(QStringLiteral("permissionDetail"));
        text->addWidget(permissionState_);
        layout->addLayout(text, 1);
        permissionButton_ = new QPushButton(row);
        permissionButton_->setObjectName(QStringLiteral("permissionButton"));
        connect(permissionButton_, &QPushButton::clicked, this, [this, kind] {
            permissions_->performPrimaryAction(kind);
            refreshPermissions();
        });
        layout->addWidget(permissionButton_);
        page.body->addWidget(row);
    }
    permissionHelp_ = new QLabel(manualPermissionHelp, parent);
    permissionHelp_->setObjectName(QStringLiteral("permissionHelp"));
    permissionHelp_->setWordWrap(true);
    permissionHelp_->setAlignment(Qt::AlignCenter);
    page.body->addWidget(permissionHelp_);
    permissionNote_ = secondaryLabel(StartupLoadingRules::permissionNote(deps_.displayName), parent);
    permissionNote_->setObjectName(QStringLiteral("permissionNote"));
    permissionNote_->setAlignment(Qt::AlignCenter);
    page.body->addWidget(permissionNote_);
    auto* later = secondaryLabel(QStringLiteral("You can practise the trigger in this window without it, and "
                                                "allow it later from the settings."),
                                 parent);
    later->setAlignment(Qt::AlignCenter);
    page.body->addWidget(later);
}

void OnboardingWindow::buildAccount() {
    Page& page = addPage(OnboardingStep::account, QStringLiteral("Your Quillo account"),
                         QStringLiteral("Corrections use credits from your account. Create one or sign in; you can "
                                        "also skip this and sign in later from the settings."));
    QWidget* parent = page.body->parentWidget();

    signedInCard_ = card(parent, "signedInCard");
    auto* identity = new QHBoxLayout(signedInCard_);
    identity->setContentsMargins(16, 12, 16, 12);
    identity->setSpacing(12);
    identity->addWidget(symbolLabel(QuilloSymbol::checkmarkCircleFill, QuilloPalette::green, 24, signedInCard_));
    auto* text = new QVBoxLayout;
    text->setSpacing(1);
    text->addWidget(secondaryLabel(QStringLiteral("Signed in as"), signedInCard_));
    signedInEmail_ = new QLabel(signedInCard_);
    signedInEmail_->setObjectName(QStringLiteral("signedInEmail"));
    signedInEmail_->setFont(scaledFont(signedInEmail_->font(), 1.05, true));
    signedInEmail_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text->addWidget(signedInEmail_);
    identity->addLayout(text, 1);
    signOutButton_ = new QPushButton(QStringLiteral("Sign Out"), signedInCard_);
    signOutButton_->setObjectName(QStringLiteral("signOut"));
    connect(signOutButton_, &QPushButton::clicked, this, [this] {
        if (deps_.auth.isLoading()) return;
        QCoro::connect(deps_.auth.signOut(), this, [this] { refreshAccount(); });
    });
    identity->addWidget(signOutButton_);
    page.body->addWidget(signedInCard_);

    signInForm_ =
        new AccountSignInForm(deps_.auth,
                              authMode_ == OnboardingAuthMode::createAccount ? AccountSignInForm::Mode::createAccount
                                                                             : AccountSignInForm::Mode::signIn,
                              parent);
    signInForm_->setFixedWidth(380);
    page.body->addWidget(signInForm_, 0, Qt::AlignHCenter);
    connect(signInForm_, &AccountSignInForm::modeChanged, this, [this](AccountSignInForm::Mode mode) {
        setAuthMode(mode == AccountSignInForm::Mode::createAccount ? OnboardingAuthMode::createAccount
                                                                   : OnboardingAuthMode::signIn);
    });
    connect(signInForm_, &AccountSignInForm::signedIn, this, &OnboardingWindow::refreshAccount);
}

QWidget* OnboardingWindow::buildTriggerBar(QWidget* parent, bool withActivation) {
    auto* bar = card(parent, "triggerBar");
    auto* column = new QVBoxLayout(bar);
    column->setContentsMargins(16, 12, 16, 12);
    column->setSpacing(8);

    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    auto* caption = new QLabel(QStringLiteral("Correction key"), bar);
    caption->setFont(scaledFont(caption->font(), 1.0, true));
    row->addWidget(caption);
    auto* keycap = new QLabel(bar);
    keycap->setObjectName(QStringLiteral("keycap"));
    keycap->setAlignment(Qt::AlignCenter);
    keycap->setMinimumWidth(90);
    row->addWidget(keycap);
    row->addStretch(1);
    auto* use = new QPushButton(bar);
    use->setObjectName(QStringLiteral("useCurrentTrigger"));
    connect(use, &QPushButton::clicked, this, [this] { demo_->useCurrentTrigger(); });
    row->addWidget(use);
    auto* choose = new QPushButton(bar);
    choose->setObjectName(QStringLiteral("chooseKey"));
    connect(choose, &QPushButton::clicked, this, [this] {
        if (demo_->isCapturing()) demo_->cancelCapture();
        else demo_->beginCapture();
    });
    row->addWidget(choose);
    column->addLayout(row);

    auto* hint = secondaryLabel(QString(), bar);
    hint->setObjectName(QStringLiteral("triggerHint"));
    column->addWidget(hint);
    // The desktop's own shortcut can run the practice too.
    if (withActivation) {
        auto* command = new TriggerCommandField(TriggerCommandLine::current(), bar);
        column->addWidget(command);
        triggerRefreshers_.append([this, command] {
            command->setDesktopBinding(deps_.desktopBindingLine ? deps_.desktopBindingLine(demo_->selectedTrigger())
                                                                : std::nullopt);
        });
    }

    QButtonGroup* activation = nullptr;
    QLabel* activationHint = nullptr;
    if (withActivation) {
        auto* activationRow = new QHBoxLayout;
        activationRow->setSpacing(14);
        auto* label = new QLabel(QStringLiteral("Activation"), bar);
        label->setFont(scaledFont(label->font(), 1.0, true));
        activationRow->addWidget(label);
        activation = new QButtonGroup(bar);
        for (CorrectionTriggerActivation option : CorrectionTriggerActivations::allCases) {
            auto* radio = new QRadioButton(CorrectionTriggerActivations::title(option), bar);
            radio->setObjectName(CorrectionTriggerActivations::rawValue(option));
            activation->addButton(radio, static_cast<int>(option));
            activationRow->addWidget(radio);
        }
        activationRow->addStretch(1);
        column->addLayout(activationRow);
        activationHint = secondaryLabel(QString(), bar);
        activationHint->setObjectName(QStringLiteral("activationHint"));
        column->addWidget(activationHint);
        connect(activation, &QButtonGroup::idClicked, this, [this](int id) {
            KeyboardPreferences(deps_.defaults).setActivation(static_cast<CorrectionTriggerActivation>(id));
        });
    }

    triggerRefreshers_.append([this, keycap, hint, use, choose, activation, activationHint] {
        const CorrectionTriggerPreference trigger = demo_->selectedTrigger();
        const bool capturing = demo_->isCapturing();
        keycap->setText(capturing ? QStringLiteral("Press a key…") : trigger.title);
        keycap->setStyleSheet(
            QStringLiteral("QLabel#keycap { background: palette(base); border: 1px solid %1; border-bottom-width: 3px;"
                           " border-radius: 7px; padding: 3px 12px; font-weight: 600; }")
                .arg(capturing ? accent : QStringLiteral("palette(mid)")));
        hint->setText(capturing ? OnboardingShortcutDemoController::captureMessage : trigger.hint());
        choose->setText(capturing ? QStringLiteral("Cancel") : QStringLiteral("Choose Key…"));
        use->setText(QStringLiteral("Use ") + trigger.title);
        use->setVisible(!demo_->hasChosenTrigger() && !capturing);
        if (activation) {
            const auto current = KeyboardPreferences(deps_.defaults).activation();
            if (auto* button = activation->button(static_cast<int>(current))) {
                const QSignalBlocker block(button);
                button->setChecked(true);
            }
            activationHint->setText(CorrectionTriggerActivations::hint(current));
        }
    });
    return bar;
}

QWidget* OnboardingWindow::buildPractice(QWidget* parent, QPlainTextEdit*& field, bool selectable) {
    auto* practice = card(parent, "practice");
    auto* column = new QVBoxLayout(practice);
    column->setContentsMargins(16, 12, 16, 12);
    column->setSpacing(8);

    auto* caption = new QLabel(QStringLiteral("Try it here"), practice);
    caption->setFont(scaledFont(caption->font(), 1.0, true));
    column->addWidget(caption);

    field = new QPlainTextEdit(practice);
    field->setObjectName(selectable ? QStringLiteral("selectionSample") : QStringLiteral("wholeFieldSample"));
    field->setReadOnly(true);
    field->setTextInteractionFlags(selectable ? Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard
                                              : Qt::TextSelectableByMouse);
    field->setFont(scaledFont(field->font(), 1.1, false));
    field->setFixedHeight(68);
    field->setStyleSheet(fieldStyle);
    field->setAccessibleName(QStringLiteral("Practice sample"));
    column->addWidget(field);
    if (selectable) {
        QPlainTextEdit* view = field;
        connect(view, &QPlainTextEdit::selectionChanged, this, &OnboardingWindow::syncSelectionFromField);
    }

    auto* statusRow = new QHBoxLayout;
    statusRow->setSpacing(8);
    auto* icon = new QLabel(practice);
    icon->setFixedSize(20, 20);
    statusRow->addWidget(icon);
    auto* status = new QLabel(practice);
    status->setObjectName(QStringLiteral("practiceStatus"));
    status->setWordWrap(true);
    status->setAccessibleName(QStringLiteral("Practice status"));
    statusRow->addWidget(status, 1);
    auto* reset =
        new QPushButton(QIcon::fromTheme(QStringLiteral("edit-undo")), QStringLiteral("Reset Sample"), practice);
    reset->setObjectName(QStringLiteral("resetSample"));
    reset->setFocusPolicy(Qt::NoFocus);
    connect(reset, &QPushButton::clicked, this, [this] { demo_->resetDemo(); });
    statusRow->addWidget(reset);
    column->addLayout(statusRow);

    QPlainTextEdit* view = field;
    practiceRefreshers_.append([this, icon, status, reset, view] {
        const QString message = demo_->statusMessage();
        QuilloSymbol symbol = QuilloSymbol::sparkles;
        QColor tint = QuilloPalette::purple;
        if (demo_->hasSucceeded()) {
            symbol = QuilloSymbol::checkmarkCircleFill, tint = QuilloPalette::green;
        } else if (message == OnboardingShortcutDemoController::typingKeyRefused ||
                   message == OnboardingShortcutDemoController::selectWholePhraseMessage) {
            symbol = QuilloSymbol::exclamationmarkCircleFill, tint = QuilloPalette::orange;
        }
        icon->setPixmap(QuilloSymbols::pixmap(symbol, QSize(18, 18), tint, devicePixelRatioF()));
        status->setText(message);
        reset->setEnabled(demo_->hasSucceeded());
        view->setStyleSheet(demo_->hasSucceeded() ? fieldSucceededStyle : fieldStyle);
    });
    return practice;
}

void OnboardingWindow::buildShortcut() {
    Page& page = addPage(OnboardingStep::shortcut, QStringLiteral("Choose your correction key"),
                         QStringLiteral("Pick a key that does not type anything, such as a function key or a modifier "
                                        "pressed on its own. Then press it to correct the sample below."));
    QWidget* parent = page.body->parentWidget();
    page.body->addWidget(buildTriggerBar(parent, true));
    page.body->addWidget(buildPractice(parent, wholeFieldSample_, false));
}

void OnboardingWindow::buildSelection() {
    Page& page = addPage(OnboardingStep::selection, QStringLiteral("Correct only a selection"),
                         QStringLiteral("When you select text first, Quillo corrects just that part and leaves "
                                        "everything else as it was. Select the misspelled phrase, then press your "
                                        "key."));
    QWidget* parent = page.body->parentWidget();
    page.body->addWidget(buildTriggerBar(parent, false));
    page.body->addWidget(buildPractice(parent, selectionSample_, true));
}

void OnboardingWindow::buildPrivacy() {
    Page& page = addPage(OnboardingStep::privacy, QStringLiteral("Your text stays yours"),
                         QStringLiteral("Cloud sends only the text being corrected over encrypted TLS 1.3 connections. "
                                        "It uses Zero Data Retention and your text is never used for AI training."));
    page.body->addWidget(featureList(
        "privacyPoints",
        {{QuilloSymbol::lockFill, QStringLiteral("Only what you correct"),
          QStringLiteral("Nothing is sent until you press your key, and then only that text.")},
         {QuilloSymbol::cloudFill, QStringLiteral("Nothing kept in the cloud"),
          QStringLiteral("Corrections are not stored after they are returned.")},
         {QuilloSymbol::exclamationmarkTriangleFill, QStringLiteral("Password fields refused"),
          QStringLiteral("Quillo never copies from a password field.")},
         {QuilloSymbol::checkmarkCircleFill, QStringLiteral("History on this computer only"),
          QStringLiteral("If you keep a correction history, it is encrypted with a key held in your keyring.")}},
        page.body->parentWidget()));
}

void OnboardingWindow::buildReady() {
    Page& page = addPage(OnboardingStep::ready, QStringLiteral("You're all set"),
                         QStringLiteral("Quillo waits in your system tray, ready when you are."));
    QWidget* parent = page.body->parentWidget();

    readySummary_ = new QLabel(parent);
    readySummary_->setObjectName(QStringLiteral("readySummary"));
    readySummary_->setWordWrap(true);
    readySummary_->setAlignment(Qt::AlignCenter);
    readySummary_->setTextFormat(Qt::RichText);
    page.body->addWidget(readySummary_);

    auto* updates = card(parent, "updates");
    auto* updatesColumn = new QVBoxLayout(updates);
    updatesColumn->setContentsMargins(16, 12, 16, 12);
    updatesColumn->setSpacing(6);
    auto* updatesTitle = new QLabel(QStringLiteral("Updates"), updates);
    updatesTitle->setFont(scaledFont(updatesTitle->font(), 1.0, true));
    updatesColumn->addWidget(updatesTitle);
    checkAutomatically_ = new QCheckBox(QStringLiteral("Check for updates automatically"), updates);
    checkAutomatically_->setObjectName(QStringLiteral("checkAutomatically"));
    checkAutomatically_->setChecked(deps_.updater.automaticallyChecksForUpdates());
    updatesColumn->addWidget(checkAutomatically_);
    installAutomatically_ = new QCheckBox(QStringLiteral("Install updates automatically"), updates);
    installAutomatically_->setObjectName(QStringLiteral("installAutomatically"));
    installAutomatically_->setChecked(deps_.updater.automaticallyDownloadsUpdates());
    auto* installRow = new QHBoxLayout;
    installRow->setContentsMargins(22, 0, 0, 0);
    installRow->addWidget(installAutomatically_);
    updatesColumn->addLayout(installRow);
    updatesNote_ = secondaryLabel(deps_.updater.unavailableReason(), updates);
    updatesNote_->setObjectName(QStringLiteral("updatesNote"));
    updatesNote_->setVisible(!updatesNote_->text().isEmpty());
    updatesColumn->addWidget(updatesNote_);
    connect(checkAutomatically_, &QCheckBox::toggled, this, &OnboardingWindow::refreshReady);
    page.body->addWidget(updates);

    auto* login = card(parent, "login");
    auto* loginColumn = new QVBoxLayout(login);
    loginColumn->setContentsMargins(16, 12, 16, 12);
    loginColumn->setSpacing(6);
    launchAtLogin_ = new QCheckBox(QStringLiteral("Launch Quillo at login"), login);
    launchAtLogin_->setObjectName(QStringLiteral("launchAtLogin"));
    connect(launchAtLogin_, &QCheckBox::toggled, this, [this](bool on) { deps_.launchAtLogin.setEnabled(on); });
    loginColumn->addWidget(launchAtLogin_);
    launchAtLoginMessage_ = secondaryLabel(QString(), login);
    launchAtLoginMessage_->setObjectName(QStringLiteral("launchAtLoginMessage"));
    loginColumn->addWidget(launchAtLoginMessage_);
    page.body->addWidget(login);
}

// MARK: - Navigation

void OnboardingWindow::setStep(OnboardingStep step) {
    if (step == step_) return;
    step_ = step;
    enterStep();
    emit stepChanged(step_);
}

void OnboardingWindow::goForward() {
    if (step_ == OnboardingStep::ready) {
        finish();
        return;
    }
    if (const auto next = OnboardingSteps::next(step_)) setStep(*next);
}

void OnboardingWindow::goBack() {
    if (const auto previous = OnboardingSteps::previous(step_)) setStep(*previous);
}

void OnboardingWindow::enterStep() {
    pages_->setCurrentIndex(static_cast<int>(step_));
    // The trigger is listened for only where it can be practised.
    if (OnboardingSteps::isPractice(step_)) {
        demo_->setExercise(step_ == OnboardingStep::shortcut ? OnboardingShortcutDemoController::Exercise::wholeField
                                                             : OnboardingShortcutDemoController::Exercise::selection);
        // Nothing can be practised yet: say that a key must be chosen first.
        if (!demo_->hasChosenTrigger() && !demo_->isCapturing()) demo_->resetDemo();
        syncFieldFromDemo();
        demo_->start();
        QPlainTextEdit* field = step_ == OnboardingStep::shortcut ? wholeFieldSample_ : selectionSample_;
        if (field && isVisible()) field->setFocus(Qt::OtherFocusReason);
    } else {
        demo_->stop();
    }
    if (step_ == OnboardingStep::permissions) permissions_->refresh();
    if (step_ == OnboardingStep::ready) deps_.launchAtLogin.refresh();
    refreshNavigation();
    refreshSidebar();
    refreshPractice();
    refreshReady();
}

void OnboardingWindow::refreshNavigation() {
    backButton_->setVisible(OnboardingSteps::previous(step_).has_value());
    QString title = QStringLiteral("Continue");
    switch (step_) {
    case OnboardingStep::welcome: title = QStringLiteral("Get Started"); break;
    case OnboardingStep::account:
        title = deps_.auth.isSignedIn() ? QStringLiteral("Continue") : QStringLiteral("Skip for Now");
        break;
    case OnboardingStep::ready: title = QStringLiteral("Start Using Quillo"); break;
    default: break;
    }
    continueButton_->setText(title);
}

void OnboardingWindow::refreshSidebar() {
    const auto current = static_cast<int>(step_);
    for (int i = 0; i < sidebarItems_.size(); ++i) {
        QLabel* item = sidebarItems_[i];
        const QString name = OnboardingSteps::title(OnboardingSteps::allCases[static_cast<std::size_t>(i)]);
        if (i < current) {
            item->setText(QStringLiteral("✓   ") + name);
            item->setStyleSheet(QStringLiteral("padding: 4px 10px; color: palette(text);"));
        } else if (i == current) {
            item->setText(QStringLiteral("%1   %2").arg(i + 1).arg(name));
            item->setStyleSheet(QStringLiteral("padding: 4px 10px; border-radius: 8px; font-weight: 600; color: %1;"
                                               " background: rgba(109, 74, 216, 0.14);")
                                    .arg(accent));
        } else {
            item->setText(QStringLiteral("%1   %2").arg(i + 1).arg(name));
            item->setStyleSheet(QStringLiteral("padding: 4px 10px; color: %1;").arg(secondaryColor(this)));
        }
        item->setAccessibleName(i == current ? name + QStringLiteral(", current step") : name);
    }
}

// MARK: - State

void OnboardingWindow::refreshPermissions() {
    const InputPermissionKind kind = InputPermissionKind::accessibility;
    const bool granted = permissions_->state().isGranted(kind);
    permissionState_->setText(granted ? QStringLiteral("Allowed") : StartupLoadingRules::permissionDetail(false));
    permissionState_->setStyleSheet(granted ? QStringLiteral("color: #34C759; font-weight: 600;")
                                            : QStringLiteral("color: %1;").arg(secondaryColor(this)));
    const InputPermissionNextAction next = permissions_->nextAction(kind);
    // Some desktops have no settings page to send the user to; a button that opens nothing is
    // worse than saying where to look.
    const bool nowhereToOpen =
        next == InputPermissionNextAction::openSettings && !deps_.permission.settingsUrl().isValid();
    const auto action = InputPermissionNextActions::title(next);
    permissionButton_->setVisible(!granted && action.has_value() && !nowhereToOpen);
    if (action) permissionButton_->setText(*action);
    // Where the desktop can say what exactly is missing, that replaces the general advice.
    const QStringList unmet = granted ? QStringList() : deps_.permission.unmetRequirements();
    permissionHelp_->setText(unmet.isEmpty() ? manualPermissionHelp : unmet.join(QLatin1Char('\n')));
    permissionHelp_->setVisible(!granted && (nowhereToOpen || !unmet.isEmpty()));
    permissionNote_->setVisible(!granted);
}

void OnboardingWindow::refreshAccount() {
    const bool signedIn = deps_.auth.isSignedIn();
    signedInCard_->setVisible(signedIn);
    signInForm_->setVisible(!signedIn);
    QString email = deps_.auth.displayEmail();
    if (deps_.auth.isGoogleSession()) email += QStringLiteral(" (Google)");
    signedInEmail_->setText(email);
    signOutButton_->setEnabled(!deps_.auth.isLoading());
    refreshNavigation();
}

void OnboardingWindow::setAuthMode(OnboardingAuthMode mode) {
    if (mode == authMode_) return;
    authMode_ = mode;
    signInForm_->setMode(mode == OnboardingAuthMode::createAccount ? AccountSignInForm::Mode::createAccount
                                                                   : AccountSignInForm::Mode::signIn);
    emit authModeChanged(mode);
}

void OnboardingWindow::refreshTrigger() {
    for (const auto& refresh : triggerRefreshers_) refresh();
}

void OnboardingWindow::refreshPractice() {
    for (const auto& refresh : practiceRefreshers_) refresh();
}

void OnboardingWindow::refreshReady() {
    if (!readySummary_) return;
    const CorrectionTriggerPreference trigger = KeyboardPreferences(deps_.defaults).triggerPreference();
    const bool doubleTap = KeyboardPreferences(deps_.defaults).activation() == CorrectionTriggerActivation::doubleTap;
    readySummary_->setText(
        QStringLiteral("%1 <b>%2</b> in any app to correct what you are typing. Select some text first to correct "
                       "only that.")
            .arg(doubleTap ? QStringLiteral("Double-tap") : QStringLiteral("Press"), trigger.title.toHtmlEscaped()));

    installAutomatically_->setEnabled(checkAutomatically_->isChecked());

    const QSignalBlocker block(launchAtLogin_);
    launchAtLogin_->setChecked(deps_.launchAtLogin.isEnabled());
    QString message = deps_.launchAtLogin.errorMessage().value_or(QString());
    if (message.isEmpty() && deps_.launchAtLogin.requiresApproval()) message = LaunchAtLoginSettings::approvalMessage;
    launchAtLoginMessage_->setText(message);
    launchAtLoginMessage_->setVisible(!message.isEmpty());
}

void OnboardingWindow::syncFieldFromDemo() {
    if (!OnboardingSteps::isPractice(step_)) return;
    QPlainTextEdit* field = step_ == OnboardingStep::shortcut ? wholeFieldSample_ : selectionSample_;
    if (!field) return;
    if (field->toPlainText() != demo_->demoText()) {
        syncingField_ = true;
        field->setPlainText(demo_->demoText());
        syncingField_ = false;
    }
    syncSelectionFromDemo();
}

void OnboardingWindow::syncSelectionFromDemo() {
    if (step_ != OnboardingStep::selection || !selectionSample_) return;
    const auto range = demo_->selectedRange();
    QTextCursor cursor = selectionSample_->textCursor();
    const int length = selectionSample_->document()->characterCount() - 1;
    if (range.location < 0 || range.location > length) return;
    const int from = int(range.location);
    const int to = int(std::min<qsizetype>(range.location + range.length, length));
    if (cursor.selectionStart() == from && cursor.selectionEnd() == to) return;
    syncingField_ = true;
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    selectionSample_->setTextCursor(cursor);
    syncingField_ = false;
}

void OnboardingWindow::syncSelectionFromField() {
    if (syncingField_ || step_ != OnboardingStep::selection) return;
    // One paragraph of plain text: document positions are UTF-16 offsets into the sample.
    const QTextCursor cursor = selectionSample_->textCursor();
    demo_->setSelectedRange({cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart()});
}

// MARK: - Window

void OnboardingWindow::finish() {
    deps_.updater.applyOnboardingPreferences(checkAutomatically_->isChecked(),
                                             checkAutomatically_->isChecked() && installAutomatically_->isChecked());
    demo_->stop();
    finishing_ = true;
    emit finished();
}

void OnboardingWindow::placeOnScreenUnderPointer() {
    QList<QRect> areas;
    qsizetype primary = 0;
    const auto screens = QGuiApplication::screens();
    for (QScreen* screen : screens) {
        if (screen == QGuiApplication::primaryScreen()) primary = areas.size();
        areas.append(screen->availableGeometry());
    }
    const QRect frame = OnboardingLayout::frame(size(), QCursor::pos(), areas, primary);
    move(frame.topLeft());
}

void OnboardingWindow::applicationBecameActive() {
    permissions_->refresh();
    deps_.launchAtLogin.refresh();
    refreshPermissions();
    refreshReady();
}

void OnboardingWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    demo_->stop();
    if (!finishing_) emit closedByUser();
}

void OnboardingWindow::showEvent(QShowEvent* event) {
    if (!placed_) {
        placed_ = true;
        placeOnScreenUnderPointer();
    }
    QWidget::showEvent(event);
    permissions_->refresh();
    enterStep();
}

void OnboardingWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // A hidden window must not take the trigger away from the rest of the application.
    demo_->stop();
}

void OnboardingWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && canCancel_) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace quillo
