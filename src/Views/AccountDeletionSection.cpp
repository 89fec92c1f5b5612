#include "Views/AccountDeletionSection.h"

#include "Services/QuilloAuthService.h"
#include "Views/SettingsControls.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <qcoro/qcorotask.h>

namespace quillo {

using namespace SettingsControls;

AccountDeletionSection::AccountDeletionSection(QuilloAuthService& auth, QWidget* parent)
    : QWidget(parent), auth_(auth) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    column->addWidget(secondaryLabel(
        QStringLiteral("Deleting your account permanently removes it and its cloud credits. This cannot be undone."),
        this));

    begin_ = new QPushButton(QStringLiteral("Delete Account…"), this);
    begin_->setObjectName(QStringLiteral("deleteAccount"));
    begin_->setStyleSheet(QStringLiteral("color: #FF3B30;"));
    column->addWidget(begin_, 0, Qt::AlignLeft);

    confirmation_ = new QWidget(this);
    confirmation_->setObjectName(QStringLiteral("deletionConfirmation"));
    auto* confirmColumn = new QVBoxLayout(confirmation_);
    confirmColumn->setContentsMargins(0, 0, 0, 0);
    explanation_ = secondaryLabel(QString(), confirmation_);
    explanation_->setObjectName(QStringLiteral("deletionExplanation"));
    confirmColumn->addWidget(explanation_);
    password_ = new QLineEdit(confirmation_);
    password_->setObjectName(QStringLiteral("deletionPassword"));
    password_->setEchoMode(QLineEdit::Password);
    password_->setPlaceholderText(QStringLiteral("Current password"));
    password_->setAccessibleName(QStringLiteral("Current password"));
    password_->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText);
    confirmColumn->addWidget(password_);
    code_ = new QLineEdit(confirmation_);
    code_->setObjectName(QStringLiteral("deletionCode"));
    code_->setPlaceholderText(QStringLiteral("Authenticator code (if enabled)"));
    code_->setAccessibleName(QStringLiteral("Authenticator code"));
    code_->setInputMethodHints(Qt::ImhDigitsOnly | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText);
    code_->setMaxLength(16);
    confirmColumn->addWidget(code_);
    auto* buttons = new QHBoxLayout;
    confirm_ = new QPushButton(confirmation_);
    confirm_->setObjectName(QStringLiteral("confirmDeletion"));
    confirm_->setStyleSheet(QStringLiteral("color: #FF3B30;"));
    buttons->addWidget(confirm_);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), confirmation_);
    cancel_->setObjectName(QStringLiteral("cancelDeletion"));
    buttons->addWidget(cancel_);
    buttons->addStretch(1);
    confirmColumn->addLayout(buttons);
    auto* waitingRow = new QHBoxLayout;
    waiting_ = secondaryLabel(QStringLiteral("Waiting for Google verification in your browser…"), confirmation_);
    waiting_->setObjectName(QStringLiteral("deletionWaiting"));
    waitingRow->addWidget(waiting_, 1);
    cancelVerification_ = new QPushButton(QStringLiteral("Cancel Verification"), confirmation_);
    cancelVerification_->setObjectName(QStringLiteral("cancelVerification"));
    waitingRow->addWidget(cancelVerification_);
    confirmColumn->addLayout(waitingRow);
    column->addWidget(confirmation_);

    error_ = new QLabel(this);
    error_->setObjectName(QStringLiteral("deletionError"));
    error_->setWordWrap(true);
    error_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    error_->setStyleSheet(QStringLiteral("color: #FF3B30;"));
    column->addWidget(error_);

    connect(begin_, &QPushButton::clicked, this, [this] { setConfirming(true); });
    connect(cancel_, &QPushButton::clicked, this, [this] { setConfirming(false); });
    connect(confirm_, &QPushButton::clicked, this, &AccountDeletionSection::confirmDeletion);
    connect(password_, &QLineEdit::returnPressed, this, &AccountDeletionSection::confirmDeletion);
    connect(password_, &QLineEdit::textChanged, this, &AccountDeletionSection::refresh);
    connect(cancelVerification_, &QPushButton::clicked, this, [this] { auth_.cancelAccountDeletion(); });
    for (auto signal : {&QuilloAuthService::isLoadingChanged, &QuilloAuthService::authErrorChanged,
                        &QuilloAuthService::canCancelAccountDeletionChanged})
        connect(&auth_, signal, this, &AccountDeletionSection::refresh);
    connect(&auth_, &QuilloSessionProviding::sessionChanged, this, [this] {
        // A new account (or none) starts from the beginning; typed secrets do not carry over.
        setConfirming(false);
    });
    refresh();
}

void AccountDeletionSection::setConfirming(bool confirming) {
    confirming_ = confirming;
    if (!confirming) {
        password_->clear();
        code_->clear();
    }
    refresh();
    if (confirming && !auth_.isGoogleSession()) password_->setFocus();
}

void AccountDeletionSection::confirmDeletion() {
    if (auth_.isLoading() || !auth_.isSignedIn()) return;
    if (auth_.isGoogleSession()) {
        QCoro::connect(auth_.deleteGoogleAccount(), this, [this](bool) { refresh(); });
        return;
    }
    if (password_->text().isEmpty()) return;
    const QString password = password_->text();
    const QString code = code_->text();
    QCoro::connect(auth_.deleteAccount(password, code), this, [this](bool deleted) {
        // A refused attempt keeps the code out of the next one: codes are single-use.
        if (!deleted) code_->clear();
        refresh();
    });
}

void AccountDeletionSection::refresh() {
    const bool google = auth_.isGoogleSession();
    const bool loading = auth_.isLoading();
    const bool waitingForBrowser = auth_.canCancelAccountDeletion();
    begin_->setVisible(!confirming_);
    begin_->setEnabled(!loading);
    confirmation_->setVisible(confirming_);
    explanation_->setText(google ? QStringLiteral("Quillo opens Google in your browser to confirm it is you, then "
                                                  "deletes the account.")
                                 : QStringLiteral("Enter your current password to confirm. If your account uses an "
                                                  "authenticator app, enter its current code too."));
    password_->setVisible(!google);
    code_->setVisible(!google);
    password_->setEnabled(!loading);
    code_->setEnabled(!loading);
    confirm_->setText(google ? QStringLiteral("Verify with Google and Delete") : QStringLiteral("Delete Permanently"));
    confirm_->setEnabled(!loading && (google || !password_->text().isEmpty()));
    cancel_->setEnabled(!loading);
    waiting_->setVisible(waitingForBrowser);
    cancelVerification_->setVisible(waitingForBrowser);
    const QString error = confirming_ ? auth_.authError().value_or(QString()) : QString();
    error_->setText(error);
    error_->setVisible(!error.isEmpty());
}

} // namespace quillo
