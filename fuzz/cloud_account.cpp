// GET /api/correct: the balance (bearer token) and the health action (query). Input: the
// Authorization header value on the first line, the query string after it.
#include "CloudFuzzServer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto& harness = cloudfuzz::Harness::shared();
    auto [authorization, query] = cloudfuzz::splitFirstLine(data, size);
    // A request line cannot carry these; the HTTP client would refuse to send them.
    for (char& c : query)
        if (c == ' ' || c == '\r' || c == '\n' || c == '#' || static_cast<unsigned char>(c) < 0x20) c = '+';
    for (char& c : authorization)
        if (c == '\r' || c == '\0') c = ' ';
    cloudfuzz::Request request;
    request.method = "GET";
    request.path = query.empty() ? "/api/correct" : "/api/correct?" + query;
    request.authorization = authorization;
    cloudfuzz::Harness::checkApiAnswer(harness.send(request));
    return 0;
}
