// Corrections and the balance: /api/correct.
#include "CloudServer.h"

#include "Crypto.h"
#include "HttpExchange.h"
#include "IndexedSuggestionIndex.h"
#include "Log.h"
#include "Pricing.h"

#include <chrono>
#include <thread>

namespace quillo::cloud {

using httplib::Request;
using httplib::Response;

namespace {

const char *gatewayCode(int status)
{
    switch (status) {
    case 502: return "bad_gateway";
    case 504: return "gateway_timeout";
    default: return "service_unavailable";
    }
}

}  // namespace

void CloudServer::handleAccountGet(const Request &req, Response &res)
{
    if (applyCommonFaults(req, res)) return;
    if (req.has_param("action")) {
        std::string action = req.get_param_value("action");
        if (action != "health") return sendError(res, 400, "unknown_action");
        if (!store_->healthy()) return sendError(res, 503, "storage_unavailable", {{"database", "unreachable"}});
        return sendJson(res, 200, {{"status", "ok"}, {"database", db_->name()}});
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
    // Nothing stored can be read without the recovery key, which only the client holds: the
    // request's fingerprint is keyed with it and the kept answer is sealed under a key derived
    // from it (the server keeps only the key's hash).
    std::string requestHash = crypto::base64UrlEncode(
        crypto::hmacSha256(recoveryKey, std::string("request") + '\0' + model + '\0' + style + '\0' + text));
    std::string answerKey = crypto::hkdfSha256(recoveryKey, correctionId, "quillo correction answer", 32);

    auto replay = [&](const std::string &stored) {
        auto opened = crypto::base64UrlDecode(stored);
        auto plain = opened ? crypto::open(answerKey, *opened) : std::nullopt;
        if (!plain) return sendError(res, 409, "correction_conflict");
        json answer = json::parse(*plain);
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
        if (known->state == "processing" && known->updatedAt >= clock_.nowSeconds() - Store::kProcessingLeaseSeconds)
            return inProgress();
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
        after = store_->finishCorrection(accountId, correctionId, cost,
                                         crypto::base64UrlEncode(crypto::seal(answerKey, answer.dump())));
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

}  // namespace quillo::cloud
