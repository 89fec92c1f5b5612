#include "Support/UserFacingErrorCatalog.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

using namespace quillo;
using namespace quillo::UserFacingErrorCatalog;

namespace {

using Op = AuthenticationOperation;
using Code = NetworkErrorCode;

const std::vector<Op> allOperations{Op::createAccount,  Op::signIn,        Op::sendEmail,
                                    Op::refreshSession, Op::deleteAccount, Op::deleteGoogleAccount};

const char* phrase(Op op) {
    switch (op) {
    case Op::createAccount: return "create your account";
    case Op::signIn: return "sign you in";
    case Op::sendEmail: return "send the email";
    case Op::refreshSession: return "refresh your session";
    case Op::deleteAccount: return "delete your account";
    case Op::deleteGoogleAccount: return "verify Google and delete your account";
    }
    return "";
}

const char* connection = "Check your internet connection, then try again.";
const char* secure =
    "Quillo could not establish a secure connection. Check your computer's date and network, then try again.";
const char* interrupted = "The operation was interrupted. Try again.";

// Every network code with its expected sentence for a given action phrase.
std::vector<std::pair<Code, std::string>> networkTable(const std::string& action) {
    const std::string slow = "Quillo took too long to " + action + ". Try again.";
    const std::string other = "Quillo could not " + action + ". Try again.";
    return {
        {Code::notConnectedToInternet, connection},
        {Code::networkConnectionLost, connection},
        {Code::cannotFindHost, connection},
        {Code::cannotConnectToHost, connection},
        {Code::dnsLookupFailed, connection},
        {Code::timedOut, slow},
        {Code::secureConnectionFailed, secure},
        {Code::serverCertificateHasBadDate, secure},
        {Code::serverCertificateUntrusted, secure},
        {Code::serverCertificateHasUnknownRoot, secure},
        {Code::serverCertificateNotYetValid, secure},
        {Code::clientCertificateRejected, secure},
        {Code::clientCertificateRequired, secure},
        {Code::cancelled, interrupted},
        {Code::unknown, other},
        {Code::badURL, other},
        {Code::unsupportedURL, other},
        {Code::badServerResponse, other},
        {Code::cannotParseResponse, other},
    };
}

QString q(const std::string& s) { return QString::fromStdString(s); }

} // namespace

// --- Correction ----------------------------------------------------------------------------

TEST(UserFacingErrorCatalogCorrection, PayloadFreeCases) {
    const std::vector<std::pair<CorrectionFailure, const char*>> table{
        {CorrectionFailure::inputPermissionsMissing(),
         "Allow Quillo to use the desktop's accessibility and input features, then try again."},
        {CorrectionFailure::keyboardMonitoringUnavailable(),
         "Quillo could not detect the correction shortcut. Reopen Quillo and try again."},
        {CorrectionFailure::monitoringStartFailed(),
         "Quillo could not start the keyboard shortcut. Reopen Quillo and try again."},
        {CorrectionFailure::noTextTarget(),
         "Place the cursor in an editable text field, or select the text to correct, then try again."},
        {CorrectionFailure::secureTextField(),
         "Password fields cannot be corrected. Focus a non-sensitive text field and try again."},
        {CorrectionFailure::terminalApplication(),
         "Terminals cannot be corrected. Focus a text field in another app and try again."},
        {CorrectionFailure::automaticTextTooLong(),
         "This field is too long to correct automatically. Select the passage to correct, then try again."},
        {CorrectionFailure::applicationChanged(), "Not pasted: you switched to another app while Quillo was working. "
                                                  "Return to the original field and try again."},
        {CorrectionFailure::textChanged(),
         "Not pasted: the original text or selection changed while Quillo was working. Select it again and try again."},
        {CorrectionFailure::pasteFailed(), "Paste failed. Focus the original text field and try again."},
        {CorrectionFailure::unavailableResult(),
         "Quillo could not retrieve the correction. Check your account and connection, then try again."},
        {CorrectionFailure::authenticationRequired(), "Sign in from Quillo Settings, then try again."},
        {CorrectionFailure::insufficientCredits(), "Top up your balance, then try again."},
        {CorrectionFailure::secureRecoveryUnavailable(),
         "Secure recovery is unavailable. Restart Quillo, then try again."},
        {CorrectionFailure::requestEncoding(), "Quillo could not prepare this text. Select it again and try again."},
        {CorrectionFailure::invalidResponse(), "Quillo received an unreadable correction. Try again."},
        {CorrectionFailure::unexpected(),
         "Quillo could not complete the correction. Try again or export logs from Settings."},
    };
    for (const auto& [failure, sentence] : table) EXPECT_EQ(correction(failure), sentence);
}

TEST(UserFacingErrorCatalogCorrection, CapacityBusy) {
    EXPECT_EQ(correction(CorrectionFailure::capacityBusy(std::nullopt)), "Both speeds are busy. Try again shortly.");
    EXPECT_EQ(correction(CorrectionFailure::capacityBusy()), "Both speeds are busy. Try again shortly.");
    EXPECT_EQ(correction(CorrectionFailure::capacityBusy(12)), "Both speeds are busy. Try again in 12 s.");
    EXPECT_EQ(correction(CorrectionFailure::capacityBusy(1)), "Both speeds are busy. Try again in 1 s.");
    EXPECT_EQ(correction(CorrectionFailure::capacityBusy(3600)), "Both speeds are busy. Try again in 3600 s.");
}

TEST(UserFacingErrorCatalogCorrection, HTTPStatusTableWithPrecedence) {
    const std::vector<std::pair<int, const char*>> table{
        {400, "Quillo could not process this text. Check the selection and try again."},
        {401, "Your session expired. Sign in again from Quillo Settings."},
        {402, "Top up your balance, then try again."},
        {403, "Corrections are unavailable for this account. Open Quillo to check your account."},
        {408, "The correction took too long. Try again."},
        {504, "The correction took too long. Try again."},
        {413, "This selection is too long. Select a shorter section and try again."},
        {422, "Quillo could not understand the selected text. Check it and try again."},
        {425, "The correction is still being prepared. Try again shortly."},
        {429, "Both speeds are busy. Try again shortly."},
        {500, "The correction service is temporarily unavailable. Try again shortly."},
        {502, "The correction service is temporarily unavailable. Try again shortly."},
        {503, "The correction service is temporarily unavailable. Try again shortly."},
        {599, "The correction service is temporarily unavailable. Try again shortly."},
        {600, "Quillo could not complete the correction. Try again shortly."},
        {499, "Quillo could not complete the correction. Try again shortly."},
        {404, "Quillo could not complete the correction. Try again shortly."},
        {200, "Quillo could not complete the correction. Try again shortly."},
        {0, "Quillo could not complete the correction. Try again shortly."},
        {-1, "Quillo could not complete the correction. Try again shortly."},
    };
    for (const auto& [status, sentence] : table)
        EXPECT_EQ(correction(CorrectionFailure::http(status)), sentence) << status;
}

TEST(UserFacingErrorCatalogCorrection, NetworkSentences) {
    for (const auto& [code, sentence] : networkTable("complete the correction"))
        EXPECT_EQ(correction(CorrectionFailure::network(code)), q(sentence))
            << networkErrorCodeName(code).toStdString();
}

TEST(UserFacingErrorCatalogCorrection, FailuresCompareByKindAndPayload) {
    EXPECT_EQ(CorrectionFailure::http(401), CorrectionFailure::http(401));
    EXPECT_NE(CorrectionFailure::http(401), CorrectionFailure::http(402));
    EXPECT_EQ(CorrectionFailure::capacityBusy(12), CorrectionFailure::capacityBusy(12));
    EXPECT_NE(CorrectionFailure::capacityBusy(12), CorrectionFailure::capacityBusy(std::nullopt));
    EXPECT_NE(CorrectionFailure::network(Code::timedOut), CorrectionFailure::network(Code::cancelled));
    EXPECT_EQ(CorrectionFailure::noTextTarget(), CorrectionFailure::noTextTarget());
    EXPECT_NE(CorrectionFailure::noTextTarget(), CorrectionFailure::pasteFailed());
    EXPECT_EQ(CorrectionFailure::http(401).kind, CorrectionFailure::Kind::http);
}

// --- Authentication ------------------------------------------------------------------------

TEST(UserFacingErrorCatalogAuthentication, PayloadFreeCasesForEveryOperation) {
    for (Op op : allOperations) {
        SCOPED_TRACE(phrase(op));
        EXPECT_EQ(authentication(AuthenticationFailure::invalidEndpoint(), op),
                  "The secure sign-in service is unavailable. Check for Quillo updates and try again.");
        EXPECT_EQ(authentication(AuthenticationFailure::invalidResponse(), op),
                  "Quillo received an unreadable sign-in response. Try again.");
        EXPECT_EQ(authentication(AuthenticationFailure::incompleteResponse(), op),
                  "Quillo received an incomplete sign-in response. Try again.");
        EXPECT_EQ(authentication(AuthenticationFailure::secureStorageUnavailable(), op),
                  "Quillo could not securely save your session. Unlock your computer, then sign in again.");
        EXPECT_EQ(authentication(AuthenticationFailure::unexpected(), op),
                  q(std::string("Quillo could not ") + phrase(op) + ". Try again or export logs from Settings."));
    }
}

TEST(UserFacingErrorCatalogAuthentication, NetworkSentencesUseTheOperationPhrase) {
    for (Op op : allOperations)
        for (const auto& [code, sentence] : networkTable(phrase(op)))
            EXPECT_EQ(authentication(AuthenticationFailure::network(code), op), q(sentence))
                << phrase(op) << " / " << networkErrorCodeName(code).toStdString();
    EXPECT_EQ(authentication(AuthenticationFailure::network(Code::timedOut), Op::refreshSession),
              "Quillo took too long to refresh your session. Try again.");
}

TEST(UserFacingErrorCatalogAuthentication, StatusTable) {
    const char* wrongCredentials =
        "The email or password is incorrect. If you signed up with Google, choose Continue with Google.";
    for (Op op : allOperations) {
        SCOPED_TRACE(phrase(op));
        const auto status = [op](int s) { return authentication(AuthenticationFailure::http(s, std::nullopt), op); };
        EXPECT_EQ(status(400),
                  op == Op::signIn ? wrongCredentials : "Check the information you entered and try again.");
        if (op == Op::deleteGoogleAccount)
            EXPECT_EQ(status(401), "Google verification could not be confirmed. Try again.");
        else if (op == Op::signIn) EXPECT_EQ(status(401), wrongCredentials);
        else EXPECT_EQ(status(401), "Your session expired. Sign in again and retry.");
        EXPECT_EQ(status(403), op == Op::createAccount
                                   ? "Sign-up verification failed. Try again."
                                   : "This account action is not allowed. Sign in again and retry.");
        EXPECT_EQ(status(408), "The account service took too long to respond. Try again.");
        EXPECT_EQ(status(504), "The account service took too long to respond. Try again.");
        EXPECT_EQ(status(429), "Too many attempts. Wait a moment, then try again.");
        for (int s : {500, 501, 503, 599})
            EXPECT_EQ(status(s), "The account service is temporarily unavailable. Try again shortly.") << s;
        const QString fallback = q(std::string("Quillo could not ") + phrase(op) + ". Try again.");
        for (int s : {-1, 0, 200, 402, 404, 409, 418, 422, 600}) EXPECT_EQ(status(s), fallback) << s;
    }
    EXPECT_EQ(authentication(AuthenticationFailure::http(418, std::nullopt), Op::sendEmail),
              "Quillo could not send the email. Try again.");
}

TEST(UserFacingErrorCatalogAuthentication, CodeTable) {
    struct Row {
        const char* code;
        const char* sentence;
    };
    const std::vector<Row> anyOperation{
        {"missing_required_field", "Complete all required fields and try again."},
        {"invalid_email", "Enter a valid email address."},
        {"invalid_password", "Use a password between 8 and 128 characters."},
        {"weak_password", "Choose a stronger password that you have not used elsewhere."},
        {"account_already_exists", "An account already exists with this email. Sign in instead. If you used Google, "
                                   "choose Continue with Google."},
        {"mfa_required", "Enter the six-digit code from your authenticator app."},
        {"invalid_mfa_code", "The authenticator code is invalid or expired."},
        {"mfa_unavailable", "Authenticator verification is temporarily unavailable. Try again shortly."},
        {"session_invalid", "Your session expired. Sign in again and retry."},
        {"session_required", "Your session expired. Sign in again and retry."},
        {"account_deletion_failed", "Your sessions were revoked, but account deletion failed. Sign in and retry."},
        {"rate_limited", "Too many attempts. Wait a moment, then try again."},
        {"challenge_required", "Sign-up verification could not be completed. Try again."},
        {"challenge_failed", "Sign-up verification could not be completed. Try again."},
        {"origin_not_allowed", "This version of Quillo cannot connect securely. Check for updates and try again."},
        {"invalid_installation_id", "This version of Quillo cannot connect securely. Check for updates and try again."},
        {"supabase_auth_request_failed", "The account service is temporarily unavailable. Try again shortly."},
        {"auth_failed", "The account service is temporarily unavailable. Try again shortly."},
        {"supabase_url_missing", "The account service is temporarily unavailable. Try again shortly."},
        {"supabase_auth_env_missing", "The account service is temporarily unavailable. Try again shortly."},
        {"rate_limit_env_missing", "The account service is temporarily unavailable. Try again shortly."},
        {"rate_limit_backend_failed", "The account service is temporarily unavailable. Try again shortly."},
        {"trial_env_missing", "The account service is temporarily unavailable. Try again shortly."},
        {"account_deletion_env_missing", "The account service is temporarily unavailable. Try again shortly."},
    };
    // The code wins over every status, including ones with their own sentence.
    for (Op op : allOperations)
        for (const auto& row : anyOperation)
            for (int s : {400, 401, 403, 418, 429, 500, 504, -1})
                EXPECT_EQ(authentication(AuthenticationFailure::http(s, QString(row.code)), op), row.sentence)
                    << row.code << " / " << phrase(op) << " / " << s;

    const char* wrongCredentials =
        "The email or password is incorrect. If you signed up with Google, choose Continue with Google.";
    for (Op op : allOperations) {
        SCOPED_TRACE(phrase(op));
        const auto code = [op](const char* c) {
            return authentication(AuthenticationFailure::http(400, QString(c)), op);
        };
        EXPECT_EQ(code("invalid_credentials"),
                  op == Op::deleteAccount ? "The current password is incorrect." : wrongCredentials);
        if (op == Op::deleteAccount) EXPECT_EQ(code("reauthentication_failed"), "The current password is incorrect.");
        else if (op == Op::deleteGoogleAccount)
            EXPECT_EQ(
                code("reauthentication_failed"),
                "Google verification did not match this Quillo account. Choose the same Google account and try again.");
        else EXPECT_EQ(code("reauthentication_failed"), "Sign in again and retry.");
        EXPECT_EQ(code("google_auth_failed"), op == Op::deleteGoogleAccount
                                                  ? "Google verification expired or was not completed. Try again."
                                                  : "Google sign-in was not completed. Try again.");
    }
}

TEST(UserFacingErrorCatalogAuthentication, UnknownCodesFallBackToTheStatus) {
    EXPECT_EQ(authentication(AuthenticationFailure::http(401, QString("invalid_credentials")), Op::deleteAccount),
              "The current password is incorrect.");
    EXPECT_EQ(authentication(AuthenticationFailure::http(401, std::nullopt), Op::deleteAccount),
              "Your session expired. Sign in again and retry.");
    EXPECT_EQ(authentication(AuthenticationFailure::http(500, QString("rate_limited")), Op::signIn),
              "Too many attempts. Wait a moment, then try again.");
    // Codes match case-sensitively and exactly.
    for (const char* unknown : {"Rate_Limited", "RATE_LIMITED", "rate_limited ", " rate_limited", "", "rate-limited",
                                "Invalid_Credentials", "something_else"}) {
        EXPECT_EQ(authentication(AuthenticationFailure::http(500, QString(unknown)), Op::signIn),
                  "The account service is temporarily unavailable. Try again shortly.")
            << unknown;
        EXPECT_EQ(authentication(AuthenticationFailure::http(401, QString(unknown)), Op::signIn),
                  "The email or password is incorrect. If you signed up with Google, choose Continue with Google.")
            << unknown;
        EXPECT_EQ(authentication(AuthenticationFailure::http(418, QString(unknown)), Op::sendEmail),
                  "Quillo could not send the email. Try again.")
            << unknown;
    }
    EXPECT_EQ(AuthenticationFailure::http(400, QString("x")), AuthenticationFailure::http(400, QString("x")));
    EXPECT_NE(AuthenticationFailure::http(400, QString("x")), AuthenticationFailure::http(400, std::nullopt));
}

// --- Checkout ------------------------------------------------------------------------------

TEST(UserFacingErrorCatalogCheckout, CasesAndStatusTable) {
    EXPECT_EQ(checkout(CheckoutFailure::unavailable()), "Secure checkout is unavailable. Try again shortly.");
    EXPECT_EQ(checkout(CheckoutFailure::authenticationRequired()), "Sign in before purchasing credits.");
    EXPECT_EQ(checkout(CheckoutFailure::invalidResponse()),
              "Quillo received an invalid checkout link. Try again; no payment was started.");
    EXPECT_EQ(checkout(CheckoutFailure::browserUnavailable()),
              "Quillo could not open your browser. Open a browser and try again.");
    EXPECT_EQ(checkout(CheckoutFailure::unexpected()),
              "Quillo could not open checkout. Try again; no payment was started.");

    const std::vector<std::pair<int, const char*>> table{
        {400, "This credit pack is unavailable. Close this window and try again."},
        {422, "This credit pack is unavailable. Close this window and try again."},
        {401, "Your session expired. Sign in again before purchasing credits."},
        {403, "Purchases are not enabled for this account yet."},
        {408, "Checkout took too long to respond. Try again; no payment was started."},
        {504, "Checkout took too long to respond. Try again; no payment was started."},
        {409, "This checkout is no longer open. Try again."},
        {429, "Too many checkout attempts. Wait a moment and try again."},
        {500, "Checkout is temporarily unavailable. Try again; no payment was started."},
        {503, "Checkout is temporarily unavailable. Try again; no payment was started."},
        {599, "Checkout is temporarily unavailable. Try again; no payment was started."},
        {402, "Checkout could not be opened. Try again; no payment was started."},
        {404, "Checkout could not be opened. Try again; no payment was started."},
        {600, "Checkout could not be opened. Try again; no payment was started."},
        {-1, "Checkout could not be opened. Try again; no payment was started."},
    };
    for (const auto& [status, sentence] : table) EXPECT_EQ(checkout(CheckoutFailure::http(status)), sentence) << status;

    for (const auto& [code, sentence] : networkTable("open checkout"))
        EXPECT_EQ(checkout(CheckoutFailure::network(code)), q(sentence)) << networkErrorCodeName(code).toStdString();
}

// --- Balance -------------------------------------------------------------------------------

TEST(UserFacingErrorCatalogAccount, CasesAndStatusTable) {
    EXPECT_EQ(account(AccountFailure::invalidEndpoint()),
              "Your balance cannot be loaded because the secure service is unavailable.");
    EXPECT_EQ(account(AccountFailure::invalidResponse()), "Quillo received an unreadable balance. Try again.");
    EXPECT_EQ(account(AccountFailure::unexpected()),
              "Your balance could not be refreshed. Try again or export logs from Settings.");

    const std::vector<std::pair<int, const char*>> table{
        {401, "Your session expired. Sign in again to refresh your balance."},
        {403, "Your account cannot access the balance service. Sign in again."},
        {408, "Balance refresh took too long. Try again."},
        {504, "Balance refresh took too long. Try again."},
        {429, "Balance refresh is temporarily limited. Wait a moment and try again."},
        {500, "The balance service is temporarily unavailable. Try again shortly."},
        {502, "The balance service is temporarily unavailable. Try again shortly."},
        {599, "The balance service is temporarily unavailable. Try again shortly."},
        {400, "Your balance could not be refreshed. Try again."},
        {402, "Your balance could not be refreshed. Try again."},
        {404, "Your balance could not be refreshed. Try again."},
        {600, "Your balance could not be refreshed. Try again."},
        {-1, "Your balance could not be refreshed. Try again."},
    };
    for (const auto& [status, sentence] : table) EXPECT_EQ(account(AccountFailure::http(status)), sentence) << status;

    for (const auto& [code, sentence] : networkTable("refresh your balance"))
        EXPECT_EQ(account(AccountFailure::network(code)), q(sentence)) << networkErrorCodeName(code).toStdString();
}

// --- Log export ----------------------------------------------------------------------------

TEST(UserFacingErrorCatalogDiagnostics, EveryCase) {
    EXPECT_EQ(diagnostics(DiagnosticsFailure::permissionDenied),
              "Logs could not be saved in this folder. Choose another location.");
    EXPECT_EQ(diagnostics(DiagnosticsFailure::diskFull),
              "Logs could not be saved because this disk is full. Free some space and try again.");
    EXPECT_EQ(diagnostics(DiagnosticsFailure::locationUnavailable),
              "The selected location is unavailable. Choose another folder.");
    EXPECT_EQ(diagnostics(DiagnosticsFailure::unexpected),
              "Logs could not be exported. Choose another location and try again.");
}
