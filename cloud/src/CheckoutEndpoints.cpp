// Checkout: /api/checkout and its browser page.
#include "CloudServer.h"

#include "Crypto.h"
#include "HttpExchange.h"
#include "Log.h"
#include "Pages.h"
#include "Pricing.h"

namespace quillo::cloud {

using httplib::Request;
using httplib::Response;

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

}  // namespace quillo::cloud
