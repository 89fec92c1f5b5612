#include "Views/OnboardingLayout.h"

#include <algorithm>

namespace quillo {

namespace OnboardingLayout {

QRect frame(QSize windowSize, QPoint pointer, const QList<QRect>& availableAreas, qsizetype primary) {
    if (availableAreas.isEmpty()) return QRect(QPoint(0, 0), windowSize);
    QRect area = availableAreas.value(std::clamp<qsizetype>(primary, 0, availableAreas.size() - 1));
    for (const QRect& candidate : availableAreas) {
        if (candidate.contains(pointer)) {
            area = candidate;
            break;
        }
    }
    QPoint origin(area.x() + (area.width() - windowSize.width()) / 2,
                  area.y() + (area.height() - windowSize.height()) / 2);
    // A screen smaller than the window: keep the title bar reachable at the top left.
    origin.setX(std::max(area.left(), std::min(origin.x(), area.right() + 1 - windowSize.width())));
    origin.setY(std::max(area.top(), std::min(origin.y(), area.bottom() + 1 - windowSize.height())));
    return QRect(origin, windowSize);
}

} // namespace OnboardingLayout

} // namespace quillo
