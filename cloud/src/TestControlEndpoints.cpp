// The test controls: /test/..., with --test-controls, for loopback callers.
#include "CloudServer.h"

#include "Crypto.h"
#include "HttpExchange.h"
#include "IndexedSuggestionIndex.h"
#include "Pricing.h"

#include <algorithm>
#include <cmath>

namespace quillo::cloud {

using httplib::Request;
using httplib::Response;

namespace {

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

}  // namespace

void CloudServer::handleTestControl(const Request &req, Response &res)
{
    // Through a proxy on loopback, the caller is the client the proxy names.
    if (!options_.testControls || !isLoopback(req.remote_addr) || !isLoopback(clientAddress(req)))
        return sendError(res, 404, "not_found");
    // A page in the user's browser can reach loopback too, but it cannot send a custom header or a
    // JSON body without a preflight, which this server never grants.
    if (req.get_header_value("X-Quillo-Test-Control") != "1")
        return sendError(res, 403, "test_control_header_required");
    if (req.method == "POST") {
        std::string type = lowerAscii(req.get_header_value("Content-Type"));
        if (trimmed(type.substr(0, type.find(';'))) != "application/json")
            return sendError(res, 415, "unsupported_media_type");
    }
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
        {
            std::lock_guard lock(testControlMutex_);
            if (hashingHeld_) hashSlots_.release(2);
            hashingHeld_ = false;
        }
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
    // Both hashing slots taken ({"hold": true}) or given back: a burst of sign-ins then queues
    // at them whatever the pace at which it arrives. Answers how many wait for a slot.
    if (name == "hashing") {
        bool hold = boolean("hold", false);
        std::lock_guard lock(testControlMutex_);
        if (hold && !hashingHeld_) {
            hashSlots_.acquire();
            hashSlots_.acquire();
        } else if (!hold && hashingHeld_) {
            hashSlots_.release(2);
        }
        hashingHeld_ = hold;
        return sendJson(res, 200, {{"held", hashingHeld_}, {"waiting", hashWaiting_.load()}});
    }
    // The janitor's sweep now: corrections whose instance died and whose lease ran out give their
    // reservation back.
    if (name == "recover-interrupted")
        return sendJson(res, 200,
                        {{"released", store_->recoverInterruptedCorrections(Store::kProcessingLeaseSeconds)}});
    if (name == "clock") {
        clock_.advance(static_cast<double>(integer("advanceSeconds", 0, -kMaxControlSeconds, kMaxControlSeconds)));
        return sendJson(res, 200, {{"now", clock_.nowSeconds()}});
    }
    if (name == "account") {
        std::string email = requireNonEmpty(body, "email");
        std::string password = requireNonEmpty(body, "password");
        double balance = body.contains("balanceCredits") ? credits("balanceCredits") : 0;
        if (store_->accountByEmail(email)) return sendError(res, 409, "account_already_exists");
        Account account = store_->createAccount(email, hashPassword(password), "email", boolean("confirmed", true),
                                                microFromCredits(balance));
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
    if (name == "database") {
        // The next write transactions fail as having lost a race; the store runs them again.
        if (body.contains("conflicts")) db_->injectedConflicts = static_cast<int>(integer("conflicts", 0, 0, 1000));
        return sendJson(res, 200,
                        {{"database", db_->name()},
                         {"retries", store_->retries.load()},
                         {"conflictsLeft", db_->injectedConflicts.load()}});
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
