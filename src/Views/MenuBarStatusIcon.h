#pragma once

#include "Models/CorrectionModels.h"
#include "Views/QuilloSymbol.h"

#include <QColor>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <optional>

namespace quillo {

// How the tray item looks for one correction status.
struct MenuBarStatusAppearance {
    QuilloSymbol symbol = QuilloSymbol::menuBarIcon;
    QString accessibilityDescription;
    std::optional<QColor> tint;              // none: the desktop's own template colour
    std::optional<double> returnToIdleAfter; // seconds
    bool operator==(const MenuBarStatusAppearance&) const = default;
};

namespace MenuBarStatusIcon {

inline constexpr double iconSide = 18.0;

MenuBarStatusAppearance appearance(CorrectionStatus status);

} // namespace MenuBarStatusIcon

// The orange dot that says an update is waiting.
namespace MenuBarUpdateBadge {

inline constexpr double side = 5.0;
inline const QColor color = QuilloPalette::orange;

// 1 point inside the trailing edge, 2 points below the top of the icon.
QRectF frame(QSizeF iconSize);
// "Quillo — Update available" when a version is waiting, else "Quillo".
QString toolTip(const std::optional<QString>& availableVersion);

} // namespace MenuBarUpdateBadge

} // namespace quillo
