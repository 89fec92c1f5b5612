#include "Support/CorrectionChunker.h"

#include "Support/GraphemeBoundaries.h"

#include <QChar>
#include <algorithm>
#include <optional>

namespace quillo {

namespace {

bool isBreakCharacter(const QChar* chars, qsizetype length) {
    if (length == 1) {
        switch (chars[0].unicode()) {
        case u'.':
        case u'!':
        case u'?':
        case u';':
        case u',':
        case u':': return true;
        default: break;
        }
    }
    // Whitespace is decided by the cluster's first code point (a space carrying a mark still counts).
    char32_t first = chars[0].unicode();
    if (length >= 2 && chars[0].isHighSurrogate() && chars[1].isLowSurrogate())
        first = QChar::surrogateToUcs4(chars[0], chars[1]);
    return QChar::isSpace(first);
}

// Packs contiguous pieces of the text into chunks. Pieces arrive in text order, so the current
// chunk is always the range [start, start + length) and is only copied out when emitted.
class ChunkPacker {
public:
    ChunkPacker(const QString& text, qsizetype limit) : text_(text), limit_(limit) {
        // Chunks are rarely much shorter than the limit; this avoids most regrowth of the list.
        chunks_.reserve(text.size() / limit + 1);
    }

    void addPiece(qsizetype pieceStart, qsizetype n) {
        if (length_ > 0 && length_ + n > limit_) emitCurrent();
        if (n >= limit_) {
            emitCurrent();
            chunks_.append(text_.mid(pieceStart, n));
            return;
        }
        if (length_ == 0) start_ = pieceStart;
        length_ += n;
    }

    QStringList finish() {
        emitCurrent();
        return std::move(chunks_);
    }

private:
    void emitCurrent() {
        if (length_ == 0) return;
        chunks_.append(text_.mid(start_, length_));
        length_ = 0;
    }

    const QString& text_;
    qsizetype limit_;
    qsizetype start_ = 0;
    qsizetype length_ = 0;
    QStringList chunks_;
};

// Cuts one unit longer than the limit into pieces, walking its grapheme clusters over the
// whole text, so that a unit agrees with the text about where its characters end.
void splitLongUnit(const QString& text, const GraphemeBoundaries& boundaries, qsizetype unitStart, qsizetype unitEnd,
                   qsizetype limit, ChunkPacker& packer) {
    const QChar* chars = text.constData();
    qsizetype start = unitStart;
    while (start < unitEnd) {
        qsizetype position = start;
        qsizetype lastBreak = -1;
        while (position < unitEnd) {
            // A unit always ends a character: its line feed is the last one.
            const qsizetype next = std::min(boundaries.following(position), unitEnd);
            const qsizetype characterLength = next - position;
            if (characterLength > limit) throw CorrectionChunkingError::characterExceedsLimit();
            if (position - start + characterLength > limit) break;
            if (isBreakCharacter(chars + position, characterLength)) lastBreak = next;
            position = next;
        }
        const qsizetype cut = position >= unitEnd ? unitEnd : (lastBreak > 0 ? lastBreak : position);
        packer.addPiece(start, cut - start);
        start = cut;
    }
}

} // namespace

QStringList CorrectionChunker::chunks(const QString& text) const {
    const qsizetype limit = maximumCharacters;
    const qsizetype length = text.size();
    if (length <= limit) return QStringList{text};

    ChunkPacker packer(text, limit);
    const QChar* chars = text.constData();
    // Segmenting is the costly part, so it happens only once a unit needs cutting.
    std::optional<GraphemeBoundaries> boundaries;
    auto addUnit = [&](qsizetype unitStart, qsizetype unitEnd) {
        const qsizetype unitLength = unitEnd - unitStart;
        if (unitLength <= limit) {
            packer.addPiece(unitStart, unitLength);
            return;
        }
        if (!boundaries) boundaries.emplace(text);
        splitLongUnit(text, *boundaries, unitStart, unitEnd, limit, packer);
    };

    const QStringView view(text);
    qsizetype unitStart = 0;
    for (qsizetype i = view.indexOf(u'\n'); i >= 0; i = view.indexOf(u'\n', i + 1)) {
        // CR LF is one character, so its line feed does not end a line.
        if (i > 0 && chars[i - 1] == u'\r') continue;
        addUnit(unitStart, i + 1);
        unitStart = i + 1;
    }
    // The last line; empty (and dropped by the packer) when the text ends with a line feed.
    if (unitStart < length) addUnit(unitStart, length);
    return packer.finish();
}

} // namespace quillo
