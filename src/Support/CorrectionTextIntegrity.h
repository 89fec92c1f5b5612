#pragma once

#include <QString>

namespace quillo {

// Rules that keep a correction from disturbing the user's text at its edges or erasing it.
// White space is Unicode white space judged per user-perceived character, line breaks included.
namespace CorrectionTextIntegrity {

// The corrected text, trimmed, between the leading and trailing white space of `captured`.
// A captured text made only of white space (or empty) is returned unchanged.
QString preservingBoundaryWhitespace(const QString& corrected, const QString& captured);

// Like preservingBoundaryWhitespace, but a blank outcome gives back `original`: a correction
// that comes back empty never replaces the user's text with nothing.
QString normalizedCorrection(const QString& corrected, const QString& original);

} // namespace CorrectionTextIntegrity

} // namespace quillo
