#pragma once

#include <QObject>
#include <QString>
#include <optional>

#include <qcoro/qcorotask.h>

namespace quillo {

class QuilloAuthService;

// Signs in once at start with an account handed to the launch, for a session with no one at the
// keyboard to type into the sign-in form. An existing session of the same account is kept. The
// password is given up when the request leaves and is never logged.
class StartupSignIn final : public QObject {
    Q_OBJECT
public:
    StartupSignIn(QuilloAuthService& auth, QString email, QString password, QObject* parent = nullptr);

    void start();
    // Whether the account is signed in, once it is known.
    std::optional<bool> outcome() const { return outcome_; }

signals:
    void finished(bool signedIn);

private:
    static QCoro::Task<> signIn(StartupSignIn* self, QuilloAuthService& auth, QString email, QString password);
    void finish(bool signedIn);

    QuilloAuthService& auth_;
    QString email_;
    QString password_;
    bool started_ = false;
    std::optional<bool> outcome_;
};

} // namespace quillo
