#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace quillo {

// Where the onboarding window opens: centred on the screen under the pointer, so it appears
// where the user is looking.
namespace OnboardingLayout {

// `availableAreas`: each screen's area free of panels; `primary` is used when the pointer is on
// none of them. The frame stays inside the chosen area when it fits.
QRect frame(QSize windowSize, QPoint pointer, const QList<QRect>& availableAreas, qsizetype primary = 0);

} // namespace OnboardingLayout

} // namespace quillo
