#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace quillo {

// Where the popover opens: centred under the tray icon, or above it when the panel is at the
// bottom of the screen, always kept inside the available area.
namespace PopoverPlacement {

inline constexpr int gap = 4;

QPoint origin(QSize popover, QRect anchor, QRect available);
// Without a tray host: the top-right corner of the available area.
QPoint cornerOrigin(QSize popover, QRect available);

} // namespace PopoverPlacement

} // namespace quillo
