#pragma once
// The reverse proxies whose X-Forwarded-For (or, when they write that instead, RFC 7239 Forwarded)
// is believed. Behind one, every connection comes from the proxy; the client is the address the
// proxies say they received the request from. From any other peer the header is anyone's to write
// and is ignored.
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quillo::cloud {

// The header the trusted proxies write. Only that one is read: a proxy passes the other on as the
// client wrote it, so believing both would let the client name itself.
enum class ProxyHeader { xForwardedFor, forwarded };

class TrustedProxies {
public:
    void setHeader(ProxyHeader header) { header_ = header; }
    const char *headerName() const { return header_ == ProxyHeader::forwarded ? "Forwarded" : "X-Forwarded-For"; }
    // "loopback" (127.0.0.0/8 and ::1) or a literal IPv4 or IPv6 address; false for anything else.
    bool add(const std::string &address);
    bool empty() const { return !loopback_ && addresses_.empty(); }
    bool trusts(const std::string &peer) const;
    // The address a request came from: the peer itself unless it is a trusted proxy, else the
    // right-most address in the values of headerName() (the headers in order) that is not a trusted
    // proxy.
    std::string clientAddress(const std::string &peer, const std::vector<std::string> &headerValues) const;

private:
    ProxyHeader header_ = ProxyHeader::xForwardedFor;
    bool loopback_ = false;
    std::set<std::string> addresses_;  // canonical text
};

// The canonical text of an IP address ("::ffff:10.0.0.1" is "10.0.0.1"); nullopt if it is none.
// An X-Forwarded-For entry may carry brackets and a port: "[2001:db8::1]:4711", "10.0.0.1:4711".
std::optional<std::string> canonicalAddress(const std::string &input);

// The for= nodes of Forwarded headers, one an element, in order: "192.0.2.1", "[2001:db8::1]:80",
// "unknown", an obfuscated "_name", or "unknown" for an element that names none.
std::vector<std::string> forwardedForNodes(const std::vector<std::string> &headers);

}  // namespace quillo::cloud
