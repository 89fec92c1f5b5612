#include "Support/CorrectionPreviewDiff.h"

#include "QtTestPrinters.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringList>
#include <gtest/gtest.h>

using namespace quillo;

namespace {

using Segments = QList<CorrectionPreviewSegment>;

CorrectionPreviewSegment changed(const QString& text) { return {text, true}; }
CorrectionPreviewSegment same(const QString& text) { return {text, false}; }

QString joined(const Segments& segments) {
    QString text;
    for (const auto& segment : segments) text += segment.text;
    return text;
}

QString words(int count) {
    QStringList list;
    for (int i = 0; i < count; ++i) list << QStringLiteral("w%1").arg(i);
    return list.join(u' ');
}

} // namespace

namespace quillo {
// Found by argument-dependent lookup, so it lives next to the type.
void PrintTo(const CorrectionPreviewSegment& segment, std::ostream* os) {
    *os << (segment.isChanged ? "changed " : "same ");
    ::PrintTo(segment.text, os);
}
} // namespace quillo

TEST(CorrectionPreviewDiff, MarksOnlyTheCorrectedWords) {
    EXPECT_EQ(CorrectionPreviewDiff::segments("teh cat", "the cat"), (Segments{changed("the"), same(" cat")}));
    EXPECT_EQ(CorrectionPreviewDiff::segments("Hello world", "hello world"), (Segments{same("hello world")}));
    EXPECT_EQ(CorrectionPreviewDiff::segments("a b", "a, b"), (Segments{same("a"), changed(","), same(" b")}));
    EXPECT_EQ(CorrectionPreviewDiff::segments("teh kat", "the cat"),
              (Segments{changed("the"), same(" "), changed("cat")}));
    EXPECT_EQ(CorrectionPreviewDiff::segments("same text.", "same text."), (Segments{same("same text.")}));
    // Accents count; the comparison is exact after lower-casing.
    EXPECT_EQ(CorrectionPreviewDiff::segments("cafe ouvert", "café ouvert"),
              (Segments{changed("café"), same(" ouvert")}));
}

TEST(CorrectionPreviewDiff, TokensFollowCharacterKinds) {
    // Apostrophes, the right single quotation mark and hyphens stay inside words.
    EXPECT_EQ(CorrectionPreviewDiff::segments("dont e mail", "don't e-mail"),
              (Segments{changed("don't"), same(" "), changed("e-mail")}));
    EXPECT_EQ(CorrectionPreviewDiff::segments("don\u2019t go", "don\u2019t go!"),
              (Segments{same("don\u2019t go"), changed("!")}));
    // A run of punctuation is one token: ",)" differs from ")".
    EXPECT_EQ(CorrectionPreviewDiff::segments("(a) b", "(a,) b"), (Segments{same("(a"), changed(",)"), same(" b")}));
    // Letters and digits are both word characters, so "abc123" is one word.
    EXPECT_EQ(CorrectionPreviewDiff::segments("abc 123", "abc123"), (Segments{changed("abc123")}));
    // A decomposed accent belongs to its letter; an emoji is punctuation-like.
    EXPECT_EQ(CorrectionPreviewDiff::segments("cafe\u0301 ok", "cafe\u0301 ok \U0001F600"),
              (Segments{same("cafe\u0301 ok "), changed("\U0001F600")}));
    // Line breaks and tabs are white space and never highlighted.
    EXPECT_EQ(CorrectionPreviewDiff::segments("a\n\tb", "a\n\tc"), (Segments{same("a\n\t"), changed("c")}));
}

TEST(CorrectionPreviewDiff, WhiteSpaceOnlyOrEmptyCorrectionIsOneUnchangedSegment) {
    EXPECT_EQ(CorrectionPreviewDiff::segments("text", "  \n "), (Segments{same("  \n ")}));
    EXPECT_EQ(CorrectionPreviewDiff::segments("text", ""), (Segments{same("")}));
    EXPECT_EQ(CorrectionPreviewDiff::segments("", "new words"),
              (Segments{changed("new"), same(" "), changed("words")}));
    EXPECT_EQ(CorrectionPreviewDiff::segments("x", " y "), (Segments{same(" "), changed("y"), same(" ")}));
}

TEST(CorrectionPreviewDiff, LongTextsAreNotHighlighted) {
    const QString at = words(450), over = words(451);
    EXPECT_EQ(CorrectionPreviewDiff::segments(over, "changed"), (Segments{same("changed")}));
    EXPECT_EQ(CorrectionPreviewDiff::segments("changed", over), (Segments{same(over)}));
    // At the limit the diff still runs.
    const QString edited = QString(at).replace("w449", "last");
    const Segments result = CorrectionPreviewDiff::segments(at, edited);
    ASSERT_EQ(result.size(), 2);
    EXPECT_EQ(result.last(), changed("last"));
}

// Random word edits: the unchanged tokens must be a common subsequence of both texts, at least
// as long as the untouched words, and the segments must rebuild the correction.
TEST(CorrectionPreviewDiff, GeneratedEditsRebuildTheCorrection) {
    static const QStringList vocabulary = {"the",   "The",    "cat",   "sat", "on", "mat", ",", ".",
                                           "don't", "e-mail", "naïve", "42",  "!?", "dog", "a", "an"};
    static const QStringList spaces = {" ", "  ", "\n", " \t"};
    QRandomGenerator random(20261207);
    for (int round = 0; round < 300; ++round) {
        QStringList originalWords, correctedWords;
        const int count = int(random.bounded(1, 60));
        int untouched = 0;
        for (int i = 0; i < count; ++i) originalWords << vocabulary[random.bounded(vocabulary.size())];
        for (const QString& word : originalWords) {
            switch (random.bounded(6)) {
            case 0: break; // deleted
            case 1: correctedWords << QStringLiteral("typo%1").arg(round); break;
            case 2:
                correctedWords << "ins" << word;
                ++untouched;
                break;
            default:
                correctedWords << word;
                ++untouched;
                break;
            }
        }
        // Words are separated by white space so each stays one token.
        auto glue = [&](const QStringList& list) {
            QString text;
            for (const QString& word : list) text += word + spaces[random.bounded(spaces.size())];
            return text;
        };
        const QString original = glue(originalWords), corrected = glue(correctedWords);
        const Segments result = CorrectionPreviewDiff::segments(original, corrected);
        ASSERT_EQ(joined(result), corrected);
        for (qsizetype i = 1; i < result.size(); ++i) ASSERT_NE(result[i].isChanged, result[i - 1].isChanged);

        static const QRegularExpression separator("\\s+");
        QStringList kept;
        int changedCount = 0;
        for (const auto& segment : result) {
            const QStringList tokens = segment.text.split(separator, Qt::SkipEmptyParts);
            if (segment.isChanged) changedCount += int(tokens.size());
            else kept << tokens;
        }
        // Every kept token appears in the original in the same order.
        qsizetype at = 0;
        for (const QString& token : kept) {
            while (at < originalWords.size() && originalWords[at].toLower() != token.toLower()) ++at;
            ASSERT_LT(at, originalWords.size()) << "kept token out of order: " << token.toStdString();
            ++at;
        }
        EXPECT_GE(kept.size(), untouched);
        EXPECT_EQ(kept.size() + changedCount, correctedWords.size());
    }
}

TEST(CorrectionPreviewDiff, PunctuationAndSymbolsAreTheirOwnTokens) {
    EXPECT_EQ(CorrectionPreviewDiff::segments("Wait", "Wait!!!"), (Segments{same("Wait"), changed("!!!")}));
    EXPECT_EQ(CorrectionPreviewDiff::segments("x", "!!!"), (Segments{changed("!!!")}));
    // A word split by a hyphen stays one token, so the split is a change of the whole word.
    EXPECT_EQ(CorrectionPreviewDiff::segments("well known", "well-known"), (Segments{changed("well-known")}));
    // Repeated words: the common subsequence keeps as many as both texts share.
    EXPECT_EQ(CorrectionPreviewDiff::segments("the the cat", "the cat"), (Segments{same("the cat")}));
    EXPECT_EQ(CorrectionPreviewDiff::segments("the cat", "the the cat"), (Segments{changed("the"), same(" the cat")}));
}
