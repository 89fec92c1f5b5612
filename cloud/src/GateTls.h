#pragma once
// TLS for the gate's connections: the server's context, restricted to forward-secret
// authenticated suites, and non-blocking record I/O, so that a handshake or a request that
// trickles in holds the event thread no longer than the bytes it has sent.
#include <openssl/ssl.h>

#include <cstddef>
#include <string>
#include <sys/types.h>

namespace quillo::cloud {

class GateTlsContext {
public:
    // Throws when the certificate chain or the key cannot be loaded or do not match.
    GateTlsContext(const std::string &certFile, const std::string &keyFile);
    ~GateTlsContext();
    GateTlsContext(const GateTlsContext &) = delete;
    GateTlsContext &operator=(const GateTlsContext &) = delete;

    // A server-side session on a non-blocking socket; its handshake runs as its first reads do.
    SSL *accept(int fd) const;

private:
    SSL_CTX *ctx_ = nullptr;
};

enum class TlsRead { data, wantRead, wantWrite, closed };

// One non-blocking read of application data; `received` holds the count with TlsRead::data.
// A failed session (closed, or broken) is no longer fit for a close_notify.
TlsRead tlsReceive(SSL *ssl, char *buffer, size_t size, size_t &received, bool &broken);

// Writes all of it, waiting for the socket at most timeoutMs at a time (0: never waits).
bool tlsSendAll(SSL *ssl, const char *data, size_t size, int timeoutMs);

// Decrypted or received bytes the socket's readiness no longer tells of.
bool tlsHasBuffered(SSL *ssl);

}  // namespace quillo::cloud
