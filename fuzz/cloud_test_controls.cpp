// POST /test/NAME: the fault-injection controls of the test builds. Input: the control's name on
// the first line, its JSON body after it. Controls that wait ("wait-parked", the suggestion
// index's waitMs) are left out. A sign-in and a balance request follow, so that what the control
// changed is used, and then everything it armed is reset.
#include "CloudFuzzServer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto& harness = cloudfuzz::Harness::shared();
    auto [name, body] = cloudfuzz::splitFirstLine(data, size);
    if (name == "wait-parked" || name == "suggestion-index") return 0;
    for (char& c : name)
        if (c < 'a' || c > 'z') c = '-';
    cloudfuzz::Request request;
    request.path = "/test/" + name;
    request.body = body;
    auto answer = harness.send(request);
    if (answer.status != 404) cloudfuzz::Harness::checkApiAnswer(answer);

    cloudfuzz::Request signIn;
    signIn.path = "/api/auth";
    signIn.body = std::string(R"({"action":"sign_in","email":")") + cloudfuzz::kEmail + R"(","password":")" +
                  cloudfuzz::kPassword + R"(","installationId":"6f9619ff-8b86-4d01-b42d-00c04fc964ff"})";
    cloudfuzz::Harness::checkApiAnswer(harness.send(signIn));
    cloudfuzz::Request balance;
    balance.method = "GET";
    balance.path = "/api/correct";
    balance.authorization = "Bearer $TOKEN";
    cloudfuzz::Harness::checkApiAnswer(harness.send(balance));
    harness.resetFaults();
    return 0;
}
