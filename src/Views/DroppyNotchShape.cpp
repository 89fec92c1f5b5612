#include "Views/DroppyNotchShape.h"

#include <algorithm>

namespace quillo {

QPainterPath DroppyNotchShape::path(const QRectF& rect) const {
    QPainterPath p;
    const double bottom = std::clamp(bottomCornerRadius, 0.0, std::min(rect.width(), rect.height()) / 2.0);
    if (!attachesToNotch) {
        p.addRoundedRect(rect, bottom, bottom);
        return p;
    }
    // The ears sit inside the rectangle: the body is narrowed by one ear on each side.
    const double ear = std::clamp(topEarRadius, 0.0, rect.width() / 4.0);
    const double left = rect.left() + ear;
    const double right = rect.right() - ear;
    p.moveTo(rect.left(), rect.top());
    p.lineTo(rect.right(), rect.top());
    p.quadTo(right, rect.top(), right, rect.top() + ear);
    p.lineTo(right, rect.bottom() - bottom);
    p.quadTo(right, rect.bottom(), right - bottom, rect.bottom());
    p.lineTo(left + bottom, rect.bottom());
    p.quadTo(left, rect.bottom(), left, rect.bottom() - bottom);
    p.lineTo(left, rect.top() + ear);
    p.quadTo(left, rect.top(), rect.left(), rect.top());
    p.closeSubpath();
    return p;
}

} // namespace quillo
