#include "RequestGate.h"

#include "GateTls.h"
#include "Log.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <utility>

namespace quillo::cloud {

using Clock = std::chrono::steady_clock;

struct GatedHttpServer::Connection {
    enum class State { waiting, reading, working, closing };
    int fd = -1;
    std::string address;
    std::string buffer;  // received and not yet served
    size_t needed = 0;   // bytes of the current request once its headers are in; 0 before
    bool continued = false;
    bool counted = false;  // against its address's bound
    State state = State::waiting;
    Clock::time_point deadline;
    SSL *tls = nullptr;       // null on the plain-HTTP face
    bool tlsBroken = false;   // a failed session gets no close_notify
    bool wantsWrite = false;  // its handshake waits for the socket to take more

    Connection() = default;
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    Connection(Connection &&) = delete;
    Connection &operator=(Connection &&) = delete;
    ~Connection()
    {
        if (tls) SSL_free(tls);
    }
};

namespace {

// Runs each accepted socket's admission on the accept thread itself; the gate does the rest.
class InlineQueue : public httplib::TaskQueue {
public:
    void enqueue(std::function<void()> fn) override { fn(); }
    void shutdown() override {}
};

std::string peerAddress(int fd)
{
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    if (getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &length) != 0) return {};
    char text[INET6_ADDRSTRLEN] = {};
    if (peer.ss_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in &>(peer).sin_addr, text, sizeof text);
    else if (peer.ss_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6 &>(peer).sin6_addr, text, sizeof text);
    return text;
}

void endpoint(int fd, bool peer, std::string &ip, int &port)
{
    sockaddr_storage a{};
    socklen_t length = sizeof a;
    if ((peer ? getpeername(fd, reinterpret_cast<sockaddr *>(&a), &length)
              : getsockname(fd, reinterpret_cast<sockaddr *>(&a), &length)) != 0)
        return;
    char text[INET6_ADDRSTRLEN] = {};
    if (a.ss_family == AF_INET) {
        auto &in = reinterpret_cast<sockaddr_in &>(a);
        inet_ntop(AF_INET, &in.sin_addr, text, sizeof text);
        port = ntohs(in.sin_port);
    } else if (a.ss_family == AF_INET6) {
        auto &in6 = reinterpret_cast<sockaddr_in6 &>(a);
        inet_ntop(AF_INET6, &in6.sin6_addr, text, sizeof text);
        port = ntohs(in6.sin6_port);
    }
    ip = text;
}

bool sendAll(int fd, const char *data, size_t size, int timeoutMs)
{
    while (size > 0) {
        ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n > 0) {
            data += n;
            size -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd, POLLOUT, 0};
            if (timeoutMs <= 0 || poll(&p, 1, timeoutMs) <= 0) return false;
            continue;
        }
        return false;
    }
    return true;
}

using Connection = GatedHttpServer::Connection;

bool sendOn(Connection &c, const char *data, size_t size, int timeoutMs)
{
    if (!c.tls) return sendAll(c.fd, data, size, timeoutMs);
    if (tlsSendAll(c.tls, data, size, timeoutMs)) return true;
    c.tlsBroken = true;  // a record may be half written
    return false;
}

enum class Received { data, wantRead, wantWrite, closed };

// One non-blocking read: request bytes, or why there are none now.
Received receive(Connection &c, char *chunk, size_t size, size_t &count)
{
    // A refused connection is only drained: its TLS session has said its last.
    if (c.tls && c.state != Connection::State::closing) {
        switch (tlsReceive(c.tls, chunk, size, count, c.tlsBroken)) {
        case TlsRead::data: return Received::data;
        case TlsRead::wantRead: return Received::wantRead;
        case TlsRead::wantWrite: return Received::wantWrite;
        case TlsRead::closed: return Received::closed;
        }
    }
    for (;;) {
        ssize_t n = ::recv(c.fd, chunk, size, 0);
        if (n > 0) {
            count = static_cast<size_t>(n);
            return Received::data;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return Received::wantRead;
        return Received::closed;
    }
}

// Bytes already taken from the socket that its readiness no longer tells of.
bool holdsUnread(const Connection &c) { return !c.buffer.empty() || (c.tls && tlsHasBuffered(c.tls)); }

// The whole request is in memory: reads never wait; writes wait for the client a while.
class BufferedStream : public httplib::Stream {
public:
    explicit BufferedStream(Connection &c) : c_(c) {}
    bool is_readable() const override { return consumed < c_.buffer.size(); }
    bool is_writable() const override { return true; }
    ssize_t read(char *ptr, size_t size) override
    {
        size_t n = std::min(size, c_.buffer.size() - consumed);
        std::copy_n(c_.buffer.data() + consumed, n, ptr);
        consumed += n;
        return static_cast<ssize_t>(n);
    }
    ssize_t write(const char *ptr, size_t size) override
    {
        return sendOn(c_, ptr, size, 15000) ? static_cast<ssize_t>(size) : -1;
    }
    void get_remote_ip_and_port(std::string &ip, int &port) const override { endpoint(c_.fd, true, ip, port); }
    void get_local_ip_and_port(std::string &ip, int &port) const override { endpoint(c_.fd, false, ip, port); }
    socket_t socket() const override { return c_.fd; }

    size_t consumed = 0;

private:
    Connection &c_;
};

std::string lower(std::string s)
{
    for (auto &ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return s;
}

}  // namespace

GatedHttpServer::GatedHttpServer(GateLimits limits, std::unique_ptr<GateTlsContext> tls)
    : limits_(std::move(limits)), tls_(std::move(tls))
{
    new_task_queue = [] { return new InlineQueue; };
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (epoll_ < 0 || wake_ < 0) throw std::runtime_error("the connection gate cannot start");
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.fd = wake_;
    epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &ev);
    events_ = std::thread([this] { eventLoop(); });
    for (int i = 0; i < limits_.workers; ++i) workers_.emplace_back([this] { workerLoop(); });
}

GatedHttpServer::~GatedHttpServer()
{
    shutdownGate();
    ::close(epoll_);
    ::close(wake_);
}

void GatedHttpServer::shutdownGate()
{
    // Under the workers' mutex: a worker between its check and its wait would miss the wake-up
    // and its join would never return (seen as a server hanging on SIGTERM right after start).
    {
        std::lock_guard lock(mutex_);
        if (stopping_.exchange(true)) return;
    }
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_, &one, sizeof one);
    readyWake_.notify_all();
    if (events_.joinable()) events_.join();
    for (auto &w : workers_)
        if (w.joinable()) w.join();
    std::lock_guard lock(mutex_);
    for (auto &[fd, c] : watched_) ::close(fd);
    watched_.clear();
    for (auto &c : ready_) ::close(c->fd);
    ready_.clear();
}

bool GatedHttpServer::process_and_close_socket(socket_t sock)
{
    fcntl(sock, F_SETFL, fcntl(sock, F_GETFL) | O_NONBLOCK);
    int one = 1;
    setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    auto c = std::make_shared<Connection>();
    c->fd = sock;
    c->address = peerAddress(sock);
    c->deadline = Clock::now() + std::chrono::seconds(limits_.requestSeconds);
    c->counted = !limits_.proxies.trusts(c->address);
    if (tls_) {
        c->tls = tls_->accept(sock);
        if (!c->tls) {
            ::close(sock);
            return true;
        }
    }
    {
        std::lock_guard lock(mutex_);
        int unbounded = 0;
        int &open = c->counted ? perAddress_[c->address] : unbounded;
        if (stopping_ || (open >= limits_.perAddress && liveConnectionsFrom(c->address) >= limits_.perAddress)) {
            if (c->counted && open == 0) perAddress_.erase(c->address);
            static const std::string busy = "HTTP/1.1 503 Service Unavailable\r\nContent-Type: application/json\r\n"
                                            "Retry-After: 1\r\nContent-Length: 32\r\nConnection: close\r\n\r\n"
                                            "{\"error\":\"too_many_connections\"}";
            // Over TLS an answer would first cost a handshake: the connection is only closed.
            if (!tls_) sendAll(sock, busy.data(), busy.size(), 0);
            ::close(sock);
            log::warn("connection_refused", {{"reason", "per_address_limit"}});
            return true;
        }
        ++open;
        watched_[sock] = c;
    }
    epoll_event ev{};
    ev.events = EPOLLIN | EPOLLRDHUP;
    ev.data.fd = sock;
    epoll_ctl(epoll_, EPOLL_CTL_ADD, sock, &ev);
    return true;
}

// A client that closes and at once reconnects must not be refused because the event thread
// has not yet seen the close: connections whose peer has hung up do not count.
int GatedHttpServer::liveConnectionsFrom(const std::string &address) const
{
    int watched = 0, hungUp = 0;
    for (const auto &[fd, c] : watched_) {
        if (c->address != address) continue;
        ++watched;
        pollfd p{fd, POLLRDHUP, 0};
        if (::poll(&p, 1, 0) == 1 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR))) ++hungUp;
    }
    // Connections with a worker are counted but not watched; they are alive.
    auto it = perAddress_.find(address);
    int counted = it == perAddress_.end() ? 0 : it->second;
    return std::max(counted, watched) - hungUp;
}

void GatedHttpServer::release(const std::shared_ptr<Connection> &c)
{
    {
        std::lock_guard lock(mutex_);
        if (watched_.erase(c->fd) == 0 && c->state != Connection::State::working) return;
        auto it = c->counted ? perAddress_.find(c->address) : perAddress_.end();
        if (it != perAddress_.end() && --it->second <= 0) perAddress_.erase(it);
    }
    epoll_ctl(epoll_, EPOLL_CTL_DEL, c->fd, nullptr);
    if (c->tls && !c->tlsBroken && c->state != Connection::State::closing && SSL_is_init_finished(c->tls))
        SSL_shutdown(c->tls);  // close_notify, without waiting for the peer's
    ::close(c->fd);
    c->fd = -1;
    if (c->tls) SSL_free(std::exchange(c->tls, nullptr));
}

void GatedHttpServer::listenFor(const std::shared_ptr<Connection> &c, bool write)
{
    if (c->wantsWrite == write) return;
    c->wantsWrite = write;
    epoll_event ev{};
    ev.events = EPOLLIN | EPOLLRDHUP | (write ? EPOLLOUT : 0U);
    ev.data.fd = c->fd;
    epoll_ctl(epoll_, EPOLL_CTL_MOD, c->fd, &ev);
}

void GatedHttpServer::refuse(const std::shared_ptr<Connection> &c, int status, const char *reason)
{
    static const std::map<int, std::pair<const char *, const char *>> texts = {
        {408, {"Request Timeout", "request_timeout"}},
        {411, {"Length Required", "length_required"}},
        {413, {"Payload Too Large", "payload_too_large"}},
        {431, {"Request Header Fields Too Large", "headers_too_large"}}};
    auto [title, code] = texts.at(status);
    std::string body = std::string("{\"error\":\"") + code + "\"}";
    std::string answer = "HTTP/1.1 " + std::to_string(status) + " " + title +
                         "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
                         "\r\nConnection: close\r\n\r\n" + body;
    sendOn(*c, answer.data(), answer.size(), 0);
    if (c->tls && !c->tlsBroken) SSL_shutdown(c->tls);
    // Half-close and drain a moment, so that the answer is read before the connection goes.
    ::shutdown(c->fd, SHUT_WR);
    c->state = Connection::State::closing;
    c->buffer.clear();
    c->deadline = Clock::now() + std::chrono::seconds(2);
    log::warn("request_refused", {{"status", status}, {"reason", reason}});
}

void GatedHttpServer::readable(const std::shared_ptr<Connection> &c)
{
    char chunk[16384];
    for (;;) {
        if (c->state == Connection::State::reading || c->state == Connection::State::waiting) {
            if (c->needed == 0) {
                size_t end = c->buffer.find("\r\n\r\n");
                if (end == std::string::npos) {
                    if (c->buffer.size() > limits_.maxHeaderBytes) return refuse(c, 431, "headers_too_large");
                } else if (end + 4 > limits_.maxHeaderBytes) {
                    return refuse(c, 431, "headers_too_large");
                } else {
                    std::string head = c->buffer.substr(0, end + 2);
                    std::string method = head.substr(0, head.find(' '));
                    long long length = -1;
                    bool expectContinue = false, chunked = false;
                    for (size_t line = head.find("\r\n") + 2; line < head.size();) {
                        size_t next = head.find("\r\n", line);
                        std::string field = head.substr(line, next - line);
                        line = next + 2;
                        size_t colon = field.find(':');
                        if (colon == std::string::npos) continue;
                        std::string name = lower(field.substr(0, colon));
                        std::string value = field.substr(colon + 1);
                        value.erase(0, value.find_first_not_of(" \t"));
                        value.erase(value.find_last_not_of(" \t") + 1);
                        if (name == "content-length") {
                            if (value.empty() || value.size() > 18 ||
                                value.find_first_not_of("0123456789") != std::string::npos ||
                                (length >= 0 && std::stoll(value) != length))
                                return refuse(c, 411, "bad_content_length");
                            length = std::stoll(value);
                        } else if (name == "transfer-encoding") {
                            chunked = true;
                        } else if (name == "expect") {
                            expectContinue = lower(value) == "100-continue";
                        }
                    }
                    // A body of unknown length could be endless: only declared lengths are read.
                    if (chunked) return refuse(c, 411, "transfer_encoding");
                    if (length > static_cast<long long>(limits_.maxBodyBytes))
                        return refuse(c, 413, "payload_too_large");
                    if (length < 0 && (method == "POST" || method == "PUT" || method == "PATCH"))
                        return refuse(c, 411, "length_missing");
                    c->needed = end + 4 + static_cast<size_t>(std::max(length, 0LL));
                    if (expectContinue && c->buffer.size() < c->needed && !c->continued) {
                        c->continued = true;
                        static const char *cont = "HTTP/1.1 100 Continue\r\n\r\n";
                        sendOn(*c, cont, 25, 0);
                    }
                }
            }
            if (c->needed > 0 && c->buffer.size() >= c->needed) {
                epoll_ctl(epoll_, EPOLL_CTL_DEL, c->fd, nullptr);
                {
                    std::lock_guard lock(mutex_);
                    watched_.erase(c->fd);
                    c->state = Connection::State::working;
                    ready_.push_back(c);
                }
                readyWake_.notify_one();
                return;
            }
        }
        size_t n = 0;
        Received got = receive(*c, chunk, sizeof chunk, n);
        if (got == Received::closed) return release(c);
        if (got != Received::data) return listenFor(c, got == Received::wantWrite);  // drained for now
        if (c->state == Connection::State::closing) continue;
        if (c->state == Connection::State::waiting) {
            c->state = Connection::State::reading;
            c->deadline = Clock::now() + std::chrono::seconds(limits_.requestSeconds);
        }
        c->buffer.append(chunk, n);
    }
}

void GatedHttpServer::watch(const std::shared_ptr<Connection> &c)
{
    // Read before the event thread owns the connection again.
    bool pending = holdsUnread(*c);
    c->wantsWrite = false;
    {
        std::lock_guard lock(mutex_);
        if (stopping_) {
            ::close(c->fd);
            return;
        }
        watched_[c->fd] = c;
    }
    epoll_event ev{};
    ev.events = EPOLLIN | EPOLLRDHUP;
    ev.data.fd = c->fd;
    epoll_ctl(epoll_, EPOLL_CTL_ADD, c->fd, &ev);
    // A pipelined request may already be whole: the event thread looks at it on the next turn.
    if (pending) {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(wake_, &one, sizeof one);
    }
}

void GatedHttpServer::eventLoop()
{
    epoll_event events[64];
    while (!stopping_) {
        int n = epoll_wait(epoll_, events, 64, 200);
        std::vector<std::shared_ptr<Connection>> due;
        for (int i = 0; i < n; ++i) {
            if (events[i].data.fd == wake_) {
                uint64_t count = 0;
                [[maybe_unused]] ssize_t r = ::read(wake_, &count, sizeof count);
                std::lock_guard lock(mutex_);
                for (auto &[fd, c] : watched_)
                    if (holdsUnread(*c) && c->state != Connection::State::closing) due.push_back(c);
                continue;
            }
            std::shared_ptr<Connection> c;
            {
                std::lock_guard lock(mutex_);
                auto it = watched_.find(events[i].data.fd);
                if (it != watched_.end()) c = it->second;
            }
            if (c) readable(c);
        }
        for (auto &c : due)
            if (c->fd >= 0 && c->state != Connection::State::working) readable(c);
        // Deadlines: an idle connection goes quietly, an unfinished request with a 408.
        auto now = Clock::now();
        std::vector<std::shared_ptr<Connection>> expired;
        {
            std::lock_guard lock(mutex_);
            for (auto &[fd, c] : watched_)
                if (c->deadline <= now) expired.push_back(c);
        }
        for (auto &c : expired) {
            if (c->state == Connection::State::reading) refuse(c, 408, "request_deadline");
            else release(c);
        }
    }
}

void GatedHttpServer::workerLoop()
{
    for (;;) {
        std::shared_ptr<Connection> c;
        {
            std::unique_lock lock(mutex_);
            readyWake_.wait(lock, [&] { return stopping_ || !ready_.empty(); });
            if (stopping_) return;
            c = ready_.front();
            ready_.pop_front();
        }
        serve(c);
    }
}

void GatedHttpServer::serve(const std::shared_ptr<Connection> &c)
{
    BufferedStream stream(*c);
    bool closed = false;
    bool ok = process_request(stream, false, closed, [&](httplib::Request &req) { req.ssl = c->tls; });
    c->buffer.erase(0, stream.consumed);
    if (!ok || closed || stopping_) return release(c);
    // Kept alive: back to the event thread, holding no worker while it waits.
    c->needed = 0;
    c->continued = false;
    c->state = c->buffer.empty() ? Connection::State::waiting : Connection::State::reading;
    c->deadline = Clock::now() + std::chrono::seconds(c->buffer.empty() ? limits_.idleSeconds : limits_.requestSeconds);
    watch(c);
}

}  // namespace quillo::cloud
