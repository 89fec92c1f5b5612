#include "HttpExchange.h"

#include "Pricing.h"

#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <set>

namespace quillo::cloud {

using httplib::Request;
using httplib::Response;

void sendJson(Response &res, int status, const json &body)
{
    res.status = status;
    res.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace), "application/json");
}

void sendError(Response &res, int status, const std::string &code, json extra)
{
    json body = {{"error", code}};
    for (auto &[k, v] : extra.items()) body[k] = v;
    if (status == 401) res.set_header("WWW-Authenticate", "Bearer");
    sendJson(res, status, body);
}

void sendHtml(Response &res, int status, const std::string &html)
{
    res.status = status;
    res.set_header("Cache-Control", "no-store");
    res.set_header("Content-Security-Policy",
                   "default-src 'none'; style-src 'unsafe-inline'; form-action 'self' quillo:");
    res.set_content(html, "text/html; charset=utf-8");
}

json parseObject(const Request &req)
{
    json body;
    try {
        body = json::parse(req.body);
    } catch (const json::exception &) {
        throw RequestError{400, "invalid_json"};
    }
    if (!body.is_object()) throw RequestError{400, "invalid_json"};
    return body;
}

std::string requireString(const json &o, const char *key)
{
    auto it = o.find(key);
    if (it == o.end() || it->is_null()) throw RequestError{400, "missing_required_field"};
    if (!it->is_string()) throw RequestError{400, "invalid_field"};
    return it->get<std::string>();
}

std::optional<std::string> optionalString(const json &o, const char *key)
{
    auto it = o.find(key);
    if (it == o.end() || it->is_null()) return std::nullopt;
    if (!it->is_string()) throw RequestError{400, "invalid_field"};
    return it->get<std::string>();
}

std::string requireNonEmpty(const json &o, const char *key)
{
    std::string v = requireString(o, key);
    if (v.empty()) throw RequestError{400, "missing_required_field"};
    return v;
}

std::string lowerAscii(std::string s)
{
    for (auto &c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string trimmed(const std::string &s)
{
    size_t a = s.find_first_not_of(" \t\r\n"), b = s.find_last_not_of(" \t\r\n");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

std::optional<std::string> bearerToken(const std::string &authorization)
{
    size_t i = authorization.find_first_not_of(" \t");
    if (i == std::string::npos) return std::nullopt;
    size_t schemeEnd = authorization.find_first_of(" \t", i);
    if (schemeEnd == std::string::npos) return std::nullopt;
    if (lowerAscii(authorization.substr(i, schemeEnd - i)) != "bearer") return std::nullopt;
    size_t t = authorization.find_first_not_of(" \t", schemeEnd);
    if (t == std::string::npos) return std::nullopt;
    std::string token = authorization.substr(t);
    if (token.find_first_of(" \t") != std::string::npos) return std::nullopt;
    return token;
}

bool validEmail(const std::string &email)
{
    if (email.size() < 3 || email.size() > 254) return false;
    size_t at = email.find('@');
    if (at == std::string::npos || at == 0 || at > 64 || email.find('@', at + 1) != std::string::npos) return false;
    std::string domain = email.substr(at + 1);
    if (domain.size() < 3 || domain.find('.') == std::string::npos || domain.front() == '.' || domain.back() == '.' ||
        domain.find("..") != std::string::npos)
        return false;
    for (unsigned char c : email)
        if (c <= 0x20 || c == 0x7f || c == '<' || c == '>' || c == '(' || c == ')' || c == ',' || c == ';' ||
            c == '"' || c == '\\')
            return false;
    return true;
}

long codePoints(const std::string &s)
{
    long n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

bool weakPassword(const std::string &password, const std::string &email)
{
    static const std::set<std::string> common = {
        "password", "password1", "password123", "12345678", "123456789", "1234567890", "qwertyui",   "qwerty123",
        "iloveyou", "11111111",  "00000000",    "abcdefgh", "abc12345",  "letmein1",   "welcome1",   "sunshine",
        "princess", "football",  "baseball",    "passw0rd", "trustno1",  "superman",   "qwertyuiop", "87654321"};
    std::string lower = lowerAscii(password);
    if (common.contains(lower)) return true;
    if (std::all_of(password.begin(), password.end(), [&](char c) { return c == password[0]; })) return true;
    std::string local = lowerAscii(email.substr(0, email.find('@')));
    return !local.empty() && lower == local;
}

std::string iso8601(int64_t seconds)
{
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

std::map<std::string, std::string> parseForm(const std::string &body)
{
    std::map<std::string, std::string> out;
    auto decode = [](const std::string &s) {
        std::string r;
        for (size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '+') r += ' ';
            else if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
                     std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
                r += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else r += s[i];
        }
        return r;
    };
    size_t start = 0;
    while (start <= body.size()) {
        size_t amp = body.find('&', start);
        std::string pair = body.substr(start, amp == std::string::npos ? std::string::npos : amp - start);
        size_t eq = pair.find('=');
        if (!pair.empty()) {
            std::string k = decode(pair.substr(0, eq)), v = eq == std::string::npos ? "" : decode(pair.substr(eq + 1));
            out.emplace(k, v);
        }
        if (amp == std::string::npos) break;
        start = amp + 1;
    }
    return out;
}

void dropConnection(const Request &req)
{
    int fd = -1;
#ifdef CPPHTTPLIB_OPENSSL_SUPPORT
    if (req.ssl) fd = SSL_get_fd(req.ssl);
#endif
    if (fd < 0) {
        if (DIR *dir = opendir("/proc/self/fd")) {
            while (dirent *e = readdir(dir)) {
                int candidate = std::atoi(e->d_name);
                if (candidate <= 2) continue;
                sockaddr_storage peer{}, local{};
                socklen_t pl = sizeof peer, ll = sizeof local;
                if (getpeername(candidate, reinterpret_cast<sockaddr *>(&peer), &pl) != 0) continue;
                if (getsockname(candidate, reinterpret_cast<sockaddr *>(&local), &ll) != 0) continue;
                auto port = [](const sockaddr_storage &s) {
                    return s.ss_family == AF_INET ? ntohs(reinterpret_cast<const sockaddr_in &>(s).sin_port)
                                                  : ntohs(reinterpret_cast<const sockaddr_in6 &>(s).sin6_port);
                };
                if (port(peer) == req.remote_port && port(local) == req.local_port) {
                    fd = candidate;
                    break;
                }
            }
            closedir(dir);
        }
    }
    if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
}

json balanceBody(const Balance &b)
{
    return {{"balanceCredits", credits(b.balance)},
            {"reservedCredits", credits(b.reserved)},
            {"availableCredits", credits(b.available())}};
}

Authenticated authenticateRequest(Store &store, const Request &req, Response &res)
{
    Authenticated a;
    if (!req.has_header("Authorization")) {
        sendError(res, 401, "session_required");
        return a;
    }
    auto token = bearerToken(req.get_header_value("Authorization"));
    if (!token) {
        sendError(res, 401, "session_invalid");
        return a;
    }
    switch (store.authenticate(*token, a.caller)) {
    case TokenCheck::ok: a.ok = true; break;
    case TokenCheck::missing: sendError(res, 401, "session_required"); break;
    case TokenCheck::expired: sendError(res, 401, "token_expired"); break;
    case TokenCheck::invalid: sendError(res, 401, "session_invalid"); break;
    }
    return a;
}

}  // namespace quillo::cloud
