#include "App/StartupSignIn.h"

#include "Services/QuilloAuthService.h"
#include "Support/Logging.h"

#include <QPointer>
#include <utility>

namespace quillo {

StartupSignIn::StartupSignIn(QuilloAuthService& auth, QString email, QString password, QObject* parent)
    : QObject(parent), auth_(auth), email_(std::move(email)), password_(std::move(password)) {}

void StartupSignIn::start() {
    if (started_) return;
    started_ = true;
    QString password = std::exchange(password_, QString());
    // Each launch would otherwise open one more session on the server.
    if (auth_.isSignedIn() && auth_.displayEmail().compare(email_.trimmed(), Qt::CaseInsensitive) == 0) {
        qCInfo(lcAuth, "Signed in at start with the stored session");
        finish(true);
        return;
    }
    auto task = signIn(this, auth_, email_, std::move(password));
    Q_UNUSED(task); // runs on; the guard below notices when this object is gone
}

QCoro::Task<> StartupSignIn::signIn(StartupSignIn* self, QuilloAuthService& auth, QString email, QString password) {
    QPointer<StartupSignIn> guard(self);
    const bool signedIn = co_await auth.signIn(std::move(email), std::move(password));
    if (signedIn) {
        qCInfo(lcAuth, "Signed in at start");
    } else {
        // The catalogue's sentences never hold the address or the password.
        const QString reason = auth.authError().value_or(auth.authNotice().value_or(QStringLiteral("Sign-in failed.")));
        qCWarning(lcAuth, "Sign-in at start failed: %s", qUtf8Printable(reason));
    }
    if (guard) guard->finish(signedIn);
}

void StartupSignIn::finish(bool signedIn) {
    outcome_ = signedIn;
    emit finished(signedIn);
}

} // namespace quillo
