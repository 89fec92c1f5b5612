#pragma once

#include <QPainterPath>
#include <QRectF>

namespace quillo {

// The toast's outline: a rounded rectangle whose top corners flare outwards like ears when it
// hangs from the top edge, so that it seems to grow out of the screen's border.
struct DroppyNotchShape {
    double topEarRadius = 10.0;
    double bottomCornerRadius = 18.0;
    bool attachesToNotch = false;

    QPainterPath path(const QRectF& rect) const;
};

} // namespace quillo
