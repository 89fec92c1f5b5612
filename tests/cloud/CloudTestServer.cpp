#include "CloudTestServer.h"

#include <libpq-fe.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

// Suites that name no cache of their own keep one beside their test authority.
#ifndef QUILLO_TEST_SUGGESTION_CACHE
#define QUILLO_TEST_SUGGESTION_CACHE QUILLO_TEST_CA_DIR "/../suggestions.cache"
#endif

namespace cloudtest {

const std::string kInstallationId = "6f9619ff-8b86-4d01-b42d-00c04fc964ff";

std::string cloudBinary() {
    const char* other = std::getenv("QUILLO_CLOUD_UNDER_TEST");
    return other && *other ? other : QUILLO_CLOUD_BINARY;
}

bool CloudTestServer::onPostgres() {
    const char* url = std::getenv("QUILLO_TEST_DATABASE_URL");
    return url && *url;
}

static std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::vector<std::string>> postgresRows(const std::string& sql, const std::string& schema) {
    std::string password;
    if (const char* file = std::getenv("QUILLO_TEST_DATABASE_PASSWORD_FILE"); file && *file) {
        password = fileText(file);
        while (!password.empty() && std::isspace(static_cast<unsigned char>(password.back()))) password.pop_back();
    }
    const char* keys[] = {"dbname", password.empty() ? nullptr : "password", nullptr};
    const char* values[] = {std::getenv("QUILLO_TEST_DATABASE_URL"), password.c_str(), nullptr};
    PGconn* conn = PQconnectdbParams(keys, values, 1);
    std::vector<std::vector<std::string>> rows;
    if (PQstatus(conn) != CONNECTION_OK) {
        std::string error = PQerrorMessage(conn);
        PQfinish(conn);
        throw std::runtime_error("cannot reach the test database: " + error);
    }
    PQsetNoticeProcessor(
        conn, [](void*, const char*) {}, nullptr); // "drop cascades to ..."
    if (!schema.empty()) PQclear(PQexec(conn, ("SET search_path TO " + schema).c_str()));
    PGresult* res = PQexec(conn, sql.c_str());
    auto status = PQresultStatus(res);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
        std::string error = PQresultErrorMessage(res);
        PQclear(res);
        PQfinish(conn);
        throw std::runtime_error("test database: " + error);
    }
    for (int r = 0; r < PQntuples(res); ++r) {
        rows.emplace_back();
        for (int c = 0; c < PQnfields(res); ++c) rows.back().push_back(PQgetvalue(res, r, c));
    }
    PQclear(res);
    PQfinish(conn);
    return rows;
}

std::string CloudTestServer::queryValue(const std::string& sql) const {
    if (onPostgres()) {
        auto rows = postgresRows(sql, schema_);
        return rows.empty() || rows[0].empty() ? std::string() : rows[0][0];
    }
    std::string out;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2((dir_ + "/cloud.sqlite3").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* q = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &q, nullptr) == SQLITE_OK && sqlite3_step(q) == SQLITE_ROW &&
            sqlite3_column_text(q, 0))
            out = reinterpret_cast<const char*>(sqlite3_column_text(q, 0));
        sqlite3_finalize(q);
    }
    sqlite3_close(db);
    return out;
}

std::string CloudTestServer::storedBytes() const {
    if (!onPostgres()) return fileText(dir_ + "/cloud.sqlite3") + fileText(dir_ + "/cloud.sqlite3-wal");
    std::string out;
    for (auto& table :
         postgresRows("SELECT table_name FROM information_schema.tables WHERE table_schema = '" + schema_ + "'"))
        for (auto& row : postgresRows("SELECT t::text FROM " + schema_ + "." + table[0] + " t")) out += row[0] + "\n";
    return out;
}

std::string Reply::header(const std::string& name) const {
    auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
}

CloudTestServer::CloudTestServer(std::vector<std::string> extra, bool testControls, std::string reuseDirectory) {
    if (reuseDirectory.empty()) {
        char templ[] = "/tmp/quillo-cloud-test-XXXXXX";
        if (!mkdtemp(templ)) throw std::runtime_error("mkdtemp failed");
        dir_ = templ;
    } else {
        dir_ = reuseDirectory;
        ownsDir_ = false;
    }
    std::vector<std::string> database = {"--db", dir_ + "/cloud.sqlite3"};
    if (onPostgres()) {
        // Each test's own schema, named in its directory so that a server reusing the directory
        // finds the same rows.
        schema_ = fileText(dir_ + "/schema");
        if (schema_.empty()) {
            unsigned char random[8];
            RAND_bytes(random, sizeof random);
            schema_ = "test_";
            for (unsigned char b : random) schema_ += "0123456789abcdef"[b >> 4], schema_ += "0123456789abcdef"[b & 15];
            std::ofstream(dir_ + "/schema") << schema_;
        }
        database = {"--database", std::getenv("QUILLO_TEST_DATABASE_URL"), "--database-schema", schema_};
        if (const char* file = std::getenv("QUILLO_TEST_DATABASE_PASSWORD_FILE"); file && *file) {
            database.push_back("--database-password-file");
            database.push_back(file);
        }
    }
    std::vector<std::string> args = {cloudBinary(), "--port", "0", "--outbox", dir_ + "/outbox", "--cert",
                                     std::string(QUILLO_TEST_CA_DIR) + "/server.pem", "--key",
                                     std::string(QUILLO_TEST_CA_DIR) + "/server.key", "--threads", "8",
                                     // The stored hashes of test accounts need not resist cracking.
                                     "--password-hash-cost", "12",
                                     // One suggestion index cache for all test servers, and a fallback
                                     // without a time limit, so that answers do not depend on the load.
                                     "--suggestion-cache", QUILLO_TEST_SUGGESTION_CACHE, "--suggestion-fallback-ms",
                                     "60000",
                                     // Each test's server reads on first use what it needs; one test
                                     // warms up at start.
                                     "--no-warm-up"};
    args.insert(args.begin() + 3, database.begin(), database.end());
    if (testControls) args.push_back("--test-controls");
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::string errPath = dir_ + "/stderr.log";
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    int rc = posix_spawn(&pid_, args[0].c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (rc != 0) {
        close(out[0]);
        throw std::runtime_error("cannot start quillo-cloud");
    }
    // The server announces its port once it listens; reading the pipe blocks, it never polls a clock.
    std::string line;
    char c;
    pollfd pfd{out[0], POLLIN, 0};
    while (line.find('\n') == std::string::npos) {
        if (poll(&pfd, 1, 20000) <= 0) break;
        if (read(out[0], &c, 1) != 1) break;
        line += c;
    }
    close(out[0]);
    auto colon = line.rfind(':');
    if (line.rfind("listening on ", 0) != 0 || colon == std::string::npos) {
        stop();
        std::ifstream err(errPath);
        std::stringstream ss;
        ss << err.rdbuf();
        throw std::runtime_error("quillo-cloud did not start: " + ss.str());
    }
    port_ = std::atoi(line.c_str() + colon + 1);
}

CloudTestServer::~CloudTestServer() {
    stop();
    if (ownsDir_ && !schema_.empty()) {
        try {
            postgresRows("DROP SCHEMA IF EXISTS " + schema_ + " CASCADE");
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
        }
    }
    if (ownsDir_ && !dir_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
}

void CloudTestServer::stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        // A server that does not end cleanly (a crash, a sanitizer's finding such as a leak at
        // exit) fails the test that ran it.
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::ifstream err(dir_ + "/stderr.log");
            std::stringstream ss;
            ss << err.rdbuf();
            std::string log = ss.str();
            if (log.size() > 20000) log = "..." + log.substr(log.size() - 20000);
            ADD_FAILURE() << "quillo-cloud ended "
                          << (WIFEXITED(status) ? "with exit status " + std::to_string(WEXITSTATUS(status))
                                                : "by signal " + std::to_string(WTERMSIG(status)))
                          << ":\n"
                          << log;
        }
    }
}

std::string CloudTestServer::base(const std::string& host) const {
    return "https://" + host + ":" + std::to_string(port_);
}

std::unique_ptr<httplib::SSLClient> CloudTestServer::client(const std::string& host) const {
    auto c = std::make_unique<httplib::SSLClient>(host, port_);
    c->set_ca_cert_path((std::string(QUILLO_TEST_CA_DIR) + "/ca.pem").c_str());
    c->enable_server_certificate_verification(true);
    c->set_connection_timeout(10, 0);
    c->set_read_timeout(30, 0);
    c->set_write_timeout(30, 0);
    return c;
}

static Reply toReply(const httplib::Result& r) {
    Reply reply;
    if (!r) return reply;
    reply.status = r->status;
    reply.headers = r->headers;
    reply.text = r->body;
    reply.body = json::parse(r->body, nullptr, false);
    if (reply.body.is_discarded()) reply.body = nullptr;
    return reply;
}

Reply CloudTestServer::get(const std::string& path, const httplib::Headers& headers) const {
    return toReply(client()->Get(path.c_str(), headers));
}

Reply CloudTestServer::post(const std::string& path, const std::string& body, const httplib::Headers& headers,
                            const std::string& contentType) const {
    return toReply(client()->Post(path.c_str(), headers, body, contentType.c_str()));
}

Reply CloudTestServer::postJson(const std::string& path, const json& body, const httplib::Headers& headers) const {
    return post(path, body.dump(), headers);
}

Reply CloudTestServer::control(const std::string& name, const json& body) const {
    // A control may wait on the server for up to two minutes (the suggestion index being built),
    // longer than the read timeout of the other requests.
    auto c = client();
    c->set_read_timeout(150, 0);
    Reply r = toReply(c->Post(("/test/" + name).c_str(), controlHeaders(), body.dump(), "application/json"));
    if (r.status != 200) ADD_FAILURE() << "control " << name << " answered " << r.status << " " << r.text;
    return r;
}

json CloudTestServer::createAccount(const std::string& email, const std::string& password, double balance,
                                    bool totp) const {
    return control("account", {{"email", email}, {"password", password}, {"balanceCredits", balance}, {"totp", totp}})
        .body;
}

json CloudTestServer::signIn(const std::string& email, const std::string& password) const {
    Reply r =
        auth({{"action", "sign_in"}, {"email", email}, {"password", password}, {"installationId", kInstallationId}});
    if (r.status != 200) ADD_FAILURE() << "sign_in answered " << r.status << " " << r.text;
    return r.body;
}

Reply CloudTestServer::auth(const json& body, const std::string& accessToken) const {
    return postJson("/api/auth", body, accessToken.empty() ? httplib::Headers{} : bearer(accessToken));
}

httplib::Headers controlHeaders() { return {{"X-Quillo-Test-Control", "1"}}; }

httplib::Headers CloudTestServer::bearer(const std::string& accessToken) {
    return {{"Authorization", "Bearer " + accessToken}};
}

std::vector<std::string> CloudTestServer::mails() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (auto& e : std::filesystem::directory_iterator(outbox(), ec))
        if (e.path().extension() == ".eml") names.push_back(e.path().string());
    std::sort(names.begin(), names.end());
    std::vector<std::string> out;
    for (auto& n : names) {
        std::ifstream in(n);
        std::stringstream ss;
        ss << in.rdbuf();
        out.push_back(ss.str());
    }
    return out;
}

std::string base64Url(const std::string& bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                            reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
    out.resize(static_cast<size_t>(n));
    for (auto& c : out) {
        if (c == '+') c = '-';
        else if (c == '/') c = '_';
    }
    out.erase(std::remove(out.begin(), out.end(), '='), out.end());
    return out;
}

static std::string randomBytes(size_t n) {
    std::string b(n, '\0');
    RAND_bytes(reinterpret_cast<unsigned char*>(b.data()), static_cast<int>(n));
    return b;
}

std::string newUuid() {
    std::string b = randomBytes(16);
    b[6] = static_cast<char>((b[6] & 0x0f) | 0x40);
    b[8] = static_cast<char>((b[8] & 0x3f) | 0x80);
    char buf[37];
    const unsigned char* u = reinterpret_cast<const unsigned char*>(b.data());
    std::snprintf(buf, sizeof buf, "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", u[0], u[1],
                  u[2], u[3], u[4], u[5], u[6], u[7], u[8], u[9], u[10], u[11], u[12], u[13], u[14], u[15]);
    return buf;
}

std::string newRecoveryKey() { return base64Url(randomBytes(32)); }

std::string pkceChallenge(const std::string& verifier) {
    unsigned char d[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(verifier.data()), verifier.size(), d);
    return base64Url(std::string(reinterpret_cast<char*>(d), sizeof d));
}

json jwtPayload(const std::string& token) {
    size_t a = token.find('.'), b = token.find('.', a + 1);
    if (a == std::string::npos || b == std::string::npos) return nullptr;
    std::string part = token.substr(a + 1, b - a - 1);
    for (auto& c : part) {
        if (c == '-') c = '+';
        else if (c == '_') c = '/';
    }
    while (part.size() % 4) part += '=';
    std::string out(part.size(), '\0');
    int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                            reinterpret_cast<const unsigned char*>(part.data()), static_cast<int>(part.size()));
    if (n < 0) return nullptr;
    out.resize(static_cast<size_t>(n));
    while (!out.empty() && out.back() == '\0') out.pop_back();
    return json::parse(out, nullptr, false);
}

json correctionBody(const std::string& text, const std::string& model, const std::string& style, const std::string& id,
                    const std::string& key) {
    return {{"text", text},       {"mode", "cloud_fast"}, {"cloudModel", model}, {"correctionStyle", style},
            {"correctionId", id}, {"recoveryKey", key}};
}

httplib::Headers correctionHeaders(const std::string& accessToken, const json& body) {
    return {{"Authorization", "Bearer " + accessToken},
            {"X-Quillo-Version", "1.0 (1)"},
            {"X-Quillo-Request-ID", body["correctionId"].get<std::string>()}};
}

std::string linkIn(const std::string& mail) {
    auto p = mail.find("X-Quillo-Link: ");
    if (p == std::string::npos) return {};
    p += 15;
    return mail.substr(p, mail.find("\r\n", p) - p);
}

std::string queryValue(const std::string& url, const std::string& name) {
    auto q = url.find('?');
    if (q == std::string::npos) return {};
    std::string query = url.substr(q + 1);
    size_t start = 0;
    while (start < query.size()) {
        size_t amp = query.find('&', start);
        std::string pair = query.substr(start, amp == std::string::npos ? std::string::npos : amp - start);
        if (pair.rfind(name + "=", 0) == 0) return pair.substr(name.size() + 1);
        if (amp == std::string::npos) break;
        start = amp + 1;
    }
    return {};
}

std::string pathAndQuery(const std::string& url) {
    auto scheme = url.find("://");
    auto slash = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    return slash == std::string::npos ? "/" : url.substr(slash);
}

} // namespace cloudtest
