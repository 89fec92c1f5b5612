#include "Models/CorrectionTriggerActivation.h"

namespace quillo::CorrectionTriggerActivations {

QString rawValue(CorrectionTriggerActivation activation) {
    return activation == CorrectionTriggerActivation::singlePress ? QStringLiteral("singlePress")
                                                                  : QStringLiteral("doubleTap");
}

std::optional<CorrectionTriggerActivation> fromRawValue(const QString& raw) {
    if (raw == QLatin1String("singlePress")) return CorrectionTriggerActivation::singlePress;
    if (raw == QLatin1String("doubleTap")) return CorrectionTriggerActivation::doubleTap;
    return std::nullopt;
}

CorrectionTriggerActivation storedValue(const QString& raw) {
    return raw == QLatin1String("doubleTap") ? CorrectionTriggerActivation::doubleTap
                                             : CorrectionTriggerActivation::singlePress;
}

QString title(CorrectionTriggerActivation activation) {
    return activation == CorrectionTriggerActivation::singlePress ? QStringLiteral("Single press")
                                                                  : QStringLiteral("Double tap");
}

QString hint(CorrectionTriggerActivation activation) {
    return activation == CorrectionTriggerActivation::singlePress
               ? QStringLiteral("Correction starts after one short press.")
               : QStringLiteral("Correction starts after two short presses on the same key.");
}

} // namespace quillo::CorrectionTriggerActivations
