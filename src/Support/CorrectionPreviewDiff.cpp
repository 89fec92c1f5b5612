#include "Support/CorrectionPreviewDiff.h"

#include "Support/GraphemeBoundaries.h"

#include <QHash>
#include <cstdint>
#include <vector>

namespace quillo::CorrectionPreviewDiff {

namespace {

enum class TokenKind : std::uint8_t { whitespace, word, other };

struct Token {
    qsizetype start = 0;
    qsizetype length = 0;
    bool meaningful = false; // word or other; whitespace has nothing to compare
    int comparable = -1;     // id of the lower-cased text, shared by equal texts of both sides
};

bool isLetterOrMark(char32_t scalar) {
    switch (QChar::category(scalar)) {
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Modifier:
    case QChar::Letter_Other:
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing: return true;
    default: return false;
    }
}

bool isDecimalDigit(char32_t scalar) { return QChar::category(scalar) == QChar::Number_DecimalDigit; }

// The kind of one user-perceived character, chars[start, end).
TokenKind kindOf(const QChar* chars, qsizetype start, qsizetype end) {
    if (end - start == 1) {
        const char16_t c = chars[start].unicode();
        if (c == u'\'' || c == u'\u2019' || c == u'-') return TokenKind::word;
    }
    bool allSpace = true, allLetters = true, allDigits = true;
    for (qsizetype i = start; i < end;) {
        char32_t scalar = chars[i].unicode();
        if (chars[i].isHighSurrogate() && i + 1 < end && chars[i + 1].isLowSurrogate()) {
            scalar = QChar::surrogateToUcs4(chars[i], chars[i + 1]);
            i += 2;
        } else {
            ++i;
        }
        allSpace = allSpace && QChar::isSpace(scalar);
        allLetters = allLetters && isLetterOrMark(scalar);
        allDigits = allDigits && isDecimalDigit(scalar);
        if (!allSpace && !allLetters && !allDigits) return TokenKind::other;
    }
    if (allSpace) return TokenKind::whitespace;
    return TokenKind::word;
}

struct Tokenised {
    std::vector<Token> tokens;
    std::vector<int> meaningful; // indexes into tokens
};

// Maximal runs of characters of one kind. Gives up (returns false) once the text has more
// meaningful tokens than the diff looks at.
bool tokenise(const QString& text, QHash<QString, int>& ids, Tokenised& out) {
    const QChar* chars = text.constData();
    const qsizetype length = text.size();
    if (length == 0) return true;
    const GraphemeBoundaries boundaries(text);
    qsizetype runStart = 0;
    TokenKind runKind{};
    bool haveRun = false;

    auto finish = [&](qsizetype runEnd) {
        Token token{runStart, runEnd - runStart, runKind != TokenKind::whitespace, -1};
        if (token.meaningful) {
            const QString lowered = text.mid(token.start, token.length).toLower();
            const auto it = ids.constFind(lowered);
            token.comparable = it != ids.constEnd() ? *it : int(ids.size());
            if (it == ids.constEnd()) ids.insert(lowered, token.comparable);
            out.meaningful.push_back(int(out.tokens.size()));
        }
        out.tokens.push_back(token);
        return out.meaningful.size() <= std::size_t(maximumMeaningfulTokens);
    };

    qsizetype position = 0;
    while (position < length) {
        const qsizetype next = boundaries.following(position);
        const TokenKind kind = kindOf(chars, position, next);
        if (haveRun && kind != runKind) {
            if (!finish(position)) return false;
            runStart = position;
        }
        runKind = kind;
        haveRun = true;
        position = next;
    }
    return finish(length);
}

QList<CorrectionPreviewSegment> unhighlighted(const QString& corrected) { return {{corrected, false}}; }

} // namespace

QList<CorrectionPreviewSegment> segments(const QString& original, const QString& corrected) {
    QHash<QString, int> ids;
    Tokenised before, after;
    if (!tokenise(corrected, ids, after) || after.meaningful.empty()) return unhighlighted(corrected);
    if (!tokenise(original, ids, before)) return unhighlighted(corrected);

    const std::size_t n = before.meaningful.size();
    const std::size_t m = after.meaningful.size();
    std::vector<int> a(n), b(m);
    for (std::size_t i = 0; i < n; ++i) a[i] = before.tokens[before.meaningful[i]].comparable;
    for (std::size_t j = 0; j < m; ++j) b[j] = after.tokens[after.meaningful[j]].comparable;

    // (n+1) x (m+1), row-major; lengths never exceed 450, so 16 bits suffice.
    const std::size_t width = m + 1;
    std::vector<std::uint16_t> table((n + 1) * width, 0);
    for (std::size_t i = 1; i <= n; ++i) {
        std::uint16_t* row = &table[i * width];
        const std::uint16_t* above = &table[(i - 1) * width];
        for (std::size_t j = 1; j <= m; ++j)
            row[j] = a[i - 1] == b[j - 1] ? std::uint16_t(above[j - 1] + 1) : std::max(above[j], row[j - 1]);
    }

    std::vector<bool> unchanged(after.tokens.size(), false);
    for (std::size_t i = n, j = m; i > 0 && j > 0;) {
        if (a[i - 1] == b[j - 1]) {
            unchanged[after.meaningful[j - 1]] = true;
            --i;
            --j;
        } else if (table[(i - 1) * width + j] >= table[i * width + j - 1]) {
            --i;
        } else {
            --j;
        }
    }

    QList<CorrectionPreviewSegment> result;
    qsizetype runStart = 0;
    bool runChanged = false;
    for (std::size_t k = 0; k < after.tokens.size(); ++k) {
        const Token& token = after.tokens[k];
        const bool changed = token.meaningful && !unchanged[k];
        if (k > 0 && changed != runChanged) {
            result.append({corrected.mid(runStart, token.start - runStart), runChanged});
            runStart = token.start;
        }
        runChanged = changed;
    }
    result.append({corrected.mid(runStart), runChanged});
    return result;
}

} // namespace quillo::CorrectionPreviewDiff
