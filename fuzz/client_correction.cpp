// The client's reading of correction answers: one correction call against a script of answers
// (statuses, Retry-After and X-Quillo-Retry-Safe headers, bodies), retries and replay polls
// included. The format of an input is in ClientFuzzSupport.h.
#include "ClientFuzzSupport.h"

#include "Services/FixedSessionProvider.h"
#include "Services/QuilloCloudService.h"

using namespace quillofuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ScriptedCloud cloud(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    FixedSessionProvider auth(signedInSession());
    QuilloCloudService::Options options = serviceOptions(cloud);
    options.info.insert(QuilloBundleInfo::shortVersionKey, QStringLiteral("1.0"));
    QuilloCloudService service(cloud.transport, auth, nullptr, options);

    const QString text = QStringLiteral("  i recieve teh letter\n");
    auto outcome = observe(service.correctText(text, QStringLiteral("cloud_fast"), CloudCorrectionModel::fast,
                                               CorrectionWritingMode::proofread));
    cloud.drive(outcome);
    if (!outcome->failed() && outcome->value && *outcome->value) {
        const QuilloCorrectionResult& result = **outcome->value;
        if (result.correction.trimmed().isEmpty()) fail("a blank correction was accepted");
    }
    return 0;
}
