#include "CloudClientHarness.h"

#include "Services/CloudPasswordSignIn.h"
#include "Support/BlockingWait.h"

#include <gtest/gtest.h>

namespace cloudclienttest {

QString toQString(const std::string& s) { return QString::fromStdString(s); }

CloudClientHarness::CloudClientHarness(std::vector<std::string> serverArguments)
    : server(std::move(serverArguments)), transport(QStringList{QStringLiteral(QUILLO_TEST_CA_DIR "/ca.pem")}) {
    QuilloCloudService::Options options;
    options.endpoint = endpoint();
    options.recordEvent = [](QuilloDiagnosticEvent, std::optional<QUuid>) {};
    options.retrySleeper = [this](std::uint64_t nanoseconds, CancellationToken token) -> QCoro::Task<> {
        waits.push_back(nanoseconds);
        token.throwIfCancelled();
        co_return;
    };
    service = std::make_unique<QuilloCloudService>(transport, auth, nullptr, options);
}

QString CloudClientHarness::endpoint() const { return toQString(server.base() + "/api/correct"); }

QuilloAuthSession CloudClientHarness::signIn(const std::string& email, double balance, const std::string& password) {
    server.createAccount(email, password, balance);
    const auto url = QuilloCloudService::authURL(endpoint());
    QuilloAuthSession session = blockingWait(CloudPasswordSignIn::signIn(
        transport, *url, toQString(email), toQString(password), toQString(cloudtest::kInstallationId)));
    auth.setSession(session);
    return session;
}

double CloudClientHarness::serverAvailableCredits() const {
    const auto session = auth.currentSession();
    if (!session) return -1;
    const auto reply =
        server.get("/api/correct", cloudtest::CloudTestServer::bearer(session->accessToken.toStdString()));
    EXPECT_EQ(reply.status, 200) << reply.text;
    return reply.body.value("availableCredits", -1.0);
}

} // namespace cloudclienttest
