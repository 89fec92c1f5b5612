// The client's reading of balance and health answers: one cloud-state synchronisation (balance
// and health check) against a script of answers. The format of an input is in ClientFuzzSupport.h.
#include "ClientFuzzSupport.h"

#include "Services/FixedSessionProvider.h"
#include "Services/QuilloCloudService.h"

#include <cmath>

using namespace quillofuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ScriptedCloud cloud(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    FixedSessionProvider auth(signedInSession());
    QuilloCloudService::Options options = serviceOptions(cloud);
    QuilloCloudService service(cloud.transport, auth, nullptr, options);

    auto refresh = observe(service.refreshAccount());
    cloud.drive(refresh);
    if (refresh->failed()) fail("refreshAccount threw");
    if (const auto& account = service.account()) {
        if (!std::isfinite(account->balanceCredits) || !std::isfinite(account->availableCredits))
            fail("a balance that is not a number was published");
    }
    auto sync = observe(service.synchronizeCloudState(true));
    cloud.drive(sync);
    if (sync->failed()) fail("synchronizeCloudState threw");
    return 0;
}
