#pragma once

#include <QChar>
#include <QTextBoundaryFinder>

namespace quillo {

// Steps through user-perceived characters with QTextBoundaryFinder. Qt's script-specific tailoring
// (Indic scripts, for one) can report a boundary between the two halves of a surrogate pair, or
// between CR and LF, when such text is nearby; those positions are skipped, so no step ever splits
// a code point or a line end.
namespace GraphemeBoundaries {

inline bool isInsideSurrogatePair(const QChar* chars, qsizetype length, qsizetype position) {
    return position > 0 && position < length && chars[position - 1].isHighSurrogate() &&
           chars[position].isLowSurrogate();
}

// Positions that are never character boundaries, whatever the finder reports.
inline bool isNeverBoundary(const QChar* chars, qsizetype length, qsizetype position) {
    if (position <= 0 || position >= length) return false;
    return isInsideSurrogatePair(chars, length, position) || (chars[position - 1] == u'\r' && chars[position] == u'\n');
}

// The next boundary after the finder's position, or `length` when there is none.
inline qsizetype next(QTextBoundaryFinder& finder, const QChar* chars, qsizetype length) {
    qsizetype position = finder.toNextBoundary();
    while (position > 0 && isNeverBoundary(chars, length, position)) position = finder.toNextBoundary();
    return position < 0 ? length : position;
}

// The boundary before the finder's position, or 0 when there is none.
inline qsizetype previous(QTextBoundaryFinder& finder, const QChar* chars, qsizetype length) {
    qsizetype position = finder.toPreviousBoundary();
    while (position > 0 && isNeverBoundary(chars, length, position)) position = finder.toPreviousBoundary();
    return position < 0 ? 0 : position;
}

} // namespace GraphemeBoundaries

} // namespace quillo
