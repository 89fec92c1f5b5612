#include "Views/ToastPreviewSegments.h"

namespace quillo {

namespace ToastPreviewSegments {

QList<ToastPreviewSegment> segments(const QString& original, const QString& corrected) {
    Q_UNUSED(original);
    // Without the word diff the corrected text is shown plain, nothing marked.
    return {ToastPreviewSegment{corrected, false}};
}

} // namespace ToastPreviewSegments

} // namespace quillo
