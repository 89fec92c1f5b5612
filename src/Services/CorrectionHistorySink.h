#pragma once

#include "Models/CorrectionModels.h"

#include <QString>
#include <optional>
#include <vector>

namespace quillo {

// Where the correction service records a pasted correction; the encrypted history implements it.
class CorrectionHistorySink {
public:
    virtual ~CorrectionHistorySink() = default;
    virtual void append(const QString& originalText, const QString& correctedText,
                        const std::optional<std::vector<CloudCorrectionModel>>& cloudModels,
                        std::optional<CorrectionWritingMode> writingMode) = 0;
};

} // namespace quillo
