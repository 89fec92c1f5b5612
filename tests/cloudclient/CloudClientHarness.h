#pragma once
// One private quillo-cloud per test and the real client talking HTTPS to it: the Qt transport
// trusting the test authority, a session signed in through the account endpoint, and the
// cloud service pointed at the server's port. Retry waits are recorded, not slept.
#include "CloudTestServer.h"

#include "Services/FixedSessionProvider.h"
#include "Services/QtCloudHttpTransport.h"
#include "Services/QuilloCloudService.h"

#include <memory>
#include <string>
#include <vector>

namespace cloudclienttest {

using namespace quillo;

QString toQString(const std::string& s);

class CloudClientHarness {
public:
    explicit CloudClientHarness(std::vector<std::string> serverArguments = {});

    cloudtest::CloudTestServer server;
    QtCloudHttpTransport transport;
    FixedSessionProvider auth;
    std::vector<std::uint64_t> waits; // the retry waits the service asked for
    std::unique_ptr<QuilloCloudService> service;

    QString endpoint() const;
    // Makes an account on the server and signs in to it through the account endpoint.
    QuilloAuthSession signIn(const std::string& email, double balance, const std::string& password = "a-long-password");
    double serverAvailableCredits() const; // asked with the test helper's own HTTP client
};

} // namespace cloudclienttest
