#include "Services/QuilloAuthService.h"

#include "Models/NetworkErrorCode.h"
#include "Platform/AuthenticatorCodePrompt.h"
#include "Platform/SecureStore.h"
#include "Platform/UserDefaults.h"
#include "Services/QuilloAuthError.h"
#include "Services/QuilloAuthSessionStore.h"
#include "Services/QuilloCloudError.h"
#include "Services/QuilloDiagnostics.h"
#include "Services/QuilloOAuthPresenter.h"
#include "Support/Cancellation.h"
#include "Support/Logging.h"
#include "Support/QuilloAuthenticatorCode.h"
#include "Support/QuilloInstallationIdentity.h"
#include "Support/QuilloOAuthError.h"
#include "Support/QuilloOAuthSupport.h"
#include "Support/QuilloReauthenticationProof.h"
#include "Support/TaskOutcome.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace quillo {

namespace {

using Catalog = UserFacingErrorCatalog::AuthenticationFailure;
using OAuthKind = QuilloOAuthError::Kind;

const QString kSignUp = QStringLiteral("sign_up");
const QString kSignIn = QStringLiteral("sign_in");

QString bearerFor(const QString& accessToken) { return QStringLiteral("Bearer ") + accessToken; }

std::optional<QuilloOAuthError> oauthErrorIn(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const QuilloOAuthError& e) {
        return e;
    } catch (...) {}
    return std::nullopt;
}

bool isConfirmedRevocation(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const QuilloAuthError& e) {
        return e.isHTTP(401, QStringLiteral("session_invalid")) || e.isHTTP(401, QStringLiteral("session_required"));
    } catch (...) {}
    return false;
}

} // namespace

QuilloAuthService::QuilloAuthService(CloudHttpTransport& transport, SecureStore& secureStore, UserDefaults& defaults,
                                     Options options)
    : transport_(transport), secureStore_(secureStore), defaults_(defaults),
      clock_(options.clock ? *options.clock : Clock::shared()), recordEvent_(std::move(options.recordEvent)),
      presenter_(options.presenter), codePrompt_(options.codePrompt),
      authURL_(QuilloCloudService::authURL(options.endpoint)) {
    if (!recordEvent_)
        recordEvent_ = [](QuilloDiagnosticEvent event, std::optional<QUuid> id) {
            QuilloDiagnostics::record(event, id);
        };
    session_ = QuilloAuthSessionStore::loadSession(secureStore_, defaults_);
}

QuilloAuthService::~QuilloAuthService() = default;

// MARK: published state

void QuilloAuthService::setSession(std::optional<QuilloAuthSession> session) {
    if (session_ == session) return;
    session_ = std::move(session);
    emit sessionChanged(session_);
}

void QuilloAuthService::setLoading(bool value) {
    if (isLoading_ == value) return;
    isLoading_ = value;
    emit isLoadingChanged();
}

void QuilloAuthService::setAuthError(std::optional<QString> value) {
    if (authError_ == value) return;
    authError_ = std::move(value);
    emit authErrorChanged();
}

void QuilloAuthService::setAuthNotice(std::optional<QString> value) {
    if (authNotice_ == value) return;
    authNotice_ = std::move(value);
    emit authNoticeChanged();
}

void QuilloAuthService::setCanCancelAccountDeletion(bool value) {
    if (canCancelAccountDeletion_ == value) return;
    canCancelAccountDeletion_ = value;
    emit canCancelAccountDeletionChanged();
}

void QuilloAuthService::clearMessages() {
    setAuthError(std::nullopt);
    setAuthNotice(std::nullopt);
}

void QuilloAuthService::record(QuilloDiagnosticEvent event) { recordEvent_(event, std::nullopt); }

double QuilloAuthService::nowSince1970() const {
    return static_cast<double>(clock_.now().toMSecsSinceEpoch()) / 1000.0;
}

bool QuilloAuthService::ownerMatches(const AuthenticatedSessionOwner& owner) const {
    if (!session_) return false;
    return owner.matches(session_->userId, session_->accessToken);
}

// MARK: request layer

QCoro::Task<QuilloAuthResponse> QuilloAuthService::request(Payload payload, std::optional<QString> authorization) {
    if (!authURL_) throw QuilloAuthError::invalidEndpoint();
    QJsonObject body;
    for (auto it = payload.cbegin(); it != payload.cend(); ++it) body.insert(it.key(), it.value());

    CloudHttpRequest request;
    request.method = "POST";
    request.url = *authURL_;
    request.headers.emplace_back("Content-Type", "application/json");
    if (authorization) request.headers.emplace_back("Authorization", authorization->toUtf8());
    request.body = QJsonDocument(body).toJson(QJsonDocument::Compact);
    request.timeoutSeconds = requestTimeoutSeconds;

    const CloudHttpResponse response = co_await transport_.send(std::move(request), CancellationToken());
    if (response.status == 200) co_return QuilloAuthResponse::decode(response.body);

    const int status = response.isHTTP() ? response.status : -1;
    const std::optional<QString> code = QuilloAuthResponse::failureCode(response.body);
    qCInfo(lcAuth).noquote() << "Account endpoint answered" << status << payload.value(QStringLiteral("action"))
                             << code.value_or(QStringLiteral("-"));
    if (authorization && SessionInvalidationPolicy::shouldInvalidateSession(status, code))
        endSessionIfUnauthorized(*authorization);
    throw QuilloAuthError::http(status, code);
}

QuilloAuthService::SaveOutcome QuilloAuthService::save(const QuilloAuthResponse& response) {
    if (!response.accessToken || !response.user || !response.user->id || !response.user->email)
        return SaveOutcome::incomplete;
    std::optional<double> expiry = response.expiresAt;
    if (!expiry && response.expiresIn) expiry = nowSince1970() + *response.expiresIn;
    QuilloAuthSession session{*response.accessToken, response.refreshToken, expiry,
                              *response.user->id,    *response.user->email, response.user->provider};
    setSession(session);
    if (!QuilloAuthSessionStore::storeSessionData(secureStore_, session.toJson())) {
        setAuthError(UserFacingErrorCatalog::authentication(Catalog::secureStorageUnavailable(), Operation::signIn));
        setSession(std::nullopt);
        return SaveOutcome::storageFailed;
    }
    defaults_.remove(QuilloAuthSessionStore::legacyDefaultsKey);
    return SaveOutcome::saved;
}

void QuilloAuthService::clearSession(bool clearMessagesToo) {
    setSession(std::nullopt);
    if (clearMessagesToo) clearMessages();
    QuilloAuthSessionStore::clearStoredSession(secureStore_, defaults_);
}

void QuilloAuthService::invalidateSessionIfUnauthorized(const QString& authorization) {
    endSessionIfUnauthorized(authorization);
}

bool QuilloAuthService::endSessionIfUnauthorized(const QString& authorization) {
    const std::optional<QString> token = session_ ? std::optional<QString>(session_->accessToken) : std::nullopt;
    if (!SessionInvalidationPolicy::authorizationMatchesAccessToken(authorization, token)) return false;
    qCInfo(lcAuth) << "Session refused by the cloud; signing out";
    clearSession(true);
    return true;
}

// MARK: messages

QString QuilloAuthService::userFacingError(const std::exception_ptr& error, Operation operation) {
    Catalog failure = Catalog::unexpected();
    try {
        std::rethrow_exception(error);
    } catch (const QuilloAuthError& e) {
        switch (e.kind()) {
        case QuilloAuthError::Kind::http: failure = Catalog::http(e.status(), e.code()); break;
        case QuilloAuthError::Kind::invalidEndpoint: failure = Catalog::invalidEndpoint(); break;
        case QuilloAuthError::Kind::incompleteResponse: failure = Catalog::incompleteResponse(); break;
        }
    } catch (const NetworkError& e) {
        failure = Catalog::network(e.code);
    } catch (const CancellationError&) {
        failure = Catalog::network(NetworkErrorCode::cancelled);
    } catch (const CloudResponseDecodingError&) {
        failure = Catalog::invalidResponse();
    } catch (...) {}
    return UserFacingErrorCatalog::authentication(failure, operation);
}

QString QuilloAuthService::googleSignInError(const std::exception_ptr& error) {
    if (const auto oauth = oauthErrorIn(error)) {
        switch (oauth->kind()) {
        case OAuthKind::secureRandomUnavailable:
            return QStringLiteral(
                "Quillo could not securely start Google sign-in. Restart your computer and try again.");
        case OAuthKind::invalidCallback:
            return QStringLiteral("Google returned an invalid sign-in response. Close the browser and try again.");
        case OAuthKind::providerRejected: return QStringLiteral("Google sign-in was not completed. Try again.");
        case OAuthKind::browserUnavailable:
            return QStringLiteral(
                "Quillo could not open secure Google sign-in. Check your default browser and try again.");
        case OAuthKind::cancelled: break;
        }
    }
    return userFacingError(error, Operation::signIn);
}

QString QuilloAuthService::googleReauthenticationError(const std::exception_ptr& error) {
    if (const auto oauth = oauthErrorIn(error)) {
        switch (oauth->kind()) {
        case OAuthKind::secureRandomUnavailable:
            return QStringLiteral(
                "Quillo could not securely start Google verification. Restart your computer and try again.");
        case OAuthKind::invalidCallback:
            return QStringLiteral("Google returned an invalid verification response. Close the browser and try again.");
        case OAuthKind::providerRejected: return QStringLiteral("Google verification was not completed. Try again.");
        case OAuthKind::browserUnavailable:
            return QStringLiteral(
                "Quillo could not open secure Google verification. Check your default browser and try again.");
        case OAuthKind::cancelled: break;
        }
    }
    return userFacingError(error, Operation::deleteGoogleAccount);
}

bool QuilloAuthService::isOAuthCancellation(const std::exception_ptr& error) {
    const auto oauth = oauthErrorIn(error);
    return oauth && oauth->kind() == OAuthKind::cancelled;
}

// MARK: e-mail sign-up and sign-in

QCoro::Task<bool> QuilloAuthService::signUp(QString email, QString password) {
    return authenticate(kSignUp, std::move(email), std::move(password));
}

QCoro::Task<bool> QuilloAuthService::signIn(QString email, QString password) {
    return authenticate(kSignIn, std::move(email), std::move(password));
}

QCoro::Task<bool> QuilloAuthService::authenticate(QString action, QString email, QString password) {
    if (isLoading_) co_return false;
    setLoading(true);
    clearMessages();
    const QUuid generation = signInGeneration_.begin();
    signInUsesBrowser_ = false;
    const Operation operation = action == kSignUp ? Operation::createAccount : Operation::signIn;

    bool result = false;
    std::exception_ptr failure;
    std::optional<QuilloAuthResponse> response;
    try {
        Payload payload0{{QStringLiteral("action"), action},
                         {QStringLiteral("email"), email},
                         {QStringLiteral("password"), password},
                         {QStringLiteral("installationId"), QuilloInstallationIdentity::value(defaults_)}};
        response = co_await request(std::move(payload0), std::nullopt);
    } catch (...) {
        failure = std::current_exception();
    }

    if (!signInGeneration_.isCurrent(generation)) {
        // Signed out while waiting: the answer must not sign anyone in.
        if (response) revokeAbandonedSession(*response);
        co_return false;
    }
    if (response) {
        switch (save(*response)) {
        case SaveOutcome::saved:
            record(action == kSignUp ? QuilloDiagnosticEvent::accountCreated : QuilloDiagnosticEvent::sessionSignedIn);
            result = true;
            break;
        case SaveOutcome::incomplete:
            if (response->emailConfirmationRequired.value_or(false))
                setAuthNotice(QStringLiteral("Check your email to confirm your account, then sign in."));
            else setAuthError(UserFacingErrorCatalog::authentication(Catalog::incompleteResponse(), operation));
            break;
        case SaveOutcome::storageFailed: break;
        }
    } else {
        record(QuilloDiagnosticEvent::sessionSignInFailed);
        setAuthError(userFacingError(failure, operation));
    }
    signInGeneration_.finish(generation);
    setLoading(false);
    co_return result;
}

void QuilloAuthService::revokeAbandonedSession(const QuilloAuthResponse& response) {
    if (!response.accessToken) return;
    qCInfo(lcAuth) << "Dropping a sign-in answer that arrived after sign-out";
    observe(request({{QStringLiteral("action"), QStringLiteral("sign_out")}}, bearerFor(*response.accessToken)));
}

// MARK: e-mail actions

QCoro::Task<bool> QuilloAuthService::requestPasswordReset(QString email) {
    return performEmailAction(
        QStringLiteral("request_password_reset"), std::move(email),
        QStringLiteral("If an account exists for this address, a password reset email has been sent."));
}

QCoro::Task<bool> QuilloAuthService::resendConfirmation(QString email) {
    return performEmailAction(
        QStringLiteral("resend_confirmation"), std::move(email),
        QStringLiteral("If this address has a pending account, a new confirmation email has been sent."));
}

QCoro::Task<bool> QuilloAuthService::performEmailAction(QString action, QString email, QString successMessage) {
    if (isLoading_) co_return false;
    setLoading(true);
    clearMessages();
    bool result = false;
    std::exception_ptr failure;
    try {
        Payload payload1{{QStringLiteral("action"), action}, {QStringLiteral("email"), email}};
        co_await request(std::move(payload1), std::nullopt);
        result = true;
    } catch (...) {
        failure = std::current_exception();
    }
    if (result) setAuthNotice(successMessage);
    else setAuthError(userFacingError(failure, Operation::sendEmail));
    setLoading(false);
    co_return result;
}

// MARK: Google sign-in

QCoro::Task<bool> QuilloAuthService::signInWithGoogle() {
    if (isLoading_) co_return false;
    setLoading(true);
    clearMessages();
    const QUuid generation = signInGeneration_.begin();
    signInUsesBrowser_ = true;

    bool result = false;
    std::exception_ptr failure;
    try {
        result = co_await performGoogleAuthentication(generation);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!signInGeneration_.isCurrent(generation)) co_return false; // abandoned by a sign-out
    if (failure && !isOAuthCancellation(failure)) {
        record(QuilloDiagnosticEvent::sessionSignInFailed);
        setAuthError(googleSignInError(failure));
    }
    signInGeneration_.finish(generation);
    setLoading(false);
    co_return result;
}

QCoro::Task<bool> QuilloAuthService::performGoogleAuthentication(QUuid generation) {
    const QString installationId = QuilloInstallationIdentity::value(defaults_);
    const QString verifier = QuilloOAuthPKCE::randomBase64URLString(QuilloOAuthPKCE::verifierByteCount);
    Payload payload2{{QStringLiteral("action"), QStringLiteral("start_google_oauth")},
                     {QStringLiteral("codeChallenge"), QuilloOAuthPKCE::challenge(verifier)},
                     {QStringLiteral("installationId"), installationId}};
    const QuilloAuthResponse start = co_await request(std::move(payload2), std::nullopt);
    if (!signInGeneration_.isCurrent(generation)) co_return false;
    const QUrl page = start.oauthURL ? QUrl(*start.oauthURL, QUrl::StrictMode) : QUrl();
    if (!page.isValid() || page.isRelative() || page.scheme() != QLatin1String("https") || page.host().isEmpty() ||
        !presenter_)
        throw QuilloOAuthError(OAuthKind::browserUnavailable);

    const QUrl callback = co_await presenter_->authenticate(page, QuilloOAuthPKCE::callbackScheme);
    if (!signInGeneration_.isCurrent(generation)) co_return false;
    const QString code = QuilloOAuthPKCE::authorizationCode(callback, QuilloOAuthPKCE::expectedState(page));

    Payload payload3{{QStringLiteral("action"), QStringLiteral("complete_google_oauth")},
                     {QStringLiteral("authCode"), code},
                     {QStringLiteral("codeVerifier"), verifier},
                     {QStringLiteral("installationId"), installationId}};
    const QuilloAuthResponse answer = co_await request(std::move(payload3), std::nullopt);
    if (!signInGeneration_.isCurrent(generation)) {
        revokeAbandonedSession(answer);
        co_return false;
    }
    switch (save(answer)) {
    case SaveOutcome::saved: record(QuilloDiagnosticEvent::sessionSignedIn); co_return true;
    case SaveOutcome::incomplete:
        setAuthError(UserFacingErrorCatalog::authentication(Catalog::incompleteResponse(), Operation::signIn));
        co_return false;
    case SaveOutcome::storageFailed: co_return false;
    }
    co_return false;
}

// MARK: bearer and refresh

QCoro::Task<std::optional<QString>> QuilloAuthService::authorizationBearer() {
    if (!session_) co_return std::nullopt;
    if (session_->expiresAt && nowSince1970() > *session_->expiresAt - refreshLeadSeconds) {
        const bool refreshed = co_await refreshSession();
        if (!refreshed || !session_) co_return std::nullopt;
    }
    std::optional<QString> bearer = bearerFor(session_->accessToken);
    co_return bearer;
}

QCoro::Task<bool> QuilloAuthService::refreshSession() {
    if (refreshTask_) {
        auto running = refreshTask_;
        const bool shared = co_await running->wait();
        co_return shared;
    }
    auto task = std::make_shared<SharedResult<bool>>();
    refreshTask_ = task;
    std::weak_ptr<int> alive = lifetime_;
    observe(performRefreshSession(),
            std::function<void(const TaskOutcome<bool>&)>([task, alive](const TaskOutcome<bool>& outcome) {
                task->set(!alive.expired() && !outcome.error && outcome.value.value_or(false));
            }));
    const bool result = co_await task->wait();
    if (!alive.expired() && refreshTask_ == task) refreshTask_.reset();
    co_return result;
}

QCoro::Task<bool> QuilloAuthService::performRefreshSession() {
    const std::optional<QuilloAuthSession> captured = session_;
    if (!captured || !captured->refreshToken) {
        record(QuilloDiagnosticEvent::sessionRefreshFailed);
        clearSession(true);
        co_return false;
    }
    std::weak_ptr<int> alive = lifetime_;
    std::optional<QuilloAuthResponse> response;
    std::exception_ptr failure;
    try {
        Payload payload4{{QStringLiteral("action"), QStringLiteral("refresh")},
                         {QStringLiteral("refreshToken"), *captured->refreshToken}};
        response = co_await request(std::move(payload4), std::nullopt);
    } catch (...) {
        failure = std::current_exception();
    }
    if (alive.expired()) co_return false;
    const bool stillCaptured = session_ == captured;
    if (response) {
        if (!stillCaptured) co_return false; // signed out or replaced while waiting
        if (save(*response) == SaveOutcome::saved) {
            clearMessages();
            co_return true;
        }
        record(QuilloDiagnosticEvent::sessionRefreshFailed);
        clearSession(true);
        co_return false;
    }
    bool refused = false;
    try {
        std::rethrow_exception(failure);
    } catch (const QuilloAuthError& e) {
        refused = e.kind() == QuilloAuthError::Kind::http && (e.status() == 400 || e.status() == 401);
    } catch (...) {}
    if (refused) {
        qCInfo(lcAuth) << "Session refresh refused; signing out";
        if (stillCaptured) clearSession(true);
    } else if (stillCaptured) {
        // The network or the service failed: keep the session for when it is back.
        setAuthError(userFacingError(failure, Operation::refreshSession));
    }
    co_return false;
}

QCoro::Task<std::optional<QString>> QuilloAuthService::currentAuthorization(AuthenticatedSessionOwner owner,
                                                                            std::optional<QUuid> generation) {
    if (generation && !sensitiveActionGeneration_.isCurrent(generation)) co_return std::nullopt;
    if (!ownerMatches(owner)) co_return std::nullopt;
    std::optional<QString> bearer = co_await authorizationBearer();
    if (!bearer) co_return std::nullopt;
    if (!ownerMatches(owner)) co_return std::nullopt;
    if (generation && !sensitiveActionGeneration_.isCurrent(generation)) co_return std::nullopt;
    co_return bearer;
}

// MARK: sign-out

QCoro::Task<> QuilloAuthService::signOut() {
    if (isLoading_) {
        // Only a waiting sign-in gives way; any other operation keeps the service busy.
        if (!signInGeneration_.id()) co_return;
        signInGeneration_.invalidate();
        if (signInUsesBrowser_ && presenter_) presenter_->cancelPendingFlow();
        setLoading(false);
    }
    const std::optional<QuilloAuthSession> current = session_;
    setLoading(true);
    clearMessages();
    if (!current) {
        if (!session_) record(QuilloDiagnosticEvent::sessionSignedOut);
        setLoading(false);
        co_return;
    }
    const AuthenticatedSessionOwner owner = AuthenticatedSessionOwner::from(*current);
    const std::optional<QString> authorization = co_await currentAuthorization(owner, std::nullopt);
    if (!authorization) {
        if (ownerMatches(owner)) {
            clearSession(false);
            setAuthError(signedOutUnconfirmed);
        }
        if (!session_) record(QuilloDiagnosticEvent::sessionSignedOut);
        setLoading(false);
        co_return;
    }

    std::exception_ptr failure;
    try {
        Payload payload5{{QStringLiteral("action"), QStringLiteral("sign_out")}};
        co_await request(std::move(payload5), authorization);
    } catch (...) {
        failure = std::current_exception();
    }
    if (ownerMatches(owner)) clearSession(false);
    if (failure && !session_ && !isConfirmedRevocation(failure)) setAuthError(signedOutUnconfirmed);
    if (!session_) record(QuilloDiagnosticEvent::sessionSignedOut);
    setLoading(false);
}

// MARK: account deletion

std::optional<QUuid> QuilloAuthService::beginSensitiveAction(bool allowsCancellation) {
    if (isLoading_) return std::nullopt;
    const std::optional<QUuid> generation = sensitiveActionGeneration_.beginIfIdle();
    if (!generation) return std::nullopt;
    setLoading(true);
    setCanCancelAccountDeletion(allowsCancellation);
    clearMessages();
    return generation;
}

bool QuilloAuthService::isCurrentSensitiveAction(const QUuid& generation,
                                                 const AuthenticatedSessionOwner& owner) const {
    return sensitiveActionGeneration_.isCurrent(generation) && ownerMatches(owner);
}

bool QuilloAuthService::shouldPublishSensitiveActionResult(const QUuid& generation,
                                                           const AuthenticatedSessionOwner& owner) const {
    return sensitiveActionGeneration_.isCurrent(generation) && (!session_ || ownerMatches(owner));
}

void QuilloAuthService::finishSensitiveAction(const QUuid& generation) {
    if (!sensitiveActionGeneration_.finish(generation)) return; // cancelled or superseded
    setCanCancelAccountDeletion(false);
    setLoading(false);
}

void QuilloAuthService::accountDeleted() {
    clearSession(false);
    record(QuilloDiagnosticEvent::accountDeletionSucceeded);
    setAuthNotice(QStringLiteral("Your Quillo account and cloud credits were permanently deleted."));
}

QCoro::Task<bool> QuilloAuthService::deleteAccount(QString currentPassword, QString mfaCode) {
    if (!session_) {
        record(QuilloDiagnosticEvent::accountDeletionFailed);
        setAuthError(QStringLiteral("Sign in again before deleting your account."));
        co_return false;
    }
    const AuthenticatedSessionOwner owner = AuthenticatedSessionOwner::from(*session_);
    const std::optional<QUuid> begun = beginSensitiveAction(false);
    if (!begun) co_return false;
    const QUuid generation = *begun;

    const std::optional<QString> authorization = co_await currentAuthorization(owner, generation);
    if (!authorization) {
        finishSensitiveAction(generation);
        co_return false;
    }
    Payload payload{{QStringLiteral("action"), QStringLiteral("delete_account")},
                    {QStringLiteral("password"), currentPassword}};
    const QString code = mfaCode.trimmed();
    if (!code.isEmpty()) payload.insert(QStringLiteral("mfaCode"), code);

    std::exception_ptr failure;
    try {
        co_await request(payload, authorization);
    } catch (...) {
        failure = std::current_exception();
    }
    bool result = false;
    if (!failure) {
        if (isCurrentSensitiveAction(generation, owner)) {
            accountDeleted();
            result = true;
        }
    } else if (shouldPublishSensitiveActionResult(generation, owner)) {
        record(QuilloDiagnosticEvent::accountDeletionFailed);
        setAuthError(userFacingError(failure, Operation::deleteAccount));
    }
    finishSensitiveAction(generation);
    co_return result;
}

QCoro::Task<bool> QuilloAuthService::deleteGoogleAccount() {
    if (!session_) {
        record(QuilloDiagnosticEvent::accountDeletionFailed);
        setAuthError(QStringLiteral("Sign in again before deleting your account."));
        co_return false;
    }
    const AuthenticatedSessionOwner owner = AuthenticatedSessionOwner::from(*session_);
    const std::optional<QUuid> begun = beginSensitiveAction(true);
    if (!begun) co_return false;
    const QUuid generation = *begun;

    bool result = false;
    bool quiet = false; // the session changed meanwhile: that change explains itself
    std::exception_ptr failure;
    try {
        const QString verifier = QuilloOAuthPKCE::randomBase64URLString(QuilloOAuthPKCE::verifierByteCount);
        std::optional<QString> authorization = co_await currentAuthorization(owner, generation);
        if (!authorization) {
            quiet = true;
        } else {
            Payload payload6{{QStringLiteral("action"), QStringLiteral("start_google_reauthentication")},
                             {QStringLiteral("codeChallenge"), QuilloOAuthPKCE::challenge(verifier)}};
            const QuilloAuthResponse start = co_await request(std::move(payload6), authorization);
            const QUrl page = start.oauthURL ? QUrl(*start.oauthURL, QUrl::StrictMode) : QUrl();
            if (!isCurrentSensitiveAction(generation, owner) || !page.isValid() || page.isRelative() ||
                page.scheme() != QLatin1String("https") || page.host().isEmpty() || !start.reauthenticationProof ||
                !QuilloReauthenticationProof::isValid(*start.reauthenticationProof))
                throw QuilloAuthError::incompleteResponse();
            const QString proof = *start.reauthenticationProof;
            if (!presenter_) throw QuilloOAuthError(OAuthKind::browserUnavailable);

            const QUrl callback = co_await presenter_->authenticate(page, QuilloOAuthPKCE::callbackScheme);
            if (!isCurrentSensitiveAction(generation, owner)) {
                quiet = true;
            } else {
                setCanCancelAccountDeletion(false); // the browser step is over
                const QString code = QuilloOAuthPKCE::authorizationCode(callback, QuilloOAuthPKCE::expectedState(page));
                QString mfaCode;
                if (start.mfaRequired.value_or(false)) {
                    const std::optional<QString> entered = co_await requestFreshAuthenticatorCode();
                    if (!entered) throw QuilloOAuthError(OAuthKind::cancelled);
                    mfaCode = *entered;
                }
                authorization = co_await currentAuthorization(owner, generation);
                if (!authorization) {
                    quiet = true;
                } else {
                    Payload complete{{QStringLiteral("action"), QStringLiteral("complete_google_reauthentication")},
                                     {QStringLiteral("authCode"), code},
                                     {QStringLiteral("codeVerifier"), verifier},
                                     {QStringLiteral("reauthenticationProof"), proof}};
                    if (!mfaCode.isEmpty()) complete.insert(QStringLiteral("mfaCode"), mfaCode);
                    co_await request(complete, authorization);
                    authorization = co_await currentAuthorization(owner, generation);
                    if (!authorization) {
                        quiet = true;
                    } else {
                        Payload payload7{{QStringLiteral("action"), QStringLiteral("delete_google_account")},
                                         {QStringLiteral("reauthenticationProof"), proof}};
                        co_await request(std::move(payload7), authorization);
                        if (isCurrentSensitiveAction(generation, owner)) {
                            accountDeleted();
                            result = true;
                        }
                    }
                }
            }
        }
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure && !quiet && !isOAuthCancellation(failure) && shouldPublishSensitiveActionResult(generation, owner)) {
        record(QuilloDiagnosticEvent::accountDeletionFailed);
        setAuthError(googleReauthenticationError(failure));
    }
    finishSensitiveAction(generation);
    co_return result;
}

void QuilloAuthService::cancelAccountDeletion() {
    if (!canCancelAccountDeletion_) return;
    sensitiveActionGeneration_.invalidate();
    setCanCancelAccountDeletion(false);
    setLoading(false);
    if (presenter_) presenter_->cancelPendingFlow();
}

QCoro::Task<std::optional<QString>> QuilloAuthService::requestFreshAuthenticatorCode() {
    if (!codePrompt_) throw QuilloAuthError::http(403, QStringLiteral("mfa_required"));
    std::weak_ptr<int> alive = lifetime_;
    for (;;) {
        const std::optional<QString> entry = co_await codePrompt_->askForCode();
        if (alive.expired() || !entry) co_return std::nullopt;
        if (std::optional<QString> code = QuilloAuthenticatorCode::normalized(*entry)) co_return code;
        co_await codePrompt_->showInvalidCode();
        if (alive.expired()) co_return std::nullopt;
    }
}

} // namespace quillo
