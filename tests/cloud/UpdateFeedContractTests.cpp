// The test update feed: served only when asked for, signed with the folder's Ed25519 key (made
// on first use), its package matching the size and digest it states, and the tampering
// controls doing what the client's tests rely on. Verified here with OpenSSL directly.
#include "CloudTestServer.h"

#include <openssl/evp.h>
#include <openssl/sha.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <sys/wait.h>

using namespace cloudtest;

namespace {

std::string base64Decode(std::string text) {
    size_t padding = 0;
    while (!text.empty() && text[text.size() - 1 - padding] == '=' && padding < 2) ++padding;
    std::string out(text.size(), '\0');
    int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                            reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    if (n < 0) return {};
    out.resize(static_cast<size_t>(n) - padding);
    return out;
}

bool verifies(const std::string& publicKey, const std::string& message, const std::string& signature) {
    EVP_PKEY* key = EVP_PKEY_new_raw_public_key(
        EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char*>(publicKey.data()), publicKey.size());
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    bool ok = key && ctx && EVP_DigestVerifyInit(ctx, nullptr, nullptr, nullptr, key) == 1 &&
              EVP_DigestVerify(ctx, reinterpret_cast<const unsigned char*>(signature.data()), signature.size(),
                               reinterpret_cast<const unsigned char*>(message.data()), message.size()) == 1;
    EVP_MD_CTX_free(ctx);
    EVP_PKEY_free(key);
    return ok;
}

std::string hexSha256(const std::string& data) {
    unsigned char d[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(data.data()), data.size(), d);
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (unsigned char c : d) {
        out += hex[c >> 4];
        out += hex[c & 15];
    }
    return out;
}

struct KeyFolder {
    std::string path;
    KeyFolder() {
        char templ[] = "/tmp/quillo-update-key-XXXXXX";
        path = mkdtemp(templ);
    }
    ~KeyFolder() { std::filesystem::remove_all(path); }
    std::string publicKey() const {
        std::ifstream in(path + "/update-ed25519.pub");
        std::string line;
        std::getline(in, line);
        return base64Decode(line);
    }
};

} // namespace

TEST(UpdateFeedContract, NoFeedUnlessAskedFor) {
    CloudTestServer server;
    EXPECT_EQ(server.get("/updates/feed.json").status, 404);
    EXPECT_EQ(server.get("/updates/feed.json").error(), "not_found");
    EXPECT_EQ(server.postJson("/test/update-feed", {{"version", "2.0.0"}}, controlHeaders()).status, 404);
}

TEST(UpdateFeedContract, SignedFeedAndItsPackage) {
    KeyFolder keys;
    CloudTestServer server({"--ca-dir", keys.path, "--update-feed-version", "2.4.0", "--update-feed-build", "240",
                            "--update-notes", "Notes.", "--update-critical"});
    const std::string publicKey = keys.publicKey();
    ASSERT_EQ(publicKey.size(), 32u); // the server made the key pair on first use
    EXPECT_EQ(std::filesystem::status(keys.path + "/update-ed25519.key").permissions() &
                  (std::filesystem::perms::group_all | std::filesystem::perms::others_all),
              std::filesystem::perms::none);

    Reply reply = server.get("/updates/feed.json");
    ASSERT_EQ(reply.status, 200);
    EXPECT_EQ(reply.header("Cache-Control"), "no-store");
    const std::string feed = base64Decode(reply.body["feed"].get<std::string>());
    const std::string signature = base64Decode(reply.body["signature"].get<std::string>());
    ASSERT_EQ(signature.size(), 64u);
    EXPECT_TRUE(verifies(publicKey, feed, signature));

    const json item = json::parse(feed)["items"][0];
    EXPECT_EQ(item["version"], "2.4.0");
    EXPECT_EQ(item["buildNumber"], "240");
    EXPECT_EQ(item["displayVersion"], "2.4.0");
    EXPECT_EQ(item["releaseNotes"], "Notes.");
    EXPECT_EQ(item["critical"], true);
    const std::string url = item["package"]["url"];
    ASSERT_EQ(url.rfind(server.base() + "/updates/", 0), 0u) << url;
    Reply package = server.get(url.substr(server.base().size()));
    ASSERT_EQ(package.status, 200);
    EXPECT_EQ(item["package"]["size"].get<size_t>(), package.text.size());
    EXPECT_EQ(item["package"]["sha256"], hexSha256(package.text));
    EXPECT_EQ(server.get("/updates/other-file.txt").status, 404);
    EXPECT_NE(server.get("/updates/..%2Fcloud.sqlite3").status, 200);

    // Tampering: the signature no longer matches, or the package no longer matches the feed.
    ASSERT_EQ(server.control("update-feed", {{"tamperFeed", true}, {"tamperPackage", true}}).status, 200);
    reply = server.get("/updates/feed.json");
    EXPECT_FALSE(verifies(publicKey, base64Decode(reply.body["feed"].get<std::string>()),
                          base64Decode(reply.body["signature"].get<std::string>())));
    EXPECT_NE(hexSha256(server.get(url.substr(server.base().size())).text), item["package"]["sha256"]);

    // Another release through the control, signed again.
    Reply changed = server.control("update-feed", {{"version", "2.5.0-beta.1"}, {"buildNumber", "250"}});
    ASSERT_EQ(changed.status, 200);
    reply = server.get("/updates/feed.json");
    const std::string newFeed = base64Decode(reply.body["feed"].get<std::string>());
    EXPECT_TRUE(verifies(publicKey, newFeed, base64Decode(reply.body["signature"].get<std::string>())));
    EXPECT_EQ(json::parse(newFeed)["items"][0]["version"], "2.5.0-beta.1");
    EXPECT_EQ(server.postJson("/test/update-feed", {{"version", "../x"}}, controlHeaders()).status, 400);
    EXPECT_EQ(server.postJson("/test/update-feed", {{"buildNumber", "12a"}}, controlHeaders()).status, 400);
}

TEST(UpdateFeedContract, BadOptionsStopTheStart) {
    KeyFolder keys;
    // Run directly: the server must refuse to start, which the test server helper counts as a fault.
    const auto exitStatus = [&](const std::string& options) {
        const std::string command = cloudBinary() + " --http --port 0 --db '" + keys.path + "/db.sqlite3' --outbox '" +
                                    keys.path + "/outbox' --no-suggestion-cache " + "--suggestions hunspell " +
                                    options + " >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(exitStatus("--update-feed-version two"), 2);
    EXPECT_EQ(exitStatus("--update-feed-version 1.0 --update-feed-build 1b"), 2);
    EXPECT_EQ(exitStatus("--update-feed-version 1.0 --update-key '" + keys.path + "/missing.key'"), 1);
}
