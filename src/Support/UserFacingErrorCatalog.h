#pragma once

#include "Models/NetworkErrorCode.h"
#include "Support/DiagnosticsFailure.h"

#include <QString>
#include <cstdint>
#include <optional>

namespace quillo {

// The only source of user-visible failure sentences. Services classify a failure into the small
// per-area types below and ask for its sentence here; nothing else builds failure text.
namespace UserFacingErrorCatalog {

struct CorrectionFailure {
    enum class Kind : std::uint8_t {
        capacityBusy,
        http,
        network,
        inputPermissionsMissing,
        keyboardMonitoringUnavailable,
        monitoringStartFailed,
        noTextTarget,
        secureTextField,
        terminalApplication,
        automaticTextTooLong,
        applicationChanged,
        textChanged,
        pasteFailed,
        unavailableResult,
        authenticationRequired,
        insufficientCredits,
        secureRecoveryUnavailable,
        requestEncoding,
        invalidResponse,
        unexpected,
    };

    Kind kind = Kind::unexpected;
    std::optional<int> retryAfterSeconds;                     // capacityBusy
    int status = 0;                                           // http
    NetworkErrorCode networkCode = NetworkErrorCode::unknown; // network

    bool operator==(const CorrectionFailure&) const = default;

    static CorrectionFailure of(Kind kind) {
        CorrectionFailure f;
        f.kind = kind;
        return f;
    }

    static CorrectionFailure capacityBusy(std::optional<int> retryAfterSeconds = std::nullopt) {
        auto f = of(Kind::capacityBusy);
        f.retryAfterSeconds = retryAfterSeconds;
        return f;
    }
    static CorrectionFailure http(int status) {
        auto f = of(Kind::http);
        f.status = status;
        return f;
    }
    static CorrectionFailure network(NetworkErrorCode code) {
        auto f = of(Kind::network);
        f.networkCode = code;
        return f;
    }
    static CorrectionFailure inputPermissionsMissing() { return of(Kind::inputPermissionsMissing); }
    static CorrectionFailure keyboardMonitoringUnavailable() { return of(Kind::keyboardMonitoringUnavailable); }
    static CorrectionFailure monitoringStartFailed() { return of(Kind::monitoringStartFailed); }
    static CorrectionFailure noTextTarget() { return of(Kind::noTextTarget); }
    static CorrectionFailure secureTextField() { return of(Kind::secureTextField); }
    static CorrectionFailure terminalApplication() { return of(Kind::terminalApplication); }
    static CorrectionFailure automaticTextTooLong() { return of(Kind::automaticTextTooLong); }
    static CorrectionFailure applicationChanged() { return of(Kind::applicationChanged); }
    static CorrectionFailure textChanged() { return of(Kind::textChanged); }
    static CorrectionFailure pasteFailed() { return of(Kind::pasteFailed); }
    static CorrectionFailure unavailableResult() { return of(Kind::unavailableResult); }
    static CorrectionFailure authenticationRequired() { return of(Kind::authenticationRequired); }
    static CorrectionFailure insufficientCredits() { return of(Kind::insufficientCredits); }
    static CorrectionFailure secureRecoveryUnavailable() { return of(Kind::secureRecoveryUnavailable); }
    static CorrectionFailure requestEncoding() { return of(Kind::requestEncoding); }
    static CorrectionFailure invalidResponse() { return of(Kind::invalidResponse); }
    static CorrectionFailure unexpected() { return of(Kind::unexpected); }
};

struct AuthenticationFailure {
    enum class Kind : std::uint8_t {
        http,
        network,
        invalidEndpoint,
        invalidResponse,
        incompleteResponse,
        secureStorageUnavailable,
        unexpected,
    };

    Kind kind = Kind::unexpected;
    int status = 0;                                           // http; -1 for an answer that was not HTTP
    std::optional<QString> code;                              // http: the account service's error code
    NetworkErrorCode networkCode = NetworkErrorCode::unknown; // network

    bool operator==(const AuthenticationFailure&) const = default;

    static AuthenticationFailure of(Kind kind) {
        AuthenticationFailure f;
        f.kind = kind;
        return f;
    }

    static AuthenticationFailure http(int status, std::optional<QString> code = std::nullopt) {
        auto f = of(Kind::http);
        f.status = status;
        f.code = std::move(code);
        return f;
    }
    static AuthenticationFailure network(NetworkErrorCode code) {
        auto f = of(Kind::network);
        f.networkCode = code;
        return f;
    }
    static AuthenticationFailure invalidEndpoint() { return of(Kind::invalidEndpoint); }
    static AuthenticationFailure invalidResponse() { return of(Kind::invalidResponse); }
    static AuthenticationFailure incompleteResponse() { return of(Kind::incompleteResponse); }
    static AuthenticationFailure secureStorageUnavailable() { return of(Kind::secureStorageUnavailable); }
    static AuthenticationFailure unexpected() { return of(Kind::unexpected); }
};

// Selects the wording of an authentication sentence.
enum class AuthenticationOperation : std::uint8_t {
    createAccount,
    signIn,
    sendEmail,
    refreshSession,
    deleteAccount,
    deleteGoogleAccount,
};

struct CheckoutFailure {
    enum class Kind : std::uint8_t {
        http,
        network,
        unavailable,
        authenticationRequired,
        invalidResponse,
        browserUnavailable,
        unexpected,
    };

    Kind kind = Kind::unexpected;
    int status = 0;                                           // http
    NetworkErrorCode networkCode = NetworkErrorCode::unknown; // network

    bool operator==(const CheckoutFailure&) const = default;

    static CheckoutFailure of(Kind kind) {
        CheckoutFailure f;
        f.kind = kind;
        return f;
    }

    static CheckoutFailure http(int status) {
        auto f = of(Kind::http);
        f.status = status;
        return f;
    }
    static CheckoutFailure network(NetworkErrorCode code) {
        auto f = of(Kind::network);
        f.networkCode = code;
        return f;
    }
    static CheckoutFailure unavailable() { return of(Kind::unavailable); }
    static CheckoutFailure authenticationRequired() { return of(Kind::authenticationRequired); }
    static CheckoutFailure invalidResponse() { return of(Kind::invalidResponse); }
    static CheckoutFailure browserUnavailable() { return of(Kind::browserUnavailable); }
    static CheckoutFailure unexpected() { return of(Kind::unexpected); }
};

// Failures of the balance refresh.
struct AccountFailure {
    enum class Kind : std::uint8_t { http, network, invalidEndpoint, invalidResponse, unexpected };

    Kind kind = Kind::unexpected;
    int status = 0;                                           // http
    NetworkErrorCode networkCode = NetworkErrorCode::unknown; // network

    bool operator==(const AccountFailure&) const = default;

    static AccountFailure of(Kind kind) {
        AccountFailure f;
        f.kind = kind;
        return f;
    }

    static AccountFailure http(int status) {
        auto f = of(Kind::http);
        f.status = status;
        return f;
    }
    static AccountFailure network(NetworkErrorCode code) {
        auto f = of(Kind::network);
        f.networkCode = code;
        return f;
    }
    static AccountFailure invalidEndpoint() { return of(Kind::invalidEndpoint); }
    static AccountFailure invalidResponse() { return of(Kind::invalidResponse); }
    static AccountFailure unexpected() { return of(Kind::unexpected); }
};

// Failures of the log export.
using quillo::DiagnosticsFailure;

QString correction(const CorrectionFailure& failure);
QString authentication(const AuthenticationFailure& failure, AuthenticationOperation operation);
QString checkout(const CheckoutFailure& failure);
QString account(const AccountFailure& failure);
QString diagnostics(DiagnosticsFailure failure);

} // namespace UserFacingErrorCatalog

// The session identity functions and LatestRequestGeneration live below, next to the catalogue.

} // namespace quillo
