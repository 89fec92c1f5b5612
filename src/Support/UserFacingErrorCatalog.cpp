#include "Support/UserFacingErrorCatalog.h"

namespace quillo::UserFacingErrorCatalog {

namespace {

QString networkMessage(NetworkErrorCode code, const QString& action) {
    switch (code) {
    case NetworkErrorCode::notConnectedToInternet:
    case NetworkErrorCode::networkConnectionLost:
    case NetworkErrorCode::cannotFindHost:
    case NetworkErrorCode::cannotConnectToHost:
    case NetworkErrorCode::dnsLookupFailed: return QStringLiteral("Check your internet connection, then try again.");
    case NetworkErrorCode::timedOut:
        return QStringLiteral("Quillo took too long to ") + action + QStringLiteral(". Try again.");
    case NetworkErrorCode::secureConnectionFailed:
    case NetworkErrorCode::serverCertificateHasBadDate:
    case NetworkErrorCode::serverCertificateUntrusted:
    case NetworkErrorCode::serverCertificateHasUnknownRoot:
    case NetworkErrorCode::serverCertificateNotYetValid:
    case NetworkErrorCode::clientCertificateRejected:
    case NetworkErrorCode::clientCertificateRequired:
        return QStringLiteral(
            "Quillo could not establish a secure connection. Check your computer's date and network, then try again.");
    case NetworkErrorCode::cancelled: return QStringLiteral("The operation was interrupted. Try again.");
    case NetworkErrorCode::unknown:
    case NetworkErrorCode::badURL:
    case NetworkErrorCode::unsupportedURL:
    case NetworkErrorCode::badServerResponse:
    case NetworkErrorCode::cannotParseResponse: break;
    }
    return QStringLiteral("Quillo could not ") + action + QStringLiteral(". Try again.");
}

bool isServerError(int status) { return status >= 500 && status <= 599; }

QString correctionHTTP(int status) {
    switch (status) {
    case 400: return QStringLiteral("Quillo could not process this text. Check the selection and try again.");
    case 401: return QStringLiteral("Your session expired. Sign in again from Quillo Settings.");
    case 402: return QStringLiteral("Top up your balance, then try again.");
    case 403: return QStringLiteral("Corrections are unavailable for this account. Open Quillo to check your account.");
    case 408:
    case 504: return QStringLiteral("The correction took too long. Try again.");
    case 413: return QStringLiteral("This selection is too long. Select a shorter section and try again.");
    case 422: return QStringLiteral("Quillo could not understand the selected text. Check it and try again.");
    case 425: return QStringLiteral("The correction is still being prepared. Try again shortly.");
    case 429: return QStringLiteral("Both speeds are busy. Try again shortly.");
    default: break;
    }
    if (isServerError(status))
        return QStringLiteral("The correction service is temporarily unavailable. Try again shortly.");
    return QStringLiteral("Quillo could not complete the correction. Try again shortly.");
}

QString checkoutHTTP(int status) {
    switch (status) {
    case 400:
    case 422: return QStringLiteral("This credit pack is unavailable. Close this window and try again.");
    case 401: return QStringLiteral("Your session expired. Sign in again before purchasing credits.");
    case 403: return QStringLiteral("Purchases are not enabled for this account yet.");
    case 408:
    case 504: return QStringLiteral("Checkout took too long to respond. Try again; no payment was started.");
    case 409: return QStringLiteral("This checkout is no longer open. Try again.");
    case 429: return QStringLiteral("Too many checkout attempts. Wait a moment and try again.");
    default: break;
    }
    if (isServerError(status))
        return QStringLiteral("Checkout is temporarily unavailable. Try again; no payment was started.");
    return QStringLiteral("Checkout could not be opened. Try again; no payment was started.");
}

QString actionPhrase(AuthenticationOperation operation) {
    switch (operation) {
    case AuthenticationOperation::createAccount: return QStringLiteral("create your account");
    case AuthenticationOperation::signIn: return QStringLiteral("sign you in");
    case AuthenticationOperation::sendEmail: return QStringLiteral("send the email");
    case AuthenticationOperation::refreshSession: return QStringLiteral("refresh your session");
    case AuthenticationOperation::deleteAccount: return QStringLiteral("delete your account");
    case AuthenticationOperation::deleteGoogleAccount: return QStringLiteral("verify Google and delete your account");
    }
    return QStringLiteral("sign you in");
}

const QString& wrongCredentialsSentence() {
    static const QString sentence = QStringLiteral(
        "The email or password is incorrect. If you signed up with Google, choose Continue with Google.");
    return sentence;
}

QString authenticationHTTPMessage(int status, AuthenticationOperation operation) {
    using Op = AuthenticationOperation;
    switch (status) {
    case 400:
        if (operation == Op::signIn) return wrongCredentialsSentence();
        return QStringLiteral("Check the information you entered and try again.");
    case 401:
        if (operation == Op::deleteGoogleAccount)
            return QStringLiteral("Google verification could not be confirmed. Try again.");
        if (operation == Op::signIn) return wrongCredentialsSentence();
        return QStringLiteral("Your session expired. Sign in again and retry.");
    case 403:
        if (operation == Op::createAccount) return QStringLiteral("Sign-up verification failed. Try again.");
        return QStringLiteral("This account action is not allowed. Sign in again and retry.");
    case 408:
    case 504: return QStringLiteral("The account service took too long to respond. Try again.");
    case 429: return QStringLiteral("Too many attempts. Wait a moment, then try again.");
    default: break;
    }
    if (isServerError(status))
        return QStringLiteral("The account service is temporarily unavailable. Try again shortly.");
    return QStringLiteral("Quillo could not ") + actionPhrase(operation) + QStringLiteral(". Try again.");
}

// Codes are compared exactly: the service's codes are lower snake case, and anything else is unknown.
std::optional<QString> authenticationCodeMessage(const std::optional<QString>& code,
                                                 AuthenticationOperation operation) {
    using Op = AuthenticationOperation;
    if (!code) return std::nullopt;
    const QString& c = *code;
    const auto is = [&c](const char* known) { return c == QLatin1String(known); };

    if (is("missing_required_field")) return QStringLiteral("Complete all required fields and try again.");
    if (is("invalid_email")) return QStringLiteral("Enter a valid email address.");
    if (is("invalid_password")) return QStringLiteral("Use a password between 8 and 128 characters.");
    if (is("weak_password")) return QStringLiteral("Choose a stronger password that you have not used elsewhere.");
    if (is("account_already_exists"))
        return QStringLiteral("An account already exists with this email. Sign in instead. If you used Google, choose "
                              "Continue with Google.");
    if (is("invalid_credentials")) {
        if (operation == Op::deleteAccount) return QStringLiteral("The current password is incorrect.");
        return wrongCredentialsSentence();
    }
    if (is("reauthentication_failed")) {
        if (operation == Op::deleteAccount) return QStringLiteral("The current password is incorrect.");
        if (operation == Op::deleteGoogleAccount)
            return QStringLiteral(
                "Google verification did not match this Quillo account. Choose the same Google account and try again.");
        return QStringLiteral("Sign in again and retry.");
    }
    if (is("google_auth_failed")) {
        if (operation == Op::deleteGoogleAccount)
            return QStringLiteral("Google verification expired or was not completed. Try again.");
        return QStringLiteral("Google sign-in was not completed. Try again.");
    }
    if (is("mfa_required")) return QStringLiteral("Enter the six-digit code from your authenticator app.");
    if (is("invalid_mfa_code")) return QStringLiteral("The authenticator code is invalid or expired.");
    if (is("mfa_unavailable"))
        return QStringLiteral("Authenticator verification is temporarily unavailable. Try again shortly.");
    if (is("session_invalid") || is("session_required"))
        return QStringLiteral("Your session expired. Sign in again and retry.");
    if (is("account_deletion_failed"))
        return QStringLiteral("Your sessions were revoked, but account deletion failed. Sign in and retry.");
    if (is("rate_limited")) return QStringLiteral("Too many attempts. Wait a moment, then try again.");
    if (is("challenge_required") || is("challenge_failed"))
        return QStringLiteral("Sign-up verification could not be completed. Try again.");
    if (is("origin_not_allowed") || is("invalid_installation_id"))
        return QStringLiteral("This version of Quillo cannot connect securely. Check for updates and try again.");
    for (const char* serviceCode :
         {"supabase_auth_request_failed", "auth_failed", "supabase_url_missing", "supabase_auth_env_missing",
          "rate_limit_env_missing", "rate_limit_backend_failed", "trial_env_missing", "account_deletion_env_missing"})
        if (is(serviceCode))
            return QStringLiteral("The account service is temporarily unavailable. Try again shortly.");
    return std::nullopt;
}

} // namespace

QString correction(const CorrectionFailure& failure) {
    using Kind = CorrectionFailure::Kind;
    switch (failure.kind) {
    case Kind::capacityBusy:
        // A zero or negative Retry-After carries no useful wait; say "shortly" instead of "in -3 s".
        if (!failure.retryAfterSeconds || *failure.retryAfterSeconds <= 0)
            return QStringLiteral("Both speeds are busy. Try again shortly.");
        return QStringLiteral("Both speeds are busy. Try again in ") + QString::number(*failure.retryAfterSeconds) +
               QStringLiteral(" s.");
    case Kind::http: return correctionHTTP(failure.status);
    case Kind::network: return networkMessage(failure.networkCode, QStringLiteral("complete the correction"));
    case Kind::inputPermissionsMissing:
        return QStringLiteral("Allow Quillo to use the desktop's accessibility and input features, then try again.");
    case Kind::keyboardMonitoringUnavailable:
        return QStringLiteral("Quillo could not detect the correction shortcut. Reopen Quillo and try again.");
    case Kind::monitoringStartFailed:
        return QStringLiteral("Quillo could not start the keyboard shortcut. Reopen Quillo and try again.");
    case Kind::noTextTarget:
        return QStringLiteral(
            "Place the cursor in an editable text field, or select the text to correct, then try again.");
    case Kind::secureTextField:
        return QStringLiteral("Password fields cannot be corrected. Focus a non-sensitive text field and try again.");
    case Kind::terminalApplication:
        return QStringLiteral("Terminals cannot be corrected. Focus a text field in another app and try again.");
    case Kind::automaticTextTooLong:
        return QStringLiteral(
            "This field is too long to correct automatically. Select the passage to correct, then try again.");
    case Kind::applicationChanged:
        return QStringLiteral("Not pasted: you switched to another app while Quillo was working. Return to the "
                              "original field and try again.");
    case Kind::textChanged:
        return QStringLiteral("Not pasted: the original text or selection changed while Quillo was working. Select "
                              "it again and try again.");
    case Kind::pasteFailed: return QStringLiteral("Paste failed. Focus the original text field and try again.");
    case Kind::unavailableResult:
        return QStringLiteral(
            "Quillo could not retrieve the correction. Check your account and connection, then try again.");
    case Kind::authenticationRequired: return QStringLiteral("Sign in from Quillo Settings, then try again.");
    case Kind::insufficientCredits: return QStringLiteral("Top up your balance, then try again.");
    case Kind::secureRecoveryUnavailable:
        return QStringLiteral("Secure recovery is unavailable. Restart Quillo, then try again.");
    case Kind::requestEncoding:
        return QStringLiteral("Quillo could not prepare this text. Select it again and try again.");
    case Kind::invalidResponse: return QStringLiteral("Quillo received an unreadable correction. Try again.");
    case Kind::unexpected: break;
    }
    return QStringLiteral("Quillo could not complete the correction. Try again or export logs from Settings.");
}

QString authentication(const AuthenticationFailure& failure, AuthenticationOperation operation) {
    using Kind = AuthenticationFailure::Kind;
    switch (failure.kind) {
    case Kind::http:
        if (auto sentence = authenticationCodeMessage(failure.code, operation)) return *sentence;
        return authenticationHTTPMessage(failure.status, operation);
    case Kind::network: return networkMessage(failure.networkCode, actionPhrase(operation));
    case Kind::invalidEndpoint:
        return QStringLiteral("The secure sign-in service is unavailable. Check for Quillo updates and try again.");
    case Kind::invalidResponse: return QStringLiteral("Quillo received an unreadable sign-in response. Try again.");
    case Kind::incompleteResponse: return QStringLiteral("Quillo received an incomplete sign-in response. Try again.");
    case Kind::secureStorageUnavailable:
        return QStringLiteral("Quillo could not securely save your session. Unlock your computer, then sign in again.");
    case Kind::unexpected: break;
    }
    return QStringLiteral("Quillo could not ") + actionPhrase(operation) +
           QStringLiteral(". Try again or export logs from Settings.");
}

QString checkout(const CheckoutFailure& failure) {
    using Kind = CheckoutFailure::Kind;
    switch (failure.kind) {
    case Kind::http: return checkoutHTTP(failure.status);
    case Kind::network: return networkMessage(failure.networkCode, QStringLiteral("open checkout"));
    case Kind::unavailable: return QStringLiteral("Secure checkout is unavailable. Try again shortly.");
    case Kind::authenticationRequired: return QStringLiteral("Sign in before purchasing credits.");
    case Kind::invalidResponse:
        return QStringLiteral("Quillo received an invalid checkout link. Try again; no payment was started.");
    case Kind::browserUnavailable:
        return QStringLiteral("Quillo could not open your browser. Open a browser and try again.");
    case Kind::unexpected: break;
    }
    return QStringLiteral("Quillo could not open checkout. Try again; no payment was started.");
}

QString account(const AccountFailure& failure) {
    using Kind = AccountFailure::Kind;
    switch (failure.kind) {
    case Kind::http:
        switch (failure.status) {
        case 401: return QStringLiteral("Your session expired. Sign in again to refresh your balance.");
        case 403: return QStringLiteral("Your account cannot access the balance service. Sign in again.");
        case 408:
        case 504: return QStringLiteral("Balance refresh took too long. Try again.");
        case 429: return QStringLiteral("Balance refresh is temporarily limited. Wait a moment and try again.");
        default: break;
        }
        if (isServerError(failure.status))
            return QStringLiteral("The balance service is temporarily unavailable. Try again shortly.");
        return QStringLiteral("Your balance could not be refreshed. Try again.");
    case Kind::network: return networkMessage(failure.networkCode, QStringLiteral("refresh your balance"));
    case Kind::invalidEndpoint:
        return QStringLiteral("Your balance cannot be loaded because the secure service is unavailable.");
    case Kind::invalidResponse: return QStringLiteral("Quillo received an unreadable balance. Try again.");
    case Kind::unexpected: break;
    }
    return QStringLiteral("Your balance could not be refreshed. Try again or export logs from Settings.");
}

QString diagnostics(DiagnosticsFailure failure) {
    switch (failure) {
    case DiagnosticsFailure::permissionDenied:
        return QStringLiteral("Logs could not be saved in this folder. Choose another location.");
    case DiagnosticsFailure::diskFull:
        return QStringLiteral("Logs could not be saved because this disk is full. Free some space and try again.");
    case DiagnosticsFailure::locationUnavailable:
        return QStringLiteral("The selected location is unavailable. Choose another folder.");
    case DiagnosticsFailure::unexpected: break;
    }
    return QStringLiteral("Logs could not be exported. Choose another location and try again.");
}

} // namespace quillo::UserFacingErrorCatalog
