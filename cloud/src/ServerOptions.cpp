#include "ServerOptions.h"

#include "PostgresDatabase.h"
#include "Pricing.h"
#include "TrustedProxies.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <stdexcept>

namespace quillo::cloud {

std::string usage()
{
    return R"(usage: quillo-cloud [options]
  --host ADDR              listen address (default 127.0.0.1)
  --port N                 port, 0 picks a free one (default 8443)
  --port-file PATH         write the bound port here once listening
  --db PATH                SQLite database (default ./quillo-cloud.sqlite3)
  --database URL           where the store lives: a path or sqlite:PATH (SQLite, as --db), or
                           postgresql://user@host:port/dbname (PostgreSQL; several servers may
                           share it). The URL must not carry a password.
  --database-password-file FILE  the PostgreSQL password, read from FILE; without it the
                           environment's QUILLO_DATABASE_PASSWORD, then libpq's own PGPASSWORD
                           or ~/.pgpass
  --database-schema NAME   PostgreSQL: keep the tables in this schema (made if missing;
                           lower-case letters, digits and _)
  --outbox DIR             folder for outgoing mail (default ./quillo-cloud-outbox)
  --cert PATH --key PATH   server certificate and key (PEM)
  --ca-dir DIR             local authority folder used without --cert/--key; made on first start
  --http                   plain HTTP (debugging only)
  --test-controls          enable /test/* fault injection (loopback callers only)
  --dev-google-stand-in    development: a local page that signs in as any address typed into it;
                           refused unless the listen address and public host are loopback
  --oidc-issuer URL        sign in with Google (or any OpenID Connect provider) at this issuer,
                           e.g. https://accounts.google.com
  --oidc-client-id ID      this server's client id at the provider
  --oidc-client-secret-file PATH  file holding the client secret (none: a public client)
  --oidc-ca-file PATH      authorities trusted for the provider (default: the system's)
  --oidc-redirect-uri URL  where the provider sends the browser back (default: the public
                           address + /oauth/callback)
  --demo-account E:P       create this confirmed account on start
  --demo-balance CREDITS   its balance (default 25)
  --threads N              worker threads (default 16)
  --log-level L            debug, info, warn, error, off (default info)
  --busy SPEEDS            comma list of busy speeds: fast, very_very_fast
  --busy-retry-after S     Retry-After of a 429 (default 5)
  --public-host HOST       host written into links (default: the listen address)
  --checkout-host HOST     host of checkout links (default: build constant)
  --signup-credits C       credits of a new account (default 1)
  --password-hash-cost N   scrypt work factor, N = 2^this (default 17; below that only for tests)
  --no-email-confirmation  new e-mail accounts are usable at once
  --dictionary AFF DIC     Hunspell files (default en_US)
  --speller-instances N    Hunspell instances (default 2)
  --suggestions KIND       indexed (default) or hunspell (its own search for every word)
  --suggestion-cache PATH  suggestion index cache file (default: the database path + .suggestions)
  --no-suggestion-cache    build the suggestion index at every start
  --word-lists DIR         SCOWL lists ranking common words first (default /usr/share/dict/scowl)
  --suggestion-fallback-ms N  time Hunspell's search gets for the words of one text while
                           the suggestion index builds (default 40)
  --hold-suggestion-index  with --test-controls: build the index only when told to
  --no-warm-up             read dictionaries and word lists on first use instead of at start
  --model SPEED URL NAME   correct texts of SPEED (fast, very_very_fast) with the user's own model
                           behind an OpenAI-compatible API at URL (".../v1"); guarded, and falling
                           back to the built-in engine
  --model-key-file SPEED FILE  the model's API key, read from FILE
  --model-key-env SPEED VAR    the model's API key, read from the environment variable VAR
  --model-timeout-ms SPEED N   how long the model may take (default 20000)
  --max-body BYTES         largest request body (default 262144)
  --request-timeout S      a request's TLS handshake, headers and body arrive within this
                           (default 10)
  --idle-timeout S         a kept-alive connection waits this long for more (default 15)
  --max-connections-per-address N  open connections of one client address (default 64; a
                           trusted proxy's own connections are not bounded)
  --trusted-proxy ADDR     a reverse proxy in front of this server: loopback or a literal IP
                           address, repeatable. From it, the client is the right-most
                           X-Forwarded-For address that is not a trusted proxy; sign-in limits
                           go by that address. The header of any other peer is ignored.
  --trusted-proxy-header H the header the trusted proxies write: X-Forwarded-For (default) or
                           Forwarded (RFC 7239, its for= nodes); the other one is ignored
  --result-retention S     keep correction results for replay this long (default 3600)
  --checkout-ttl S         an unpaid checkout expires after this (default 86400)
  --access-token-ttl S     access token lifetime (default 3600)
  --refresh-token-ttl S    refresh token lifetime (default 5184000)
  --enroll-totp EMAIL      print a new authenticator secret for the account and exit
  --update-feed-version V  serve a signed test update feed of version V at /updates/feed.json
  --update-feed-build N    its build number (default 1)
  --update-display-version T  its display version (default: the version)
  --update-notes TEXT      its release notes
  --update-minimum-system V  its minimum kernel release
  --update-critical        mark it critical
  --update-package PATH    the package file it offers (default: a generated text file)
  --update-key PATH        Ed25519 private key (PEM) that signs the feed (default: the local
                           authority folder's update-ed25519.key, made on first use)
  --version                print the version and exit
)";
}

bool validUpdateVersion(const std::string &version)
{
    // Dot-separated numbers, then optionally "-" and a pre-release of letters, digits, dots and dashes.
    size_t dash = version.find('-');
    std::string core = version.substr(0, dash);
    if (core.empty() || core.front() == '.' || core.back() == '.' || core.find("..") != std::string::npos ||
        core.find_first_not_of("0123456789.") != std::string::npos)
        return false;
    if (dash == std::string::npos) return true;
    std::string pre = version.substr(dash + 1);
    return !pre.empty() && pre.front() != '.' && pre.back() != '.' && pre.find("..") == std::string::npos &&
           pre.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-") ==
               std::string::npos;
}

bool isLoopbackHost(const std::string &host)
{
    return host == "localhost" || host == "::1" || host == "[::1]" ||
           (host.rfind("127.", 0) == 0 && host.find_first_not_of("0123456789.") == std::string::npos);
}

std::string parseOptions(int argc, char **argv, ServerOptions &o, bool &exitNow)
{
    exitNow = false;
    auto number = [](const std::string &s, const char *flag) -> double {
        char *end = nullptr;
        double v = std::strtod(s.c_str(), &end);
        if (s.empty() || *end || !std::isfinite(v) || std::fabs(v) > 1e15)
            throw std::invalid_argument(std::string(flag) + " needs a number");
        return v;
    };
    try {
        for (int i = 1; i < argc; ++i) {
            std::string a = argv[i];
            auto value = [&]() -> std::string {
                if (i + 1 >= argc) throw std::invalid_argument(a + " needs a value");
                return argv[++i];
            };
            if (a == "--help" || a == "-h") {
                exitNow = true;
                return {};
            } else if (a == "--version") {
                o.printVersion = exitNow = true;
                return {};
            } else if (a == "--host") o.host = value();
            else if (a == "--port") o.port = static_cast<int>(number(value(), "--port"));
            else if (a == "--port-file") o.portFile = value();
            else if (a == "--db") o.dbPath = value();
            else if (a == "--database") {
                std::string url = value();
                if (url.rfind("sqlite:", 0) == 0) url = url.substr(url.rfind("sqlite://", 0) == 0 ? 9 : 7);
                if (isPostgresUrl(url)) {
                    if (auto problem = postgresUrlProblem(url); !problem.empty()) throw std::invalid_argument(problem);
                    o.databaseUrl = url;
                } else {
                    if (url.empty() || url.find("://") != std::string::npos)
                        throw std::invalid_argument(
                            "--database takes a path, sqlite:PATH or postgresql://user@host:port/dbname");
                    o.dbPath = url;
                }
            } else if (a == "--database-password-file") o.databasePasswordFile = value();
            else if (a == "--database-schema") {
                o.databaseSchema = value();
                if (!validSchemaName(o.databaseSchema))
                    throw std::invalid_argument("--database-schema takes lower-case letters, digits and _");
            } else if (a == "--outbox") o.outboxDir = value();
            else if (a == "--cert") o.certFile = value();
            else if (a == "--key") o.keyFile = value();
            else if (a == "--ca-dir") o.caDir = value();
            else if (a == "--http") o.plainHttp = true;
            else if (a == "--test-controls") o.testControls = true;
            else if (a == "--dev-google-stand-in") o.googleStandIn = true;
            else if (a == "--oidc-issuer") o.oidcIssuer = value();
            else if (a == "--oidc-client-id") o.oidcClientId = value();
            else if (a == "--oidc-client-secret-file") o.oidcClientSecretFile = value();
            else if (a == "--oidc-ca-file") o.oidcCaFile = value();
            else if (a == "--oidc-redirect-uri") o.oidcRedirectUri = value();
            else if (a == "--demo-account") o.demoAccount = value();
            else if (a == "--demo-balance") o.demoBalance = number(value(), "--demo-balance");
            else if (a == "--threads") o.threads = static_cast<int>(number(value(), "--threads"));
            else if (a == "--log-level") o.logLevel = value();
            else if (a == "--busy") {
                std::string list = value() + ",";
                for (size_t start = 0, comma; (comma = list.find(',', start)) != std::string::npos; start = comma + 1) {
                    std::string item = list.substr(start, comma - start);
                    if (item == "fast") o.fastBusy = true;
                    else if (item == "very_very_fast") o.veryVeryFastBusy = true;
                    else if (!item.empty()) throw std::invalid_argument("--busy takes fast and very_very_fast");
                }
            } else if (a == "--busy-retry-after") o.busyRetryAfter = static_cast<int>(number(value(), a.c_str()));
            else if (a == "--public-host") o.publicHost = value();
            else if (a == "--checkout-host") o.checkoutHost = value();
            else if (a == "--signup-credits") o.signupCredits = number(value(), a.c_str());
            else if (a == "--password-hash-cost") o.passwordHashCost = static_cast<int>(number(value(), a.c_str()));
            else if (a == "--no-email-confirmation") o.requireEmailConfirmation = false;
            else if (a == "--dictionary") {
                o.affPath = value();
                o.dicPath = value();
            } else if (a == "--speller-instances") o.spellerInstances = static_cast<int>(number(value(), a.c_str()));
            else if (a == "--suggestions") {
                std::string kind = value();
                if (kind != "indexed" && kind != "hunspell")
                    throw std::invalid_argument("--suggestions takes indexed or hunspell");
                o.indexedSuggestions = kind == "indexed";
            } else if (a == "--suggestion-cache") o.suggestionCache = value();
            else if (a == "--no-suggestion-cache") o.suggestionCacheEnabled = false;
            else if (a == "--word-lists") o.wordListDir = value();
            else if (a == "--suggestion-fallback-ms")
                o.suggestionFallbackMs = static_cast<int>(number(value(), a.c_str()));
            else if (a == "--hold-suggestion-index") o.holdSuggestionIndex = true;
            else if (a == "--no-warm-up") o.warmUp = false;
            else if (a == "--warm-up") o.warmUp = true;
            else if (a == "--model" || a == "--model-key-file" || a == "--model-key-env" || a == "--model-timeout-ms") {
                auto speed = speedFromWire(value());
                if (!speed) throw std::invalid_argument(a + " takes a speed: fast or very_very_fast");
                auto &m = o.models[static_cast<int>(*speed)];
                if (a == "--model") {
                    m.url = value();
                    m.name = value();
                } else if (a == "--model-key-file") m.keyFile = value();
                else if (a == "--model-key-env") m.keyEnvironment = value();
                else m.timeoutMs = static_cast<int>(number(value(), a.c_str()));
            } else if (a == "--max-body") o.maxBodyBytes = static_cast<size_t>(number(value(), a.c_str()));
            else if (a == "--request-timeout") o.requestTimeoutSeconds = static_cast<int>(number(value(), a.c_str()));
            else if (a == "--idle-timeout") o.idleTimeoutSeconds = static_cast<int>(number(value(), a.c_str()));
            else if (a == "--max-connections-per-address")
                o.maxConnectionsPerAddress = static_cast<int>(number(value(), a.c_str()));
            else if (a == "--trusted-proxy") {
                std::string proxy = value();
                if (!TrustedProxies().add(proxy))
                    throw std::invalid_argument("--trusted-proxy takes loopback or an IP address, not " + proxy);
                o.trustedProxies.push_back(proxy);
            } else if (a == "--trusted-proxy-header") {
                o.trustedProxyHeader = value();
                for (auto &ch : o.trustedProxyHeader)
                    ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
                if (o.trustedProxyHeader != "x-forwarded-for" && o.trustedProxyHeader != "forwarded")
                    throw std::invalid_argument("--trusted-proxy-header takes X-Forwarded-For or Forwarded");
            } else if (a == "--result-retention")
                o.correctionRetentionSeconds = static_cast<long>(number(value(), a.c_str()));
            else if (a == "--checkout-ttl") o.checkoutTtlSeconds = static_cast<long>(number(value(), a.c_str()));
            else if (a == "--access-token-ttl") o.accessTokenSeconds = static_cast<long>(number(value(), a.c_str()));
            else if (a == "--refresh-token-ttl") o.refreshTokenSeconds = static_cast<long>(number(value(), a.c_str()));
            else if (a == "--enroll-totp") o.enrollTotpEmail = value();
            else if (a == "--update-feed-version") o.updateFeedVersion = value();
            else if (a == "--update-feed-build") o.updateFeedBuild = value();
            else if (a == "--update-display-version") o.updateFeedDisplayVersion = value();
            else if (a == "--update-notes") o.updateNotes = value();
            else if (a == "--update-minimum-system") o.updateMinimumSystem = value();
            else if (a == "--update-critical") o.updateCritical = true;
            else if (a == "--update-package") o.updatePackage = value();
            else if (a == "--update-key") o.updateKey = value();
            else throw std::invalid_argument("unknown option " + a);
        }
    } catch (const std::exception &e) {
        return e.what();
    }
    if (o.databaseUrl.empty() && (!o.databasePasswordFile.empty() || !o.databaseSchema.empty()))
        return "--database-password-file and --database-schema need a postgresql:// --database";
    if (o.port < 0 || o.port > 65535) return "--port must be 0 to 65535";
    if (o.threads < 1 || o.threads > 512) return "--threads must be 1 to 512";
    if (!(o.signupCredits >= 0 && o.signupCredits <= 1e9)) return "--signup-credits must be 0 to 1000000000";
    if (!(o.demoBalance >= 0 && o.demoBalance <= 1e9)) return "--demo-balance must be 0 to 1000000000";
    if (o.passwordHashCost < 10 || o.passwordHashCost > 20) return "--password-hash-cost must be 10 to 20";
    if (o.requestTimeoutSeconds < 1 || o.requestTimeoutSeconds > 3600) return "--request-timeout must be 1 to 3600";
    if (o.idleTimeoutSeconds < 1 || o.idleTimeoutSeconds > 3600) return "--idle-timeout must be 1 to 3600";
    if (o.maxConnectionsPerAddress < 1 || o.maxConnectionsPerAddress > 100000)
        return "--max-connections-per-address must be 1 to 100000";
    if (!o.demoAccount.empty() && o.demoAccount.find(':') == std::string::npos)
        return "--demo-account needs email:password";
    if (o.googleStandIn && (!isLoopbackHost(o.host) || (!o.publicHost.empty() && !isLoopbackHost(o.publicHost))))
        return "--dev-google-stand-in signs anyone in: it needs a loopback --host and --public-host";
    if (o.googleStandIn && !o.oidcIssuer.empty()) return "--dev-google-stand-in and --oidc-issuer exclude each other";
    if (!o.oidcIssuer.empty() && (o.oidcIssuer.rfind("https://", 0) != 0 || o.oidcClientId.empty()))
        return "--oidc-issuer needs an https address and --oidc-client-id";
    if (!o.oidcRedirectUri.empty() && o.oidcRedirectUri.rfind("https://", 0) != 0)
        return "--oidc-redirect-uri needs an https address";
    if (o.certFile.empty() != o.keyFile.empty()) return "--cert and --key go together";
    if (o.suggestionFallbackMs < 0 || o.suggestionFallbackMs > 60000)
        return "--suggestion-fallback-ms must be 0 to 60000";
    if (o.holdSuggestionIndex && !o.testControls) return "--hold-suggestion-index needs --test-controls";
    if (!o.updateFeedVersion.empty() && !validUpdateVersion(o.updateFeedVersion))
        return "--update-feed-version needs a version such as 1.4.0";
    if (o.updateFeedBuild.empty() || o.updateFeedBuild.find_first_not_of("0123456789") != std::string::npos)
        return "--update-feed-build needs a number";
    return {};
}

}  // namespace quillo::cloud
