#include "Support/CorrectionTargetGuard.h"

namespace quillo::CorrectionTargetGuard {

std::optional<InvalidationReason> invalidationReason(qint32 capturedPID, std::optional<qint32> currentPID,
                                                     const QString& capturedText,
                                                     const std::optional<QString>& currentText) {
    if (!currentPID || *currentPID != capturedPID) return InvalidationReason::applicationChanged;
    // Exact comparison: a trailing space or newline is a change.
    if (!currentText || *currentText != capturedText) return InvalidationReason::textChanged;
    return std::nullopt;
}

} // namespace quillo::CorrectionTargetGuard
