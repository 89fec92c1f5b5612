#pragma once
// A quillo-cloud in the fuzzing process (plain HTTP on loopback, a temporary database, test
// controls on, the suggestion index held so that every word takes the bounded fallback) and a
// keep-alive client. One input is one request; the account it acts for, its session, an order
// and the one-time tokens the request names are made fresh for it through the store, so that an
// input that signs out or deletes the account does not change what the next one meets.
//
// Placeholders in an input, replaced before it is sent: $TOKEN (access token), $REFRESH (refresh
// token), $ORDER (an order of the account), $ORDERTOKEN (that order's checkout token), $OAUTH (a
// started Google sign-in request), $EMAILTOKEN (a confirmation or reset token of the account).
#include "CloudServer.h"
#include "Crypto.h"
#include "Log.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

namespace cloudfuzz {

using nlohmann::json;
using quillo::cloud::CloudServer;

inline constexpr const char* kEmail = "fuzz@example.com";
inline constexpr const char* kPassword = "fuzz-password-1";

struct Request {
    std::string method = "POST";
    std::string path;
    std::string authorization; // empty: no header
    std::string body;
    std::string contentType = "application/json";
};

struct Answer {
    int status = -1;
    std::string body;
};

class Harness {
public:
    static Harness& shared() {
        // Never destroyed: its threads serve until the process ends.
        static Harness* harness = new Harness();
        return *harness;
    }

    // Sends `request` with its placeholders filled in for a fresh session.
    Answer send(Request request) {
        prepare(request);
        auto result = request.method == "GET" ? client_->Get(request.path.c_str(), headers(request))
                                              : client_->Post(request.path.c_str(), headers(request), request.body,
                                                              request.contentType.c_str());
        if (!result) {
            // A dropped connection (test control "drop") is the only expected way to get no answer.
            client_ = newClient();
            return {};
        }
        server_->store(); // keeps the server object reachable for the leak checker
        return {result->status, result->body};
    }

    // An answer of the JSON API: an object, and never the catch-all of an escaped exception.
    static void checkApiAnswer(const Answer& answer) {
        if (answer.status < 0) return;
        json body = json::parse(answer.body, nullptr, false);
        if (!body.is_object()) crash("answer is not a JSON object", answer);
        if (answer.status >= 400 && !(body.contains("error") && body["error"].is_string()))
            crash("error answer without an error code", answer);
        if (answer.status == 500 && body["error"] == "internal_error")
            crash("a handler failed with an exception", answer);
    }

    [[noreturn]] static void crash(const char* what, const Answer& answer) {
        std::fprintf(stderr, "%s: HTTP %d %s\n", what, answer.status, answer.body.c_str());
        std::abort();
    }

    // Answers wait for nothing the last input armed, and parked corrections go on.
    void resetFaults() {
        const httplib::Headers control = {{"X-Quillo-Test-Control", "1"}};
        client_->Post("/test/reset", control, "{}", "application/json");
        client_->Post("/test/release", control, "{}", "application/json");
    }

private:
    Harness() {
        quillo::cloud::log::setLevel(quillo::cloud::log::Level::off);
        // In memory where the system offers it: every request commits to the database.
        std::string templ = std::filesystem::is_directory("/dev/shm") ? "/dev/shm/quillo-cloud-fuzz-XXXXXX"
                                                                      : "/tmp/quillo-cloud-fuzz-XXXXXX";
        if (!mkdtemp(templ.data())) std::abort();
        directory_ = templ;
        quillo::cloud::ServerOptions options;
        options.port = 0;
        options.plainHttp = true;
        options.testControls = true;
        options.googleStandIn = true; // the consent page is one of the fuzzed forms
        options.threads = 2;
        options.dbPath = directory_ + "/cloud.sqlite3";
        options.outboxDir = directory_ + "/outbox";
        options.suggestionCacheEnabled = false;
        options.holdSuggestionIndex = true;
        options.suggestionFallbackMs = 2;
        options.requireEmailConfirmation = true;
        // The server lives until exit: a warm-up still reading would outlive the dictionaries.
        options.warmUp = false;
        server_ = new CloudServer(options);
        port_ = server_->bind();
        if (port_ <= 0) std::abort();
        serving_ = new std::thread([this] { server_->run(); });
        client_ = newClient();
        std::atexit([] { std::filesystem::remove_all(shared().directory_); });
    }

    std::unique_ptr<httplib::Client> newClient() const {
        auto client = std::make_unique<httplib::Client>("127.0.0.1", port_);
        client->set_keep_alive(true);
        client->set_read_timeout(60, 0);
        return client;
    }

    httplib::Headers headers(const Request& request) const {
        httplib::Headers h;
        if (!request.authorization.empty()) h.emplace("Authorization", request.authorization);
        if (request.path.rfind("/test/", 0) == 0) h.emplace("X-Quillo-Test-Control", "1");
        return h;
    }

    static void replaceAll(std::string& text, const std::string& from, const std::string& to) {
        for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
            text.replace(at, from.size(), to);
    }

    static bool mentions(const Request& r, const char* placeholder) {
        return r.path.find(placeholder) != std::string::npos || r.body.find(placeholder) != std::string::npos ||
               r.authorization.find(placeholder) != std::string::npos;
    }

    void fill(Request& r, const char* placeholder, const std::string& value) {
        replaceAll(r.path, placeholder, value);
        replaceAll(r.authorization, placeholder, value);
        replaceAll(r.body, placeholder, value);
    }

    void prepare(Request& request) {
        auto& store = server_->store();
        auto account = store.accountByEmail(kEmail);
        if (!account) account = store.createAccount(kEmail, passwordHash(), "email", true, 1000 * 1000000LL);
        // An input may have reset the password, or spent the credits.
        store.setPassword(account->id, passwordHash());
        store.confirmEmail(account->id);
        store.setBalance(account->id, 1000 * 1000000LL);
        auto session = store.issueSession(*account, "email", std::string("6f9619ff-8b86-4d01-b42d-00c04fc964ff"));
        fill(request, "$TOKEN", session.accessToken);
        fill(request, "$REFRESH", session.refreshToken);
        if (mentions(request, "$ORDER")) {
            auto [outcome, order] =
                store.createOrReuseOrder(account->id, quillo::cloud::crypto::randomUuid(), "regular", 24 * 3600);
            std::string token = quillo::cloud::crypto::base64UrlEncode(
                quillo::cloud::crypto::hmacSha256(store.signingKey(), "checkout:" + order.id));
            fill(request, "$ORDERTOKEN", token);
            fill(request, "$ORDER", order.id);
        }
        if (mentions(request, "$OAUTH"))
            fill(request, "$OAUTH",
                 store.createOAuthRequest("signin", std::string(43, 'A'),
                                          std::string("6f9619ff-8b86-4d01-b42d-00c04fc964ff"), std::nullopt,
                                          std::nullopt, std::nullopt, false));
        if (mentions(request, "$EMAILTOKEN"))
            fill(request, "$EMAILTOKEN",
                 store.createEmailToken(account->id,
                                        request.path.find("confirm") != std::string::npos ? "confirm" : "reset", 3600));
    }

    // Hashing a password is deliberately slow; the account's hash is made once, with a lower
    // work factor (the stored hash names its own) so that signing in does not dominate a run.
    const std::string& passwordHash() {
        if (passwordHash_.empty()) passwordHash_ = quillo::cloud::crypto::hashPassword(kPassword, 1024);
        return passwordHash_;
    }

    std::string directory_;
    CloudServer* server_ = nullptr;
    std::thread* serving_ = nullptr;
    int port_ = -1;
    std::unique_ptr<httplib::Client> client_;
    std::string passwordHash_;
};

// The first line of an input and the rest.
inline std::pair<std::string, std::string> splitFirstLine(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    size_t newline = text.find('\n');
    if (newline == std::string::npos) return {text, std::string()};
    return {text.substr(0, newline), text.substr(newline + 1)};
}

} // namespace cloudfuzz
