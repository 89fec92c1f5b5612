#include "CloudServer.h"

#include "Crypto.h"
#include "HunspellSuggestionIndex.h"
#include "IndexedSuggestionIndex.h"
#include "Log.h"
#include "Pages.h"
#include "Pricing.h"

#include <httplib.h>
#include <nlohmann/json.hpp>
#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <ctime>
#include <fstream>
#include <iterator>
#include <set>

namespace quillo::cloud {

using json = nlohmann::json;
using httplib::Request;
using httplib::Response;

namespace {

thread_local std::chrono::steady_clock::time_point requestStart;

struct RequestError {
    int status;
    std::string code;
};

void sendJson(Response &res, int status, const json &body)
{
    res.status = status;
    res.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace), "application/json");
}

void sendError(Response &res, int status, const std::string &code, json extra = json::object())
{
    json body = {{"error", code}};
    for (auto &[k, v] : extra.items()) body[k] = v;
    if (status == 401) res.set_header("WWW-Authenticate", "Bearer");
    sendJson(res, status, body);
}

void sendHtml(Response &res, int status, const std::string &html)
{
    res.status = status;
    res.set_header("Cache-Control", "no-store");
    res.set_header("Content-Security-Policy",
                   "default-src 'none'; style-src 'unsafe-inline'; form-action 'self' quillo:");
    res.set_content(html, "text/html; charset=utf-8");
}

json parseObject(const Request &req)
{
    json body;
    try {
        body = json::parse(req.body);
    } catch (const json::exception &) {
        throw RequestError{400, "invalid_json"};
    }
    if (!body.is_object()) throw RequestError{400, "invalid_json"};
    return body;
}

std::string requireString(const json &o, const char *key)
{
    auto it = o.find(key);
    if (it == o.end() || it->is_null()) throw RequestError{400, "missing_required_field"};
    if (!it->is_string()) throw RequestError{400, "invalid_field"};
    return it->get<std::string>();
}

std::optional<std::string> optionalString(const json &o, const char *key)
{
    auto it = o.find(key);
    if (it == o.end() || it->is_null()) return std::nullopt;
    if (!it->is_string()) throw RequestError{400, "invalid_field"};
    return it->get<std::string>();
}

std::string requireNonEmpty(const json &o, const char *key)
{
    std::string v = requireString(o, key);
    if (v.empty()) throw RequestError{400, "missing_required_field"};
    return v;
}

std::string lowerAscii(std::string s)
{
    for (auto &c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string trimmed(const std::string &s)
{
    size_t a = s.find_first_not_of(" \t\r\n"), b = s.find_last_not_of(" \t\r\n");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

// "Bearer <token>", the scheme in any case, whitespace runs tolerated.
std::optional<std::string> bearerToken(const std::string &authorization)
{
    size_t i = authorization.find_first_not_of(" \t");
    if (i == std::string::npos) return std::nullopt;
    size_t schemeEnd = authorization.find_first_of(" \t", i);
    if (schemeEnd == std::string::npos) return std::nullopt;
    if (lowerAscii(authorization.substr(i, schemeEnd - i)) != "bearer") return std::nullopt;
    size_t t = authorization.find_first_not_of(" \t", schemeEnd);
    if (t == std::string::npos) return std::nullopt;
    std::string token = authorization.substr(t);
    if (token.find_first_of(" \t") != std::string::npos) return std::nullopt;
    return token;
}

bool validEmail(const std::string &email)
{
    if (email.size() < 3 || email.size() > 254) return false;
    size_t at = email.find('@');
    if (at == std::string::npos || at == 0 || at > 64 || email.find('@', at + 1) != std::string::npos) return false;
    std::string domain = email.substr(at + 1);
    if (domain.size() < 3 || domain.find('.') == std::string::npos || domain.front() == '.' || domain.back() == '.' ||
        domain.find("..") != std::string::npos)
        return false;
    for (unsigned char c : email)
        if (c <= 0x20 || c == 0x7f || c == '<' || c == '>' || c == '(' || c == ')' || c == ',' || c == ';' ||
            c == '"' || c == '\\')
            return false;
    return true;
}

long codePoints(const std::string &s)
{
    long n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

bool weakPassword(const std::string &password, const std::string &email)
{
    static const std::set<std::string> common = {
        "password", "password1", "password123", "12345678", "123456789", "1234567890", "qwertyui",   "qwerty123",
        "iloveyou", "11111111",  "00000000",    "abcdefgh", "abc12345",  "letmein1",   "welcome1",   "sunshine",
        "princess", "football",  "baseball",    "passw0rd", "trustno1",  "superman",   "qwertyuiop", "87654321"};
    std::string lower = lowerAscii(password);
    if (common.contains(lower)) return true;
    if (std::all_of(password.begin(), password.end(), [&](char c) { return c == password[0]; })) return true;
    std::string local = lowerAscii(email.substr(0, email.find('@')));
    return !local.empty() && lower == local;
}

std::string iso8601(int64_t seconds)
{
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

std::map<std::string, std::string> parseForm(const std::string &body)
{
    std::map<std::string, std::string> out;
    auto decode = [](const std::string &s) {
        std::string r;
        for (size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '+') r += ' ';
            else if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
                     std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
                r += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else r += s[i];
        }
        return r;
    };
    size_t start = 0;
    while (start <= body.size()) {
        size_t amp = body.find('&', start);
        std::string pair = body.substr(start, amp == std::string::npos ? std::string::npos : amp - start);
        size_t eq = pair.find('=');
        if (!pair.empty()) {
            std::string k = decode(pair.substr(0, eq)), v = eq == std::string::npos ? "" : decode(pair.substr(eq + 1));
            out.emplace(k, v);
        }
        if (amp == std::string::npos) break;
        start = amp + 1;
    }
    return out;
}

// Bounds of the test controls' numbers: counts and times, a lifetime or clock step of a century,
// a balance of a billion credits.
constexpr int64_t kMaxControlInteger = 1'000'000'000;
constexpr int64_t kMaxControlSeconds = 100LL * 366 * 24 * 3600;
constexpr double kMaxControlCredits = 1e9;
constexpr int64_t kClampedControlInteger = 1LL << 53;  // values the control clamps itself

bool isLoopback(const std::string &addr)
{
    return addr == "127.0.0.1" || addr == "::1" || addr.rfind("::ffff:127.", 0) == 0 || addr.rfind("127.", 0) == 0;
}

// Closes the caller's connection without an answer (test control "drop").
void dropConnection(const Request &req)
{
    int fd = -1;
#ifdef CPPHTTPLIB_OPENSSL_SUPPORT
    if (req.ssl) fd = SSL_get_fd(req.ssl);
#endif
    if (fd < 0) {
        if (DIR *dir = opendir("/proc/self/fd")) {
            while (dirent *e = readdir(dir)) {
                int candidate = std::atoi(e->d_name);
                if (candidate <= 2) continue;
                sockaddr_storage peer{}, local{};
                socklen_t pl = sizeof peer, ll = sizeof local;
                if (getpeername(candidate, reinterpret_cast<sockaddr *>(&peer), &pl) != 0) continue;
                if (getsockname(candidate, reinterpret_cast<sockaddr *>(&local), &ll) != 0) continue;
                auto port = [](const sockaddr_storage &s) {
                    return s.ss_family == AF_INET ? ntohs(reinterpret_cast<const sockaddr_in &>(s).sin_port)
                                                  : ntohs(reinterpret_cast<const sockaddr_in6 &>(s).sin6_port);
                };
                if (port(peer) == req.remote_port && port(local) == req.local_port) {
                    fd = candidate;
                    break;
                }
            }
            closedir(dir);
        }
    }
    if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
}

json sessionBody(const IssuedSession &s, int64_t now)
{
    return {{"accessToken", s.accessToken},
            {"refreshToken", s.refreshToken},
            {"expiresIn", std::max<int64_t>(0, s.expiresAt - std::max(now, s.issuedAt))},
            {"expiresAt", s.expiresAt},
            {"emailConfirmationRequired", false},
            {"user", {{"id", s.account.id}, {"email", s.account.email}, {"provider", s.provider}}}};
}

json balanceBody(const Balance &b)
{
    return {{"balanceCredits", credits(b.balance)},
            {"reservedCredits", credits(b.reserved)},
            {"availableCredits", credits(b.available())}};
}

const char *gatewayCode(int status)
{
    switch (status) {
    case 502: return "bad_gateway";
    case 504: return "gateway_timeout";
    default: return "service_unavailable";
    }
}

std::string pkceChallenge(const std::string &verifier) { return crypto::base64UrlEncode(crypto::sha256(verifier)); }

bool validVerifier(const std::string &v)
{
    if (v.size() < 43 || v.size() > 128) return false;
    for (char c : v)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_' || c == '~'))
            return false;
    return true;
}

}  // namespace

CloudServer::CloudServer(ServerOptions options) : options_(std::move(options))
{
    db_ = std::make_unique<Database>(options_.dbPath);
    store_ = std::make_unique<Store>(*db_, clock_);
    store_->migrate();
    store_->recoverInterruptedCorrections();
    store_->accessTokenSeconds = options_.accessTokenSeconds;
    store_->refreshTokenSeconds = options_.refreshTokenSeconds;
    auto hunspell =
        std::make_shared<HunspellSuggestionIndex>(options_.affPath, options_.dicPath, options_.spellerInstances);
    std::shared_ptr<SuggestionIndex> index = hunspell;
    if (options_.indexedSuggestions) {
        IndexedSuggestionIndex::Options o;
        o.affPath = options_.affPath;
        o.dicPath = options_.dicPath;
        o.commonnessDirectory = options_.wordListDir;
        if (options_.suggestionCacheEnabled)
            o.cachePath =
                options_.suggestionCache.empty() ? options_.dbPath + ".suggestions" : options_.suggestionCache;
        o.fallbackBudget = std::chrono::milliseconds(options_.suggestionFallbackMs);
        o.holdBuild = options_.holdSuggestionIndex;
        suggestionIndex_ = std::make_shared<IndexedSuggestionIndex>(hunspell, o);
        suggestionIndex_->start();
        index = suggestionIndex_;
    }
    corrector_ = std::make_unique<TextCorrector>(std::make_shared<SpellChecker>(index, options_.suggestionCacheSize));
    for (int s = 0; s < 2; ++s)
        if (const auto &m = options_.models[s]; !m.url.empty())
            models_[s] =
                std::make_unique<ModelBackend>(ModelEndpoint{m.url, m.name, readModelKey(m.keyFile, m.keyEnvironment),
                                                             std::chrono::milliseconds(m.timeoutMs)},
                                               *corrector_);
    outbox_ = std::make_unique<Outbox>(options_.outboxDir);
    if (!options_.updateFeedVersion.empty()) {
        std::ifstream keyFile(options_.updateKey, std::ios::binary);
        if (!keyFile) throw std::runtime_error("the update key cannot be read");
        std::string pem((std::istreambuf_iterator<char>(keyFile)), std::istreambuf_iterator<char>());
        UpdateRelease release;
        release.version = options_.updateFeedVersion;
        release.buildNumber = options_.updateFeedBuild;
        release.displayVersion = options_.updateFeedDisplayVersion;
        release.releaseNotes = options_.updateNotes;
        release.minimumSystemVersion = options_.updateMinimumSystem;
        release.critical = options_.updateCritical;
        updates_ = std::make_unique<UpdateFeedPublisher>(release, pem, options_.updatePackage);
        log::info("update_feed_ready", {{"version", release.version}, {"build", release.buildNumber}});
    }
    faults_.fastBusy = options_.fastBusy;
    faults_.veryVeryFastBusy = options_.veryVeryFastBusy;
    faults_.busyRetryAfter = options_.busyRetryAfter;
    if (options_.checkoutHost.empty()) options_.checkoutHost = QUILLO_CLOUD_DEFAULT_CHECKOUT_HOST;

    if (!options_.demoAccount.empty()) {
        size_t colon = options_.demoAccount.find(':');
        std::string email = options_.demoAccount.substr(0, colon), password = options_.demoAccount.substr(colon + 1);
        auto existing = store_->accountByEmail(email);
        if (!existing) {
            store_->createAccount(email, crypto::hashPassword(password), "email", true,
                                  microFromCredits(options_.demoBalance));
        } else {
            store_->setPassword(existing->id, crypto::hashPassword(password));
            store_->confirmEmail(existing->id);
            store_->setBalance(existing->id, microFromCredits(options_.demoBalance));
        }
        log::info("demo_account_ready", {{"balanceCredits", options_.demoBalance}});
    }

    if (options_.plainHttp) {
        http_ = std::make_unique<httplib::Server>();
    } else {
        auto ssl = std::make_unique<httplib::SSLServer>(options_.certFile.c_str(), options_.keyFile.c_str());
        if (!ssl->is_valid()) throw std::runtime_error("the server certificate or key cannot be loaded");
        http_ = std::move(ssl);
    }
    int threads = options_.threads;
    http_->new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<size_t>(threads)); };
    http_->set_tcp_nodelay(true);  // small JSON answers must not wait for delayed ACKs
    http_->set_payload_max_length(options_.maxBodyBytes);
    http_->set_read_timeout(15, 0);
    http_->set_write_timeout(15, 0);
    http_->set_keep_alive_timeout(5);  // an idle connection holds a worker thread
    http_->set_keep_alive_max_count(1000);
    routes();
}

CloudServer::~CloudServer()
{
    {
        std::lock_guard lock(janitorMutex_);
        stopping_ = true;
    }
    janitorWake_.notify_all();
    if (janitorThread_.joinable()) janitorThread_.join();
}

int CloudServer::bind()
{
    if (options_.port == 0) port_ = http_->bind_to_any_port(options_.host);
    else port_ = http_->bind_to_port(options_.host, options_.port) ? options_.port : -1;
    return port_;
}

void CloudServer::run()
{
    runStarted_ = true;
    if (!stopRequested_) {
        janitorThread_ = std::thread([this] { janitor(); });
        http_->listen_after_bind();
    }
    runEnded_ = true;
}

void CloudServer::stop()
{
    stopRequested_ = true;
    faults_.release();
    // httplib ignores a stop that comes before its accept loop runs (a SIGTERM during start-up):
    // once run() has begun, wait for the loop to be up or for run() to have given up, then stop.
    if (runStarted_) {
        while (!http_->is_running() && !runEnded_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    http_->stop();
}

std::string CloudServer::publicUrl(const std::string &host) const
{
    std::string h = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return std::string(options_.plainHttp ? "http" : "https") + "://" + h + ":" + std::to_string(port_);
}

std::string CloudServer::baseUrl() const
{
    std::string host = options_.publicHost.empty() ? options_.host : options_.publicHost;
    if (host == "0.0.0.0" || host == "::") host = "127.0.0.1";
    return publicUrl(host);
}

void CloudServer::janitor()
{
    std::unique_lock lock(janitorMutex_);
    while (!stopping_) {
        janitorWake_.wait_for(lock, std::chrono::seconds(60));
        if (stopping_) break;
        lock.unlock();
        try {
            int removed = store_->purgeExpired(options_.correctionRetentionSeconds);
            if (removed) log::info("correction_results_purged", {{"count", removed}});
        } catch (const std::exception &e) {
            log::warn("purge_failed", {{"reason", e.what()}});
        }
        lock.lock();
    }
}

void CloudServer::routes()
{
    auto guarded = [this](void (CloudServer::*handler)(const Request &, Response &)) {
        return [this, handler](const Request &req, Response &res) {
            try {
                (this->*handler)(req, res);
            } catch (const RequestError &e) {
                sendError(res, e.status, e.code);
            } catch (const DatabaseError &e) {
                log::error("database_error", {{"path", req.path}, {"busy", e.isBusy()}, {"code", e.code}});
                res.set_header("Retry-After", "1");
                res.set_header("X-Quillo-Retry-Safe", "1");
                sendError(res, 503, e.isBusy() ? "service_busy" : "storage_unavailable");
            }
        };
    };

    http_->set_pre_routing_handler([](const Request &, Response &) {
        requestStart = std::chrono::steady_clock::now();
        return httplib::Server::HandlerResponse::Unhandled;
    });
    http_->set_logger([](const Request &req, const Response &res) {
        if (!log::enabled(log::Level::info)) return;
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - requestStart).count();
        json fields = {
            {"method", req.method}, {"path", req.path}, {"status", res.status}, {"ms", std::round(ms * 100) / 100}};
        if (req.has_header("X-Quillo-Request-ID")) {
            std::string id = req.get_header_value("X-Quillo-Request-ID");
            if (crypto::isUuid(id)) fields["requestId"] = id;
        }
        log::info("request", fields);
    });
    http_->set_error_handler(httplib::Server::HandlerWithResponse([](const Request &, Response &res) {
        if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        const char *code = "bad_request";
        switch (res.status) {
        case 404: code = "not_found"; break;
        case 405: code = "method_not_allowed"; break;
        case 413: code = "payload_too_large"; break;
        case 414: code = "uri_too_long"; break;
        case 416: code = "range_not_satisfiable"; break;
        default:
            if (res.status >= 500) code = "internal_error";
        }
        res.set_content(json{{"error", code}}.dump(), "application/json");
        return httplib::Server::HandlerResponse::Handled;
    }));
    http_->set_exception_handler([](const Request &req, Response &res, const std::exception_ptr &ep) {
        std::string what = "unknown";
        try {
            if (ep) std::rethrow_exception(ep);
        } catch (const std::exception &e) {
            what = e.what();
        } catch (...) {
        }
        log::error("handler_failed", {{"path", req.path}, {"reason", what}});
        sendError(res, 500, "internal_error");
    });

    http_->Post("/api/correct", guarded(&CloudServer::handleCorrection));
    http_->Get("/api/correct", guarded(&CloudServer::handleAccountGet));
    http_->Post("/api/auth", guarded(&CloudServer::handleAuth));
    http_->Post("/api/checkout", guarded(&CloudServer::handleCheckout));
    auto notAllowed = [](const Request &, Response &res) { sendError(res, 405, "method_not_allowed"); };
    for (const char *path : {"/api/correct", "/api/auth", "/api/checkout"}) {
        http_->Put(path, notAllowed);
        http_->Patch(path, notAllowed);
        http_->Delete(path, notAllowed);
    }
    for (const char *path : {"/api/auth", "/api/checkout"}) http_->Get(path, notAllowed);

    http_->Get("/oauth/google", guarded(&CloudServer::consentPage));
    http_->Post("/oauth/google", guarded(&CloudServer::consentDecision));
    http_->Get(R"(/checkout/([0-9a-f-]{36}))", guarded(&CloudServer::checkoutPage));
    http_->Post(R"(/checkout/([0-9a-f-]{36}))", guarded(&CloudServer::checkoutAction));
    http_->Get("/auth/confirm", guarded(&CloudServer::confirmPage));
    http_->Post("/auth/confirm", guarded(&CloudServer::confirmAction));
    http_->Get("/auth/reset", guarded(&CloudServer::resetPage));
    http_->Post("/auth/reset", guarded(&CloudServer::resetAction));
    http_->Get("/updates/feed.json", guarded(&CloudServer::updateFeed));
    http_->Get(R"(/updates/([A-Za-z0-9_+-][A-Za-z0-9._+-]*))", guarded(&CloudServer::updatePackage));
    http_->Get("/", [](const Request &, Response &res) {
        sendHtml(res, 200,
                 pages::message("Quillo cloud", "This is a Quillo cloud server. Point the Quillo app at it."));
    });

    if (options_.testControls) {
        http_->Post(R"(/test/([a-z-]+))", guarded(&CloudServer::handleTestControl));
        http_->Get(R"(/test/([a-z-]+))", guarded(&CloudServer::handleTestControl));
    }
}

bool CloudServer::applyCommonFaults(const Request &req, Response &res)
{
    if (!options_.testControls) return false;
    if (int ms = faults_.takeDelay()) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    if (faults_.takeDrop(FaultStage::request)) {
        dropConnection(req);
        res.status = 500;
        res.set_content("{}", "application/json");
        return true;
    }
    return false;
}

namespace {

struct Authenticated {
    bool ok = false;
    Caller caller;
};

}  // namespace

static Authenticated authenticateRequest(Store &store, const Request &req, Response &res)
{
    Authenticated a;
    if (!req.has_header("Authorization")) {
        sendError(res, 401, "session_required");
        return a;
    }
    auto token = bearerToken(req.get_header_value("Authorization"));
    if (!token) {
        sendError(res, 401, "session_invalid");
        return a;
    }
    switch (store.authenticate(*token, a.caller)) {
    case TokenCheck::ok: a.ok = true; break;
    case TokenCheck::missing: sendError(res, 401, "session_required"); break;
    case TokenCheck::expired: sendError(res, 401, "token_expired"); break;
    case TokenCheck::invalid: sendError(res, 401, "session_invalid"); break;
    }
    return a;
}

// ---- Update feed ---------------------------------------------------------------------------

void CloudServer::updateFeed(const Request &req, Response &res)
{
    if (!updates_) return sendError(res, 404, "not_found");
    if (applyCommonFaults(req, res)) return;
    res.set_header("Cache-Control", "no-store");
    res.status = 200;
    res.set_content(updates_->document(baseUrl()), "application/json");
}

void CloudServer::updatePackage(const Request &req, Response &res)
{
    if (!updates_ || req.matches[1] != updates_->packageName()) return sendError(res, 404, "not_found");
    if (applyCommonFaults(req, res)) return;
    res.set_header("Cache-Control", "no-store");
    res.status = 200;
    res.set_content(updates_->packageBytes(), "application/octet-stream");
}

// ---- Corrections and balance ---------------------------------------------------------------

void CloudServer::handleAccountGet(const Request &req, Response &res)
{
    if (applyCommonFaults(req, res)) return;
    if (req.has_param("action")) {
        std::string action = req.get_param_value("action");
        if (action != "health") return sendError(res, 400, "unknown_action");
        if (!store_->healthy()) return sendError(res, 503, "storage_unavailable");
        return sendJson(res, 200, {{"status", "ok"}});
    }
    auto auth = authenticateRequest(*store_, req, res);
    if (!auth.ok) return;
    sendJson(res, 200, balanceBody(store_->balance(auth.caller.accountId)));
}

void CloudServer::handleCorrection(const Request &req, Response &res)
{
    auto auth = authenticateRequest(*store_, req, res);
    if (!auth.ok) return;
    if (applyCommonFaults(req, res)) return;
    if (options_.testControls && faults_.takeTooEarly()) {
        res.set_header("Retry-After", "1");
        return sendError(res, 425, "correction_in_progress");
    }
    std::optional<GatewayFault> gateway = options_.testControls ? faults_.takeGateway() : std::nullopt;
    auto answerGateway = [&](const GatewayFault &g) {
        faults_.noteApplied("gateway-" + std::to_string(g.status) + (g.afterProcessing ? "-answer" : "-request"));
        res.set_header("X-Quillo-Retry-Safe", g.safe ? "1" : "0");
        sendError(res, g.status, gatewayCode(g.status));
    };
    if (gateway && !gateway->afterProcessing) return answerGateway(*gateway);

    json body = parseObject(req);
    std::string text = requireString(body, "text");
    std::string mode = requireString(body, "mode");
    std::string model = requireString(body, "cloudModel");
    std::string style = requireString(body, "correctionStyle");
    std::string correctionId = requireString(body, "correctionId");
    std::string recoveryKey = requireString(body, "recoveryKey");
    auto requested = speedFromWire(model);
    if (!requested) return sendError(res, 400, "invalid_cloud_model");
    if (style != "proofread" && style != "contextual") return sendError(res, 400, "invalid_correction_style");
    if (!crypto::isLowerUuid(correctionId)) return sendError(res, 400, "invalid_correction_id");
    if (!crypto::isBase64Url(recoveryKey, 43)) return sendError(res, 400, "invalid_recovery_key");
    if (req.has_header("X-Quillo-Request-ID") && req.get_header_value("X-Quillo-Request-ID") != correctionId)
        return sendError(res, 400, "request_id_mismatch");
    long units = utf16Length(text);
    if (units < 0) return sendError(res, 400, "invalid_text");
    if (units > kMaxTextUnits) return sendError(res, 413, "text_too_long", {{"maximumCharacters", kMaxTextUnits}});

    const std::string &accountId = auth.caller.accountId;
    std::string recoveryHash = crypto::sha256Hex(recoveryKey);
    std::string requestHash = crypto::sha256Hex(model + '\0' + style + '\0' + text);

    auto replay = [&](const std::string &stored) {
        json answer = json::parse(stored);
        Balance b = store_->balance(accountId);
        answer["billing"]["balanceCredits"] = credits(b.balance);
        answer["billing"]["reservedCredits"] = credits(b.reserved);
        answer["billing"]["availableCredits"] = credits(b.available());
        res.set_header("X-Quillo-Replay", "1");
        sendJson(res, 200, answer);
    };
    auto inProgress = [&] {
        res.set_header("Retry-After", "1");
        sendError(res, 425, "correction_in_progress");
    };

    // A repeat of a known id is answered before capacity is considered: replay needs none.
    if (auto known = store_->correction(correctionId)) {
        if (known->accountId != accountId || !crypto::constantTimeEquals(known->recoveryHash, recoveryHash) ||
            known->requestHash != requestHash)
            return sendError(res, 409, "correction_conflict");
        if (known->state == "done") return replay(known->response);
        if (known->state == "processing" && known->updatedAt >= clock_.nowSeconds() - 120) return inProgress();
    }

    Speed used = *requested;
    bool requestedBusy = (*requested == Speed::fast ? faults_.fastBusy : faults_.veryVeryFastBusy).load();
    if (requestedBusy) {
        Speed other = *requested == Speed::fast ? Speed::veryVeryFast : Speed::fast;
        bool otherBusy = (other == Speed::fast ? faults_.fastBusy : faults_.veryVeryFastBusy).load();
        if (otherBusy) {
            if (options_.testControls) faults_.noteApplied("busy-429");
            int after = faults_.busyRetryAfter.load();
            if (after > 0) res.set_header("Retry-After", std::to_string(after));
            return sendError(res, 429, "capacity_busy");
        }
        used = other;  // a reroute bills the speed that served it
        if (options_.testControls) faults_.noteApplied("busy-reroute");
    }
    int64_t cost = correctionCostMicro(units, used);

    auto start = store_->beginCorrection(accountId, correctionId, recoveryHash, requestHash, cost);
    switch (start.kind) {
    case CorrectionStart::inProgress: return inProgress();
    case CorrectionStart::replay: return replay(start.storedResponse);
    case CorrectionStart::conflict:
    case CorrectionStart::keyMismatch: return sendError(res, 409, "correction_conflict");
    case CorrectionStart::insufficient:
        return sendError(res, 402, "insufficient_credits",
                         {{"availableCredits", credits(start.available)}, {"requiredCredits", credits(cost)}});
    case CorrectionStart::fresh: break;
    }

    std::string corrected;
    try {
        if (options_.testControls) {
            // The caller loses its connection but the work goes on, reserved, for a while: its
            // repeat finds the correction still in progress.
            if (auto keepGoing = faults_.takeDrop(FaultStage::processing)) {
                dropConnection(req);
                std::this_thread::sleep_for(std::chrono::milliseconds(*keepGoing));
            }
            if (int ms = faults_.takeDelay(FaultStage::processing))
                std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            faults_.parkIfArmed();
        }
        IndexedSuggestionIndex::TextBudget budget(std::chrono::milliseconds(options_.suggestionFallbackMs));
        auto correctionStyle = style == "contextual" ? CorrectionStyle::contextual : CorrectionStyle::proofread;
        const auto &model = models_[static_cast<int>(used)];
        corrected = model ? model->correct(text, correctionStyle).text : corrector_->correct(text, correctionStyle);
    } catch (const std::exception &e) {
        log::error("correction_failed", {{"requestId", correctionId}, {"reason", e.what()}});
        try {
            store_->abandonCorrection(accountId, correctionId);
        } catch (...) {
        }
        res.set_header("X-Quillo-Retry-Safe", "1");
        return sendError(res, 503, "correction_failed");
    }

    json answer = {{"correction", corrected},
                   {"routing",
                    {{"requestedSpeed", speedTitle(*requested)},
                     {"usedSpeed", speedTitle(used)},
                     {"billingSpeed", speedTitle(used)}}},
                   {"billing", {{"chargedCredits", credits(cost)}}}};
    Balance after;
    try {
        after = store_->finishCorrection(accountId, correctionId, cost, answer.dump());
    } catch (const std::exception &e) {
        log::error("correction_not_recorded", {{"requestId", correctionId}, {"reason", e.what()}});
        try {
            store_->abandonCorrection(accountId, correctionId);
        } catch (...) {
        }
        res.set_header("X-Quillo-Retry-Safe", "1");
        res.set_header("Retry-After", "1");
        return sendError(res, 503, "service_busy");
    }
    if (gateway) return answerGateway(*gateway);  // charged and stored; a repeat replays it
    if (options_.testControls && faults_.takeDrop(FaultStage::answer)) {
        dropConnection(req);  // charged and stored, the answer lost on the way
        res.status = 500;
        res.set_content("{}", "application/json");
        return;
    }
    answer["billing"]["balanceCredits"] = credits(after.balance);
    answer["billing"]["reservedCredits"] = credits(after.reserved);
    answer["billing"]["availableCredits"] = credits(after.available());
    sendJson(res, 200, answer);
}

// ---- Accounts ------------------------------------------------------------------------------

bool CloudServer::failedAttemptsExceeded(const std::string &key)
{
    std::lock_guard lock(attemptsMutex_);
    auto it = failedAttempts_.find(key);
    if (it == failedAttempts_.end()) return false;
    if (it->second.first < clock_.nowSeconds() - 900) {
        failedAttempts_.erase(it);
        return false;
    }
    return it->second.second >= 10;
}

void CloudServer::recordFailedAttempt(const std::string &key)
{
    std::lock_guard lock(attemptsMutex_);
    int64_t now = clock_.nowSeconds();
    auto &entry = failedAttempts_[key];
    if (entry.first < now - 900) entry = {now, 0};
    ++entry.second;
    if (failedAttempts_.size() > 100000) failedAttempts_.clear();  // bounded memory under abuse
}

void CloudServer::mailConfirmation(const Account &account)
{
    std::string token = store_->createEmailToken(account.id, "confirm", int64_t{48} * 3600);
    outbox_->write("confirm", account.email, "Confirm your Quillo account",
                   "Open this link to confirm your e-mail address and start using Quillo.",
                   baseUrl() + "/auth/confirm?token=" + token);
}

void CloudServer::handleAuth(const Request &req, Response &res)
{
    if (applyCommonFaults(req, res)) return;
    json body = parseObject(req);
    for (auto &[k, v] : body.items())
        if (!v.is_string() && !v.is_null()) throw RequestError{400, "invalid_field"};
    std::string action = requireNonEmpty(body, "action");
    int64_t now = clock_.nowSeconds();

    auto requireInstallation = [&] {
        std::string id = requireNonEmpty(body, "installationId");
        if (!crypto::isUuid(id)) throw RequestError{400, "invalid_installation_id"};
        return lowerAscii(id);
    };
    auto caller = [&]() -> std::optional<Caller> {
        auto a = authenticateRequest(*store_, req, res);
        if (!a.ok) return std::nullopt;
        return a.caller;
    };
    auto checkTotp = [&](const Account &account) {
        if (!account.totpSecret) return;
        auto code = optionalString(body, "mfaCode");
        std::string c = code ? trimmed(*code) : "";
        if (c.empty()) throw RequestError{403, "mfa_required"};
        if (failedAttemptsExceeded("mfa:" + account.id)) throw RequestError{429, "rate_limited"};
        if (!crypto::verifyTotp(*account.totpSecret, c, now)) {
            recordFailedAttempt("mfa:" + account.id);
            throw RequestError{403, "invalid_mfa_code"};
        }
    };
    auto challengeFrom = [&] {
        std::string challenge = requireNonEmpty(body, "codeChallenge");
        if (!crypto::isBase64Url(challenge, 43)) throw RequestError{400, "invalid_code_challenge"};
        return challenge;
    };

    if (action == "sign_up") {
        std::string email = requireNonEmpty(body, "email"), password = requireNonEmpty(body, "password");
        std::string installation = requireInstallation();
        if (!validEmail(email)) return sendError(res, 400, "invalid_email");
        long length = codePoints(password);
        if (length < 8 || length > 128) return sendError(res, 400, "invalid_password");
        if (weakPassword(password, email)) return sendError(res, 400, "weak_password");
        if (store_->accountByEmail(email)) return sendError(res, 409, "account_already_exists");
        Account account;
        try {
            account =
                store_->createAccount(email, crypto::hashPassword(password), "email",
                                      !options_.requireEmailConfirmation, microFromCredits(options_.signupCredits));
        } catch (const DatabaseError &e) {
            if (!e.isBusy()) return sendError(res, 409, "account_already_exists");  // lost a race on the address
            throw;
        }
        log::info("account_created", {{"provider", "email"}});
        if (options_.requireEmailConfirmation) {
            mailConfirmation(account);
            return sendJson(res, 200,
                            {{"emailConfirmationRequired", true},
                             {"user", {{"id", account.id}, {"email", account.email}, {"provider", "email"}}}});
        }
        return sendJson(res, 200, sessionBody(store_->issueSession(account, "email", installation), now));
    }
    if (action == "sign_in") {
        std::string email = requireNonEmpty(body, "email"), password = requireNonEmpty(body, "password");
        std::string installation = requireInstallation();
        std::string key = "signin:" + lowerAscii(email);
        if (failedAttemptsExceeded(key)) return sendError(res, 429, "rate_limited");
        auto account = store_->accountByEmail(email);
        bool ok = account && account->passwordHash && crypto::verifyPassword(password, *account->passwordHash);
        if (!account) crypto::verifyPassword(password, crypto::hashPassword("timing-equaliser"));
        if (!ok) {
            recordFailedAttempt(key);
            return sendError(res, 401, "invalid_credentials");
        }
        if (!account->confirmed) return sendError(res, 403, "email_not_confirmed");
        return sendJson(res, 200, sessionBody(store_->issueSession(*account, "email", installation), now));
    }
    if (action == "request_password_reset" || action == "resend_confirmation") {
        std::string email = requireNonEmpty(body, "email");
        if (!validEmail(email)) return sendError(res, 400, "invalid_email");
        std::string key = "mail:" + lowerAscii(email);
        if (failedAttemptsExceeded(key)) return sendError(res, 429, "rate_limited");
        recordFailedAttempt(key);  // counts mails sent, so an address cannot be flooded
        // The answer never tells whether the address has an account.
        if (auto account = store_->accountByEmail(email)) {
            if (action == "request_password_reset") {
                std::string token = store_->createEmailToken(account->id, "reset", 3600);
                outbox_->write("reset", account->email, "Reset your Quillo password",
                               "Open this link within an hour to choose a new password. If you did not ask for it, "
                               "ignore this message.",
                               baseUrl() + "/auth/reset?token=" + token);
            } else if (!account->confirmed) {
                mailConfirmation(*account);
            }
        }
        return sendJson(res, 200, json::object());
    }
    if (action == "start_google_oauth") {
        std::string challenge = challengeFrom();
        std::string installation = requireInstallation();
        std::string id = store_->createOAuthRequest("signin", challenge, installation, std::nullopt, std::nullopt,
                                                    std::nullopt, false);
        return sendJson(res, 200, {{"oauthURL", baseUrl() + "/oauth/google?request=" + id}});
    }
    if (action == "complete_google_oauth") {
        std::string code = requireNonEmpty(body, "authCode"), verifier = requireNonEmpty(body, "codeVerifier");
        std::string installation = requireInstallation();
        auto request = store_->takeOAuthCode(code, "signin");
        if (!request || !validVerifier(verifier) ||
            !crypto::constantTimeEquals(pkceChallenge(verifier), request->codeChallenge) || !request->chosenEmail)
            return sendError(res, 400, "google_auth_failed");
        auto account = store_->accountByEmail(*request->chosenEmail);
        if (!account) {
            account = store_->createAccount(*request->chosenEmail, std::nullopt, "google", true,
                                            microFromCredits(options_.signupCredits));
            log::info("account_created", {{"provider", "google"}});
        } else if (!account->confirmed) {
            store_->confirmEmail(account->id);  // Google vouched for the address
        }
        return sendJson(res, 200, sessionBody(store_->issueSession(*account, "google", installation), now));
    }
    if (action == "refresh") {
        std::string token = requireNonEmpty(body, "refreshToken");
        auto session = store_->refresh(token);
        if (!session) return sendError(res, 401, "invalid_refresh_token");
        return sendJson(res, 200, sessionBody(*session, now));
    }
    if (action == "sign_out") {
        auto c = caller();
        if (!c) return;
        store_->revokeSession(c->sessionId);
        return sendJson(res, 200, json::object());
    }
    if (action == "delete_account") {
        auto c = caller();
        if (!c) return;
        std::string password = requireNonEmpty(body, "password");
        auto account = store_->accountById(c->accountId);
        if (!account) return sendError(res, 401, "session_invalid");
        std::string key = "delete:" + account->id;
        if (failedAttemptsExceeded(key)) return sendError(res, 429, "rate_limited");
        if (!account->passwordHash) return sendError(res, 403, "reauthentication_failed");
        if (!crypto::verifyPassword(password, *account->passwordHash)) {
            recordFailedAttempt(key);
            return sendError(res, 403, "invalid_credentials");
        }
        checkTotp(*account);
        if (!store_->deleteAccount(account->id)) return sendError(res, 500, "account_deletion_failed");
        log::info("account_deleted", {{"provider", "email"}});
        return sendJson(res, 200, json::object());
    }
    if (action == "start_google_reauthentication") {
        auto c = caller();
        if (!c) return;
        std::string challenge = challengeFrom();
        auto account = store_->accountById(c->accountId);
        if (!account) return sendError(res, 401, "session_invalid");
        std::string proof = crypto::randomToken(32);
        std::string id = store_->createOAuthRequest("reauth", challenge, std::nullopt, account->id, c->sessionId,
                                                    crypto::sha256Hex(proof), account->totpSecret.has_value());
        return sendJson(res, 200,
                        {{"oauthURL", baseUrl() + "/oauth/google?request=" + id},
                         {"reauthenticationProof", proof},
                         {"mfaRequired", account->totpSecret.has_value()}});
    }
    if (action == "complete_google_reauthentication") {
        auto c = caller();
        if (!c) return;
        std::string code = requireNonEmpty(body, "authCode"), verifier = requireNonEmpty(body, "codeVerifier");
        std::string proof = requireNonEmpty(body, "reauthenticationProof");
        auto account = store_->accountById(c->accountId);
        if (!account) return sendError(res, 401, "session_invalid");
        auto started = store_->reauthenticationByProof(crypto::sha256Hex(proof));
        if (!started || started->accountId != account->id) return sendError(res, 403, "reauthentication_failed");
        auto request = store_->takeOAuthCode(code, "reauth");
        if (!request || request->id != started->id || !validVerifier(verifier) ||
            !crypto::constantTimeEquals(pkceChallenge(verifier), request->codeChallenge) || !request->chosenEmail)
            return sendError(res, 400, "google_auth_failed");
        if (lowerAscii(*request->chosenEmail) != lowerAscii(account->email))
            return sendError(res, 403, "reauthentication_failed");
        checkTotp(*account);
        store_->markReauthenticationVerified(request->id);
        return sendJson(res, 200, json::object());
    }
    if (action == "delete_google_account") {
        auto c = caller();
        if (!c) return;
        std::string proof = requireNonEmpty(body, "reauthenticationProof");
        auto started = store_->reauthenticationByProof(crypto::sha256Hex(proof));
        if (!started || started->accountId != c->accountId || started->state != "verified" ||
            !store_->consumeVerifiedReauthentication(started->id))
            return sendError(res, 403, "reauthentication_failed");
        if (!store_->deleteAccount(c->accountId)) return sendError(res, 500, "account_deletion_failed");
        log::info("account_deleted", {{"provider", "google"}});
        return sendJson(res, 200, json::object());
    }
    sendError(res, 400, "unknown_action");
}

// ---- Browser pages -------------------------------------------------------------------------

void CloudServer::consentPage(const Request &req, Response &res)
{
    auto request = store_->oauthRequest(req.get_param_value("request"));
    if (!request || request->state != "started")
        return sendHtml(res, 404, pages::message("Sign-in link expired", "Start again from Quillo."));
    sendHtml(res, 200, pages::consent(request->id, request->kind == "reauth"));
}

void CloudServer::consentDecision(const Request &req, Response &res)
{
    auto form = parseForm(req.body);
    auto request = store_->oauthRequest(form["request"]);
    if (!request || request->state != "started")
        return sendHtml(res, 404, pages::message("Sign-in link expired", "Start again from Quillo."));
    if (form["decision"] != "allow") {
        store_->denyOAuthRequest(request->id);
        return res.set_redirect("quillo://auth/callback?error=access_denied", 302);
    }
    std::string email = trimmed(form["email"]);
    if (!validEmail(email)) return sendHtml(res, 400, pages::consent(request->id, request->kind == "reauth"));
    auto code = store_->authorizeOAuthRequest(request->id, email);
    if (!code) return sendHtml(res, 409, pages::message("Sign-in link already used", "Start again from Quillo."));
    res.set_redirect("quillo://auth/callback?code=" + *code, 302);
}

std::string CloudServer::checkoutToken(const std::string &orderId)
{
    return crypto::base64UrlEncode(crypto::hmacSha256(store_->signingKey(), "checkout:" + orderId));
}

void CloudServer::checkoutPage(const Request &req, Response &res)
{
    std::string orderId = req.matches[1];
    auto order = store_->order(orderId, options_.checkoutTtlSeconds);
    if (!order || !crypto::constantTimeEquals(checkoutToken(orderId), req.get_param_value("token")))
        return sendHtml(res, 404, pages::message("Checkout not found", "This checkout link is not valid."));
    auto pack = packInfo(order->pack);
    sendHtml(res, 200,
             pages::checkout(orderId, checkoutToken(orderId), pack->title, pack->priceDollars, pack->credits,
                             order->status, credits(order->granted)));
}

void CloudServer::checkoutAction(const Request &req, Response &res)
{
    std::string orderId = req.matches[1];
    auto form = parseForm(req.body);
    if (!crypto::constantTimeEquals(checkoutToken(orderId), form["token"]))
        return sendHtml(res, 404, pages::message("Checkout not found", "This checkout link is not valid."));
    auto result = store_->applyOrderAction(orderId, form["action"], options_.checkoutTtlSeconds);
    if (result == Store::OrderActionResult::notFound)
        return sendHtml(res, 404, pages::message("Checkout not found", "This checkout link is not valid."));
    if (result == Store::OrderActionResult::notAllowed)
        return sendHtml(res, 409,
                        pages::message("Not possible", "The order cannot take that step in its current state."));
    log::info("order_updated", {{"orderId", orderId}, {"action", form["action"]}});
    res.set_redirect("/checkout/" + orderId + "?token=" + checkoutToken(orderId), 303);
}

void CloudServer::confirmPage(const Request &req, Response &res)
{
    std::string token = req.get_param_value("token");
    if (!store_->emailTokenValid(token, "confirm"))
        return sendHtml(res, 404, pages::message("Link expired", "Ask Quillo to send a new confirmation e-mail."));
    sendHtml(res, 200, pages::confirm(token));
}

void CloudServer::confirmAction(const Request &req, Response &res)
{
    auto form = parseForm(req.body);
    auto account = store_->consumeEmailToken(form["token"], "confirm");
    if (!account)
        return sendHtml(res, 404, pages::message("Link expired", "Ask Quillo to send a new confirmation e-mail."));
    store_->confirmEmail(*account);
    sendHtml(res, 200, pages::message("E-mail confirmed", "Your Quillo account is ready. Sign in from Quillo."));
}

void CloudServer::resetPage(const Request &req, Response &res)
{
    std::string token = req.get_param_value("token");
    if (!store_->emailTokenValid(token, "reset"))
        return sendHtml(res, 404, pages::message("Link expired", "Ask Quillo for a new password reset e-mail."));
    sendHtml(res, 200, pages::resetForm(token, ""));
}

void CloudServer::resetAction(const Request &req, Response &res)
{
    auto form = parseForm(req.body);
    std::string token = form["token"], password = form["password"];
    if (!store_->emailTokenValid(token, "reset"))
        return sendHtml(res, 404, pages::message("Link expired", "Ask Quillo for a new password reset e-mail."));
    long length = codePoints(password);
    if (length < 8 || length > 128)
        return sendHtml(res, 400, pages::resetForm(token, "Use a password between 8 and 128 characters."));
    auto account = store_->consumeEmailToken(token, "reset");
    if (!account)
        return sendHtml(res, 404, pages::message("Link expired", "Ask Quillo for a new password reset e-mail."));
    store_->setPassword(*account, crypto::hashPassword(password));
    store_->confirmEmail(*account);  // the mailbox owner answered
    store_->revokeAllSessions(*account);
    sendHtml(res, 200, pages::message("Password changed", "Sign in to Quillo with your new password."));
}

// ---- Checkout ------------------------------------------------------------------------------

void CloudServer::handleCheckout(const Request &req, Response &res)
{
    if (applyCommonFaults(req, res)) return;
    auto auth = authenticateRequest(*store_, req, res);
    if (!auth.ok) return;
    json body = parseObject(req);
    auto action = optionalString(body, "action");
    if (action) {
        if (*action != "status") return sendError(res, 400, "unknown_action");
        std::string orderId = requireNonEmpty(body, "orderId");
        if (!crypto::isUuid(orderId)) return sendError(res, 404, "order_not_found");
        auto order = store_->order(lowerAscii(orderId), options_.checkoutTtlSeconds);
        if (!order || order->accountId != auth.caller.accountId) return sendError(res, 404, "order_not_found");
        return sendJson(res, 200,
                        {{"orderId", order->id},
                         {"pack", order->pack},
                         {"status", order->status},
                         {"grantedCredits", credits(order->granted)},
                         {"updatedAt", iso8601(order->updatedAt)}});
    }
    std::string pack = requireNonEmpty(body, "pack");
    std::string requestId = requireNonEmpty(body, "requestId");
    if (!packInfo(pack)) return sendError(res, 400, "invalid_pack");
    if (!crypto::isUuid(requestId)) return sendError(res, 400, "invalid_request_id");
    auto [outcome, order] =
        store_->createOrReuseOrder(auth.caller.accountId, lowerAscii(requestId), pack, options_.checkoutTtlSeconds);
    if (outcome == Store::OrderOutcome::conflict) return sendError(res, 409, "request_id_conflict");
    if (outcome == Store::OrderOutcome::closed) return sendError(res, 409, "checkout_closed", {{"orderId", order.id}});
    if (outcome == Store::OrderOutcome::created) log::info("order_created", {{"orderId", order.id}, {"pack", pack}});
    sendJson(res, 200,
             {{"checkoutUrl",
               publicUrl(options_.checkoutHost) + "/checkout/" + order.id + "?token=" + checkoutToken(order.id)},
              {"orderId", order.id},
              {"reused", outcome == Store::OrderOutcome::reused}});
}

// ---- Test controls -------------------------------------------------------------------------

void CloudServer::handleTestControl(const Request &req, Response &res)
{
    if (!options_.testControls || !isLoopback(req.remote_addr)) return sendError(res, 404, "not_found");
    std::string name = req.matches[1];
    json body = req.body.empty() ? json::object() : parseObject(req);
    // Whole numbers within [low, high] only: a value beyond them would overflow the arithmetic of
    // token lifetimes, the clock and the counters it feeds.
    auto integer = [&](const char *key, int64_t fallback, int64_t low = 0,
                       int64_t high = kMaxControlInteger) -> int64_t {
        auto it = body.find(key);
        if (it == body.end() || it->is_null()) return fallback;
        if (!it->is_number()) throw RequestError{400, "invalid_field"};
        double value = it->get<double>();
        if (!(value >= static_cast<double>(low) && value <= static_cast<double>(high)) || value != std::floor(value))
            throw RequestError{400, "invalid_field"};
        return it->is_number_float() ? static_cast<int64_t>(value) : it->get<int64_t>();
    };
    // Credits: finite, not negative and within what the micro-credit columns hold.
    auto credits = [&](const char *key) -> double {
        auto it = body.find(key);
        if (it == body.end() || !it->is_number()) throw RequestError{400, "missing_required_field"};
        double value = it->get<double>();
        if (!(value >= 0 && value <= kMaxControlCredits)) throw RequestError{400, "invalid_field"};
        return value;
    };
    auto boolean = [&](const char *key, bool fallback) -> bool {
        auto it = body.find(key);
        if (it == body.end() || it->is_null()) return fallback;
        if (!it->is_boolean()) throw RequestError{400, "invalid_field"};
        return it->get<bool>();
    };
    auto accountFor = [&]() -> Account {
        auto account = store_->accountByEmail(requireNonEmpty(body, "email"));
        if (!account) throw RequestError{404, "account_not_found"};
        return *account;
    };

    if (name == "reset") {
        faults_.reset();
        faults_.fastBusy = options_.fastBusy;
        faults_.veryVeryFastBusy = options_.veryVeryFastBusy;
        faults_.busyRetryAfter = options_.busyRetryAfter;
        clock_.resetOffset();
        store_->accessTokenSeconds = options_.accessTokenSeconds;
        store_->refreshTokenSeconds = options_.refreshTokenSeconds;
        return sendJson(res, 200, json::object());
    }
    if (name == "suggestion-index") {
        if (!suggestionIndex_) return sendError(res, 404, "not_found");
        if (boolean("release", false)) suggestionIndex_->releaseBuild();
        int64_t wait = integer("waitMs", 0, -kClampedControlInteger, kClampedControlInteger);
        if (wait = std::clamp<int64_t>(wait, 0, 120000); wait > 0)
            suggestionIndex_->waitUntilReady(std::chrono::milliseconds(wait));
        auto r = suggestionIndex_->report();
        static const char *states[] = {"waiting", "building", "ready", "failed"};
        return sendJson(res, 200,
                        {{"state", states[static_cast<int>(r.state)]},
                         {"fromCache", r.fromCache},
                         {"words", r.words},
                         {"bytes", r.bytes},
                         {"seconds", r.seconds}});
    }
    auto stage = [&]() -> FaultStage {
        auto it = body.find("at");
        if (it == body.end() || it->is_null()) return FaultStage::request;
        if (!it->is_string()) throw RequestError{400, "invalid_field"};
        auto s = faultStageFromName(it->get<std::string>());
        if (!s) throw RequestError{400, "invalid_field"};
        return *s;
    };
    if (name == "delay") {
        FaultStage at = stage();
        if (at == FaultStage::answer) return sendError(res, 400, "invalid_field");
        int64_t ms = integer("milliseconds", 1000, -kClampedControlInteger, kClampedControlInteger);
        faults_.armDelay(static_cast<int>(std::clamp<int64_t>(ms, 0, 60000)), static_cast<int>(integer("count", 1)),
                         at);
        return sendJson(res, 200, json::object());
    }
    if (name == "fault-counts") {
        json counts = json::object();
        for (auto &[k, v] : faults_.appliedCounts()) counts[k] = v;
        return sendJson(res, 200, counts);
    }
    if (name == "too-early") {
        faults_.armTooEarly(static_cast<int>(integer("count", 1)));
        return sendJson(res, 200, json::object());
    }
    if (name == "gateway") {
        GatewayFault g;
        g.status = static_cast<int>(integer("status", 503, 0, 999));
        if (g.status != 502 && g.status != 503 && g.status != 504) return sendError(res, 400, "invalid_field");
        g.safe = boolean("safe", true);
        g.afterProcessing = boolean("afterProcessing", false);
        faults_.armGateway(g, static_cast<int>(integer("count", 1)));
        return sendJson(res, 200, json::object());
    }
    if (name == "drop") {
        FaultStage at = stage();
        faults_.armDrop(static_cast<int>(integer("count", 1)), at,
                        static_cast<int>(std::clamp<int64_t>(
                            integer("milliseconds", 0, -kClampedControlInteger, kClampedControlInteger), 0, 60000)));
        return sendJson(res, 200, json::object());
    }
    if (name == "busy") {
        faults_.fastBusy = boolean("fast", faults_.fastBusy);
        faults_.veryVeryFastBusy = boolean("very_very_fast", faults_.veryVeryFastBusy);
        faults_.busyRetryAfter = static_cast<int>(integer("retryAfter", faults_.busyRetryAfter, 0, 86400));
        return sendJson(res, 200,
                        {{"fast", faults_.fastBusy.load()}, {"very_very_fast", faults_.veryVeryFastBusy.load()}});
    }
    if (name == "balance") {
        Account account = accountFor();
        double value = credits("balanceCredits");
        store_->setBalance(account.id, microFromCredits(value));
        return sendJson(res, 200, balanceBody(store_->balance(account.id)));
    }
    if (name == "token-expiry") {
        if (body.contains("accessTokenSeconds"))
            store_->accessTokenSeconds = integer("accessTokenSeconds", 3600, 0, kMaxControlSeconds);
        if (body.contains("refreshTokenSeconds"))
            store_->refreshTokenSeconds = integer("refreshTokenSeconds", 3600, 0, kMaxControlSeconds);
        int expired = 0;
        if (body.contains("email")) expired = store_->expireAccessTokens(accountFor().id);
        return sendJson(res, 200,
                        {{"accessTokenSeconds", store_->accessTokenSeconds.load()},
                         {"refreshTokenSeconds", store_->refreshTokenSeconds.load()},
                         {"expiredTokens", expired}});
    }
    if (name == "clock") {
        clock_.advance(static_cast<double>(integer("advanceSeconds", 0, -kMaxControlSeconds, kMaxControlSeconds)));
        return sendJson(res, 200, {{"now", clock_.nowSeconds()}});
    }
    if (name == "account") {
        std::string email = requireNonEmpty(body, "email");
        std::string password = requireNonEmpty(body, "password");
        double balance = body.contains("balanceCredits") ? credits("balanceCredits") : 0;
        if (store_->accountByEmail(email)) return sendError(res, 409, "account_already_exists");
        Account account = store_->createAccount(email, crypto::hashPassword(password), "email",
                                                boolean("confirmed", true), microFromCredits(balance));
        json answer = {{"userId", account.id}};
        if (boolean("totp", false)) {
            std::string secret = crypto::base32Encode(crypto::randomBytes(20));
            store_->setTotpSecret(account.id, secret);
            answer["totpSecret"] = secret;
        }
        return sendJson(res, 200, answer);
    }
    if (name == "totp-code") {
        Account account = accountFor();
        if (!account.totpSecret) return sendError(res, 404, "totp_not_enrolled");
        return sendJson(res, 200, {{"code", crypto::totpCode(*account.totpSecret, clock_.nowSeconds())}});
    }
    if (name == "order") {
        auto result = store_->applyOrderAction(requireNonEmpty(body, "orderId"), requireNonEmpty(body, "action"),
                                               options_.checkoutTtlSeconds);
        if (result == Store::OrderActionResult::notFound) return sendError(res, 404, "order_not_found");
        if (result == Store::OrderActionResult::notAllowed) return sendError(res, 409, "transition_not_allowed");
        return sendJson(res, 200, json::object());
    }
    if (name == "update-feed") {
        if (!updates_) return sendError(res, 404, "not_found");
        UpdateRelease release = updates_->release();
        if (auto v = optionalString(body, "version")) {
            if (!validUpdateVersion(*v)) return sendError(res, 400, "invalid_field");
            release.version = *v;
        }
        if (auto b = optionalString(body, "buildNumber")) {
            if (b->empty() || b->find_first_not_of("0123456789") != std::string::npos)
                return sendError(res, 400, "invalid_field");
            release.buildNumber = *b;
        }
        if (auto d = optionalString(body, "displayVersion")) release.displayVersion = *d;
        if (auto n = optionalString(body, "releaseNotes")) release.releaseNotes = *n;
        release.critical = boolean("critical", release.critical);
        updates_->setRelease(release);
        updates_->setTampering(boolean("tamperFeed", false), boolean("tamperPackage", false));
        return sendJson(
            res, 200,
            {{"version", release.version}, {"buildNumber", release.buildNumber}, {"package", updates_->packageName()}});
    }
    if (name == "park") {
        faults_.armPark(static_cast<int>(integer("count", 1)));
        return sendJson(res, 200, json::object());
    }
    if (name == "wait-parked") {
        int64_t timeout = integer("timeoutMs", 5000, -kClampedControlInteger, kClampedControlInteger);
        int parked = faults_.waitParked(static_cast<int>(integer("count", 1)),
                                        std::chrono::milliseconds(std::clamp<int64_t>(timeout, 0, 30000)));
        return sendJson(res, 200, {{"parked", parked}});
    }
    if (name == "release") {
        faults_.release();
        return sendJson(res, 200, json::object());
    }
    sendError(res, 404, "unknown_control");
}

}  // namespace quillo::cloud
