#include "Views/AccountSignInForm.h"

#include "Services/QuilloAuthService.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <qcoro/qcorotask.h>

namespace quillo {

namespace {

QToolButton* tabButton(const QString& title, const char* name, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setText(title);
    button->setCheckable(true);
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return button;
}

QPushButton* linkButton(const QString& title, const char* name, QWidget* parent) {
    auto* button = new QPushButton(title, parent);
    button->setObjectName(QLatin1String(name));
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral("QPushButton { color: palette(link); border: none; padding: 0; }"));
    return button;
}

QLabel* messageLabel(const char* name, const QString& style, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setStyleSheet(style);
    label->hide();
    return label;
}

} // namespace

AccountSignInForm::AccountSignInForm(QuilloAuthService& auth, Mode mode, QWidget* parent)
    : QWidget(parent), auth_(auth), mode_(mode) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);

    modeSwitch_ = new QWidget(this);
    auto* tabs = new QHBoxLayout(modeSwitch_);
    tabs->setContentsMargins(0, 0, 0, 0);
    createTab_ = tabButton(QStringLiteral("Create account"), "createAccountTab", modeSwitch_);
    signInTab_ = tabButton(QStringLiteral("Sign in"), "signInTab", modeSwitch_);
    auto* group = new QButtonGroup(modeSwitch_);
    group->setExclusive(true);
    group->addButton(createTab_);
    group->addButton(signInTab_);
    tabs->addWidget(createTab_);
    tabs->addWidget(signInTab_);
    column->addWidget(modeSwitch_);
    connect(createTab_, &QToolButton::clicked, this, [this] { setMode(Mode::createAccount); });
    connect(signInTab_, &QToolButton::clicked, this, [this] { setMode(Mode::signIn); });

    email_ = new QLineEdit(this);
    email_->setObjectName(QStringLiteral("email"));
    email_->setPlaceholderText(QStringLiteral("E-mail address"));
    email_->setAccessibleName(QStringLiteral("E-mail address"));
    email_->setInputMethodHints(Qt::ImhEmailCharactersOnly | Qt::ImhNoAutoUppercase);
    column->addWidget(email_);

    password_ = new QLineEdit(this);
    password_->setObjectName(QStringLiteral("password"));
    password_->setEchoMode(QLineEdit::Password);
    password_->setAccessibleName(QStringLiteral("Password"));
    password_->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText);
    column->addWidget(password_);

    auto* actions = new QHBoxLayout;
    submit_ = new QPushButton(this);
    submit_->setObjectName(QStringLiteral("submit"));
    submit_->setDefault(true);
    actions->addWidget(submit_);
    busy_ = new QLabel(QStringLiteral("Working…"), this);
    busy_->setObjectName(QStringLiteral("busy"));
    busy_->setForegroundRole(QPalette::PlaceholderText);
    busy_->hide();
    actions->addWidget(busy_);
    actions->addStretch(1);
    column->addLayout(actions);

    google_ = new QPushButton(QStringLiteral("Continue with Google"), this);
    google_->setObjectName(QStringLiteral("google"));
    column->addWidget(google_, 0, Qt::AlignLeft);

    auto* links = new QHBoxLayout;
    forgotPassword_ = linkButton(QStringLiteral("Forgot password?"), "forgotPassword", this);
    resendConfirmation_ = linkButton(QStringLiteral("Resend confirmation email"), "resendConfirmation", this);
    links->addWidget(forgotPassword_);
    links->addWidget(resendConfirmation_);
    links->addStretch(1);
    column->addLayout(links);

    error_ = messageLabel("authError", QStringLiteral("color: #FF3B30;"), this);
    notice_ = messageLabel("authNotice", QString(), this);
    notice_->setForegroundRole(QPalette::PlaceholderText);
    column->addWidget(error_);
    column->addWidget(notice_);

    connect(email_, &QLineEdit::textChanged, this, &AccountSignInForm::refresh);
    connect(password_, &QLineEdit::textChanged, this, &AccountSignInForm::refresh);
    connect(password_, &QLineEdit::returnPressed, this, &AccountSignInForm::submit);
    connect(submit_, &QPushButton::clicked, this, &AccountSignInForm::submit);
    connect(google_, &QPushButton::clicked, this, [this] {
        if (auth_.isLoading()) return;
        QCoro::connect(auth_.signInWithGoogle(), this, [this](bool ok) { finished(ok); });
    });
    connect(forgotPassword_, &QPushButton::clicked, this, [this] {
        if (auth_.isLoading()) return;
        QCoro::connect(auth_.requestPasswordReset(email()), this, [](bool) {});
    });
    connect(resendConfirmation_, &QPushButton::clicked, this, [this] {
        if (auth_.isLoading()) return;
        QCoro::connect(auth_.resendConfirmation(email()), this, [](bool) {});
    });
    for (auto signal : {&QuilloAuthService::isLoadingChanged, &QuilloAuthService::authErrorChanged,
                        &QuilloAuthService::authNoticeChanged})
        connect(&auth_, signal, this, &AccountSignInForm::refresh);

    setMode(mode);
}

void AccountSignInForm::setMode(Mode mode) {
    const bool changed = mode != mode_;
    mode_ = mode;
    createTab_->setChecked(mode == Mode::createAccount);
    signInTab_->setChecked(mode == Mode::signIn);
    submit_->setText(mode == Mode::createAccount ? QStringLiteral("Create Account") : QStringLiteral("Sign In"));
    password_->setPlaceholderText(mode == Mode::createAccount ? QStringLiteral("Password (8 characters or more)")
                                                              : QStringLiteral("Password"));
    forgotPassword_->setVisible(mode == Mode::signIn);
    refresh();
    if (changed) emit modeChanged(mode);
}

void AccountSignInForm::setModeSwitchVisible(bool visible) { modeSwitch_->setVisible(visible); }

QString AccountSignInForm::email() const { return email_->text().trimmed(); }

bool AccountSignInForm::canSubmit() const {
    return !auth_.isLoading() && !email().isEmpty() && !password_->text().isEmpty();
}

void AccountSignInForm::submit() {
    if (!canSubmit()) return;
    const QString address = email();
    const QString password = password_->text();
    auto task = mode_ == Mode::createAccount ? auth_.signUp(address, password) : auth_.signIn(address, password);
    QCoro::connect(std::move(task), this, [this](bool ok) { finished(ok); });
}

void AccountSignInForm::finished(bool ok) {
    if (!ok || !auth_.isSignedIn()) return;
    // The password is not kept on screen once it has done its job.
    password_->clear();
    emit signedIn();
}

void AccountSignInForm::refresh() {
    const bool loading = auth_.isLoading();
    email_->setEnabled(!loading);
    password_->setEnabled(!loading);
    google_->setEnabled(!loading);
    forgotPassword_->setEnabled(!loading && !email().isEmpty());
    resendConfirmation_->setEnabled(!loading && !email().isEmpty());
    submit_->setEnabled(canSubmit());
    busy_->setVisible(loading);
    const QString error = auth_.authError().value_or(QString());
    const QString notice = auth_.authNotice().value_or(QString());
    error_->setText(error);
    error_->setVisible(!error.isEmpty());
    notice_->setText(notice);
    notice_->setVisible(!notice.isEmpty());
}

} // namespace quillo
