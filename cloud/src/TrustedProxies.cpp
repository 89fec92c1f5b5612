#include "TrustedProxies.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cctype>
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

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    for (size_t start = 0;;) {
        size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

std::vector<std::string> forwardedForEntries(const std::vector<std::string> &headers)
{
    std::vector<std::string> entries;
    for (const auto &header : headers)
        for (auto &entry : split(header, ',')) entries.push_back(std::move(entry));
    return entries;
}

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

// A node never holds a comma or a semicolon, even quoted, so the header is split at every one:
// a quote the client left open cannot swallow the elements the proxies appended after it.
std::vector<std::string> forwardedForNodes(const std::vector<std::string> &headers)
{
    std::vector<std::string> nodes;
    for (const auto &header : headers) {
        for (const auto &element : split(header, ',')) {
            if (trimmedCopy(element).empty()) continue;
            std::string node = "unknown";
            for (const auto &pair : split(element, ';')) {
                size_t equals = pair.find('=');
                if (equals == std::string::npos) continue;
                std::string name = trimmedCopy(pair.substr(0, equals));
                for (auto &ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
                if (name != "for") continue;
                std::string value = trimmedCopy(pair.substr(equals + 1));
                if (!value.empty() && value.front() == '"') {
                    if (value.size() < 2 || value.back() != '"') break;  // unterminated: unknown
                    value = value.substr(1, value.size() - 2);
                    std::erase(value, '\\');
                }
                node = value;
                break;
            }
            nodes.push_back(node);
        }
    }
    return nodes;
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

std::string TrustedProxies::clientAddress(const std::string &peer, const std::vector<std::string> &headerValues) const
{
    std::string hop = canonicalAddress(peer).value_or(peer);
    if (!trusts(hop)) return hop;
    std::vector<std::string> entries =
        header_ == ProxyHeader::forwarded ? forwardedForNodes(headerValues) : forwardedForEntries(headerValues);
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
