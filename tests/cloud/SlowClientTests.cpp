// Clients that send slowly, never finish, idle or declare more than the server takes: on the
// plain-HTTP face (behind a TLS-terminating proxy) none of them holds a worker, so that every
// other request is still answered.
#include "CloudTestServer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

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
