#include "Services/QtCloudHttpTransport.h"

#include "BuildInfo.h"
#include "Support/Logging.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkInformation>
#include <QNetworkRequest>
#include <QPointer>
#include <QSslCertificate>
#include <algorithm>
#include <memory>

#include <qcoro/qcoronetworkreply.h>

namespace quillo {

namespace {

bool reportsOffline() {
    const QNetworkInformation* information = QNetworkInformation::instance();
    return information && information->reachability() == QNetworkInformation::Reachability::Disconnected;
}

// Connection-level failures (Qt numbers them below 100): no complete answer arrived.
bool isConnectionFailure(QNetworkReply::NetworkError error) {
    return error != QNetworkReply::NoError && static_cast<int>(error) < 100;
}

NetworkErrorCode certificateCode(const QList<QSslError>& errors) {
    if (errors.isEmpty()) return NetworkErrorCode::secureConnectionFailed;
    for (const QSslError& e : errors) {
        switch (e.error()) {
        case QSslError::CertificateExpired: return NetworkErrorCode::serverCertificateHasBadDate;
        case QSslError::CertificateNotYetValid: return NetworkErrorCode::serverCertificateNotYetValid;
        case QSslError::UnableToGetLocalIssuerCertificate:
        case QSslError::UnableToGetIssuerCertificate:
        case QSslError::SelfSignedCertificate:
        case QSslError::SelfSignedCertificateInChain:
        case QSslError::UnableToVerifyFirstCertificate: return NetworkErrorCode::serverCertificateHasUnknownRoot;
        default: break;
        }
    }
    return NetworkErrorCode::serverCertificateUntrusted;
}

} // namespace

QtCloudHttpTransport::QtCloudHttpTransport(const QStringList& extraAuthorityFiles, Clock& clock)
    : tls_(QSslConfiguration::defaultConfiguration()), clock_(clock) {
    // A redirect may never leave https.
    manager_.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    for (const QString& path : extraAuthorityFiles) {
        if (path.isEmpty() || !QFileInfo::exists(path)) continue;
        const QList<QSslCertificate> certificates = QSslCertificate::fromPath(path, QSsl::Pem);
        if (certificates.isEmpty()) {
            qCWarning(lcCloud, "Cloud authority file holds no certificate");
            continue;
        }
        tls_.addCaCertificates(certificates);
    }
}

QtCloudHttpTransport::~QtCloudHttpTransport() = default;

QStringList QtCloudHttpTransport::defaultAuthorityFiles() {
    return authorityFiles(QString::fromUtf8(QUILLO_LOCAL_CA_FILE));
}

QStringList QtCloudHttpTransport::authorityFiles(const QString& configured) {
    if (configured.isEmpty()) return {};
    if (configured.startsWith(QLatin1String("~/"))) return {QDir::homePath() + configured.mid(1)};
    return {configured};
}

NetworkErrorCode QtCloudHttpTransport::networkErrorCode(QNetworkReply::NetworkError error,
                                                        const QList<QSslError>& sslErrors, bool offline) {
    switch (error) {
    case QNetworkReply::TimeoutError:
    case QNetworkReply::ProxyTimeoutError: return NetworkErrorCode::timedOut;
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::ProxyConnectionClosedError: return NetworkErrorCode::networkConnectionLost;
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::ProxyNotFoundError:
        return offline ? NetworkErrorCode::notConnectedToInternet : NetworkErrorCode::cannotFindHost;
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::ProxyConnectionRefusedError: return NetworkErrorCode::cannotConnectToHost;
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::BackgroundRequestNotAllowedError: return NetworkErrorCode::notConnectedToInternet;
    case QNetworkReply::SslHandshakeFailedError: return certificateCode(sslErrors);
    case QNetworkReply::OperationCanceledError: return NetworkErrorCode::cancelled;
    case QNetworkReply::ProtocolUnknownError: return NetworkErrorCode::unsupportedURL;
    case QNetworkReply::ProtocolFailure:
    case QNetworkReply::TooManyRedirectsError:
    case QNetworkReply::InsecureRedirectError: return NetworkErrorCode::badServerResponse;
    case QNetworkReply::UnknownNetworkError:
        return offline ? NetworkErrorCode::notConnectedToInternet : NetworkErrorCode::unknown;
    default: return NetworkErrorCode::unknown;
    }
}

QCoro::Task<CloudHttpResponse> QtCloudHttpTransport::send(CloudHttpRequest request, CancellationToken token) {
    token.throwIfCancelled();
    if (!request.url.isValid() || request.url.scheme().isEmpty()) throw NetworkError(NetworkErrorCode::badURL);

    QNetworkRequest networkRequest(request.url);
    networkRequest.setSslConfiguration(tls_);
    for (const auto& [name, value] : request.headers) networkRequest.setRawHeader(name, value);
    if (request.ignoreCache) {
        networkRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
        networkRequest.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    }

    QNetworkReply* raw = request.body.isEmpty() && request.method == "GET"
                             ? manager_.get(networkRequest)
                             : manager_.sendCustomRequest(networkRequest, request.method, request.body);
    const std::unique_ptr<QNetworkReply, void (*)(QNetworkReply*)> reply(raw,
                                                                         [](QNetworkReply* r) { r->deleteLater(); });

    enum class Stop { none, timeout, cancel };
    auto stop = std::make_shared<Stop>(Stop::none);
    auto sslErrors = std::make_shared<QList<QSslError>>();
    QObject::connect(raw, &QNetworkReply::sslErrors, raw,
                     [sslErrors](const QList<QSslError>& errors) { *sslErrors = errors; });

    QPointer<QNetworkReply> guard(raw);
    const double timeout = std::max(0.001, request.timeoutSeconds);
    const Clock::TimerId timer = clock_.schedule(timeout, [guard, stop] {
        if (guard && guard->isRunning() && *stop == Stop::none) {
            *stop = Stop::timeout;
            guard->abort();
        }
    });
    CancellationRegistration registration = token.onCancel([guard, stop] {
        if (guard && guard->isRunning() && *stop == Stop::none) {
            *stop = Stop::cancel;
            guard->abort();
        }
    });

    if (!raw->isFinished()) co_await raw;
    clock_.cancelScheduled(timer);
    registration.reset();

    if (*stop == Stop::cancel) throw CancellationError();
    if (*stop == Stop::timeout) throw NetworkError(NetworkErrorCode::timedOut);

    const QNetworkReply::NetworkError error = raw->error();
    const QVariant status = raw->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    // An HTTP status is an answer, even an error status; a connection that broke is not.
    if (!status.isValid() || isConnectionFailure(error))
        throw NetworkError(networkErrorCode(error, *sslErrors, reportsOffline()));

    CloudHttpResponse response;
    response.status = status.toInt();
    for (const auto& pair : raw->rawHeaderPairs()) response.headers.emplace_back(pair.first, pair.second);
    response.body = raw->readAll();
    co_return response;
}

} // namespace quillo
