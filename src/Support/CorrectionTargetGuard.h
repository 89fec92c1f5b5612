#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

namespace quillo {

// Whether a captured target may still be overwritten: the user may have switched
// application or edited the text while the correction was being made.
namespace CorrectionTargetGuard {

enum class InvalidationReason { applicationChanged, textChanged };

// None: the target is still valid. The application check comes first.
std::optional<InvalidationReason> invalidationReason(qint32 capturedPID, std::optional<qint32> currentPID,
                                                     const QString& capturedText,
                                                     const std::optional<QString>& currentText);

} // namespace CorrectionTargetGuard
} // namespace quillo
