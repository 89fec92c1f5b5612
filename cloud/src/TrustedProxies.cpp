#include "TrustedProxies.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstring>

namespace quillo::cloud {

namespace {

std::string trimmedCopy(const std::string &s)
{
    size_t begin = s.find_first_not_of(" \t");
    if (begin == std::string::npos) return {};
    return s.substr(begin, s.find_last_not_of(" \t") - begin + 1);
}

bool isLoopbackAddress(const std::string &canonical) { return canonical == "::1" || canonical.rfind("127.", 0) == 0; }

}  // namespace

std::optional<std::string> canonicalAddress(const std::string &input)
{
    std::string text = trimmedCopy(input);
    if (!text.empty() && text.front() == '[') {
        size_t close = text.find(']');
        if (close == std::string::npos) return std::nullopt;
        std::string rest = text.substr(close + 1);
        if (!rest.empty() &&
            (rest[0] != ':' || rest.size() < 2 || rest.find_first_not_of("0123456789", 1) != std::string::npos))
            return std::nullopt;
        text = text.substr(1, close - 1);
    } else if (std::count(text.begin(), text.end(), ':') == 1) {
        // IPv4 with a port.
        text = text.substr(0, text.find(':'));
    }
    char out[INET6_ADDRSTRLEN] = {};
    in_addr v4{};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1) return inet_ntop(AF_INET, &v4, out, sizeof out);
    in6_addr v6{};
    if (inet_pton(AF_INET6, text.c_str(), &v6) != 1) return std::nullopt;
    if (IN6_IS_ADDR_V4MAPPED(&v6)) {
        std::memcpy(&v4, &v6.s6_addr[12], 4);
        return inet_ntop(AF_INET, &v4, out, sizeof out);
    }
    return inet_ntop(AF_INET6, &v6, out, sizeof out);
}

bool TrustedProxies::add(const std::string &address)
{
    if (address == "loopback") {
        loopback_ = true;
        return true;
    }
    // A proxy is named by its address alone: no port, no host name to resolve.
    in_addr v4{};
    in6_addr v6{};
    if (inet_pton(AF_INET, address.c_str(), &v4) != 1 && inet_pton(AF_INET6, address.c_str(), &v6) != 1) return false;
    auto canonical = canonicalAddress(address);
    if (!canonical) return false;
    addresses_.insert(*canonical);
    return true;
}

bool TrustedProxies::trusts(const std::string &peer) const
{
    auto canonical = canonicalAddress(peer);
    if (!canonical) return false;
    return (loopback_ && isLoopbackAddress(*canonical)) || addresses_.contains(*canonical);
}

std::string TrustedProxies::clientAddress(const std::string &peer, const std::vector<std::string> &forwardedFor) const
{
    std::string hop = canonicalAddress(peer).value_or(peer);
    if (!trusts(hop)) return hop;
    std::vector<std::string> entries;
    for (const auto &header : forwardedFor) {
        for (size_t start = 0;;) {
            size_t comma = header.find(',', start);
            entries.push_back(header.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
    }
    // Each proxy appends the address it received the request from; only the entries written by
    // trusted proxies are believed, so the walk stops at the first address that is not one.
    for (size_t i = entries.size(); i-- > 0;) {
        const std::string &entry = entries[i];
        if (trimmedCopy(entry).empty()) continue;
        auto address = canonicalAddress(entry);
        // A trusted proxy wrote something that is no address: the nearest known hop stands in.
        if (!address) return hop;
        if (!trusts(*address)) return *address;
        hop = *address;
    }
    return hop;
}

}  // namespace quillo::cloud
