#include "Views/AuthenticatorCodeDialog.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace quillo;

namespace {

template <typename T> T* shownTopLevel(const QString& name) {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == name && widget->isVisible()) return qobject_cast<T*>(widget);
    return nullptr;
}

} // namespace

TEST(AuthenticatorCodeDialog, AsksWithAMaskedFieldAndAnswersTheEntryOrNothing) {
    AuthenticatorCodeDialog prompt;
    for (const bool verify : {true, false}) {
        SCOPED_TRACE(verify);
        std::optional<std::optional<QString>> answer;
        QCoro::connect(prompt.askForCode(), qApp, [&](std::optional<QString> code) { answer = code; });
        auto* dialog = shownTopLevel<QDialog>("authenticatorCodeDialog");
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowModality(), Qt::ApplicationModal);
        QStringList texts;
        for (auto* label : dialog->findChildren<QLabel*>()) texts << label->text();
        EXPECT_TRUE(texts.contains("Authenticator verification"));
        EXPECT_TRUE(texts.contains("Enter the current six-digit code from your authenticator app."));
        auto* field = dialog->findChild<QLineEdit*>("authenticatorCode");
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->echoMode(), QLineEdit::Password);
        EXPECT_EQ(field->placeholderText(), "6-digit code");
        EXPECT_EQ(field->size(), QSize(240, 24));
        EXPECT_EQ(dialog->findChild<QPushButton*>("verify")->text(), "Verify");
        EXPECT_EQ(dialog->findChild<QPushButton*>("cancel")->text(), "Cancel");
        EXPECT_FALSE(answer.has_value()); // waits without a nested loop

        field->setText(" 12 34 56 ");
        dialog->findChild<QPushButton*>(verify ? "verify" : "cancel")->click();
        QCoreApplication::sendPostedEvents(); // the wait resumes in the next turn
        ASSERT_TRUE(answer.has_value());
        // The entry as typed: checking it is the account service's job.
        EXPECT_EQ(*answer, verify ? std::optional<QString>(" 12 34 56 ") : std::nullopt);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(shownTopLevel<QDialog>("authenticatorCodeDialog"), nullptr);
    }
}

TEST(AuthenticatorCodeDialog, InvalidCodeWarningWaitsForItsButton) {
    AuthenticatorCodeDialog prompt;
    bool dismissed = false;
    QCoro::connect(prompt.showInvalidCode(), qApp, [&] { dismissed = true; });
    auto* box = shownTopLevel<QMessageBox>("invalidAuthenticatorCode");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Invalid authenticator code");
    EXPECT_EQ(box->informativeText(), "Enter exactly six digits from your authenticator app.");
    EXPECT_EQ(box->buttons().size(), 1);
    EXPECT_FALSE(dismissed);
    box->buttons().constFirst()->click();
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(dismissed);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
