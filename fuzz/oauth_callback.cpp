// The OAuth callback address the browser hands back ("quillo://auth/callback?code=..."), with the
// state of the provider page it answers. Input: the callback on the first line, the provider
// page's address after it.
#include "ClientFuzzSupport.h"

#include "Support/QuilloOAuthError.h"
#include "Support/QuilloOAuthSupport.h"

using namespace quillofuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ensureApplication();
    const QString input = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype newline = input.indexOf(QLatin1Char('\n'));
    const QUrl callback(newline < 0 ? input : input.left(newline));
    const QUrl page(newline < 0 ? QString() : input.mid(newline + 1));

    const auto state = QuilloOAuthPKCE::expectedState(page);
    if (state && state->isEmpty()) fail("an empty state was expected");
    for (const auto& expected : {std::optional<QString>(), state}) {
        try {
            const QString code = QuilloOAuthPKCE::authorizationCode(callback, expected);
            if (code.isEmpty() || code.size() > QuilloOAuthPKCE::maximumCodeLength)
                fail("an unusable code was accepted");
            if (!QuilloOAuthPKCE::isExpectedCallback(callback)) fail("a code was read from another address");
        } catch (const QuilloOAuthError&) {}
    }
    QuilloOAuthPKCE::challenge(input);
    return 0;
}
