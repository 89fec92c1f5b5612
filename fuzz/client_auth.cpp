// The client's reading of account answers: the answer decoder on the raw input, then sign-in,
// the bearer (with its refresh), account deletion and sign-out against the input as a script of
// answers (format in ClientFuzzSupport.h); the session store is read back after each.
#include "ClientFuzzSupport.h"

#include "Platform/Fake/InMemorySecureStore.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Services/QuilloAuthResponse.h"
#include "Services/QuilloAuthService.h"
#include "Services/QuilloCloudError.h"

using namespace quillofuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    ensureApplication();
    try {
        QuilloAuthResponse::decode(input);
    } catch (const CloudResponseDecodingError&) {}
    QuilloAuthResponse::failureCode(input);

    ScriptedCloud cloud(input);
    InMemorySecureStore secureStore;
    InMemoryUserDefaults defaults;
    QuilloAuthService::Options options;
    options.endpoint = QStringLiteral("https://127.0.0.1:9/api/correct");
    options.clock = &cloud.clock;
    options.recordEvent = [](QuilloDiagnosticEvent, std::optional<QUuid>) {};
    {
        QuilloAuthService service(cloud.transport, secureStore, defaults, options);
        auto signIn = observe(service.signIn(QStringLiteral("person@example.com"), QStringLiteral("password-1")));
        cloud.drive(signIn);
        if (signIn->failed()) fail("signIn threw");
        if (signIn->value.value_or(false) && !service.isSignedIn()) fail("signIn succeeded without a session");
        auto bearer = observe(service.authorizationBearer());
        cloud.drive(bearer);
        if (bearer->failed()) fail("authorizationBearer threw");
        auto deletion = observe(service.deleteAccount(QStringLiteral("password-1"), QString()));
        cloud.drive(deletion);
        auto signOut = observe(service.signOut());
        cloud.drive(signOut);
        if (service.isSignedIn()) fail("still signed in after signing out");
    }
    // A later start reads whatever the answers left in the secure store.
    QuilloAuthService restored(cloud.transport, secureStore, defaults, options);
    return 0;
}
