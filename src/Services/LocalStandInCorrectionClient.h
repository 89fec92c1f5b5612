#pragma once

#include "Services/CloudCorrectionProviding.h"

namespace quillo {

// A local stand-in for the cloud correction client: no network, no account. It fixes a handful of
// common misspellings and a lone lower-case "i", reports the requested model as routing and
// charges like the cloud would, so the correction spine can run end to end offline.
class LocalStandInCorrectionClient final : public CloudCorrectionProviding {
public:
    QCoro::Task<std::optional<QuilloCorrectionResult>> correctText(QString text, QString mode,
                                                                   CloudCorrectionModel cloudModel,
                                                                   CorrectionWritingMode writingMode,
                                                                   CancellationToken token) override;

    // The corrected text alone.
    static QString correctedText(const QString& text);
    // 1 credit per started 1000 UTF-16 units, times 1.85 for Very Very Fast.
    static double charge(qsizetype characters, CloudCorrectionModel model);

    int requestCount() const { return requestCount_; }

private:
    int requestCount_ = 0;
};

} // namespace quillo
