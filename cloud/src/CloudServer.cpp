#include "CloudServer.h"

#include "HttpExchange.h"

#include "Crypto.h"
#include "GateTls.h"
#include "HunspellSuggestionIndex.h"
#include "IndexedSuggestionIndex.h"
#include "LanguageDictionaries.h"
#include "Log.h"
#include "OpenDatabase.h"
#include "OpenIdClient.h"
#include "Pages.h"
#include "Pricing.h"
#include "RequestGate.h"
#include "SharedAttemptThrottle.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <cctype>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include <sys/stat.h>

namespace quillo::cloud {

using httplib::Request;
using httplib::Response;

namespace {

thread_local std::chrono::steady_clock::time_point requestStart;

}  // namespace

CloudServer::CloudServer(ServerOptions options) : options_(std::move(options))
{
    // Whoever starts it, what the server writes (database, WAL, mails with live links) is the
    // owner's alone.
    ::umask(077);
    for (const auto &proxy : options_.trustedProxies) proxies_.add(proxy);
    if (options_.trustedProxyHeader == "forwarded") proxies_.setHeader(ProxyHeader::forwarded);
    db_ = openDatabase(options_);
    store_ = std::make_unique<Store>(*db_, clock_);
    store_->migrate();
    shared_ = db_->dialect() == Dialect::postgres;
    if (shared_) {
        attempts_ = std::make_unique<SharedAttemptThrottle>(*store_, "attempts");
        mails_ = std::make_unique<SharedAttemptThrottle>(*store_, "mails");
    } else {
        attempts_ = std::make_unique<MemoryAttemptThrottle>();
        mails_ = std::make_unique<MemoryAttemptThrottle>();
    }
    // Alone on its database, a server finds only its own dead corrections at start; beside
    // others, only those untouched for longer than a correction may take.
    store_->recoverInterruptedCorrections(shared_ ? std::optional(Store::kProcessingLeaseSeconds) : std::nullopt);
    log::info("database_ready", {{"database", db_->name()}});
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
            o.cachePath = options_.suggestionCache.empty()
                              ? (shared_ ? std::string("quillo-cloud.suggestions") : options_.dbPath + ".suggestions")
                              : options_.suggestionCache;
        o.fallbackBudget = std::chrono::milliseconds(options_.suggestionFallbackMs);
        o.holdBuild = options_.holdSuggestionIndex;
        o.fallbackOnceReady = false;
        suggestionIndex_ = std::make_shared<IndexedSuggestionIndex>(hunspell, o);
        suggestionIndex_->start();
        index = suggestionIndex_;
        // A text that reads as British suggests from en_GB: indexed too, its cache beside en_US's.
        // A held index (tests, fuzzing) means no background build at all, so en_GB is not indexed.
        if (!o.holdBuild)
            LanguageDictionaries::shared().indexSuggestions("en_GB", o.cachePath.empty() ? "" : o.cachePath + ".en_GB",
                                                            o.fallbackBudget);
        // Other languages' slips wait no longer than English ones for Hunspell's search.
        LanguageDictionaries::shared().boundSuggestions(o.fallbackBudget);
    }
    corrector_ = std::make_unique<TextCorrector>(std::make_shared<SpellChecker>(index, options_.suggestionCacheSize));
    for (int s = 0; s < 2; ++s)
        if (const auto &m = options_.models[s]; !m.url.empty())
            models_[s] =
                std::make_unique<ModelBackend>(ModelEndpoint{m.url, m.name, readModelKey(m.keyFile, m.keyEnvironment),
                                                             std::chrono::milliseconds(m.timeoutMs)},
                                               *corrector_);
    outbox_ = std::make_unique<Outbox>(options_.outboxDir);
    restrictFiles();
    timingHash_ = hashPassword(crypto::randomToken(16));
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
    if (!options_.oidcIssuer.empty()) {
        OpenIdSettings oidc{options_.oidcIssuer, options_.oidcClientId, {}, options_.oidcCaFile};
        if (!options_.oidcClientSecretFile.empty()) {
            std::ifstream secretFile(options_.oidcClientSecretFile);
            if (!secretFile) throw std::runtime_error("the OpenID client secret file cannot be read");
            std::getline(secretFile, oidc.clientSecret);
            while (!oidc.clientSecret.empty() && std::isspace(static_cast<unsigned char>(oidc.clientSecret.back())))
                oidc.clientSecret.pop_back();
        }
        openId_ = std::make_unique<OpenIdClient>(oidc, clock_);
    }
    if (options_.passwordHashCost < 17) log::warn("password_hash_cost_low", {{"cost", options_.passwordHashCost}});
    if (options_.googleStandIn) log::warn("google_stand_in_enabled", {{"host", options_.host}});
    faults_.fastBusy = options_.fastBusy;
    faults_.veryVeryFastBusy = options_.veryVeryFastBusy;
    faults_.busyRetryAfter = options_.busyRetryAfter;
    if (options_.checkoutHost.empty()) options_.checkoutHost = QUILLO_CLOUD_DEFAULT_CHECKOUT_HOST;

    if (!options_.demoAccount.empty()) {
        size_t colon = options_.demoAccount.find(':');
        std::string email = options_.demoAccount.substr(0, colon), password = options_.demoAccount.substr(colon + 1);
        auto existing = store_->accountByEmail(email);
        if (!existing) {
            store_->createAccount(email, hashPassword(password), "email", true, microFromCredits(options_.demoBalance));
        } else {
            store_->setPassword(existing->id, hashPassword(password));
            store_->confirmEmail(existing->id);
            store_->setBalance(existing->id, microFromCredits(options_.demoBalance));
        }
        log::info("demo_account_ready", {{"balanceCredits", options_.demoBalance}});
    }

    GateLimits limits;
    limits.maxBodyBytes = options_.maxBodyBytes;
    limits.requestSeconds = options_.requestTimeoutSeconds;
    limits.idleSeconds = options_.idleTimeoutSeconds;
    limits.perAddress = options_.maxConnectionsPerAddress;
    limits.proxies = proxies_;
    limits.workers = options_.threads;
    std::unique_ptr<GateTlsContext> tls;
    if (!options_.plainHttp) tls = std::make_unique<GateTlsContext>(options_.certFile, options_.keyFile);
    http_ = std::make_unique<GatedHttpServer>(limits, std::move(tls));
    http_->set_payload_max_length(options_.maxBodyBytes);
    // What the answers advertise; the gate closes idle connections itself, a little later.
    http_->set_keep_alive_timeout(5);
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
    if (warmUpThread_.joinable()) warmUpThread_.join();
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
        // The first correction would otherwise read WordNet, SCOWL and the other languages'
        // dictionaries (about a second); a request arriving meanwhile waits for what it needs.
        if (options_.warmUp)
            warmUpThread_ = std::thread([this] {
                auto started = std::chrono::steady_clock::now();
                corrector_->warmUp();
                // Warm once the suggestion indexes are ready too; a server told to stop does not wait.
                auto ready = [this] {
                    return (!suggestionIndex_ || suggestionIndex_->waitUntilReady(std::chrono::milliseconds(100)) ||
                            suggestionIndex_->state() == IndexedSuggestionIndex::State::failed) &&
                           LanguageDictionaries::shared().waitForIndexes(std::chrono::milliseconds(100));
                };
                while (!stopRequested_ && !ready()) {}
                log::info(
                    "engine_warm",
                    {{"seconds", std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count()}});
            });
        http_->listen_after_bind();
    }
    http_->shutdownGate();
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

// Files made by an older server, or before the umask, are tightened too.
void CloudServer::restrictFiles()
{
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        if (!shared_ && fs::exists(options_.dbPath + suffix, ec))
            fs::permissions(options_.dbPath + suffix, fs::perms::owner_read | fs::perms::owner_write, ec);
    fs::permissions(options_.outboxDir, fs::perms::owner_all, ec);
    for (const auto &entry : fs::directory_iterator(options_.outboxDir, ec))
        fs::permissions(entry.path(), fs::perms::owner_read | fs::perms::owner_write, ec);
}

std::string CloudServer::redirectUri() const
{
    return options_.oidcRedirectUri.empty() ? baseUrl() + "/oauth/callback" : options_.oidcRedirectUri;
}

// The state of a provider round is the request id; its nonce and PKCE verifier derive from the
// id under the server's key, so that nothing more needs storing.
std::string CloudServer::providerRoundSecret(const std::string &requestId, const char *purpose)
{
    return crypto::base64UrlEncode(
        crypto::hmacSha256(store_->signingKey(), std::string("oidc-") + purpose + ":" + requestId));
}

std::optional<std::string> CloudServer::signInPage(const std::string &requestId)
{
    if (!openId_) return baseUrl() + "/oauth/google?request=" + requestId;
    return openId_->authorizationUrl(redirectUri(), requestId, providerRoundSecret(requestId, "nonce"),
                                     crypto::base64UrlEncode(crypto::sha256(providerRoundSecret(requestId, "pkce"))));
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
            // A server that died beside the others does not come back to release its corrections.
            if (shared_) store_->recoverInterruptedCorrections(Store::kProcessingLeaseSeconds);
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

    if (options_.googleStandIn) {
        http_->Get("/oauth/google", guarded(&CloudServer::consentPage));
        http_->Post("/oauth/google", guarded(&CloudServer::consentDecision));
    }
    if (openId_) http_->Get("/oauth/callback", guarded(&CloudServer::providerCallback));
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

}  // namespace quillo::cloud
