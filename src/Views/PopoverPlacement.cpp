#include "Views/PopoverPlacement.h"

#include <algorithm>

namespace quillo {

namespace PopoverPlacement {

namespace {
int clampInto(int value, int low, int high) { return high < low ? low : std::clamp(value, low, high); }
} // namespace

QPoint origin(QSize popover, QRect anchor, QRect available) {
    if (!anchor.isValid() || anchor.isEmpty()) return cornerOrigin(popover, available);
    int x = anchor.left() + anchor.width() / 2 - popover.width() / 2;
    // The icon sits in the lower half of the screen: the panel is at the bottom, open upwards.
    const bool above = anchor.center().y() > available.center().y();
    int y = above ? anchor.top() - gap - popover.height() : anchor.top() + anchor.height() + gap;
    x = clampInto(x, available.left(), available.left() + available.width() - popover.width());
    y = clampInto(y, available.top(), available.top() + available.height() - popover.height());
    return {x, y};
}

QPoint cornerOrigin(QSize popover, QRect available) {
    return {std::max(available.left(), available.left() + available.width() - popover.width() - 12),
            available.top() + 12};
}

} // namespace PopoverPlacement

} // namespace quillo
