#include "Views/ToastPreviewSegments.h"

#include "Support/CorrectionPreviewDiff.h"

namespace quillo {

namespace ToastPreviewSegments {

QList<ToastPreviewSegment> segments(const QString& original, const QString& corrected) {
    QList<ToastPreviewSegment> result;
    const auto diff = CorrectionPreviewDiff::segments(original, corrected);
    result.reserve(diff.size());
    for (const auto& segment : diff) result.append(ToastPreviewSegment{segment.text, segment.isChanged});
    return result;
}

} // namespace ToastPreviewSegments

} // namespace quillo
