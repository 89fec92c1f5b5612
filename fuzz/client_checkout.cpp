// The client's reading of checkout and order status answers: the status decoder on every answer's
// body, then a purchase (checkout, browser page, status polls) and a refresh against the input as
// a script of answers (format in ClientFuzzSupport.h).
#include "ClientFuzzSupport.h"

#include "Models/PaymentOrderStatusResponse.h"
#include "Platform/Fake/FakeWorkspace.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Services/FixedSessionProvider.h"
#include "Services/QuilloCloudService.h"
#include "Services/QuilloPaymentService.h"

using namespace quillofuzz;

namespace {

// An access token whose payload names a session, as the cloud's are.
QString accessToken() {
    const QByteArray payload = QByteArray(R"({"session_id":"0b6f8a4e-4f1e-4d7a-9a51-3c2b1d0e9f11"})")
                                   .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    return QStringLiteral("eyJhbGciOiJIUzI1NiJ9.") + QString::fromLatin1(payload) + QStringLiteral(".c2lnbmF0dXJl");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    ScriptedCloud cloud(input);
    for (const QByteArray& step : splitSteps(input)) {
        const qsizetype newline = step.indexOf('\n');
        if (const auto status =
                PaymentOrderStatusResponse::fromJson(newline < 0 ? QByteArray() : step.mid(newline + 1)))
            if (status->orderId.isNull()) fail("an order status without an order was read");
    }

    QuilloAuthSession session;
    session.accessToken = accessToken();
    session.userId = QStringLiteral("5d1e4c1a-8a43-4b8e-9d1f-6e2f0c3b7a90");
    FixedSessionProvider auth(session);
    QuilloCloudService::Options cloudOptions;
    cloudOptions.endpoint = QStringLiteral("https://127.0.0.1:9/api/correct");
    cloudOptions.clock = &cloud.clock;
    cloudOptions.recordEvent = [](QuilloDiagnosticEvent, std::optional<QUuid>) {};
    QuilloCloudService cloudService(cloud.transport, auth, nullptr, cloudOptions);

    InMemoryUserDefaults defaults;
    FakeWorkspace workspace;
    QuilloPaymentService::Options options;
    options.checkoutURL = QUrl(QStringLiteral("https://127.0.0.1:9/api/checkout"));
    options.checkoutHost = QStringLiteral("localhost");
    options.clock = &cloud.clock;
    options.recordEvent = [](QuilloDiagnosticEvent) {};
    QList<QUrl> opened;
    options.openURL = [&opened](const QUrl& url) {
        opened.append(url);
        return true;
    };
    {
        QuilloPaymentService payments(cloud.transport, defaults, workspace, options);
        auto purchase = observe(payments.purchase(QuilloCreditPack::regular, auth, cloudService));
        cloud.drive(purchase);
        if (purchase->failed()) fail("purchase threw");
        for (const QUrl& url : opened)
            if (url.scheme() != QLatin1String("https") || url.host() != QLatin1String("localhost"))
                fail("a checkout page off the checkout host was opened");
        // Follows the order until the script ends.
        for (int i = 0; i < 64 && payments.isMonitoring() && cloud.clock.advanceToNextTimer(); ++i)
            QCoreApplication::processEvents();
        auto refresh = observe(payments.refreshPayment(auth, cloudService));
        cloud.drive(refresh);
        if (refresh->failed()) fail("refreshPayment threw");
    }
    // A later start resumes whatever order the answers left tracked.
    QuilloPaymentService restarted(cloud.transport, defaults, workspace, options);
    auto prepare = observe(restarted.prepare(auth, cloudService));
    cloud.drive(prepare);
    return 0;
}
