// The browser pages' forms and links: Google consent, checkout, e-mail confirmation and password
// reset. Input: "GET path?query" or "POST path" on the first line (placeholders as in
// CloudFuzzServer.h), the form body after it.
#include "CloudFuzzServer.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto& harness = cloudfuzz::Harness::shared();
    auto [line, body] = cloudfuzz::splitFirstLine(data, size);
    cloudfuzz::Request request;
    request.method = line.rfind("GET ", 0) == 0 ? "GET" : "POST";
    request.path = line.size() > 4 ? line.substr(line.find(' ') == std::string::npos ? 0 : line.find(' ') + 1) : "/";
    if (request.path.empty() || request.path[0] != '/') request.path.insert(0, "/");
    for (char& c : request.path)
        if (c == ' ' || c == '#' || static_cast<unsigned char>(c) < 0x20) c = '+';
    request.body = body;
    request.contentType = "application/x-www-form-urlencoded";
    auto answer = harness.send(request);
    // The pages answer HTML; an escaped exception still shows as the JSON catch-all.
    if (answer.status == 500 && answer.body.find("internal_error") != std::string::npos)
        cloudfuzz::Harness::crash("a page handler failed with an exception", answer);
    return 0;
}
