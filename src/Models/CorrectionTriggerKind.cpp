#include "Models/CorrectionTriggerKind.h"

namespace quillo::CorrectionTriggerKinds {

QString rawValue(CorrectionTriggerKind kind) {
    return kind == CorrectionTriggerKind::keyDown ? QStringLiteral("keyDown") : QStringLiteral("modifier");
}

std::optional<CorrectionTriggerKind> fromRawValue(const QString& raw) {
    if (raw == QLatin1String("keyDown")) return CorrectionTriggerKind::keyDown;
    if (raw == QLatin1String("modifier")) return CorrectionTriggerKind::modifier;
    return std::nullopt;
}

} // namespace quillo::CorrectionTriggerKinds
