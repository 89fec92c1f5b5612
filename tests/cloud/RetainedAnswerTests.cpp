// The answer kept for a replay is unreadable at rest: sealed under a key derived from the
// request's recovery key, which the server never stores.
#include "CloudTestServer.h"

#include <gtest/gtest.h>

using namespace cloudtest;

namespace {

TEST(RetainedAnswers, TheDatabaseNeverHoldsTheTextAndOnlyTheKeyOpensIt) {
    CloudTestServer server;
    server.createAccount("private@example.com", "long enough secret", 5);
    std::string token = server.signIn("private@example.com", "long enough secret")["accessToken"];
    // Distinctive words, so that any copy of them in a file is found.
    json body = correctionBody("Zanzibarquux said teh quokkafrob was recieved.");
    Reply first = server.postJson("/api/correct", body, correctionHeaders(token, body));
    ASSERT_EQ(first.status, 200) << first.text;
    std::string corrected = first.body["correction"];
    ASSERT_NE(corrected.find("quokkafrob"), std::string::npos);

    Reply replay = server.postJson("/api/correct", body, correctionHeaders(token, body));
    ASSERT_EQ(replay.status, 200) << replay.text;
    EXPECT_EQ(replay.header("X-Quillo-Replay"), "1");
    EXPECT_EQ(replay.body["correction"], corrected);

    std::string bytes = server.storedBytes();
    ASSERT_NE(bytes.find("private@example.com"), std::string::npos); // the store was read
    EXPECT_EQ(bytes.find("quokkafrob"), std::string::npos);
    EXPECT_EQ(bytes.find("Zanzibarquux"), std::string::npos);
    EXPECT_EQ(bytes.find(body["recoveryKey"].get<std::string>()), std::string::npos);

    // Another key with the same id and text: a conflict, never the stored answer.
    json other = body;
    other["recoveryKey"] = newRecoveryKey();
    Reply stranger = server.postJson("/api/correct", other, correctionHeaders(token, other));
    EXPECT_EQ(stranger.status, 409);
    EXPECT_EQ(stranger.text.find("quokkafrob"), std::string::npos);
}

} // namespace
