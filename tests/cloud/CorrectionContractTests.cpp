// The correction, balance and health requests over a real HTTPS socket.
#include "CloudTestServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <future>
#include <thread>

using namespace cloudtest;

namespace {

class CorrectionContract : public ::testing::Test {
protected:
    void SetUp() override {
        server = std::make_unique<CloudTestServer>();
        server->createAccount("writer@example.com", "long enough secret", 10);
        token = server->signIn("writer@example.com", "long enough secret")["accessToken"];
    }

    Reply correct(const json& body) const {
        return server->postJson("/api/correct", body, correctionHeaders(token, body));
    }
    json balance() const { return server->get("/api/correct", CloudTestServer::bearer(token)).body; }

    std::unique_ptr<CloudTestServer> server;
    std::string token;
};

TEST_F(CorrectionContract, HealthAnswers200WithoutAnyHeader) {
    Reply r = server->get("/api/correct?action=health");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(server->get("/api/correct?action=nonsense").status, 400);
}

TEST_F(CorrectionContract, BalanceGetReportsAllThreeNumbers) {
    Reply r = server->get("/api/correct", CloudTestServer::bearer(token));
    ASSERT_EQ(r.status, 200);
    EXPECT_DOUBLE_EQ(r.body["balanceCredits"].get<double>(), 10);
    EXPECT_DOUBLE_EQ(r.body["reservedCredits"].get<double>(), 0);
    EXPECT_DOUBLE_EQ(r.body["availableCredits"].get<double>(), 10);
}

TEST_F(CorrectionContract, RefusedBearersAnswer401WithTheCodeThatEndsTheSession) {
    Reply none = server->get("/api/correct");
    EXPECT_EQ(none.status, 401);
    EXPECT_EQ(none.error(), "session_required");
    Reply garbage = server->get("/api/correct", CloudTestServer::bearer("not.a.token"));
    EXPECT_EQ(garbage.status, 401);
    EXPECT_EQ(garbage.error(), "session_invalid");
    Reply basic = server->get("/api/correct", {{"Authorization", "Basic " + token}});
    EXPECT_EQ(basic.error(), "session_invalid");
    // Scheme in any case and several spaces are fine.
    EXPECT_EQ(server->get("/api/correct", {{"Authorization", "bEaReR   " + token}}).status, 200);
    json body = correctionBody("hello");
    Reply post = server->postJson("/api/correct", body, {{"Authorization", "Bearer x"}});
    EXPECT_EQ(post.status, 401);
    EXPECT_EQ(post.error(), "session_invalid");
}

TEST_F(CorrectionContract, ExpiredAccessTokenIs401WithoutEndingTheSession) {
    server->control("token-expiry", {{"email", "writer@example.com"}});
    Reply r = server->get("/api/correct", CloudTestServer::bearer(token));
    EXPECT_EQ(r.status, 401);
    EXPECT_EQ(r.error(), "token_expired"); // the client refreshes instead of signing out
}

TEST_F(CorrectionContract, CorrectionAnswersCorrectionRoutingAndBilling) {
    json body = correctionBody("i recieve teh letter yesterday  and definately agree .\nnew line here");
    Reply r = correct(body);
    ASSERT_EQ(r.status, 200) << r.text;
    EXPECT_EQ(r.body["correction"], "I receive the letter yesterday and definitely agree.\nNew line here");
    EXPECT_EQ(r.body["routing"], json({{"requestedSpeed", "Fast"}, {"usedSpeed", "Fast"}, {"billingSpeed", "Fast"}}));
    EXPECT_DOUBLE_EQ(r.body["billing"]["chargedCredits"].get<double>(), 0.01);
    EXPECT_DOUBLE_EQ(r.body["billing"]["balanceCredits"].get<double>(), 9.99);
    EXPECT_DOUBLE_EQ(r.body["billing"]["reservedCredits"].get<double>(), 0);
    EXPECT_DOUBLE_EQ(r.body["billing"]["availableCredits"].get<double>(), 9.99);
    EXPECT_DOUBLE_EQ(balance()["balanceCredits"].get<double>(), 9.99);
}

TEST(CorrectionWarmUp, CorrectionsDuringTheWarmUpGetTheFullEngine) {
    // Requests racing the start-up warm-up in several languages wait for what they need.
    CloudTestServer server({"--warm-up"});
    server.createAccount("writer@example.com", "long enough secret", 10);
    std::string token = server.signIn("writer@example.com", "long enough secret")["accessToken"];
    struct Case {
        const char* text;
        const char* want;
    } cases[] = {
        {"She has went home. Its late.", "She has gone home. It's late."},
        {"Ich habe gestern einen Brief bekommen.", "Ich habe gestern einen Brief bekommen."},
        {"Je pense que nous devrions partir demain matin.", "Je pense que nous devrions partir demain matin."}};
    std::vector<std::future<Reply>> replies;
    for (auto& c : cases) {
        json body = correctionBody(c.text);
        replies.push_back(std::async(std::launch::async, [&server, &token, body] {
            return server.postJson("/api/correct", body, correctionHeaders(token, body));
        }));
    }
    for (size_t i = 0; i < replies.size(); ++i) {
        Reply r = replies[i].get();
        ASSERT_EQ(r.status, 200) << r.text;
        EXPECT_EQ(r.body["correction"], cases[i].want);
    }
}

TEST_F(CorrectionContract, ChargeIsPerStartedBlockAndVeryVeryFastCosts185Percent) {
    struct Case {
        size_t length;
        const char* model;
        double charge;
    } cases[] = {{1, "fast", 0.01},    {500, "fast", 0.01},           {501, "fast", 0.02},
                 {9000, "fast", 0.18}, {1, "very_very_fast", 0.0185}, {9000, "very_very_fast", 0.333}};
    for (auto& c : cases) {
        json body = correctionBody(std::string(c.length, 'a'), c.model);
        Reply r = correct(body);
        ASSERT_EQ(r.status, 200) << c.length << " " << c.model;
        EXPECT_NEAR(r.body["billing"]["chargedCredits"].get<double>(), c.charge, 1e-9) << c.length << " " << c.model;
    }
    EXPECT_NEAR(balance()["balanceCredits"].get<double>(), 10 - 0.01 - 0.01 - 0.02 - 0.18 - 0.0185 - 0.333, 1e-9);
}

TEST_F(CorrectionContract, TextLengthIsCountedInUtf16UnitsUpTo9000) {
    std::string emoji = "\xF0\x9F\x98\x80"; // two UTF-16 units
    std::string exactly;
    for (int i = 0; i < 4500; ++i) exactly += emoji;
    EXPECT_EQ(correct(correctionBody(exactly)).status, 200);
    Reply tooLong = correct(correctionBody(exactly + "a"));
    EXPECT_EQ(tooLong.status, 413);
    EXPECT_EQ(tooLong.error(), "text_too_long");
}

TEST_F(CorrectionContract, ReplayWithRecoveryKeyReturnsTheStoredAnswerAndNeverChargesTwice) {
    json body = correctionBody("teh cat sat", "very_very_fast");
    Reply first = correct(body);
    ASSERT_EQ(first.status, 200);
    Reply again = correct(body);
    ASSERT_EQ(again.status, 200);
    EXPECT_EQ(again.body["correction"], first.body["correction"]);
    EXPECT_EQ(again.body["routing"], first.body["routing"]);
    EXPECT_EQ(again.body["billing"]["chargedCredits"], first.body["billing"]["chargedCredits"]);
    EXPECT_NEAR(balance()["balanceCredits"].get<double>(), 10 - 0.0185, 1e-9);
    // Replay needs no capacity.
    server->control("busy", {{"fast", true}, {"very_very_fast", true}});
    EXPECT_EQ(correct(body).status, 200);
}

TEST_F(CorrectionContract, ReplayNeedsTheSameRecoveryKeyTextAndAccount) {
    json body = correctionBody("teh cat");
    ASSERT_EQ(correct(body).status, 200);
    json wrongKey = body;
    wrongKey["recoveryKey"] = newRecoveryKey();
    EXPECT_EQ(correct(wrongKey).status, 409);
    json otherText = body;
    otherText["text"] = "another text";
    EXPECT_EQ(correct(otherText).status, 409);
    server->createAccount("other@example.com", "long enough secret", 10);
    std::string other = server->signIn("other@example.com", "long enough secret")["accessToken"];
    Reply r = server->postJson("/api/correct", body, correctionHeaders(other, body));
    EXPECT_EQ(r.status, 409);
    EXPECT_FALSE(r.text.find("cat") != std::string::npos); // nothing of the stored answer leaks
}

TEST_F(CorrectionContract, SameIdWhileProcessingAnswers425ThenReplays) {
    server->control("park", {{"count", 1}});
    json body = correctionBody("teh first one");
    auto first = std::async(std::launch::async, [&] { return correct(body); });
    ASSERT_EQ(server->control("wait-parked", {{"count", 1}}).body["parked"], 1);
    Reply during = correct(body);
    EXPECT_EQ(during.status, 425);
    EXPECT_EQ(during.header("Retry-After"), "1");
    EXPECT_EQ(during.error(), "correction_in_progress");
    json held = balance();
    EXPECT_DOUBLE_EQ(held["reservedCredits"].get<double>(), 0.01);
    EXPECT_DOUBLE_EQ(held["availableCredits"].get<double>(), 9.99);
    server->control("release");
    Reply done = first.get();
    ASSERT_EQ(done.status, 200);
    Reply replay = correct(body);
    EXPECT_EQ(replay.status, 200);
    EXPECT_EQ(replay.body["correction"], "the first one");
    json after = balance();
    EXPECT_DOUBLE_EQ(after["balanceCredits"].get<double>(), 9.99);
    EXPECT_DOUBLE_EQ(after["reservedCredits"].get<double>(), 0);
}

TEST_F(CorrectionContract, TwoConcurrentIdenticalRequestsAreChargedOnce) {
    for (int round = 0; round < 5; ++round) {
        json body = correctionBody(std::string(600, 'x') + " teh end");
        std::promise<void> go;
        std::shared_future<void> start = go.get_future().share();
        auto send = [&] {
            start.wait();
            return correct(body);
        };
        auto a = std::async(std::launch::async, send), b = std::async(std::launch::async, send);
        go.set_value();
        Reply ra = a.get(), rb = b.get();
        EXPECT_TRUE((ra.status == 200 || ra.status == 425) && (rb.status == 200 || rb.status == 425))
            << ra.status << " " << rb.status;
        EXPECT_TRUE(ra.status == 200 || rb.status == 200);
        EXPECT_EQ(correct(body).status, 200); // whichever lost replays now
    }
    json b = balance();
    EXPECT_NEAR(b["balanceCredits"].get<double>(), 10 - 5 * 0.02, 1e-9);
    EXPECT_DOUBLE_EQ(b["reservedCredits"].get<double>(), 0);
}

TEST_F(CorrectionContract, CreditsNeverGoNegativeUnderConcurrentCorrections) {
    server->control("balance", {{"email", "writer@example.com"}, {"balanceCredits", 0.05}});
    constexpr int kRequests = 16;
    std::promise<void> go;
    std::shared_future<void> start = go.get_future().share();
    std::vector<std::future<Reply>> replies;
    for (int i = 0; i < kRequests; ++i)
        replies.push_back(std::async(std::launch::async, [&] {
            start.wait();
            return correct(correctionBody("teh word"));
        }));
    go.set_value();
    int ok = 0, refused = 0;
    for (auto& f : replies) {
        Reply r = f.get();
        if (r.status == 200) ++ok;
        else if (r.status == 402) ++refused;
        else ADD_FAILURE() << r.status << " " << r.text;
        if (r.status == 402) {
            EXPECT_EQ(r.error(), "insufficient_credits");
            EXPECT_GE(r.body["availableCredits"].get<double>(), 0);
        }
    }
    EXPECT_EQ(ok, 5);
    EXPECT_EQ(refused, kRequests - 5);
    json b = balance();
    EXPECT_NEAR(b["balanceCredits"].get<double>(), 0, 1e-9);
    EXPECT_DOUBLE_EQ(b["reservedCredits"].get<double>(), 0);
}

TEST_F(CorrectionContract, ShortCreditIs402WithTheCreditBody) {
    server->control("balance", {{"email", "writer@example.com"}, {"balanceCredits", 0.015}});
    Reply r = correct(correctionBody("teh", "very_very_fast"));
    ASSERT_EQ(r.status, 402);
    EXPECT_EQ(r.error(), "insufficient_credits");
    EXPECT_DOUBLE_EQ(r.body["availableCredits"].get<double>(), 0.015);
    EXPECT_DOUBLE_EQ(r.body["requiredCredits"].get<double>(), 0.0185);
    EXPECT_EQ(correct(correctionBody("teh", "fast")).status, 200); // the cheaper speed still fits
}

TEST_F(CorrectionContract, BusySpeedReroutesToTheOtherAndBillsWhatServed) {
    server->control("busy", {{"fast", true}, {"very_very_fast", false}});
    Reply r = correct(correctionBody("teh", "fast"));
    ASSERT_EQ(r.status, 200);
    EXPECT_EQ(r.body["routing"],
              json({{"requestedSpeed", "Fast"}, {"usedSpeed", "Very Very Fast"}, {"billingSpeed", "Very Very Fast"}}));
    EXPECT_DOUBLE_EQ(r.body["billing"]["chargedCredits"].get<double>(), 0.0185);
    server->control("busy", {{"fast", false}, {"very_very_fast", true}});
    Reply back = correct(correctionBody("teh", "very_very_fast"));
    EXPECT_EQ(back.body["routing"]["usedSpeed"], "Fast");
    EXPECT_DOUBLE_EQ(back.body["billing"]["chargedCredits"].get<double>(), 0.01);
}

TEST_F(CorrectionContract, BothSpeedsBusyIs429WithRetryAfterAndNoCharge) {
    server->control("busy", {{"fast", true}, {"very_very_fast", true}, {"retryAfter", 30}});
    Reply r = correct(correctionBody("teh"));
    EXPECT_EQ(r.status, 429);
    EXPECT_EQ(r.header("Retry-After"), "30");
    EXPECT_EQ(r.error(), "capacity_busy");
    server->control("busy", {{"retryAfter", 0}});
    EXPECT_FALSE(correct(correctionBody("teh")).hasHeader("Retry-After"));
    EXPECT_DOUBLE_EQ(balance()["balanceCredits"].get<double>(), 10);
}

TEST_F(CorrectionContract, BusyFlagsFromTheCommandLineAnswer429) {
    CloudTestServer busy({"--busy", "fast,very_very_fast", "--busy-retry-after", "7"});
    busy.createAccount("b@example.com", "long enough secret", 1);
    std::string t = busy.signIn("b@example.com", "long enough secret")["accessToken"];
    json body = correctionBody("hello");
    Reply r = busy.postJson("/api/correct", body, correctionHeaders(t, body));
    EXPECT_EQ(r.status, 429);
    EXPECT_EQ(r.header("Retry-After"), "7");
}

TEST_F(CorrectionContract, InjectedTooEarlyAnswers425ForTheNextRequestsOnly) {
    server->control("too-early", {{"count", 2}});
    json body = correctionBody("teh");
    EXPECT_EQ(correct(body).status, 425);
    EXPECT_EQ(correct(body).status, 425);
    EXPECT_EQ(correct(body).status, 200);
}

TEST_F(CorrectionContract, GatewayErrorsCarryRetrySafeOnlyWhenARepeatIsSafe) {
    for (int status : {502, 503, 504}) {
        server->control("gateway", {{"status", status}, {"safe", true}});
        Reply r = correct(correctionBody("teh"));
        EXPECT_EQ(r.status, status);
        EXPECT_EQ(r.header("X-Quillo-Retry-Safe"), "1");
    }
    server->control("gateway", {{"status", 503}, {"safe", false}});
    Reply unsafe = correct(correctionBody("teh"));
    EXPECT_EQ(unsafe.status, 503);
    EXPECT_NE(unsafe.header("X-Quillo-Retry-Safe"), "1");
    EXPECT_DOUBLE_EQ(balance()["balanceCredits"].get<double>(), 10);
}

TEST_F(CorrectionContract, GatewayErrorAfterProcessingReplaysWithoutSecondCharge) {
    server->control("gateway", {{"status", 502}, {"safe", true}, {"afterProcessing", true}});
    json body = correctionBody("teh lost answer");
    Reply lost = correct(body);
    EXPECT_EQ(lost.status, 502);
    EXPECT_EQ(lost.header("X-Quillo-Retry-Safe"), "1");
    Reply retry = correct(body);
    ASSERT_EQ(retry.status, 200);
    EXPECT_EQ(retry.body["correction"], "the lost answer");
    EXPECT_DOUBLE_EQ(retry.body["billing"]["balanceCredits"].get<double>(), 9.99);
    EXPECT_DOUBLE_EQ(balance()["balanceCredits"].get<double>(), 9.99);
}

TEST_F(CorrectionContract, DroppedConnectionGivesNoAnswerAndTheServerKeepsServing) {
    server->control("drop", {{"count", 1}});
    json body = correctionBody("teh");
    Reply dropped = correct(body);
    EXPECT_EQ(dropped.status, -1);
    EXPECT_EQ(correct(body).status, 200);
    EXPECT_EQ(server->get("/api/correct?action=health").status, 200);
}

TEST_F(CorrectionContract, ConnectionLostWhileProcessingLeavesTheWorkRunningThenReplaysOnce) {
    server->control("drop", {{"count", 1}, {"at", "processing"}});
    server->control("park", {{"count", 1}});
    json body = correctionBody("teh orphaned one");
    auto first = std::async(std::launch::async, [&] { return correct(body); });
    ASSERT_EQ(server->control("wait-parked", {{"count", 1}}).body["parked"], 1);
    EXPECT_EQ(first.get().status, -1); // the caller is gone, the work holds its reservation
    EXPECT_EQ(correct(body).status, 425);
    EXPECT_DOUBLE_EQ(balance()["reservedCredits"].get<double>(), 0.01);
    server->control("release");
    Reply done;
    for (int i = 0; i < 1000 && (done = correct(body)).status == 425; ++i) {}
    ASSERT_EQ(done.status, 200);
    EXPECT_EQ(done.header("X-Quillo-Replay"), "1");
    EXPECT_EQ(done.body["correction"], "the orphaned one");
    json after = balance();
    EXPECT_DOUBLE_EQ(after["balanceCredits"].get<double>(), 9.99);
    EXPECT_DOUBLE_EQ(after["reservedCredits"].get<double>(), 0);
}

TEST_F(CorrectionContract, AnswerLostAfterChargingIsReplayedWithoutASecondCharge) {
    server->control("drop", {{"count", 1}, {"at", "answer"}});
    json body = correctionBody("teh charged one");
    EXPECT_EQ(correct(body).status, -1);
    EXPECT_DOUBLE_EQ(balance()["balanceCredits"].get<double>(), 9.99);
    Reply again = correct(body);
    ASSERT_EQ(again.status, 200);
    EXPECT_EQ(again.header("X-Quillo-Replay"), "1");
    EXPECT_EQ(again.body["correction"], "the charged one");
    EXPECT_DOUBLE_EQ(balance()["balanceCredits"].get<double>(), 9.99);
    // A drop armed for answers leaves requests that end before charging alone.
    server->control("drop", {{"count", 1}, {"at", "answer"}});
    server->control("balance", {{"email", "writer@example.com"}, {"balanceCredits", 0}});
    EXPECT_EQ(correct(correctionBody("teh")).status, 402);
    EXPECT_EQ(server->control("fault-counts").body.value("drop-answer", 0), 1);
}

TEST_F(CorrectionContract, FaultStagesAreCheckedAndAppliedFaultsCounted) {
    EXPECT_EQ(server->postJson("/test/drop", {{"at", "sometime"}}, controlHeaders()).status, 400);
    EXPECT_EQ(server->postJson("/test/delay", {{"at", "answer"}}, controlHeaders()).status, 400);
    server->control("delay", {{"milliseconds", 1}, {"count", 2}, {"at", "processing"}});
    server->control("too-early", {{"count", 1}});
    server->control("gateway", {{"status", 504}, {"afterProcessing", true}});
    EXPECT_EQ(correct(correctionBody("teh")).status, 425);
    EXPECT_EQ(correct(correctionBody("teh")).status, 504);
    EXPECT_EQ(correct(correctionBody("teh")).status, 200);
    json counts = server->control("fault-counts").body;
    EXPECT_EQ(counts, json({{"too-early", 1}, {"gateway-504-answer", 1}, {"delay-processing", 2}}));
    server->control("reset");
    EXPECT_EQ(server->control("fault-counts").body, json::object());
}

TEST_F(CorrectionContract, DelayedAnswerStillArrivesComplete) {
    server->control("delay", {{"milliseconds", 300}, {"count", 1}});
    EXPECT_EQ(correct(correctionBody("teh")).status, 200);
}

TEST_F(CorrectionContract, RequestIdHeaderMustMatchTheBody) {
    json body = correctionBody("teh");
    auto headers = correctionHeaders(token, body);
    headers.erase("X-Quillo-Request-ID");
    headers.emplace("X-Quillo-Request-ID", newUuid());
    Reply r = server->postJson("/api/correct", body, headers);
    EXPECT_EQ(r.status, 400);
    EXPECT_EQ(r.error(), "request_id_mismatch");
}

TEST_F(CorrectionContract, BothStylesAreAcceptedAndContextualAddsPhrasing) {
    Reply proof = correct(correctionBody("we could of gone in order to see", "fast", "proofread"));
    Reply context = correct(correctionBody("we could of gone in order to see", "fast", "contextual"));
    EXPECT_EQ(proof.body["correction"], "we could have gone in order to see");
    EXPECT_EQ(context.body["correction"], "we could have gone to see");
}

TEST(CorrectionPersistence, FinishedCorrectionReplaysAfterARestart) {
    char templ[] = "/tmp/quillo-cloud-restart-XXXXXX";
    ASSERT_TRUE(mkdtemp(templ));
    std::string dir = templ;
    json body = correctionBody("teh persistent one");
    std::string first;
    {
        CloudTestServer s({}, true, dir);
        s.createAccount("p@example.com", "long enough secret", 1);
        std::string t = s.signIn("p@example.com", "long enough secret")["accessToken"];
        Reply r = s.postJson("/api/correct", body, correctionHeaders(t, body));
        ASSERT_EQ(r.status, 200);
        first = r.body["correction"];
    }
    {
        CloudTestServer s({}, true, dir);
        std::string t = s.signIn("p@example.com", "long enough secret")["accessToken"];
        Reply r = s.postJson("/api/correct", body, correctionHeaders(t, body));
        ASSERT_EQ(r.status, 200);
        EXPECT_EQ(r.body["correction"], first);
        EXPECT_DOUBLE_EQ(r.body["billing"]["balanceCredits"].get<double>(), 0.99);
    }
    std::filesystem::remove_all(dir);
}

} // namespace
