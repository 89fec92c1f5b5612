// The client's reading of health answers: the health checker against a script of answers, forced
// and cached checks. The format of an input is in ClientFuzzSupport.h.
#include "ClientFuzzSupport.h"

#include "Services/CloudHealthChecker.h"

using namespace quillofuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ScriptedCloud cloud(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    CloudHealthChecker checker(cloud.transport, 180.0, cloud.clock);
    const QUrl url(QStringLiteral("https://127.0.0.1:9/api/correct?action=health"));
    auto first = observe(checker.check(url, true));
    auto joined = observe(checker.check(url, false));
    cloud.drive(first);
    cloud.drive(joined);
    if (first->failed() || joined->failed()) fail("a health check threw");
    if (first->value != joined->value) fail("a joined check saw another answer");
    auto cached = observe(checker.check(url, false));
    cloud.drive(cached);
    if (cached->value != first->value) fail("a cached check changed its answer");
    auto forced = observe(checker.check(url, true));
    cloud.drive(forced);
    return 0;
}
