// Checkout creation, the local checkout page and order status answers.
#include "CloudTestServer.h"

#include <gtest/gtest.h>

using namespace cloudtest;

namespace {

class CheckoutContract : public ::testing::Test {
protected:
    void SetUp() override {
        server.createAccount("buyer@example.com", "long enough secret", 1);
        token = server.signIn("buyer@example.com", "long enough secret")["accessToken"];
    }
    Reply checkout(const json& body, const std::string& t = {}) const {
        return server.postJson("/api/checkout", body, CloudTestServer::bearer(t.empty() ? token : t));
    }
    Reply status(const std::string& orderId) const { return checkout({{"action", "status"}, {"orderId", orderId}}); }
    double balance() const {
        return server.get("/api/correct", CloudTestServer::bearer(token)).body["balanceCredits"].get<double>();
    }
    Reply pageAction(const std::string& checkoutUrl, const std::string& action) const {
        std::string path = pathAndQuery(checkoutUrl);
        path = path.substr(0, path.find('?'));
        return server.post(path, "token=" + queryValue(checkoutUrl, "token") + "&action=" + action, {},
                           "application/x-www-form-urlencoded");
    }

    CloudTestServer server;
    std::string token;
};

TEST_F(CheckoutContract, CheckoutAnswersAnHttpsAddressOnTheCheckoutHostAndReusesTheRequestId) {
    std::string requestId = newUuid();
    Reply r = checkout({{"pack", "regular"}, {"requestId", requestId}});
    ASSERT_EQ(r.status, 200) << r.text;
    std::string url = r.body["checkoutUrl"];
    EXPECT_EQ(url.rfind("https://localhost:" + std::to_string(server.port()) + "/checkout/", 0), 0u) << url;
    EXPECT_EQ(r.body["reused"], false);
    std::string orderId = r.body["orderId"];
    EXPECT_EQ(orderId.size(), 36u);

    Reply again = checkout({{"pack", "regular"}, {"requestId", requestId}});
    EXPECT_EQ(again.body["orderId"], orderId);
    EXPECT_EQ(again.body["reused"], true);
    Reply otherPack = checkout({{"pack", "extra"}, {"requestId", requestId}});
    EXPECT_EQ(otherPack.status, 409);
    Reply fresh = checkout({{"pack", "regular"}, {"requestId", newUuid()}});
    EXPECT_NE(fresh.body["orderId"], orderId);
}

TEST_F(CheckoutContract, ThePageIsServedOverTheCheckoutHostWithItsToken) {
    Reply r = checkout({{"pack", "light"}, {"requestId", newUuid()}});
    std::string url = r.body["checkoutUrl"];
    auto local = server.client("localhost");
    auto page = local->Get(pathAndQuery(url).c_str());
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->body.find("Light Pack"), std::string::npos);
    EXPECT_NE(page->body.find("checkout_created"), std::string::npos);
    std::string forged = pathAndQuery(url);
    forged = forged.substr(0, forged.find('?')) + "?token=forged";
    EXPECT_EQ(server.get(forged).status, 404);
}

TEST_F(CheckoutContract, PayingOnThePageGrantsCreditsAndStatusFollows) {
    Reply r = checkout({{"pack", "regular"}, {"requestId", newUuid()}});
    std::string orderId = r.body["orderId"], url = r.body["checkoutUrl"];
    Reply s = status(orderId);
    ASSERT_EQ(s.status, 200);
    EXPECT_EQ(s.body["status"], "checkout_created");
    EXPECT_EQ(s.body["pack"], "regular");
    EXPECT_EQ(s.body["orderId"], orderId);
    EXPECT_TRUE(s.body["updatedAt"].is_string());
    EXPECT_TRUE(s.body["grantedCredits"].is_number());

    EXPECT_EQ(pageAction(url, "pending").status, 303);
    EXPECT_EQ(status(orderId).body["status"], "pending");
    EXPECT_EQ(pageAction(url, "pay").status, 303);
    s = status(orderId);
    EXPECT_EQ(s.body["status"], "paid");
    EXPECT_DOUBLE_EQ(s.body["grantedCredits"].get<double>(), 12);
    EXPECT_DOUBLE_EQ(balance(), 13);
    EXPECT_EQ(pageAction(url, "pay").status, 409); // paid once only

    EXPECT_EQ(pageAction(url, "partial_refund").status, 303);
    EXPECT_EQ(status(orderId).body["status"], "partially_refunded");
    EXPECT_DOUBLE_EQ(balance(), 7);
    EXPECT_EQ(pageAction(url, "refund").status, 303);
    EXPECT_EQ(status(orderId).body["status"], "refunded");
    EXPECT_DOUBLE_EQ(balance(), 1);
}

TEST_F(CheckoutContract, EveryFinalStatusOfTheClientCanBeReached) {
    struct Case {
        std::vector<std::string> actions;
        const char* status;
    } cases[] = {{{"fail"}, "payment_failed"},
                 {{"expire"}, "expired"},
                 {{"pay", "dispute"}, "disputed"},
                 {{"pay", "chargeback"}, "chargeback"},
                 {{"pay", "review"}, "manual_review"}};
    for (auto& c : cases) {
        Reply r = checkout({{"pack", "light"}, {"requestId", newUuid()}});
        for (auto& a : c.actions) EXPECT_EQ(pageAction(r.body["checkoutUrl"], a).status, 303) << a;
        EXPECT_EQ(status(r.body["orderId"]).body["status"], c.status);
    }
}

TEST_F(CheckoutContract, RefundNeverDrivesTheBalanceNegative) {
    Reply r = checkout({{"pack", "light"}, {"requestId", newUuid()}});
    pageAction(r.body["checkoutUrl"], "pay");
    server.control("balance", {{"email", "buyer@example.com"}, {"balanceCredits", 2}});
    pageAction(r.body["checkoutUrl"], "refund");
    EXPECT_DOUBLE_EQ(balance(), 0);
}

TEST_F(CheckoutContract, ARequestIdOfAClosedOrderIs409) {
    std::string requestId = newUuid();
    Reply r = checkout({{"pack", "light"}, {"requestId", requestId}});
    pageAction(r.body["checkoutUrl"], "pay");
    Reply again = checkout({{"pack", "light"}, {"requestId", requestId}});
    EXPECT_EQ(again.status, 409);
    EXPECT_EQ(again.error(), "checkout_closed");
}

TEST_F(CheckoutContract, UnknownOrForeignOrdersAre404AndMissingBearerIs401) {
    EXPECT_EQ(status(newUuid()).status, 404);
    EXPECT_EQ(status("not-a-uuid").status, 404);
    Reply mine = checkout({{"pack", "light"}, {"requestId", newUuid()}});
    server.createAccount("other@example.com", "long enough secret", 0);
    std::string other = server.signIn("other@example.com", "long enough secret")["accessToken"];
    EXPECT_EQ(checkout({{"action", "status"}, {"orderId", mine.body["orderId"]}}, other).status, 404);
    Reply anonymous = server.postJson("/api/checkout", {{"pack", "light"}, {"requestId", newUuid()}});
    EXPECT_EQ(anonymous.status, 401);
    EXPECT_EQ(anonymous.error(), "session_required");
    Reply revoked = checkout({{"action", "status"}, {"orderId", mine.body["orderId"]}}, "a.b.c");
    EXPECT_EQ(revoked.error(), "session_invalid");
}

TEST_F(CheckoutContract, CheckoutRefusesUnknownPacksActionsAndIds) {
    EXPECT_EQ(checkout({{"pack", "mega"}, {"requestId", newUuid()}}).error(), "invalid_pack");
    EXPECT_EQ(checkout({{"pack", "light"}, {"requestId", "123"}}).error(), "invalid_request_id");
    EXPECT_EQ(checkout({{"pack", "light"}}).error(), "missing_required_field");
    EXPECT_EQ(checkout({{"action", "cancel"}, {"orderId", newUuid()}}).error(), "unknown_action");
}

TEST_F(CheckoutContract, UnpaidCheckoutExpiresAfterItsLifetime) {
    Reply r = checkout({{"pack", "extra"}, {"requestId", newUuid()}});
    server.control("clock", {{"advanceSeconds", 24 * 3600 + 1}});
    token = server.signIn("buyer@example.com", "long enough secret")["accessToken"]; // the old one expired too
    EXPECT_EQ(status(r.body["orderId"]).body["status"], "expired");
    EXPECT_EQ(pageAction(r.body["checkoutUrl"], "pay").status, 409);
}

} // namespace
