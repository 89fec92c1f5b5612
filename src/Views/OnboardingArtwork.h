#pragma once

#include "Views/OnboardingStep.h"

#include <QPixmap>
#include <QSize>

namespace quillo {

// The onboarding pages' illustrations, one per step (SVG resources drawn for Quillo).
namespace OnboardingArtwork {

QString resourcePath(OnboardingStep step);
// The illustration scaled into `size` with its aspect kept, centred.
QPixmap pixmap(OnboardingStep step, QSize size, qreal devicePixelRatio = 1.0);

} // namespace OnboardingArtwork

} // namespace quillo
