#pragma once

#include "Models/CorrectionModels.h"

namespace quillo {

// Where the compact pill sits: hanging from the top of the display, or near its bottom.
enum class CompactToastPlacement { notch, mini };

namespace CompactToastPlacements {
inline CompactCorrectionPresentation presentation(CompactToastPlacement placement) {
    return placement == CompactToastPlacement::notch ? CompactCorrectionPresentation::notch
                                                     : CompactCorrectionPresentation::mini;
}
inline CompactToastPlacement from(CompactCorrectionPresentation presentation) {
    return presentation == CompactCorrectionPresentation::notch ? CompactToastPlacement::notch
                                                                : CompactToastPlacement::mini;
}
} // namespace CompactToastPlacements

} // namespace quillo
