#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;

namespace quillo {

class QuilloAuthService;

// The "Danger Zone": permanent deletion of the signed-in account. A password account confirms
// with its password (and authenticator code, when it has one); a Google account verifies again
// in the browser, which can be cancelled while the page is open. The outcome is the account
// service's own error or notice.
class AccountDeletionSection : public QWidget {
    Q_OBJECT
public:
    explicit AccountDeletionSection(QuilloAuthService& auth, QWidget* parent = nullptr);

    bool isConfirming() const { return confirming_; }
    void setConfirming(bool confirming);

private:
    void refresh();
    void confirmDeletion();

    QuilloAuthService& auth_;
    bool confirming_ = false;
    QPushButton* begin_ = nullptr;
    QWidget* confirmation_ = nullptr;
    QLabel* explanation_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLineEdit* code_ = nullptr;
    QPushButton* confirm_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QLabel* waiting_ = nullptr;
    QPushButton* cancelVerification_ = nullptr;
    QLabel* error_ = nullptr;
};

} // namespace quillo
