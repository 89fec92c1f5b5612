#include "GateTls.h"

#include <openssl/err.h>

#include <poll.h>

#include <stdexcept>

namespace quillo::cloud {

GateTlsContext::GateTlsContext(const std::string &certFile, const std::string &keyFile)
    : ctx_(SSL_CTX_new(TLS_server_method()))
{
    if (!ctx_) throw std::runtime_error("the TLS context cannot be made");
    // Forward secrecy and authenticated encryption only: TLS 1.3, or TLS 1.2 with ECDHE and
    // AES-GCM or ChaCha20-Poly1305. No CBC suites, no static RSA key exchange.
    SSL_CTX_set_min_proto_version(ctx_, TLS1_2_VERSION);
    SSL_CTX_set_options(ctx_, SSL_OP_NO_COMPRESSION | SSL_OP_CIPHER_SERVER_PREFERENCE | SSL_OP_NO_RENEGOTIATION);
    // Idle kept-alive connections give their record buffers back.
    SSL_CTX_set_mode(ctx_, SSL_MODE_RELEASE_BUFFERS);
    bool ok = SSL_CTX_set_cipher_list(ctx_, "ECDHE-ECDSA-AES128-GCM-SHA256:ECDHE-RSA-AES128-GCM-SHA256:"
                                            "ECDHE-ECDSA-AES256-GCM-SHA384:ECDHE-RSA-AES256-GCM-SHA384:"
                                            "ECDHE-ECDSA-CHACHA20-POLY1305:ECDHE-RSA-CHACHA20-POLY1305") == 1;
    if (!ok) {
        SSL_CTX_free(ctx_);
        throw std::runtime_error("the TLS cipher list is refused");
    }
    if (SSL_CTX_use_certificate_chain_file(ctx_, certFile.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(ctx_, keyFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_check_private_key(ctx_) != 1) {
        SSL_CTX_free(ctx_);
        ERR_clear_error();
        throw std::runtime_error("the server certificate or key cannot be loaded");
    }
}

GateTlsContext::~GateTlsContext() { SSL_CTX_free(ctx_); }

SSL *GateTlsContext::accept(int fd) const
{
    SSL *ssl = SSL_new(ctx_);
    if (!ssl) return nullptr;
    if (SSL_set_fd(ssl, fd) != 1) {
        SSL_free(ssl);
        return nullptr;
    }
    SSL_set_accept_state(ssl);
    return ssl;
}

TlsRead tlsReceive(SSL *ssl, char *buffer, size_t size, size_t &received, bool &broken)
{
    ERR_clear_error();  // the error queue is per thread; a stale entry would misname this one
    int n = SSL_read(ssl, buffer, static_cast<int>(size));
    if (n > 0) {
        received = static_cast<size_t>(n);
        return TlsRead::data;
    }
    switch (SSL_get_error(ssl, n)) {
    case SSL_ERROR_WANT_READ: return TlsRead::wantRead;
    case SSL_ERROR_WANT_WRITE: return TlsRead::wantWrite;
    case SSL_ERROR_ZERO_RETURN: return TlsRead::closed;  // the peer's close_notify
    default:
        broken = true;
        ERR_clear_error();
        return TlsRead::closed;
    }
}

bool tlsSendAll(SSL *ssl, const char *data, size_t size, int timeoutMs)
{
    while (size > 0) {
        ERR_clear_error();
        int n = SSL_write(ssl, data, static_cast<int>(size));
        if (n > 0) {
            data += n;
            size -= static_cast<size_t>(n);
            continue;
        }
        int error = SSL_get_error(ssl, n);
        if (error != SSL_ERROR_WANT_WRITE && error != SSL_ERROR_WANT_READ) {
            ERR_clear_error();
            return false;
        }
        // SSL_write is then called again with the same bytes, as OpenSSL requires.
        pollfd p{SSL_get_fd(ssl), static_cast<short>(error == SSL_ERROR_WANT_WRITE ? POLLOUT : POLLIN), 0};
        if (timeoutMs <= 0 || poll(&p, 1, timeoutMs) <= 0) return false;
    }
    return true;
}

bool tlsHasBuffered(SSL *ssl) { return SSL_has_pending(ssl) == 1; }

}  // namespace quillo::cloud
