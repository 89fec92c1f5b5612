#pragma once

#include "Support/CorrectionPreviewSegment.h"

#include <QList>
#include <QString>

namespace quillo {

// Which words of a correction differ from the original, for the preview. Both texts are cut
// into word, punctuation and whitespace tokens; the corrected tokens outside the longest
// common subsequence of the non-whitespace tokens (compared case-insensitively) are changed.
namespace CorrectionPreviewDiff {

// Beyond this many non-whitespace tokens in either text nothing is highlighted.
inline constexpr int maximumMeaningfulTokens = 450;

// Segments whose texts, joined, are `corrected` exactly; adjacent segments differ in isChanged.
QList<CorrectionPreviewSegment> segments(const QString& original, const QString& corrected);

} // namespace CorrectionPreviewDiff

} // namespace quillo
