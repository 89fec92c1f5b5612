#pragma once

#include <QString>

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

// A failure of the URL-loading layer before any HTTP answer arrived.
struct NetworkError {
    NetworkErrorCode code = NetworkErrorCode::unknown;
    bool operator==(const NetworkError&) const = default;
};

QString networkErrorCodeName(NetworkErrorCode code);

} // namespace quillo
