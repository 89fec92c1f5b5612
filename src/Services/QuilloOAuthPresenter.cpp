#include "Services/QuilloOAuthPresenter.h"

#include "Support/Logging.h"
#include "Support/QuilloOAuthSupport.h"

#include <QPointer>

namespace quillo {

using Kind = QuilloOAuthError::Kind;

QuilloOAuthPresenter::QuilloOAuthPresenter(WebAuthenticationSession& session, Clock& clock, QObject* parent)
    : QObject(parent), session_(session), clock_(clock) {}

QuilloOAuthPresenter::~QuilloOAuthPresenter() {
    if (timeoutTimer_) clock_.cancelScheduled(*timeoutTimer_);
    if (sessionRunning_) session_.cancel();
}

QCoro::Task<QUrl> QuilloOAuthPresenter::authenticate(QUrl url, QString callbackURLScheme, CancellationToken token) {
    if (pending_ || callbackURLScheme.toLower() != QuilloOAuthPKCE::callbackScheme)
        throw QuilloOAuthError(Kind::browserUnavailable);
    if (token.isCancelled()) throw QuilloOAuthError(Kind::cancelled);

    auto pending = std::make_shared<SharedResult<Outcome>>();
    pending_ = pending;
    const std::uint64_t flow = ++flow_;
    QPointer<QuilloOAuthPresenter> self(this);
    CancellationRegistration registration = token.onCancel([self, flow] {
        if (self && self->flow_ == flow) self->finish(QuilloOAuthError(Kind::cancelled), true);
    });

    const bool started =
        session_.start(url, callbackURLScheme,
                       [self, flow](std::optional<QUrl> callback, std::optional<WebAuthenticationSessionError> error) {
                           if (!self || self->flow_ != flow) return; // a late completion of an earlier flow
                           if (callback) {
                               self->finish(*callback, false);
                           } else if (error == WebAuthenticationSessionError::userCancelled) {
                               self->finish(QuilloOAuthError(Kind::cancelled), false);
                           } else {
                               self->finish(QuilloOAuthError(Kind::browserUnavailable), false);
                           }
                       });
    if (!started) {
        qCInfo(lcAuth) << "Web authentication could not start";
        finish(QuilloOAuthError(Kind::browserUnavailable), false);
    } else if (pending_ == pending) {
        sessionRunning_ = true;
        timeoutTimer_ = clock_.schedule(timeoutSeconds, [self, flow] {
            if (!self || self->flow_ != flow) return;
            self->timeoutTimer_.reset();
            qCInfo(lcAuth) << "Web authentication timed out";
            self->finish(QuilloOAuthError(Kind::cancelled), true);
        });
    }

    const Outcome outcome = co_await pending->wait();
    registration.reset();
    if (const auto* error = std::get_if<QuilloOAuthError>(&outcome)) throw *error;
    QUrl callback = std::get<QUrl>(outcome);
    co_return callback;
}

bool QuilloOAuthPresenter::deliverCallback(const QUrl& url) {
    if (!pending_ || !QuilloOAuthPKCE::isExpectedCallback(url)) return false;
    finish(url, true);
    return true;
}

void QuilloOAuthPresenter::cancelPendingFlow() { finish(QuilloOAuthError(Kind::cancelled), true); }

void QuilloOAuthPresenter::finish(Outcome outcome, bool cancelSession) {
    if (!pending_) return; // late or duplicate completions
    auto pending = std::move(pending_);
    pending_.reset();
    ++flow_;
    if (timeoutTimer_) {
        clock_.cancelScheduled(*timeoutTimer_);
        timeoutTimer_.reset();
    }
    const bool running = sessionRunning_;
    sessionRunning_ = false;
    if (cancelSession && running) session_.cancel();
    pending->set(std::move(outcome));
}

} // namespace quillo
