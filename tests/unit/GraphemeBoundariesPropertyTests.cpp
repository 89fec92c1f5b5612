// Characters as the user sees them: emoji sequences, flags, keycaps, ZWJ families and Indic
// syllables are never split, whatever text surrounds them (Qt's own finder breaks some of these
// next to Thai or Devanagari text, or a flag right after an emoji).
#include "QtTestPrinters.h"
#include "Support/AccessibilitySupport.h"
#include "Support/CorrectionChunker.h"
#include "Support/CorrectionChunkingError.h"
#include "Support/CorrectionTextIntegrity.h"
#include "Support/GraphemeBoundaries.h"

#include <QList>
#include <gtest/gtest.h>
#include <random>

using namespace quillo;

namespace {

// Each is one extended grapheme cluster, and none joins its neighbour in any order.
const QStringList& wholeCharacters() {
    static const QStringList parts{
        QStringLiteral("a"),
        QStringLiteral(" "),
        QStringLiteral(","),
        QStringLiteral("\r\n"),
        QStringLiteral("\n"),
        QStringLiteral("\u2764"),                                                     // heart
        QStringLiteral("\u2764\uFE0F"),                                               // heart, emoji style
        QStringLiteral("\U0001F1EB\U0001F1F7"),                                       // flag of France
        QStringLiteral("\U0001F1E9\U0001F1EA"),                                       // flag of Germany
        QStringLiteral("\U0001F44D\U0001F3FD"),                                       // thumbs up, medium skin
        QStringLiteral("1\uFE0F\u20E3"),                                              // keycap one
        QStringLiteral("#\uFE0F\u20E3"),                                              // keycap number sign
        QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466"), // family
        QStringLiteral("\U0001F3F3\uFE0F\u200D\U0001F308"),                           // rainbow flag
        QStringLiteral("\u0915\u093F"),                                               // Devanagari ki
        QStringLiteral("\u0928"),                                                     // Devanagari na
        QStringLiteral("\u0E01\u0E34"),                                               // Thai ko kai + sara i
        QStringLiteral("\u0E44"),                                                     // Thai sara ai maimalai
        QStringLiteral("e\u0301"),                                                    // e with combining acute
        QStringLiteral("\uAC00"),                                                     // Hangul syllable ga
    };
    return parts;
}

struct Generated {
    QString text;
    QList<qsizetype> boundaries; // every position between two parts, 0 and the length included
};

Generated generate(std::mt19937& random, int maximumParts) {
    Generated g;
    g.boundaries.append(0);
    const int count = std::uniform_int_distribution<int>(0, maximumParts)(random);
    const QStringList& parts = wholeCharacters();
    for (int i = 0; i < count; ++i) {
        g.text += parts[std::uniform_int_distribution<qsizetype>(0, parts.size() - 1)(random)];
        g.boundaries.append(g.text.size());
    }
    return g;
}

} // namespace

TEST(GraphemeBoundaries, TheIssuesExamplesAreWholeCharacters) {
    EXPECT_EQ(GraphemeBoundaries::count(QStringLiteral("\u2764\U0001F1EB\U0001F1F7")), 2) << "heart, then a flag";
    EXPECT_EQ(GraphemeBoundaries::count(QStringLiteral("\u0E44\u0E17\u0E22\U0001F44D\U0001F3FD")), 4)
        << "a skin tone after Thai text";
    // Namaste: na, ma, and the conjunct s-t with its vowel sign; then a keycap.
    EXPECT_EQ(GraphemeBoundaries::count(QStringLiteral("\u0928\u092E\u0938\u094D\u0924\u0947 1\uFE0F\u20E3")), 5);
    EXPECT_EQ(GraphemeBoundaries::count(QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467")), 1);
    EXPECT_EQ(GraphemeBoundaries::count(QStringLiteral("a\r\nb")), 3);
    EXPECT_EQ(GraphemeBoundaries::count(QString()), 0);
    const QString text = QStringLiteral("x\U0001F1EB\U0001F1F7y");
    const GraphemeBoundaries boundaries(text);
    EXPECT_EQ(boundaries.following(1), 5);
    EXPECT_EQ(boundaries.following(2), 5) << "from inside the flag, to its end";
    EXPECT_EQ(boundaries.preceding(4), 1);
    EXPECT_EQ(boundaries.preceding(0), 0);
    EXPECT_EQ(boundaries.following(text.size()), text.size());
}

TEST(GraphemeBoundaries, CountsAndStepsMatchTheWholeCharactersOfGeneratedTexts) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 5000; ++round) {
        const Generated g = generate(random, 16);
        SCOPED_TRACE(::testing::Message() << "round " << round << " " << g.text.toUtf8().toHex().toStdString());
        ASSERT_EQ(FullFieldCapturePolicy::characterCount(g.text), g.boundaries.size() - 1);
        const GraphemeBoundaries boundaries(g.text);
        for (qsizetype i = 0; i + 1 < g.boundaries.size(); ++i) {
            ASSERT_EQ(boundaries.following(g.boundaries[i]), g.boundaries[i + 1]);
            ASSERT_EQ(boundaries.preceding(g.boundaries[i + 1]), g.boundaries[i]);
        }
    }
}

TEST(GraphemeBoundaries, TheChunkerCutsOnlyBetweenWholeCharacters) {
    std::mt19937 random(4242);
    for (int round = 0; round < 3000; ++round) {
        const Generated g = generate(random, 40);
        const int limit = std::uniform_int_distribution<int>(1, 24)(random);
        SCOPED_TRACE(::testing::Message() << "round " << round << " limit " << limit);
        QStringList chunks;
        try {
            chunks = CorrectionChunker(limit).chunks(g.text);
        } catch (const CorrectionChunkingError&) {
            // Only when one character is longer than the limit.
            bool longCharacter = false;
            for (qsizetype i = 0; i + 1 < g.boundaries.size(); ++i)
                longCharacter = longCharacter || g.boundaries[i + 1] - g.boundaries[i] > limit;
            ASSERT_TRUE(longCharacter);
            continue;
        }
        ASSERT_EQ(chunks.join(QString()), g.text);
        qsizetype position = 0;
        for (const QString& chunk : chunks) {
            position += chunk.size();
            ASSERT_TRUE(g.boundaries.contains(position)) << "cut at " << position;
        }
    }
}

TEST(GraphemeBoundaries, EdgeWhitespaceNeverTakesPartOfACharacter) {
    std::mt19937 random(777);
    for (int round = 0; round < 3000; ++round) {
        const Generated captured = generate(random, 10);
        const Generated corrected = generate(random, 10);
        const QString result = CorrectionTextIntegrity::preservingBoundaryWhitespace(corrected.text, captured.text);
        // The leading white space kept is the capture's, in whole characters.
        qsizetype prefix = 0;
        while (prefix < captured.boundaries.size() - 1 &&
               captured.text
                   .mid(captured.boundaries[prefix], captured.boundaries[prefix + 1] - captured.boundaries[prefix])
                   .trimmed()
                   .isEmpty())
            ++prefix;
        if (prefix == captured.boundaries.size() - 1) {
            ASSERT_EQ(result, captured.text) << "a blank capture is kept";
            continue;
        }
        ASSERT_TRUE(result.startsWith(captured.text.left(captured.boundaries[prefix])));
    }
}
