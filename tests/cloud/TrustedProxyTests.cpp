// Behind a reverse proxy every connection comes from the proxy: the sign-in limits must go by the
// client the proxy names, the proxy must not be capped like one client, and nobody else may name
// a client by writing X-Forwarded-For themselves.
#include "CloudTestServer.h"
#include "TrustedProxies.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace cloudtest;
using quillo::cloud::TrustedProxies;

namespace {

const std::string kPassword = "long enough secret";

// A plain-HTTP client whose connections come from this loopback address.
std::unique_ptr<httplib::Client> clientFrom(const CloudTestServer& server, const std::string& source) {
    auto c = std::make_unique<httplib::Client>("127.0.0.1", server.port());
    c->set_interface(source);
    c->set_connection_timeout(10, 0);
    c->set_read_timeout(30, 0);
    return c;
}

int control(const CloudTestServer& server, const std::string& name, const json& body) {
    auto r = clientFrom(server, "127.0.0.1")
                 ->Post(("/test/" + name).c_str(), controlHeaders(), body.dump(), "application/json");
    return r ? r->status : -1;
}

// A sign-in with these headers; the status and its Retry-After.
std::pair<int, int> signInWith(httplib::Client& c, const httplib::Headers& headers, const std::string& email,
                               const std::string& password) {
    json body = {{"action", "sign_in"}, {"email", email}, {"password", password}, {"installationId", kInstallationId}};
    auto r = c.Post("/api/auth", headers, body.dump(), "application/json");
    if (!r) return {-1, 0};
    return {r->status, std::atoi(r->get_header_value("Retry-After").c_str())};
}

// A sign-in as this forwarded client (an empty list: no header).
std::pair<int, int> signIn(httplib::Client& c, const std::string& forwardedFor, const std::string& email,
                           const std::string& password) {
    httplib::Headers headers;
    if (!forwardedFor.empty()) headers.emplace("X-Forwarded-For", forwardedFor);
    return signInWith(c, headers, email, password);
}

// Eight recorded failures (the server's clock moved past each wait): the next attempt of the same
// client waits half a minute.
void failUntilHeldBack(const CloudTestServer& server, httplib::Client& c, const httplib::Headers& headers,
                       const std::string& email) {
    for (int failures = 0, tries = 0; failures < 8 && tries < 30; ++tries) {
        auto [status, retryAfter] = signInWith(c, headers, email, "wrong password!");
        if (status == 401) ++failures;
        else if (status == 429) ASSERT_EQ(control(server, "clock", {{"advanceSeconds", retryAfter}}), 200);
        else FAIL() << "sign-in answered " << status;
    }
    EXPECT_EQ(signInWith(c, headers, email, "wrong password!").first, 429);
}

void failUntilHeldBack(const CloudTestServer& server, httplib::Client& c, const std::string& forwardedFor,
                       const std::string& email) {
    failUntilHeldBack(server, c, httplib::Headers{{"X-Forwarded-For", forwardedFor}}, email);
}

int connectFrom(int port, const char* source) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, source, &local.sin_addr);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// The first bytes the server sends on this connection.
std::string answerOn(int fd) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 10000) <= 0) return "<no answer>";
    char buf[1024];
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : "<closed>";
}

// Asks for health on a kept-alive connection.
std::string healthOn(int fd) {
    std::string ask = "GET /api/correct?action=health HTTP/1.1\r\nHost: q\r\n\r\n";
    if (send(fd, ask.data(), ask.size(), MSG_NOSIGNAL) != ssize_t(ask.size())) return "<send failed>";
    return answerOn(fd);
}

struct Sockets {
    std::vector<int> fds;
    ~Sockets() {
        for (int fd : fds) close(fd);
    }
};

TEST(TrustedProxy, OneForwardedClientsFailuresDoNotHoldBackAnother) {
    CloudTestServer server({"--http", "--trusted-proxy", "127.0.0.1"});
    ASSERT_EQ(control(server, "account", {{"email", "team@example.com"}, {"password", kPassword}}), 200);
    auto proxy = clientFrom(server, "127.0.0.1");
    // The proxy appends the address it received the request from; what the client wrote before
    // it names nobody.
    failUntilHeldBack(server, *proxy, "203.0.113.50, 198.51.100.7", "team@example.com");
    EXPECT_EQ(signIn(*proxy, "198.51.100.7", "team@example.com", kPassword).first, 429);
    // Through two proxies, both trusted: still the same client.
    EXPECT_EQ(signIn(*proxy, "198.51.100.7, 127.0.0.1", "team@example.com", kPassword).first, 429);
    // Colleagues behind the same proxy: a wrong password is just wrong, the right one signs in.
    EXPECT_EQ(signIn(*proxy, "198.51.100.8", "team@example.com", "wrong password!").first, 401);
    EXPECT_EQ(signIn(*proxy, "198.51.100.9", "team@example.com", kPassword).first, 200);
    EXPECT_EQ(signIn(*proxy, "2001:db8::9", "team@example.com", kPassword).first, 200);
}

TEST(TrustedProxy, AForgedHeaderFromAnyOtherPeerIsIgnored) {
    CloudTestServer server({"--http", "--trusted-proxy", "127.0.0.1"});
    ASSERT_EQ(control(server, "account", {{"email", "forged@example.com"}, {"password", kPassword}}), 200);
    auto stranger = clientFrom(server, "127.0.0.2");
    failUntilHeldBack(server, *stranger, "198.51.100.20", "forged@example.com");
    // A new address in the header does not make it a new client.
    EXPECT_EQ(signIn(*stranger, "198.51.100.21", "forged@example.com", kPassword).first, 429);
    EXPECT_EQ(signIn(*stranger, "", "forged@example.com", kPassword).first, 429);
    // Nor does a forwarded loopback address open the test controls to a proxied caller.
    auto proxy = clientFrom(server, "127.0.0.1");
    auto r = proxy->Post("/test/clock", {{"X-Quillo-Test-Control", "1"}, {"X-Forwarded-For", "198.51.100.30"}},
                         R"({"advanceSeconds":1})", "application/json");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 404);
}

TEST(TrustedProxy, HoldsMoreConnectionsThanOneAddressMay) {
    CloudTestServer server({"--http", "--max-connections-per-address", "3", "--trusted-proxy", "127.0.0.1"});
    Sockets open;
    for (int i = 0; i < 8; ++i) {
        int fd = connectFrom(server.port(), "127.0.0.1");
        ASSERT_GE(fd, 0);
        open.fds.push_back(fd);
        std::string answer = healthOn(fd);
        EXPECT_EQ(answer.rfind("HTTP/1.1 200", 0), 0u) << "proxy connection " << i << ": " << answer;
    }
    // Any other address keeps its bound.
    for (int i = 0; i < 3; ++i) {
        int fd = connectFrom(server.port(), "127.0.0.2");
        ASSERT_GE(fd, 0);
        open.fds.push_back(fd);
        EXPECT_EQ(healthOn(fd).rfind("HTTP/1.1 200", 0), 0u);
    }
    int extra = connectFrom(server.port(), "127.0.0.2");
    ASSERT_GE(extra, 0);
    open.fds.push_back(extra);
    std::string answer = answerOn(extra);
    EXPECT_NE(answer.find("too_many_connections"), std::string::npos) << answer;
}

TEST(TrustedProxy, BehindAProxyThatWritesForwardedItsForNodesNameTheClient) {
    CloudTestServer server({"--http", "--trusted-proxy", "127.0.0.1", "--trusted-proxy-header", "Forwarded"});
    ASSERT_EQ(control(server, "account", {{"email", "rfc@example.com"}, {"password", kPassword}}), 200);
    auto proxy = clientFrom(server, "127.0.0.1");
    auto forwarded = [](const std::string& value, const std::string& forwardedFor = {}) {
        httplib::Headers h{{"Forwarded", value}};
        if (!forwardedFor.empty()) h.emplace("X-Forwarded-For", forwardedFor);
        return h;
    };
    failUntilHeldBack(server, *proxy, forwarded(R"(for=203.0.113.50, for="[2001:db8::7]:4711";proto=https)"),
                      "rfc@example.com");
    EXPECT_EQ(signInWith(*proxy, forwarded(R"(For="[2001:DB8::7]")"), "rfc@example.com", kPassword).first, 429);
    // X-Forwarded-For is then the client's own to write: it names nobody.
    EXPECT_EQ(
        signInWith(*proxy, forwarded(R"(for="[2001:db8::7]")", "198.51.100.40"), "rfc@example.com", kPassword).first,
        429);
    // A colleague behind the same proxy signs in.
    EXPECT_EQ(signInWith(*proxy, forwarded("for=198.51.100.9"), "rfc@example.com", kPassword).first, 200);
    // The option takes only the two headers.
    FILE* p = popen(
        (cloudBinary() + " --port 0 --http --db /nonexistent/db --trusted-proxy-header X-Real-IP 2>&1").c_str(), "r");
    std::string out;
    char buf[512];
    while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    int status = pclose(p);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 2) << out;
}

TEST(TrustedProxy, ForwardedForNodesFollowTheSameRules) {
    TrustedProxies proxies;
    ASSERT_TRUE(proxies.add("10.0.0.2"));
    ASSERT_TRUE(proxies.add("2001:db8::2"));
    proxies.setHeader(quillo::cloud::ProxyHeader::forwarded);
    EXPECT_EQ(proxies.clientAddress("192.0.2.1", {"for=198.51.100.1"}), "192.0.2.1");
    EXPECT_EQ(proxies.clientAddress("10.0.0.2", {"for=6.6.6.6, for=198.51.100.1;proto=https;by=10.0.0.2"}),
              "198.51.100.1");
    EXPECT_EQ(proxies.clientAddress("10.0.0.2", {R"(FOR="[2001:db8:cafe::17]:4711")"}), "2001:db8:cafe::17");
    // Repeated headers, ports, quoted IPv4 and a trusted proxy's own node.
    EXPECT_EQ(proxies.clientAddress("10.0.0.2",
                                    {"for=6.6.6.6", R"(proto=http;for="198.51.100.1:4711", for="[2001:db8::2]")"}),
              "198.51.100.1");
    // A trusted proxy names an unknown or obfuscated node, or none: nothing to its left is believed.
    EXPECT_EQ(proxies.clientAddress("10.0.0.2", {"for=198.51.100.1, for=unknown"}), "10.0.0.2");
    EXPECT_EQ(proxies.clientAddress("10.0.0.2", {"for=198.51.100.1, for=_hidden"}), "10.0.0.2");
    EXPECT_EQ(proxies.clientAddress("10.0.0.2", {"for=198.51.100.1, proto=https"}), "10.0.0.2");
    // A quote the client left open does not swallow what the proxy appended after it.
    EXPECT_EQ(proxies.clientAddress("10.0.0.2", {R"(for="6.6.6.6, for=198.51.100.1)"}), "198.51.100.1");
    // An X-Forwarded-For list is not a Forwarded header, nor the other way round.
    EXPECT_EQ(proxies.clientAddress("10.0.0.2", {"198.51.100.1"}), "10.0.0.2");
    TrustedProxies xff;
    ASSERT_TRUE(xff.add("10.0.0.2"));
    EXPECT_EQ(xff.clientAddress("10.0.0.2", {"for=198.51.100.1"}), "10.0.0.2");
}

TEST(TrustedProxy, TheClientIsTheRightMostAddressNoTrustedProxyWrote) {
    TrustedProxies proxies;
    ASSERT_TRUE(proxies.add("10.0.0.2"));
    ASSERT_TRUE(proxies.add("2001:db8::2"));
    // Any other peer: its own address, whatever it sends.
    EXPECT_EQ(proxies.clientAddress("192.0.2.1", {"198.51.100.1"}), "192.0.2.1");
    EXPECT_EQ(proxies.clientAddress("::ffff:192.0.2.1", {}), "192.0.2.1");
    // A trusted proxy: the right-most untrusted entry, across repeated headers, ports and brackets.
    EXPECT_EQ(proxies.clientAddress("10.0.0.2", {"6.6.6.6, 198.51.100.1"}), "198.51.100.1");
    EXPECT_EQ(proxies.clientAddress("::ffff:10.0.0.2", {"6.6.6.6", "198.51.100.1:4711, 2001:db8::2"}), "198.51.100.1");
    EXPECT_EQ(proxies.clientAddress("2001:db8:0::2", {"[2001:DB8::7]:443"}), "2001:db8::7");
    EXPECT_EQ(proxies.clientAddress("10.0.0.2", {"::ffff:198.51.100.3"}), "198.51.100.3");
    // No header, an empty one, or only proxies: the nearest hop there is.
    EXPECT_EQ(proxies.clientAddress("10.0.0.2", {}), "10.0.0.2");
    EXPECT_EQ(proxies.clientAddress("10.0.0.2", {" , "}), "10.0.0.2");
    EXPECT_EQ(proxies.clientAddress("10.0.0.2", {"2001:db8::2"}), "2001:db8::2");
    // A proxy wrote something that is no address: nothing to its left is believed.
    EXPECT_EQ(proxies.clientAddress("10.0.0.2", {"198.51.100.1, unknown, 2001:db8::2"}), "2001:db8::2");
    EXPECT_EQ(proxies.clientAddress("10.0.0.2", {"198.51.100.1 evil"}), "10.0.0.2");
    // Loopback is a word for all of it; host names, ports and ranges are refused.
    EXPECT_FALSE(proxies.trusts("127.0.0.9"));
    ASSERT_TRUE(proxies.add("loopback"));
    EXPECT_TRUE(proxies.trusts("127.0.0.9"));
    EXPECT_TRUE(proxies.trusts("::1"));
    for (const char* bad : {"proxy.example.com", "10.0.0.1:80", "[::1]", "10.0.0.0/8", "", "10.0.0"})
        EXPECT_FALSE(TrustedProxies().add(bad)) << bad;
    FILE* p = popen(
        (cloudBinary() + " --port 0 --http --db /nonexistent/db --trusted-proxy proxy.example.com 2>&1").c_str(), "r");
    std::string out;
    char buf[512];
    while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    int status = pclose(p);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 2);
    EXPECT_NE(out.find("--trusted-proxy takes loopback or an IP address"), std::string::npos) << out;
}

} // namespace
