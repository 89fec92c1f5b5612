#pragma once
#include <optional>
#include <string>
#include <vector>

namespace quillo::cloud {

struct ServerOptions {
    std::string host = "127.0.0.1";
    int port = 8443;
    std::string portFile;
    std::string dbPath = "quillo-cloud.sqlite3";
    // A postgresql:// URL (without password) puts the store in PostgreSQL instead of dbPath.
    std::string databaseUrl;
    std::string databasePasswordFile;
    std::string databaseSchema;
    std::string outboxDir = "quillo-cloud-outbox";
    std::string certFile, keyFile;
    std::string caDir;  // where the local authority lives when no --cert/--key
    bool plainHttp = false;
    bool testControls = false;
    // Sign-in with Google: the local stand-in page (development, loopback only) or a real
    // OpenID Connect provider.
    bool googleStandIn = false;
    std::string oidcIssuer, oidcClientId, oidcClientSecretFile, oidcCaFile, oidcRedirectUri;
    std::string demoAccount;  // "email:password"
    double demoBalance = 25;
    int threads = 16;
    std::string logLevel = "info";
    bool fastBusy = false, veryVeryFastBusy = false;
    int busyRetryAfter = 5;
    std::string publicHost;    // host written into links; defaults to the bound host
    std::string checkoutHost;  // host of checkout links
    double signupCredits = 1;
    int passwordHashCost = 17;  // scrypt N = 2^cost
    bool requireEmailConfirmation = true;
    std::string affPath = "/usr/share/hunspell/en_US.aff";
    std::string dicPath = "/usr/share/hunspell/en_US.dic";
    int spellerInstances = 2;
    bool indexedSuggestions = true;  // false: Hunspell's own search for every misspelling
    std::string suggestionCache;     // empty: beside the database
    bool suggestionCacheEnabled = true;
    std::string wordListDir = "/usr/share/dict/scowl";
    int suggestionFallbackMs = 40;
    bool holdSuggestionIndex = false;  // tests: the index waits for the suggestion-index control
    size_t suggestionCacheSize = 50000;
    bool warmUp = true;  // read every dictionary and word list once the server listens
    // The user's own model per speed (indexed by Speed); an empty URL: the built-in engine.
    struct Model {
        std::string url, name, keyFile, keyEnvironment;
        int timeoutMs = 20000;
    };
    Model models[2];
    size_t maxBodyBytes = size_t{256} * 1024;
    // Plain HTTP: a request arrives whole within this, a kept-alive connection idles this long,
    // one client address holds this many connections.
    int requestTimeoutSeconds = 10;
    int idleTimeoutSeconds = 15;
    int maxConnectionsPerAddress = 64;
    // Reverse proxies whose X-Forwarded-For names the client: "loopback" or literal addresses.
    std::vector<std::string> trustedProxies;
    std::string trustedProxyHeader = "x-forwarded-for";  // or "forwarded" (RFC 7239)
    long correctionRetentionSeconds = 3600;
    long checkoutTtlSeconds = 24L * 3600;
    long accessTokenSeconds = 3600;
    long refreshTokenSeconds = 60L * 24 * 3600;
    std::string enrollTotpEmail;  // admin: print an authenticator secret and exit
    // The signed test update feed (served only with a version).
    std::string updateFeedVersion;
    std::string updateFeedBuild = "1";
    std::string updateFeedDisplayVersion;
    std::string updateNotes;
    std::string updateMinimumSystem;
    bool updateCritical = false;
    std::string updatePackage;  // empty: a generated test package
    std::string updateKey;      // empty: the local authority folder's update-ed25519.key
    bool printVersion = false;  // --version: print it and exit
};

// Returns an error message (empty on success). Sets `exitNow` for --help.
std::string parseOptions(int argc, char **argv, ServerOptions &out, bool &exitNow);
std::string usage();
// The update feed's version syntax: "1.4.0", "2.0.0-beta.1".
bool validUpdateVersion(const std::string &version);
bool isLoopbackHost(const std::string &host);

}  // namespace quillo::cloud
