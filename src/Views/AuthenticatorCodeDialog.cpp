#include "Views/AuthenticatorCodeDialog.h"

#include "Views/SettingsControls.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>

#include <qcoro/qcorosignal.h>

namespace quillo {

namespace {

struct DeleteLater {
    void operator()(QObject* object) const { object->deleteLater(); }
};

} // namespace

QCoro::Task<std::optional<QString>> AuthenticatorCodeDialog::askForCode() {
    // No parent: a window closing meanwhile must not take the dialog (and this wait) with it.
    std::unique_ptr<QDialog, DeleteLater> dialog(new QDialog);
    dialog->setObjectName(QStringLiteral("authenticatorCodeDialog"));
    dialog->setWindowTitle(title);
    dialog->setWindowModality(Qt::ApplicationModal);
    auto* column = new QVBoxLayout(dialog.get());
    column->addWidget(SettingsControls::titleLabel(title, dialog.get()));
    auto* informative = new QLabel(informativeText, dialog.get());
    informative->setWordWrap(true);
    column->addWidget(informative);
    auto* field = new QLineEdit(dialog.get());
    field->setObjectName(QStringLiteral("authenticatorCode"));
    field->setEchoMode(QLineEdit::Password);
    field->setPlaceholderText(QStringLiteral("6-digit code"));
    field->setAccessibleName(QStringLiteral("6-digit code"));
    field->setInputMethodHints(Qt::ImhDigitsOnly | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText);
    field->setFixedSize(240, 24);
    column->addWidget(field);
    auto* buttons = new QDialogButtonBox(dialog.get());
    QPushButton* verify = buttons->addButton(QStringLiteral("Verify"), QDialogButtonBox::AcceptRole);
    verify->setObjectName(QStringLiteral("verify"));
    verify->setDefault(true);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole)->setObjectName(QStringLiteral("cancel"));
    column->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog.get(), &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog.get(), &QDialog::reject);

    // show(), not open(): open() would narrow it to window-modal.
    dialog->show();
    field->setFocus();
    const int result = co_await qCoro(dialog.get(), &QDialog::finished);
    if (result != QDialog::Accepted) co_return std::nullopt;
    co_return field->text();
}

QCoro::Task<> AuthenticatorCodeDialog::showInvalidCode() {
    std::unique_ptr<QMessageBox, DeleteLater> box(new QMessageBox);
    box->setObjectName(QStringLiteral("invalidAuthenticatorCode"));
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(invalidTitle);
    box->setText(invalidTitle);
    box->setInformativeText(invalidText);
    box->setStandardButtons(QMessageBox::Ok);
    box->setWindowModality(Qt::ApplicationModal);
    box->show();
    co_await qCoro(box.get(), &QDialog::finished);
}

} // namespace quillo
