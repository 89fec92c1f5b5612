#pragma once
// Starts a private quillo-cloud for one test (free port, temporary database and outbox) and
// talks HTTPS to it through cpp-httplib, trusting only the test authority.
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cloudtest {

using json = nlohmann::json;

struct Reply {
    int status = -1; // -1: no answer (transport failure)
    httplib::Headers headers;
    std::string text;
    json body; // parsed text, or null
    std::string header(const std::string& name) const;
    bool hasHeader(const std::string& name) const { return headers.find(name) != headers.end(); }
    std::string error() const {
        return body.is_object() && body.contains("error") && body["error"].is_string()
                   ? body["error"].get<std::string>()
                   : "";
    }
};

class CloudTestServer {
public:
    explicit CloudTestServer(std::vector<std::string> extraArgs = {}, bool testControls = true,
                             std::string reuseDirectory = {});
    ~CloudTestServer();
    CloudTestServer(const CloudTestServer&) = delete;

    void stop();
    int port() const { return port_; }
    const std::string& directory() const { return dir_; }
    std::string outbox() const { return dir_ + "/outbox"; }
    std::string base(const std::string& host = "127.0.0.1") const;

    std::unique_ptr<httplib::SSLClient> client(const std::string& host = "127.0.0.1") const;
    Reply get(const std::string& path, const httplib::Headers& headers = {}) const;
    Reply post(const std::string& path, const std::string& body, const httplib::Headers& headers = {},
               const std::string& contentType = "application/json") const;
    Reply postJson(const std::string& path, const json& body, const httplib::Headers& headers = {}) const;
    Reply control(const std::string& name, const json& body = json::object()) const;

    // Accounts and sessions.
    json createAccount(const std::string& email, const std::string& password, double balance, bool totp = false) const;
    json signIn(const std::string& email, const std::string& password) const; // the 200 body
    Reply auth(const json& body, const std::string& accessToken = {}) const;
    static httplib::Headers bearer(const std::string& accessToken);

    std::vector<std::string> mails() const; // outbox file contents, oldest first

    // The store: the SQLite file in the directory, or with QUILLO_TEST_DATABASE_URL a schema of
    // its own in that PostgreSQL database.
    static bool onPostgres();
    const std::string& schema() const { return schema_; }
    // The first column of the first row of `sql` (run in the server's schema); empty if none.
    std::string queryValue(const std::string& sql) const;
    // Every row of every table as text, and on SQLite the files' raw bytes too.
    std::string storedBytes() const;

private:
    std::string dir_;
    std::string schema_;
    bool ownsDir_ = true;
    int port_ = -1;
    pid_t pid_ = -1;
};

// The server the tests run: the one built beside them, or QUILLO_CLOUD_UNDER_TEST, so that the
// same tests can be pointed at another build (an older server they must fail on).
std::string cloudBinary();

// A connection to the test PostgreSQL database (QUILLO_TEST_DATABASE_URL), for tests that look
// behind the server; every call runs one statement, in `schema` when given.
std::vector<std::vector<std::string>> postgresRows(const std::string& sql, const std::string& schema = {});

// Independent helpers (OpenSSL), so a fault in the server's own code cannot hide here.
std::string newUuid();
std::string newRecoveryKey();
std::string base64Url(const std::string& bytes);
std::string pkceChallenge(const std::string& verifier);
json jwtPayload(const std::string& token);
json correctionBody(const std::string& text, const std::string& model = "fast", const std::string& style = "proofread",
                    const std::string& id = newUuid(), const std::string& key = newRecoveryKey());
httplib::Headers correctionHeaders(const std::string& accessToken, const json& body);
std::string linkIn(const std::string& mail);
std::string queryValue(const std::string& url, const std::string& name);
std::string pathAndQuery(const std::string& url);
// The header every test control needs besides a JSON body (a browser cannot send it unasked).
httplib::Headers controlHeaders();
extern const std::string kInstallationId;

} // namespace cloudtest
