#include "Views/MenuBarStatusIcon.h"

namespace quillo {

namespace MenuBarStatusIcon {

MenuBarStatusAppearance appearance(CorrectionStatus status) {
    switch (status) {
    case CorrectionStatus::idle: break;
    case CorrectionStatus::processing:
        return {QuilloSymbol::sparkles, QStringLiteral("Processing..."), QuilloPalette::purple, std::nullopt};
    case CorrectionStatus::success:
        return {QuilloSymbol::checkmarkCircleFill, QStringLiteral("Corrected!"), QuilloPalette::green, 1.5};
    case CorrectionStatus::error:
        return {QuilloSymbol::exclamationmarkTriangleFill, QStringLiteral("Error"), QuilloPalette::red, 2.0};
    }
    return {QuilloSymbol::menuBarIcon, QStringLiteral("Quillo"), std::nullopt, std::nullopt};
}

} // namespace MenuBarStatusIcon

namespace MenuBarUpdateBadge {

QRectF frame(QSizeF iconSize) { return QRectF(iconSize.width() - 1.0 - side, 2.0, side, side); }

QString toolTip(const std::optional<QString>& availableVersion) {
    if (availableVersion) return QStringLiteral("Quillo — Update available");
    return QStringLiteral("Quillo");
}

} // namespace MenuBarUpdateBadge

} // namespace quillo
