#pragma once

#include <QString>
#include <exception>

namespace quillo {

// The URL-loading failure codes the retry policy and the error catalogue distinguish.
// The HTTP layer maps Qt's network errors onto these.
enum class NetworkErrorCode {
    unknown,
    cancelled,
    badURL,
    unsupportedURL,
    timedOut,
    cannotFindHost,
    cannotConnectToHost,
    networkConnectionLost,
    dnsLookupFailed,
    notConnectedToInternet,
    badServerResponse,
    cannotParseResponse,
    secureConnectionFailed,
    serverCertificateHasBadDate,
    serverCertificateUntrusted,
    serverCertificateHasUnknownRoot,
    serverCertificateNotYetValid,
    clientCertificateRejected,
    clientCertificateRequired,
};

// A failure of the URL-loading layer before any HTTP answer arrived (thrown by the HTTP layer).
class NetworkError : public std::exception {
public:
    explicit NetworkError(NetworkErrorCode code = NetworkErrorCode::unknown) : code(code) {}
    const char* what() const noexcept override { return "network request failed"; }
    bool operator==(const NetworkError& other) const { return code == other.code; }

    NetworkErrorCode code;
};

QString networkErrorCodeName(NetworkErrorCode code);

} // namespace quillo
