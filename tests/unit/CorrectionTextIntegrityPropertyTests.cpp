#include "QtTestPrinters.h"
#include "Support/CorrectionTextIntegrity.h"

#include <QList>
#include <QStringList>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

using namespace quillo;

namespace {

// Segments the whole text (ICU's untailored clusters, asked directly) and judges each character by
// its first code point: the plain reading of the edge rule, against which the edge-only
// segmentation of the real code is checked.
QStringList characters(const QString& text) {
    QStringList result;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> it(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    const icu::UnicodeString copy(reinterpret_cast<const char16_t*>(text.utf16()), int32_t(text.size()));
    it->setText(copy);
    int32_t previous = 0;
    for (int32_t next = it->next(); next != icu::BreakIterator::DONE; next = it->next()) {
        result.append(text.mid(previous, next - previous));
        previous = next;
    }
    return result;
}

bool isSpaceCharacter(const QString& c) { return QChar::isSpace(c.toUcs4().first()); }

bool allWhitespace(const QString& text) {
    for (const QString& c : characters(text))
        if (!isSpaceCharacter(c)) return false;
    return true;
}

QString referencePreserving(const QString& corrected, const QString& captured) {
    const QStringList chars = characters(captured);
    qsizetype first = 0;
    while (first < chars.size() && isSpaceCharacter(chars[first])) ++first;
    if (first == chars.size()) return captured;
    qsizetype last = chars.size();
    while (last > first && isSpaceCharacter(chars[last - 1])) --last;
    const QString leading = QStringList(chars.mid(0, first)).join(QString());
    const QString trailing = QStringList(chars.mid(last)).join(QString());
    // Code-point trim of the correction.
    QList<uint> cps = corrected.toUcs4();
    qsizetype b = 0, e = cps.size();
    while (b < e && QChar::isSpace(cps[b])) ++b;
    while (e > b && QChar::isSpace(cps[e - 1])) --e;
    const QString core = QString::fromUcs4(reinterpret_cast<const char32_t*>(cps.constData()) + b, e - b);
    return leading + core + trailing;
}

QString generated(std::mt19937& random) {
    // White space, marks and joiners that cling to it, and characters whose clusters reach across
    // neighbours (prepend, regional indicators, Hangul jamo, emoji modifiers and ZWJ sequences).
    static const QStringList parts{
        QStringLiteral(" "),          QStringLiteral("\n"),         QStringLiteral("\r\n"),
        QStringLiteral("\r"),         QStringLiteral("\t"),         QStringLiteral("\u00A0"),
        QStringLiteral("\u3000"),     QStringLiteral("\u2028"),     QStringLiteral("\u0301"),
        QStringLiteral("\u200D"),     QStringLiteral("\u200B"),     QStringLiteral("\uFE0F"),
        QStringLiteral("\u0600"),     QStringLiteral("\U0001F1EB"), QStringLiteral("\U0001F1F7"),
        QStringLiteral("\u1100"),     QStringLiteral("\u1161"),     QStringLiteral("\u11A8"),
        QStringLiteral("\uAC00"),     QStringLiteral("\U0001F3FD"), QStringLiteral("\U0001F44D"),
        QStringLiteral("\U0001F468"), QStringLiteral("a"),          QStringLiteral("word"),
        QStringLiteral("\u0903"),     QStringLiteral("\u0915"),     QStringLiteral("\u094D"),
        QStringLiteral("e\u0301"),
    };
    QString text;
    const int count = std::uniform_int_distribution<int>(0, 12)(random);
    for (int i = 0; i < count; ++i)
        text += parts[std::uniform_int_distribution<qsizetype>(0, parts.size() - 1)(random)];
    return text;
}

} // namespace

TEST(CorrectionTextIntegrity, EdgeWhitespaceMatchesWholeTextSegmentationOnGeneratedTexts) {
    std::mt19937 random(1234567);
    for (int round = 0; round < 20000; ++round) {
        const QString captured = generated(random);
        const QString corrected = generated(random);
        SCOPED_TRACE(::testing::Message() << "round " << round);
        const QString expected = referencePreserving(corrected, captured);
        const QString actual = CorrectionTextIntegrity::preservingBoundaryWhitespace(corrected, captured);
        ASSERT_EQ(actual, expected) << "actual " << actual.toUtf8().toHex().toStdString() << " expected "
                                    << expected.toUtf8().toHex().toStdString() << " captured "
                                    << captured.toUtf8().toHex().toStdString() << " corrected "
                                    << corrected.toUtf8().toHex().toStdString();
        EXPECT_EQ(CorrectionTextIntegrity::normalizedCorrection(corrected, captured),
                  allWhitespace(expected) ? captured : expected);
    }
}
