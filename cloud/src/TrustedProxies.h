#pragma once
// The reverse proxies whose X-Forwarded-For is believed. Behind one, every connection comes from
// the proxy; the client is the address the proxies say they received the request from. From any
// other peer the header is anyone's to write and is ignored.
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quillo::cloud {

class TrustedProxies {
public:
    // "loopback" (127.0.0.0/8 and ::1) or a literal IPv4 or IPv6 address; false for anything else.
    bool add(const std::string &address);
    bool empty() const { return !loopback_ && addresses_.empty(); }
    bool trusts(const std::string &peer) const;
    // The address a request came from: the peer itself unless it is a trusted proxy, else the
    // right-most X-Forwarded-For address (the headers in order) that is not a trusted proxy.
    std::string clientAddress(const std::string &peer, const std::vector<std::string> &forwardedFor) const;

private:
    bool loopback_ = false;
    std::set<std::string> addresses_;  // canonical text
};

// The canonical text of an IP address ("::ffff:10.0.0.1" is "10.0.0.1"); nullopt if it is none.
// An X-Forwarded-For entry may carry brackets and a port: "[2001:db8::1]:4711", "10.0.0.1:4711".
std::optional<std::string> canonicalAddress(const std::string &input);

}  // namespace quillo::cloud
