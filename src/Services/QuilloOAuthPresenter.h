#pragma once

#include "Platform/WebAuthenticationSession.h"
#include "Support/Cancellation.h"
#include "Support/Clock.h"
#include "Support/QuilloOAuthError.h"
#include "Support/SharedResult.h"

#include <QObject>
#include <QUrl>
#include <cstdint>
#include <memory>
#include <optional>
#include <variant>

#include <qcoro/qcorotask.h>

namespace quillo {

// Opens the provider page in the desktop's web authentication session and waits for the
// "quillo://auth/callback" address it ends with. One flow at a time; a flow ends by exactly one
// of: the callback, the user closing the page, a failure, the 300 s timeout, cancellation of
// the caller's token, a callback the application delivers, or cancelPendingFlow().
class QuilloOAuthPresenter : public QObject {
    Q_OBJECT
public:
    static constexpr double timeoutSeconds = 300.0;

    // `session` must outlive the presenter.
    explicit QuilloOAuthPresenter(WebAuthenticationSession& session, Clock& clock = Clock::shared(),
                                  QObject* parent = nullptr);
    ~QuilloOAuthPresenter() override;

    // The callback address (not yet validated: QuilloOAuthPKCE::authorizationCode does that).
    // Throws QuilloOAuthError: browserUnavailable when a flow is already pending (that one goes
    // on), the scheme is not "quillo" or the page could not be shown; cancelled when the flow
    // was cancelled or timed out.
    QCoro::Task<QUrl> authenticate(QUrl url, QString callbackURLScheme, CancellationToken token = {});

    // A callback address the desktop handed to the application: finishes the pending flow when
    // it is our callback. Reports whether it was taken.
    bool deliverCallback(const QUrl& url);
    // Ends the pending flow as cancelled and closes its page.
    void cancelPendingFlow();

    bool isPending() const { return static_cast<bool>(pending_); }

private:
    using Outcome = std::variant<QUrl, QuilloOAuthError>;

    void finish(Outcome outcome, bool cancelSession);

    WebAuthenticationSession& session_;
    Clock& clock_;
    std::shared_ptr<SharedResult<Outcome>> pending_;
    std::optional<Clock::TimerId> timeoutTimer_;
    std::uint64_t flow_ = 0; // completions of an earlier flow are ignored
    bool sessionRunning_ = false;
};

} // namespace quillo
