#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace quillo {

class QuilloAuthService;

// E-mail and password sign-in or account creation, Google sign-in through the browser, and the
// two e-mail actions. Shows the account service's error and notice; holds no account logic.
class AccountSignInForm : public QWidget {
    Q_OBJECT
public:
    enum class Mode { createAccount, signIn };

    AccountSignInForm(QuilloAuthService& auth, Mode mode, QWidget* parent = nullptr);

    Mode mode() const { return mode_; }
    void setMode(Mode mode);
    // Hides the switch between creating an account and signing in.
    void setModeSwitchVisible(bool visible);

    QString email() const;
    bool canSubmit() const;
    // Runs the mode's action with the typed address and password.
    void submit();

signals:
    void modeChanged(quillo::AccountSignInForm::Mode mode);
    // A sign-in or sign-up ended with a session.
    void signedIn();

private:
    void refresh();
    void finished(bool ok);

    QuilloAuthService& auth_;
    Mode mode_;
    QToolButton* createTab_ = nullptr;
    QToolButton* signInTab_ = nullptr;
    QWidget* modeSwitch_ = nullptr;
    QLineEdit* email_ = nullptr;
    QLineEdit* password_ = nullptr;
    QPushButton* submit_ = nullptr;
    QPushButton* google_ = nullptr;
    QPushButton* forgotPassword_ = nullptr;
    QPushButton* resendConfirmation_ = nullptr;
    QLabel* error_ = nullptr;
    QLabel* notice_ = nullptr;
    QLabel* busy_ = nullptr;
};

} // namespace quillo
