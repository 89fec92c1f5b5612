#pragma once
// Request parsing and answers shared by every endpoint family of the server.
#include "Store.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace quillo::cloud {

using json = nlohmann::json;

// Thrown by a handler to answer with a status and an error code.
struct RequestError {
    int status;
    std::string code;
};

void sendJson(httplib::Response &res, int status, const json &body);
void sendError(httplib::Response &res, int status, const std::string &code, json extra = json::object());
void sendHtml(httplib::Response &res, int status, const std::string &html);

json parseObject(const httplib::Request &req);
std::string requireString(const json &o, const char *key);
std::optional<std::string> optionalString(const json &o, const char *key);
std::string requireNonEmpty(const json &o, const char *key);
std::map<std::string, std::string> parseForm(const std::string &body);

std::string lowerAscii(std::string s);
std::string trimmed(const std::string &s);
// "Bearer <token>", the scheme in any case, whitespace runs tolerated.
std::optional<std::string> bearerToken(const std::string &authorization);
bool validEmail(const std::string &email);
long codePoints(const std::string &s);
bool weakPassword(const std::string &password, const std::string &email);
std::string iso8601(int64_t seconds);

// Closes the caller's connection without an answer (test control "drop").
void dropConnection(const httplib::Request &req);

json balanceBody(const Balance &b);

struct Authenticated {
    bool ok = false;
    Caller caller;
};

// Checks the bearer token; on failure the answer is already written.
Authenticated authenticateRequest(Store &store, const httplib::Request &req, httplib::Response &res);

}  // namespace quillo::cloud
