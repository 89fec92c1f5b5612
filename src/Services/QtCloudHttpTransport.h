#pragma once

#include "Services/CloudHttpTransport.h"
#include "Support/Clock.h"

#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslConfiguration>
#include <QSslError>
#include <QStringList>

namespace quillo {

// The HTTP layer over QNetworkAccessManager: HTTPS through Qt's TLS backend, trusting the
// system's authorities plus the extra authority files given (the local build's own authority by
// default). Each attempt's timeout runs on the Clock, so it ends the wait even when the network
// stack would wait longer. Main thread only.
class QtCloudHttpTransport final : public CloudHttpTransport {
public:
    explicit QtCloudHttpTransport(const QStringList& extraAuthorityFiles = defaultAuthorityFiles(),
                                  Clock& clock = Clock::shared());
    ~QtCloudHttpTransport() override;

    QCoro::Task<CloudHttpResponse> send(CloudHttpRequest request, CancellationToken token) override;

    // The local authority compiled into this build, when it is set.
    static QStringList defaultAuthorityFiles();
    // The files a configured authority path names: none for an empty one; "~/..." is in the
    // user's home (an installed build trusting its user's own server).
    static QStringList authorityFiles(const QString& configured);

    // How a failed reply becomes a URL-loading code. `offline` is whether the network
    // information backend reports no connection at all.
    //
    //   QNetworkReply error                                  code
    //   TimeoutError, ProxyTimeoutError, our own timer       timedOut
    //   RemoteHostClosedError, TemporaryNetworkFailureError,
    //     ProxyConnectionClosedError                         networkConnectionLost
    //   HostNotFoundError, ProxyNotFoundError                cannotFindHost (notConnectedToInternet offline)
    //   ConnectionRefusedError, ProxyConnectionRefusedError  cannotConnectToHost
    //   NetworkSessionFailedError,
    //     BackgroundRequestNotAllowedError                   notConnectedToInternet
    //   SslHandshakeFailedError                              by the certificate error: expired ->
    //                                                        serverCertificateHasBadDate, not yet
    //                                                        valid -> serverCertificateNotYetValid,
    //                                                        unknown issuer or self-signed ->
    //                                                        serverCertificateHasUnknownRoot, any
    //                                                        other -> serverCertificateUntrusted,
    //                                                        none -> secureConnectionFailed
    //   OperationCanceledError                               cancelled
    //   ProtocolUnknownError                                 unsupportedURL
    //   ProtocolFailure, TooManyRedirectsError,
    //     InsecureRedirectError                              badServerResponse
    //   UnknownNetworkError                                  unknown (notConnectedToInternet offline)
    //   anything else                                        unknown
    static NetworkErrorCode networkErrorCode(QNetworkReply::NetworkError error, const QList<QSslError>& sslErrors,
                                             bool offline);

private:
    QNetworkAccessManager manager_;
    QSslConfiguration tls_;
    Clock& clock_;
};

} // namespace quillo
