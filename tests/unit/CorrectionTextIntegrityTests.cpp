#include "QtTestPrinters.h"
#include "Support/CorrectionChunkAccumulator.h"
#include "Support/CorrectionTextIntegrity.h"

#include <gtest/gtest.h>

using namespace quillo;
using namespace quillo::CorrectionTextIntegrity;

TEST(CorrectionTextIntegrity, RestoresTheCapturedEdgeWhitespace) {
    EXPECT_EQ(preservingBoundaryWhitespace(QStringLiteral("The mistake."), QStringLiteral("  teh mistake\n")),
              QStringLiteral("  The mistake.\n"));
    EXPECT_EQ(preservingBoundaryWhitespace(QStringLiteral("\n\t The mistake.  \n"), QStringLiteral("  teh mistake\n")),
              QStringLiteral("  The mistake.\n"))
        << "the correction's own edge white space gives way to the captured text's";
    EXPECT_EQ(preservingBoundaryWhitespace(QStringLiteral(" fixed "), QStringLiteral("fixd")), QStringLiteral("fixed"));
    EXPECT_EQ(preservingBoundaryWhitespace(QStringLiteral("x"), QStringLiteral("\u00A0\u3000a\u2029")),
              QStringLiteral("\u00A0\u3000x\u2029"))
        << "Unicode white space, not only ASCII";
    EXPECT_EQ(preservingBoundaryWhitespace(QStringLiteral("x"), QStringLiteral("\r\na\r\n")),
              QStringLiteral("\r\nx\r\n"));
}

TEST(CorrectionTextIntegrity, BlankCapturedTextIsReturnedWhateverTheCorrection) {
    EXPECT_EQ(preservingBoundaryWhitespace(QStringLiteral("anything"), QStringLiteral("  \n ")),
              QStringLiteral("  \n "));
    EXPECT_EQ(preservingBoundaryWhitespace(QStringLiteral("anything"), QString()), QString());
    EXPECT_EQ(normalizedCorrection(QStringLiteral("anything"), QStringLiteral(" \t")), QStringLiteral(" \t"));
}

TEST(CorrectionTextIntegrity, WhitespaceIsJudgedPerCharacter) {
    // A space carrying a combining mark is one white-space character and stays whole at the edge.
    EXPECT_EQ(preservingBoundaryWhitespace(QStringLiteral("b"), QStringLiteral("a \u0301")),
              QStringLiteral("b \u0301"));
    EXPECT_EQ(preservingBoundaryWhitespace(QStringLiteral("b"), QStringLiteral(" \u0301a")),
              QStringLiteral(" \u0301b"));
}

TEST(CorrectionTextIntegrity, BlankCorrectionNeverReplacesText) {
    EXPECT_EQ(normalizedCorrection(QStringLiteral("   "), QStringLiteral("Some text")), QStringLiteral("Some text"));
    EXPECT_EQ(normalizedCorrection(QString(), QStringLiteral(" Some text\n")), QStringLiteral(" Some text\n"));
    EXPECT_EQ(normalizedCorrection(QStringLiteral("Some text."), QStringLiteral("  some text\n")),
              QStringLiteral("  Some text.\n"));
}

TEST(CorrectionChunkAccumulator, JoinsChunksAndReportsOnlyWhenSomethingWasCorrected) {
    CorrectionChunkAccumulator accumulator;
    EXPECT_EQ(accumulator.finalizedCorrection(), std::nullopt);
    accumulator.appendUnchanged(QStringLiteral("\n\n"));
    EXPECT_EQ(accumulator.finalizedCorrection(), std::nullopt) << "blank chunks alone are no correction";
    accumulator.appendCorrection(QStringLiteral("The fix."), QStringLiteral("  teh fix\n"));
    accumulator.appendCorrection(QStringLiteral("Second one."), QStringLiteral("second one"));
    EXPECT_TRUE(accumulator.receivedCorrection);
    EXPECT_EQ(accumulator.finalizedCorrection(), QStringLiteral("\n\n  The fix.\nSecond one."));
    accumulator.failed = true;
    EXPECT_EQ(accumulator.finalizedCorrection(), std::nullopt);
}
