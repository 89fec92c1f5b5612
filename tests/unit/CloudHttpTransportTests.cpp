#include "Services/QtCloudHttpTransport.h"
#include "Services/ScriptedCloudHttpTransport.h"
#include "Support/TaskOutcome.h"
#include "Support/VirtualClock.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace quillo;

TEST(QtCloudHttpTransport, QtErrorsMapOntoTheCodesTheRetryPolicyAndCatalogueKnow) {
    using E = QNetworkReply::NetworkError;
    using C = NetworkErrorCode;
    const std::vector<std::pair<E, C>> online{
        {E::TimeoutError, C::timedOut},
        {E::RemoteHostClosedError, C::networkConnectionLost},
        {E::TemporaryNetworkFailureError, C::networkConnectionLost},
        {E::HostNotFoundError, C::cannotFindHost},
        {E::ConnectionRefusedError, C::cannotConnectToHost},
        {E::NetworkSessionFailedError, C::notConnectedToInternet},
        {E::SslHandshakeFailedError, C::secureConnectionFailed},
        {E::OperationCanceledError, C::cancelled},
        {E::ProtocolFailure, C::badServerResponse},
        {E::UnknownNetworkError, C::unknown},
        {E::ContentAccessDenied, C::unknown},
    };
    for (const auto& [error, code] : online)
        EXPECT_EQ(QtCloudHttpTransport::networkErrorCode(error, {}, false), code) << static_cast<int>(error);
    EXPECT_EQ(QtCloudHttpTransport::networkErrorCode(E::HostNotFoundError, {}, true), C::notConnectedToInternet);
    EXPECT_EQ(QtCloudHttpTransport::networkErrorCode(E::UnknownNetworkError, {}, true), C::notConnectedToInternet);
    EXPECT_EQ(QtCloudHttpTransport::networkErrorCode(E::ConnectionRefusedError, {}, true), C::cannotConnectToHost)
        << "a refusal is an answer from the host, online or not";

    const auto certificate = [](QSslError::SslError e) {
        return QtCloudHttpTransport::networkErrorCode(E::SslHandshakeFailedError, {QSslError(e)}, false);
    };
    EXPECT_EQ(certificate(QSslError::CertificateExpired), C::serverCertificateHasBadDate);
    EXPECT_EQ(certificate(QSslError::CertificateNotYetValid), C::serverCertificateNotYetValid);
    EXPECT_EQ(certificate(QSslError::UnableToGetLocalIssuerCertificate), C::serverCertificateHasUnknownRoot);
    EXPECT_EQ(certificate(QSslError::SelfSignedCertificate), C::serverCertificateHasUnknownRoot);
    EXPECT_EQ(certificate(QSslError::HostNameMismatch), C::serverCertificateUntrusted);
}

TEST(QtCloudHttpTransport, ConfiguredAuthorityPathsMayNameAFileInTheHome) {
    EXPECT_TRUE(QtCloudHttpTransport::authorityFiles(QString()).isEmpty());
    EXPECT_EQ(QtCloudHttpTransport::authorityFiles(QStringLiteral("/etc/quillo/ca.pem")),
              QStringList{QStringLiteral("/etc/quillo/ca.pem")});
    EXPECT_EQ(QtCloudHttpTransport::authorityFiles(QStringLiteral("~/.local/state/quillo-cloud/local-ca/ca.pem")),
              QStringList{QDir::homePath() + QStringLiteral("/.local/state/quillo-cloud/local-ca/ca.pem")});
    // Only a leading "~/" is the home: another user's home or a tilde inside a name is not.
    EXPECT_EQ(QtCloudHttpTransport::authorityFiles(QStringLiteral("~other/ca.pem")),
              QStringList{QStringLiteral("~other/ca.pem")});
    EXPECT_EQ(QtCloudHttpTransport::authorityFiles(QStringLiteral("/tmp/~/ca.pem")),
              QStringList{QStringLiteral("/tmp/~/ca.pem")});
}

TEST(ScriptedCloudHttpTransport, TimeoutAndCancellationEndAScriptedWait) {
    VirtualClock clock;
    ScriptedCloudHttpTransport transport(clock);
    transport.enqueue(ScriptedCloudHttpTransport::Step::answer(200, "late", {}, 10.0));
    CloudHttpRequest request;
    request.timeoutSeconds = 3.0;
    auto slow = observe(transport.send(request, {}));
    clock.advance(3.0);
    ASSERT_TRUE(slow->finished);
    EXPECT_TRUE(slow->failedWith<NetworkError>());

    CancellationSource source;
    transport.enqueue(ScriptedCloudHttpTransport::Step::hang());
    auto hung = observe(transport.send(request, source.token()));
    source.cancel();
    EXPECT_TRUE(hung->failedWith<CancellationError>());
    EXPECT_EQ(transport.inFlight(), 0);
    EXPECT_EQ(clock.pendingTimers(), 0u);
}
