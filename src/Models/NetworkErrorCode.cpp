#include "Models/NetworkErrorCode.h"

namespace quillo {

QString networkErrorCodeName(NetworkErrorCode code) {
    switch (code) {
    case NetworkErrorCode::unknown: return QStringLiteral("unknown");
    case NetworkErrorCode::cancelled: return QStringLiteral("cancelled");
    case NetworkErrorCode::badURL: return QStringLiteral("badURL");
    case NetworkErrorCode::unsupportedURL: return QStringLiteral("unsupportedURL");
    case NetworkErrorCode::timedOut: return QStringLiteral("timedOut");
    case NetworkErrorCode::cannotFindHost: return QStringLiteral("cannotFindHost");
    case NetworkErrorCode::cannotConnectToHost: return QStringLiteral("cannotConnectToHost");
    case NetworkErrorCode::networkConnectionLost: return QStringLiteral("networkConnectionLost");
    case NetworkErrorCode::dnsLookupFailed: return QStringLiteral("dnsLookupFailed");
    case NetworkErrorCode::notConnectedToInternet: return QStringLiteral("notConnectedToInternet");
    case NetworkErrorCode::badServerResponse: return QStringLiteral("badServerResponse");
    case NetworkErrorCode::cannotParseResponse: return QStringLiteral("cannotParseResponse");
    case NetworkErrorCode::secureConnectionFailed: return QStringLiteral("secureConnectionFailed");
    case NetworkErrorCode::serverCertificateHasBadDate: return QStringLiteral("serverCertificateHasBadDate");
    case NetworkErrorCode::serverCertificateUntrusted: return QStringLiteral("serverCertificateUntrusted");
    case NetworkErrorCode::serverCertificateHasUnknownRoot: return QStringLiteral("serverCertificateHasUnknownRoot");
    case NetworkErrorCode::serverCertificateNotYetValid: return QStringLiteral("serverCertificateNotYetValid");
    case NetworkErrorCode::clientCertificateRejected: return QStringLiteral("clientCertificateRejected");
    case NetworkErrorCode::clientCertificateRequired: return QStringLiteral("clientCertificateRequired");
    }
    return QStringLiteral("unknown");
}

} // namespace quillo
