// POST /api/checkout: a new checkout and the order status action. Input: the Authorization header
// value on the first line (placeholders as in CloudFuzzServer.h), the body after it.
#include "CloudFuzzServer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto& harness = cloudfuzz::Harness::shared();
    auto [authorization, body] = cloudfuzz::splitFirstLine(data, size);
    cloudfuzz::Request request;
    request.path = "/api/checkout";
    request.authorization = authorization;
    request.body = body;
    cloudfuzz::Harness::checkApiAnswer(harness.send(request));
    return 0;
}
