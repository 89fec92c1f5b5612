#pragma once
// The server's face, plain HTTP (behind a TLS-terminating proxy) or TLS: one event thread does
// the handshakes and reads every request whole, under deadlines, before a worker sees it, so that
// slow or idle clients hold a socket and some memory, never a worker. cpp-httplib then parses and
// routes the buffered request and writes the answer on a worker.
#include "TrustedProxies.h"

#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quillo::cloud {

struct GateLimits {
    size_t maxBodyBytes = size_t{256} * 1024;
    size_t maxHeaderBytes = size_t{16} * 1024;
    int requestSeconds = 10;  // from a request's first byte to its last
    int idleSeconds = 15;     // a kept-alive connection waiting for its next request
    int perAddress = 64;      // open connections of one client address
    TrustedProxies proxies;   // their own connections are unbounded: they bound their clients
    int workers = 16;
};

class GateTlsContext;

class GatedHttpServer : public httplib::Server {
public:
    // With a TLS context every connection speaks TLS; without one, plain HTTP.
    explicit GatedHttpServer(GateLimits limits, std::unique_ptr<GateTlsContext> tls = nullptr);
    ~GatedHttpServer() override;
    GatedHttpServer(const GatedHttpServer &) = delete;
    GatedHttpServer &operator=(const GatedHttpServer &) = delete;

    // After the accept loop ended: closes every connection and ends the threads.
    void shutdownGate();

    struct Connection;

private:
    bool process_and_close_socket(socket_t sock) override;  // on the accept thread: admission
    void eventLoop();
    void workerLoop();
    void watch(const std::shared_ptr<Connection> &c);
    void readable(const std::shared_ptr<Connection> &c);
    void refuse(const std::shared_ptr<Connection> &c, int status, const char *reason);
    void release(const std::shared_ptr<Connection> &c);
    void serve(const std::shared_ptr<Connection> &c);
    void listenFor(const std::shared_ptr<Connection> &c, bool write);

    GateLimits limits_;
    std::unique_ptr<GateTlsContext> tls_;
    int epoll_ = -1;
    int wake_ = -1;  // eventfd: stop
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::map<int, std::shared_ptr<Connection>> watched_;  // fd -> connection, in the event thread
    std::map<std::string, int> perAddress_;
    int liveConnectionsFrom(const std::string &address) const;  // under mutex_
    std::deque<std::shared_ptr<Connection>> ready_;
    std::condition_variable readyWake_;
    std::thread events_;
    std::vector<std::thread> workers_;
};

}  // namespace quillo::cloud
