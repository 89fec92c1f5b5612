// Clients that send slowly, never finish, idle or declare more than the server takes: on the
// plain-HTTP face (behind a TLS-terminating proxy) and on the TLS face none of them holds a worker,
// so that every other request is still answered.
#include "CloudTestServer.h"

#include <gtest/gtest.h>

#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>

using namespace cloudtest;

namespace {

int connectTo(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void sendText(int fd, const std::string& s) {
    ASSERT_EQ(send(fd, s.data(), s.size(), MSG_NOSIGNAL), ssize_t(s.size()));
}

// What the server sends until it closes the connection, or until the deadline.
std::string readUntilClosed(int fd, int deadlineMs) {
    std::string out;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
    for (;;) {
        int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count());
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, left) <= 0) return out + "<open>";
        char buf[4096];
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) return out;
        out.append(buf, static_cast<size_t>(n));
    }
}

struct Sockets {
    std::vector<int> fds;
    ~Sockets() {
        for (int fd : fds) close(fd);
    }
};

httplib::Result health(int port) {
    httplib::Client c("127.0.0.1", port);
    c.set_connection_timeout(5, 0);
    c.set_read_timeout(5, 0);
    return c.Get("/api/correct?action=health");
}

httplib::Result healthOverTls(const CloudTestServer& server) {
    auto c = server.client();
    c->set_connection_timeout(5, 0);
    c->set_read_timeout(5, 0);
    return c->Get("/api/correct?action=health");
}

// A TLS client that writes what it likes, when it likes, as an attacker's would.
class TlsConnection {
public:
    // handshake false: only the TCP connection.
    TlsConnection(int port, bool handshake) : ctx_(SSL_CTX_new(TLS_client_method())), fd_(connectTo(port)) {
        // OpenSSL writes with write(): a connection the server closed must not end the test.
        std::signal(SIGPIPE, SIG_IGN);
        if (fd_ < 0 || !handshake) return;
        ssl_ = SSL_new(ctx_);
        SSL_set_fd(ssl_, fd_);
        if (SSL_connect(ssl_) != 1) {
            SSL_free(ssl_);
            ssl_ = nullptr;
        }
    }
    ~TlsConnection() {
        if (ssl_) SSL_free(ssl_);
        if (fd_ >= 0) close(fd_);
        SSL_CTX_free(ctx_);
    }
    TlsConnection(const TlsConnection&) = delete;
    TlsConnection& operator=(const TlsConnection&) = delete;

    int fd() const { return fd_; }
    bool secured() const { return ssl_ != nullptr; }
    void send(const std::string& s) {
        ASSERT_TRUE(ssl_);
        ASSERT_EQ(SSL_write(ssl_, s.data(), static_cast<int>(s.size())), static_cast<int>(s.size()));
    }
    // What the server sends until it closes the connection, or until the deadline.
    std::string readUntilClosed(int deadlineMs) {
        std::string out;
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
        for (;;) {
            int left = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count());
            pollfd p{fd_, POLLIN, 0};
            if (SSL_pending(ssl_) == 0 && (left <= 0 || poll(&p, 1, left) <= 0)) return out + "<open>";
            char buf[4096];
            int n = SSL_read(ssl_, buf, sizeof buf);
            if (n <= 0) return out;
            out.append(buf, static_cast<size_t>(n));
        }
    }

private:
    SSL_CTX* ctx_;
    int fd_;
    SSL* ssl_ = nullptr;
};

TEST(SlowClients, HealthIsAnsweredWhileManyConnectionsDripTheirRequests) {
    CloudTestServer server({"--http", "--threads", "4"});
    Sockets open;
    for (int i = 0; i < 40; ++i) {
        int fd = connectTo(server.port());
        ASSERT_GE(fd, 0);
        open.fds.push_back(fd);
        switch (i % 4) {
        case 0:
            sendText(fd, "POST /api/correct HTTP/1.1\r\nHost: q\r\nContent-Type: application/json\r\n"
                         "Content-Length: 200000\r\n\r\n{\"te");
            break;
        case 1: sendText(fd, "POST /api/auth HTTP/1.1\r\nHost: q\r\nContent-Length: 20\r\n\r\n{\"a"); break;
        case 2: sendText(fd, "GET /api/correct?action=health HTTP/1.1\r\nHost: q\r\nX-Slow: "); break;
        default: break; // connected, silent
        }
    }
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 3; ++i) {
        auto r = health(server.port());
        ASSERT_TRUE(r) << "health got no answer while slow clients were connected";
        EXPECT_EQ(r->status, 200);
    }
    RecordProperty(
        "healthMilliseconds",
        static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count()));
}

TEST(SlowClients, KeptAliveIdleConnectionsHoldNoWorker) {
    CloudTestServer server({"--http", "--threads", "2"});
    Sockets open;
    for (int i = 0; i < 12; ++i) {
        int fd = connectTo(server.port());
        open.fds.push_back(fd);
        sendText(fd, "GET /api/correct?action=health HTTP/1.1\r\nHost: q\r\n\r\n");
        char buf[1024];
        pollfd p{fd, POLLIN, 0};
        ASSERT_GT(poll(&p, 1, 10000), 0);
        ASSERT_GT(recv(fd, buf, sizeof buf, 0), 0); // answered; the connection stays open, idle
    }
    auto r = health(server.port());
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
}

TEST(SlowClients, AnOversizedOrUnboundedBodyIsRefusedAtOnce) {
    CloudTestServer server({"--http"});
    // A declared body beyond --max-body: 413 without waiting for (or draining) it, then closed.
    int fd = connectTo(server.port());
    sendText(fd, "POST /api/correct HTTP/1.1\r\nHost: q\r\nContent-Type: application/json\r\n"
                 "Content-Length: 50000000\r\n\r\n{\"text\":\"");
    std::string answer = readUntilClosed(fd, 10000);
    close(fd);
    EXPECT_EQ(answer.rfind("HTTP/1.1 413", 0), 0u) << answer;
    EXPECT_NE(answer.find("payload_too_large"), std::string::npos) << answer;
    EXPECT_EQ(answer.find("<open>"), std::string::npos) << "the connection stayed open";
    // A body without a declared length (chunked, or none on a POST) could be endless.
    fd = connectTo(server.port());
    sendText(fd, "POST /api/auth HTTP/1.1\r\nHost: q\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n");
    answer = readUntilClosed(fd, 10000);
    close(fd);
    EXPECT_EQ(answer.rfind("HTTP/1.1 411", 0), 0u) << answer;
    fd = connectTo(server.port());
    sendText(fd, "POST /api/auth HTTP/1.1\r\nHost: q\r\n\r\n{\"action\":");
    answer = readUntilClosed(fd, 10000);
    close(fd);
    EXPECT_EQ(answer.rfind("HTTP/1.1 411", 0), 0u) << answer;
}

TEST(SlowClients, ARequestMustArriveWithinItsDeadline) {
    CloudTestServer server({"--http", "--request-timeout", "1"});
    int fd = connectTo(server.port());
    sendText(fd, "POST /api/auth HTTP/1.1\r\nHost: q\r\nContent-Length: 30\r\n\r\n{\"act");
    std::string answer = readUntilClosed(fd, 15000);
    close(fd);
    EXPECT_EQ(answer.rfind("HTTP/1.1 408", 0), 0u) << answer;
}

TEST(SlowClients, OneAddressHoldsABoundedNumberOfConnections) {
    CloudTestServer server({"--http", "--max-connections-per-address", "5"});
    Sockets open;
    for (int i = 0; i < 5; ++i) open.fds.push_back(connectTo(server.port()));
    int extra = connectTo(server.port());
    std::string answer = readUntilClosed(extra, 10000);
    close(extra);
    EXPECT_EQ(answer.rfind("HTTP/1.1 503", 0), 0u) << answer;
    EXPECT_NE(answer.find("too_many_connections"), std::string::npos);
    close(open.fds.back());
    open.fds.pop_back();
    // The freed place is taken again once the server has seen the close.
    bool answered = false;
    for (int i = 0; i < 100 && !answered; ++i) {
        auto r = health(server.port());
        answered = r && r->status == 200;
        if (!answered) usleep(50000);
    }
    EXPECT_TRUE(answered);
}

} // namespace

namespace {

// The TLS face, exposed directly: handshakes that never finish and requests that trickle in
// through finished ones hold no worker either.
TEST(SlowClients, HealthIsAnsweredOverTlsWhileManyConnectionsDripTheirHandshakesAndRequests) {
    CloudTestServer server({"--threads", "4"});
    std::vector<std::unique_ptr<TlsConnection>> open;
    for (int i = 0; i < 40; ++i) {
        bool handshake = i % 5 < 4;
        auto& c = open.emplace_back(std::make_unique<TlsConnection>(server.port(), handshake));
        ASSERT_GE(c->fd(), 0);
        if (handshake) {
            ASSERT_TRUE(c->secured()) << "handshake " << i << " failed";
        }
        switch (i % 5) {
        case 0:
            c->send("POST /api/correct HTTP/1.1\r\nHost: q\r\nContent-Type: application/json\r\n"
                    "Content-Length: 200000\r\n\r\n{\"te");
            break;
        case 1: c->send("POST /api/auth HTTP/1.1\r\nHost: q\r\nContent-Length: 20\r\n\r\n{\"a"); break;
        case 2: c->send("GET /api/correct?action=health HTTP/1.1\r\nHost: q\r\nX-Slow: "); break;
        case 3: break; // secured, silent
        default:
            // The first bytes of a ClientHello, and no more.
            if (i % 10 == 4) sendText(c->fd(), std::string("\x16\x03\x01\x02\x00\x01\x00", 7));
            break;
        }
    }
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 3; ++i) {
        auto r = healthOverTls(server);
        ASSERT_TRUE(r) << "health got no answer over TLS while slow clients were connected";
        EXPECT_EQ(r->status, 200);
    }
    RecordProperty(
        "healthMilliseconds",
        static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count()));
}

TEST(SlowClients, OverTlsTheSameLimitsHold) {
    CloudTestServer server({"--request-timeout", "1", "--max-connections-per-address", "4"});
    {
        // An oversized declared body: 413 at once, then closed.
        TlsConnection c(server.port(), true);
        ASSERT_TRUE(c.secured());
        c.send("POST /api/correct HTTP/1.1\r\nHost: q\r\nContent-Type: application/json\r\n"
               "Content-Length: 50000000\r\n\r\n{\"text\":\"");
        std::string answer = c.readUntilClosed(10000);
        EXPECT_EQ(answer.rfind("HTTP/1.1 413", 0), 0u) << answer;
        EXPECT_EQ(answer.find("<open>"), std::string::npos) << "the connection stayed open";
    }
    {
        // A request that does not arrive within its deadline: 408.
        TlsConnection c(server.port(), true);
        ASSERT_TRUE(c.secured());
        c.send("POST /api/auth HTTP/1.1\r\nHost: q\r\nContent-Length: 30\r\n\r\n{\"act");
        std::string answer = c.readUntilClosed(15000);
        EXPECT_EQ(answer.rfind("HTTP/1.1 408", 0), 0u) << answer;
    }
    {
        // A handshake that never finishes is closed at the same deadline.
        TlsConnection c(server.port(), false);
        sendText(c.fd(), std::string("\x16\x03\x01\x02\x00\x01\x00", 7));
        EXPECT_EQ(readUntilClosed(c.fd(), 15000).find("<open>"), std::string::npos) << "the handshake stayed open";
    }
    {
        // One address holds a bounded number of connections; the next is closed unanswered.
        std::vector<std::unique_ptr<TlsConnection>> held;
        for (int i = 0; i < 4; ++i) held.push_back(std::make_unique<TlsConnection>(server.port(), false));
        TlsConnection extra(server.port(), true);
        EXPECT_FALSE(extra.secured());
    }
    auto r = healthOverTls(server);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
}

} // namespace
