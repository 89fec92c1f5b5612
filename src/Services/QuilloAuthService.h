#pragma once

#include "Services/CloudHttpTransport.h"
#include "Services/QuilloAuthResponse.h"
#include "Services/QuilloCloudService.h"
#include "Services/QuilloDiagnosticEvent.h"
#include "Services/QuilloSessionProviding.h"
#include "Support/Clock.h"
#include "Support/LatestRequestGeneration.h"
#include "Support/SessionIdentity.h"
#include "Support/SharedResult.h"
#include "Support/UserFacingErrorCatalog.h"

#include <QMap>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

#include <qcoro/qcorotask.h>

namespace quillo {

class AuthenticatorCodePrompt;
class QuilloOAuthPresenter;
class SecureStore;
class UserDefaults;

// The single owner of the signed-in state: sign-up and sign-in with e-mail or Google, the two
// e-mail actions, the bearer every authenticated cloud call carries (renewed shortly before it
// expires, one refresh at a time), the end of a session the backend no longer accepts, sign-out
// and account deletion. Every operation is one POST to the account endpoint; every decision is
// taken on the main thread, and after each wait the session is compared again so an answer
// never acts on a session that changed meanwhile.
class QuilloAuthService final : public QuilloSessionProviding {
    Q_OBJECT
public:
    using DiagnosticRecorder = std::function<void(QuilloDiagnosticEvent, std::optional<QUuid>)>;
    using Payload = QMap<QString, QString>;

    struct Options {
        // The cloud endpoint; the account endpoint is its "/api/auth".
        QString endpoint = QuilloCloudService::endpoint();
        Clock* clock = nullptr;                        // Clock::shared() when absent
        DiagnosticRecorder recordEvent;                // QuilloDiagnostics::record when absent
        QuilloOAuthPresenter* presenter = nullptr;     // without one Google flows cannot open
        AuthenticatorCodePrompt* codePrompt = nullptr; // without one a required code cannot be asked
    };

    static constexpr double requestTimeoutSeconds = 15.0;
    static constexpr double refreshLeadSeconds = 90.0;
    inline static const QString signedOutUnconfirmed = QStringLiteral(
        "Signed out on this computer, but Quillo could not confirm that your other sessions were revoked. Sign in and "
        "sign out again when the account service is available.");

    // Restores the stored session. The references must outlive the service.
    QuilloAuthService(CloudHttpTransport& transport, SecureStore& secureStore, UserDefaults& defaults, Options options);
    ~QuilloAuthService() override;

    // Published state.
    const std::optional<QuilloAuthSession>& session() const { return session_; }
    std::optional<QuilloAuthSession> currentSession() const override { return session_; }
    bool isLoading() const { return isLoading_; }
    const std::optional<QString>& authError() const { return authError_; }
    const std::optional<QString>& authNotice() const { return authNotice_; }
    bool canCancelAccountDeletion() const { return canCancelAccountDeletion_; }

    bool isSignedIn() const { return session_.has_value(); }
    QString displayEmail() const { return session_ ? session_->userEmail : QString(); }
    bool isGoogleSession() const { return session_ && session_->signInProvider == QLatin1String("google"); }
    std::optional<QUrl> authURL() const { return authURL_; }

    // Interactive operations: false (or nothing) at once while another one runs; otherwise the
    // outcome is published in `authError` / `authNotice`.
    QCoro::Task<bool> signUp(QString email, QString password);
    QCoro::Task<bool> signIn(QString email, QString password);
    QCoro::Task<bool> signInWithGoogle();
    QCoro::Task<bool> requestPasswordReset(QString email);
    QCoro::Task<bool> resendConfirmation(QString email);
    // Also abandons a sign-in that is still waiting: its answer then changes nothing.
    QCoro::Task<> signOut();

    // Account deletion. A password account proves itself with the password (and the
    // authenticator code when it has one); a Google account re-verifies in the browser.
    QCoro::Task<bool> deleteAccount(QString currentPassword, QString mfaCode);
    QCoro::Task<bool> deleteGoogleAccount();
    // Only while the Google page of a deletion is open.
    void cancelAccountDeletion();

    // "Bearer <access token>", refreshed first within 90 s of expiry; none without a session or
    // when the refresh failed.
    QCoro::Task<std::optional<QString>> authorizationBearer() override;
    void invalidateSessionIfUnauthorized(const QString& authorization) override;
    // Ends the session when `authorization` still carries its token; reports whether it did.
    bool endSessionIfUnauthorized(const QString& authorization);

signals:
    void isLoadingChanged();
    void authErrorChanged();
    void authNoticeChanged();
    void canCancelAccountDeletionChanged();

private:
    enum class SaveOutcome { saved, incomplete, storageFailed };
    using Operation = UserFacingErrorCatalog::AuthenticationOperation;

    QCoro::Task<QuilloAuthResponse> request(Payload payload, std::optional<QString> authorization);
    SaveOutcome save(const QuilloAuthResponse& response);
    void clearSession(bool clearMessages);
    QCoro::Task<bool> refreshSession();
    QCoro::Task<bool> performRefreshSession();
    QCoro::Task<std::optional<QString>> currentAuthorization(AuthenticatedSessionOwner owner,
                                                             std::optional<QUuid> generation);
    QCoro::Task<bool> authenticate(QString action, QString email, QString password);
    QCoro::Task<bool> performEmailAction(QString action, QString email, QString successMessage);
    QCoro::Task<bool> performGoogleAuthentication(QUuid generation);
    // Revokes, best effort, a session whose sign-in was abandoned before its answer arrived.
    void revokeAbandonedSession(const QuilloAuthResponse& response);

    std::optional<QUuid> beginSensitiveAction(bool allowsCancellation);
    bool isCurrentSensitiveAction(const QUuid& generation, const AuthenticatedSessionOwner& owner) const;
    bool shouldPublishSensitiveActionResult(const QUuid& generation, const AuthenticatedSessionOwner& owner) const;
    void finishSensitiveAction(const QUuid& generation);
    void accountDeleted();
    QCoro::Task<std::optional<QString>> requestFreshAuthenticatorCode();

    static QString userFacingError(const std::exception_ptr& error, Operation operation);
    static QString googleSignInError(const std::exception_ptr& error);
    static QString googleReauthenticationError(const std::exception_ptr& error);
    static bool isOAuthCancellation(const std::exception_ptr& error);

    bool ownerMatches(const AuthenticatedSessionOwner& owner) const;
    void setSession(std::optional<QuilloAuthSession> session);
    void setLoading(bool value);
    void setAuthError(std::optional<QString> value);
    void setAuthNotice(std::optional<QString> value);
    void setCanCancelAccountDeletion(bool value);
    void clearMessages();
    void record(QuilloDiagnosticEvent event);
    double nowSince1970() const;

    CloudHttpTransport& transport_;
    SecureStore& secureStore_;
    UserDefaults& defaults_;
    Clock& clock_;
    DiagnosticRecorder recordEvent_;
    QuilloOAuthPresenter* presenter_;
    AuthenticatorCodePrompt* codePrompt_;
    std::optional<QUrl> authURL_;

    std::optional<QuilloAuthSession> session_;
    bool isLoading_ = false;
    std::optional<QString> authError_;
    std::optional<QString> authNotice_;
    bool canCancelAccountDeletion_ = false;

    std::shared_ptr<SharedResult<bool>> refreshTask_;
    LatestRequestGeneration sensitiveActionGeneration_;
    // The running interactive sign-in (e-mail, or Google); a sign-out abandons it.
    LatestRequestGeneration signInGeneration_;
    bool signInUsesBrowser_ = false;
    // Suspended work holds this weakly to notice that the service is gone.
    std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
};

} // namespace quillo
