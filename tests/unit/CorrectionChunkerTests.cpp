#include "QtTestPrinters.h"
#include "Support/CorrectionChunker.h"
#include "Support/CorrectionChunkingError.h"
#include "Support/GraphemeBoundaries.h"

#include <gtest/gtest.h>
#include <random>

using namespace quillo;

namespace {

QStringList chunk(const QString& text, qsizetype limit) { return CorrectionChunker(limit).chunks(text); }

const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466");

// A direct, unoptimised reading of the chunking rules over a list of grapheme clusters,
// used as an oracle for the real chunker.
QStringList referenceChunks(const QString& text, qsizetype limit) {
    if (text.size() <= limit) return {text};
    QStringList lines;
    QString line;
    const GraphemeBoundaries graphemes(text);
    QStringList characters;
    qsizetype previous = 0;
    for (qsizetype next = 0; next < text.size();) {
        next = graphemes.following(next);
        characters.append(text.mid(previous, next - previous));
        previous = next;
    }
    std::vector<QStringList> units(1);
    for (const QString& c : characters) {
        units.back().append(c);
        if (c == QStringLiteral("\n")) units.emplace_back();
    }
    if (units.back().isEmpty()) units.pop_back();

    auto isBreak = [](const QString& c) {
        static const QString punctuation = QStringLiteral(".!?;,:");
        if (c.size() == 1 && punctuation.contains(c)) return true;
        return QChar::isSpace(c.toUcs4().first());
    };
    QStringList pieces;
    for (const QStringList& unit : units) {
        const qsizetype unitLength = unit.join(QString()).size();
        if (unitLength <= limit) {
            pieces.append(unit.join(QString()));
            continue;
        }
        qsizetype start = 0;
        while (start < unit.size()) {
            qsizetype sum = 0, i = start, lastBreak = -1;
            for (; i < unit.size(); ++i) {
                if (unit[i].size() > limit) throw CorrectionChunkingError::characterExceedsLimit();
                if (sum + unit[i].size() > limit) break;
                sum += unit[i].size();
                if (isBreak(unit[i])) lastBreak = i + 1;
            }
            const qsizetype cut = i >= unit.size() ? unit.size() : (lastBreak > 0 ? lastBreak : i);
            pieces.append(QStringList(unit.mid(start, cut - start)).join(QString()));
            start = cut;
        }
    }
    QStringList chunks;
    QString current;
    for (const QString& piece : pieces) {
        if (!current.isEmpty() && current.size() + piece.size() > limit) {
            chunks.append(current);
            current.clear();
        }
        if (piece.size() >= limit) {
            if (!current.isEmpty()) chunks.append(current);
            current.clear();
            chunks.append(piece);
        } else {
            current += piece;
        }
    }
    if (!current.isEmpty()) chunks.append(current);
    return chunks;
}

QString generatedText(std::mt19937& random) {
    static const QStringList words{QStringLiteral("the"),  QStringLiteral("quick"), QStringLiteral("brown"),
                                   QStringLiteral("fox"),  QStringLiteral("a"),     QStringLiteral("jumps"),
                                   QStringLiteral("over"), QStringLiteral("lazy"),  QStringLiteral("dog")};
    static const QStringList others{
        QStringLiteral(" "),
        QStringLiteral(" "),
        QStringLiteral("  "),
        QStringLiteral("\n"),
        QStringLiteral("\r\n"),
        QStringLiteral("\n\n"),
        QStringLiteral("\t"),
        QStringLiteral("\u00A0"),
        QStringLiteral(", "),
        QStringLiteral("."),
        QStringLiteral("?!"),
        QStringLiteral(";:"),
        QStringLiteral("e\u0301"),
        QStringLiteral("a\u0308\u0323"),
        QStringLiteral("n\u0303\u0303\u0303"),
        family,
        QStringLiteral("\U0001F1EB\U0001F1F7"),
        QStringLiteral("\U0001F44D\U0001F3FD"),
        QStringLiteral("\u00E9"),
        QStringLiteral("\u4E2D\u6587"),
        QStringLiteral("\r"),
        QStringLiteral(" \u0301"),
        QStringLiteral(".\u0301"),
        // Devanagari makes Qt tailor the segmentation of the emoji and spaces around it.
        QStringLiteral("\u0915\u094D\u0937"),
        QStringLiteral("\u0903"),
        QStringLiteral("\U0001F44D\t\u0903"),
    };
    QString text;
    const int parts = std::uniform_int_distribution<int>(0, 40)(random);
    for (int p = 0; p < parts; ++p) {
        const int kind = std::uniform_int_distribution<int>(0, 9)(random);
        if (kind < 5) {
            text += words[std::uniform_int_distribution<qsizetype>(0, words.size() - 1)(random)];
        } else if (kind < 9) {
            text += others[std::uniform_int_distribution<qsizetype>(0, others.size() - 1)(random)];
        } else {
            const int run = std::uniform_int_distribution<int>(10, 120)(random);
            text += QString(run, QChar(u'x'));
        }
    }
    return text;
}

qsizetype longestCluster(const QString& text) {
    const GraphemeBoundaries boundaries(text);
    qsizetype previous = 0, longest = 0;
    for (qsizetype next = 0; next < text.size();) {
        next = boundaries.following(next);
        longest = std::max(longest, next - previous);
        previous = next;
    }
    return longest;
}

} // namespace

TEST(CorrectionChunker, GeneratedTextsKeepEveryPropertyAndMatchTheReference) {
    std::mt19937 random(20260105);
    int checked = 0, thrown = 0;
    for (int round = 0; round < 4000; ++round) {
        const QString text = generatedText(random);
        const qsizetype limit = std::uniform_int_distribution<qsizetype>(1, 50)(random);
        SCOPED_TRACE(::testing::Message() << "round " << round << " limit " << limit);
        const bool mustThrow = text.size() > limit && longestCluster(text) > limit;
        QStringList chunks;
        try {
            chunks = chunk(text, limit);
        } catch (const CorrectionChunkingError& error) {
            EXPECT_TRUE(mustThrow);
            EXPECT_EQ(error.kind(), CorrectionChunkingError::Kind::characterExceedsLimit);
            ++thrown;
            continue;
        }
        ASSERT_FALSE(mustThrow);
        ++checked;
        EXPECT_EQ(chunks.join(QString()), text);
        EXPECT_EQ(chunks, referenceChunks(text, limit));
        if (text.size() <= limit) {
            EXPECT_EQ(chunks.size(), 1);
            continue;
        }
        const GraphemeBoundaries boundaries(text);
        qsizetype offset = 0;
        for (const QString& c : chunks) {
            EXPECT_FALSE(c.isEmpty());
            EXPECT_LE(c.size(), limit);
            offset += c.size();
            EXPECT_TRUE(offset == text.size() || boundaries.following(boundaries.preceding(offset)) == offset)
                << "a chunk ends inside a character at " << offset;
            const bool insidePair = offset > 0 && offset < text.size() &&
                                    ((text[offset - 1].isHighSurrogate() && text[offset].isLowSurrogate()) ||
                                     (text[offset - 1] == u'\r' && text[offset] == u'\n'));
            EXPECT_FALSE(insidePair) << "a chunk ends inside a code point or a CR LF at " << offset;
        }
    }
    EXPECT_GT(checked, 2000);
    EXPECT_GT(thrown, 20);
}

TEST(CorrectionChunker, TextsAtOrBelowTheLimitStayWhole) {
    EXPECT_EQ(chunk(QString(), 10), QStringList{QString()}) << "an empty text gives one empty chunk";
    EXPECT_EQ(chunk(QString(10, u'a'), 10), QStringList{QString(10, u'a')});
    EXPECT_EQ(chunk(QString(11, u'a'), 10), (QStringList{QString(10, u'a'), QStringLiteral("a")}));
    EXPECT_EQ(chunk(QString(9000, u'a'), 9000).size(), 1);
    EXPECT_EQ(chunk(QString(9001, u'a'), 9000).size(), 2);
}

TEST(CorrectionChunker, WorkedExamples) {
    EXPECT_EQ(chunk(QStringLiteral("aaaa\nbbbb\ncccc"), 10),
              (QStringList{QStringLiteral("aaaa\nbbbb\n"), QStringLiteral("cccc")}))
        << "lines are packed together while they fit";
    EXPECT_EQ(chunk(QStringLiteral("aaaa bbbb cccc"), 10),
              (QStringList{QStringLiteral("aaaa bbbb "), QStringLiteral("cccc")}))
        << "the cut falls after the last space that fits";
    EXPECT_EQ(chunk(QStringLiteral("abcdefghij"), 5), (QStringList{QStringLiteral("abcde"), QStringLiteral("fghij")}));
    EXPECT_EQ(chunk(QStringLiteral("one, two, three"), 10),
              (QStringList{QStringLiteral("one, two, "), QStringLiteral("three")}));
}

TEST(CorrectionChunker, CarriageReturnLineFeedIsOneCharacterAndNoLineEnd) {
    EXPECT_EQ(chunk(QStringLiteral("aaaa\r\nbbbb\r\ncccc"), 10),
              (QStringList{QStringLiteral("aaaa\r\n"), QStringLiteral("bbbb\r\ncccc")}))
        << "one unit, cut by the long-unit splitter after the first line end";
    EXPECT_EQ(chunk(QStringLiteral("abcd\r\nef"), 5), (QStringList{QStringLiteral("abcd"), QStringLiteral("\r\nef")}))
        << "the hard cut never separates CR from LF";
    EXPECT_EQ(chunk(QStringLiteral("ab\r\n"), 2), (QStringList{QStringLiteral("ab"), QStringLiteral("\r\n")}));
    // A lone CR is an ordinary whitespace character.
    EXPECT_EQ(chunk(QStringLiteral("ab\rcd\ref"), 4),
              (QStringList{QStringLiteral("ab\r"), QStringLiteral("cd\r"), QStringLiteral("ef")}));
}

TEST(CorrectionChunker, PieceOfExactlyTheLimitStandsAlone) {
    EXPECT_EQ(chunk(QStringLiteral("a\nbcde\nf"), 5),
              (QStringList{QStringLiteral("a\n"), QStringLiteral("bcde\n"), QStringLiteral("f")}));
    EXPECT_EQ(chunk(QStringLiteral("abcd\nxy"), 5), (QStringList{QStringLiteral("abcd\n"), QStringLiteral("xy")}));
    EXPECT_EQ(chunk(QStringLiteral("abcd\nx\ny"), 5), (QStringList{QStringLiteral("abcd\n"), QStringLiteral("x\ny")}));
}

TEST(CorrectionChunker, LineFeedsAtEdgesAndRepeatedAreKept) {
    const QString text = QStringLiteral("\n\n\nab\n\n\ncd\n\n");
    const QStringList chunks = chunk(text, 2);
    EXPECT_EQ(chunks.join(QString()), text);
    EXPECT_EQ(chunks,
              (QStringList{QStringLiteral("\n\n"), QStringLiteral("\n"), QStringLiteral("ab"), QStringLiteral("\n\n"),
                           QStringLiteral("\n"), QStringLiteral("cd"), QStringLiteral("\n\n")}));
}

TEST(CorrectionChunker, MultiCodePointEmojiCountsItsUnitsAndIsNeverCut) {
    ASSERT_EQ(family.size(), 11);
    EXPECT_EQ(chunk(family + family, 12), (QStringList{family, family}));
    EXPECT_EQ(chunk(QStringLiteral("ab") + family, 12), (QStringList{QStringLiteral("ab"), family}));
    EXPECT_EQ(chunk(family + QStringLiteral(" x"), 12),
              (QStringList{family + QStringLiteral(" "), QStringLiteral("x")}));
    EXPECT_THROW(chunk(family + QStringLiteral("x"), 10), CorrectionChunkingError);
    EXPECT_THROW(chunk(family, 10), CorrectionChunkingError);
}

TEST(CorrectionChunker, CharacterLongerThanTheLimitThrows) {
    QString longCharacter = QStringLiteral("a") + QString(9001, QChar(0x0301));
    EXPECT_THROW(chunk(QStringLiteral("Hello ") + longCharacter + QStringLiteral(" world"), 9000),
                 CorrectionChunkingError);
    QString fits = QStringLiteral("a") + QString(8999, QChar(0x0301));
    const QStringList chunks = chunk(QStringLiteral("Hello ") + fits + QStringLiteral(" world"), 9000);
    EXPECT_EQ(chunks, (QStringList{QStringLiteral("Hello "), fits, QStringLiteral(" world")}))
        << "the long character fills a chunk and is cut hard after it";
}

TEST(CorrectionChunker, PunctuationWithMarksAndNonBreakingSpaceAreNotAlike) {
    // "." carrying a mark is not one of the six break characters; a no-break space is white space.
    EXPECT_EQ(chunk(QStringLiteral("ab.\u0301cd"), 5),
              (QStringList{QStringLiteral("ab.\u0301c"), QStringLiteral("d")}));
    EXPECT_EQ(chunk(QStringLiteral("a.\u0301bcd"), 4),
              (QStringList{QStringLiteral("a.\u0301b"), QStringLiteral("cd")}));
    EXPECT_EQ(chunk(QStringLiteral("ab\u00A0cdef"), 4),
              (QStringList{QStringLiteral("ab\u00A0"), QStringLiteral("cdef")}));
}

TEST(CorrectionChunker, NeverSplitsACodePointOrCarriageReturnLineFeedNearIndicText) {
    // Qt's Devanagari tailoring reported boundaries inside the emoji's surrogate pair and between CR
    // and LF. Untailored, the spacing mark after the second emoji belongs to it: a 3-unit character.
    const QString emojiText = QStringLiteral("x\U0001F44D\t\u0903y\u0915\U0001F44D\u0903z");
    EXPECT_THROW(chunk(emojiText, 2), CorrectionChunkingError);
    for (qsizetype limit = 3; limit <= 8; ++limit) {
        SCOPED_TRACE(limit);
        const QStringList chunks = chunk(emojiText, limit);
        EXPECT_EQ(chunks.join(QString()), emojiText);
        for (const QString& c : chunks) {
            EXPECT_FALSE(c.front().isLowSurrogate());
            EXPECT_FALSE(c.back().isHighSurrogate());
        }
    }
    EXPECT_EQ(chunk(QStringLiteral("ab\u0915\r\n\u0903cd"), 4),
              (QStringList{QStringLiteral("ab\u0915"), QStringLiteral("\r\n"), QStringLiteral("\u0903cd")}));
}
