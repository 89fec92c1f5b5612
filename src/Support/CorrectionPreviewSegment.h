#pragma once

#include <QString>

namespace quillo {

// One run of the corrected text in the preview; `isChanged` runs are highlighted.
struct CorrectionPreviewSegment {
    QString text;
    bool isChanged = false;
    bool operator==(const CorrectionPreviewSegment&) const = default;
};

} // namespace quillo
