#include "Support/CorrectionChunkAccumulator.h"

#include "Support/CorrectionTextIntegrity.h"

namespace quillo {

void CorrectionChunkAccumulator::appendUnchanged(const QString& chunk) { combinedCorrection.append(chunk); }

void CorrectionChunkAccumulator::appendCorrection(const QString& corrected, const QString& chunk) {
    combinedCorrection.append(CorrectionTextIntegrity::preservingBoundaryWhitespace(corrected, chunk));
    receivedCorrection = true;
}

std::optional<QString> CorrectionChunkAccumulator::finalizedCorrection() const {
    if (!receivedCorrection || failed) return std::nullopt;
    return combinedCorrection;
}

} // namespace quillo
