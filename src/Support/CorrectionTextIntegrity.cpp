#include "Support/CorrectionTextIntegrity.h"

#include "Support/GraphemeBoundaries.h"

#include <QChar>

namespace quillo::CorrectionTextIntegrity {

namespace {

char32_t codePointAt(const QString& text, qsizetype index) {
    const QChar c = text.at(index);
    if (c.isHighSurrogate() && index + 1 < text.size() && text.at(index + 1).isLowSurrogate())
        return QChar::surrogateToUcs4(c, text.at(index + 1));
    return c.unicode();
}

char32_t codePointEndingAt(const QString& text, qsizetype end, qsizetype* start) {
    const QChar c = text.at(end - 1);
    if (c.isLowSurrogate() && end >= 2 && text.at(end - 2).isHighSurrogate()) {
        *start = end - 2;
        return QChar::surrogateToUcs4(text.at(end - 2), c);
    }
    *start = end - 1;
    return c.unicode();
}

// A character is white space when the first code point of its cluster is.
struct WhitespaceEdges {
    qsizetype leading = 0;  // length of the white-space prefix
    qsizetype trailing = 0; // length of the white-space suffix
    bool allWhitespace = false;
};

WhitespaceEdges whitespaceEdges(const QString& text) {
    WhitespaceEdges edges;
    const qsizetype length = text.size();
    if (length == 0) {
        edges.allWhitespace = true;
        return edges;
    }
    const QChar* chars = text.constData();

    // Fast path: edges made of ASCII white space next to an ASCII non-space character. Between ASCII
    // characters every position but the middle of CR LF is a character boundary, so no
    // segmentation is needed; anything else is left to the boundary finder.
    auto isAsciiSpace = [](QChar c) { return c.unicode() < 0x80 && QChar::isSpace(c.unicode()); };
    qsizetype q = 0;
    while (q < length && isAsciiSpace(chars[q])) ++q;
    qsizetype p = length;
    while (p > q && isAsciiSpace(chars[p - 1])) --p;
    if (q < p && chars[q].unicode() < 0x80 && chars[p - 1].unicode() < 0x80) {
        edges.leading = q;
        edges.trailing = length - p;
        return edges;
    }

    const GraphemeBoundaries boundaries(text);
    qsizetype position = 0;
    while (position < length && QChar::isSpace(codePointAt(text, position))) position = boundaries.following(position);
    edges.leading = position;
    if (position >= length) {
        edges.allWhitespace = true;
        return edges;
    }
    qsizetype end = length;
    while (end > edges.leading) {
        const qsizetype clusterStart = boundaries.preceding(end);
        if (!QChar::isSpace(codePointAt(text, clusterStart))) break;
        end = clusterStart;
    }
    edges.trailing = length - end;
    return edges;
}

// Trims white space and newlines code point by code point.
QString trimmed(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end) {
        const char32_t cp = codePointAt(text, begin);
        if (!QChar::isSpace(cp)) break;
        begin += QChar::requiresSurrogates(cp) ? 2 : 1;
    }
    while (end > begin) {
        qsizetype start = 0;
        if (!QChar::isSpace(codePointEndingAt(text, end, &start))) break;
        end = start;
    }
    if (begin == 0 && end == text.size()) return text;
    return text.mid(begin, end - begin);
}

bool isBlank(const QString& text) { return whitespaceEdges(text).allWhitespace; }

} // namespace

QString preservingBoundaryWhitespace(const QString& corrected, const QString& captured) {
    const WhitespaceEdges edges = whitespaceEdges(captured);
    if (edges.allWhitespace) return captured;
    const QString core = trimmed(corrected);
    QString result;
    result.reserve(edges.leading + core.size() + edges.trailing);
    result.append(QStringView(captured).first(edges.leading));
    result.append(core);
    result.append(QStringView(captured).last(edges.trailing));
    return result;
}

QString normalizedCorrection(const QString& corrected, const QString& original) {
    QString result = preservingBoundaryWhitespace(corrected, original);
    if (isBlank(result)) return original;
    return result;
}

} // namespace quillo::CorrectionTextIntegrity
