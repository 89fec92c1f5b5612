// Not pass/fail tests: the trigger-to-paste time of 20 whole-field corrections per application on
// the headless KWin with the local cloud, from the F8 press until the corrected text is in the
// field. scripts/bench-trigger kwin runs them (they are disabled in the suite).
#include "KWinEndToEndFixture.h"
#include "TriggerTiming.h"

using namespace quillo;
using namespace quillo::kwintest;
using namespace quillo::desktoptest;

class KWinTriggerTimes : public waylandtest::TriggerTiming<KWinEndToEnd> {};

TEST_F(KWinTriggerTimes, DISABLED_TriggerToPasteTimesInTheTestEditor) {
    TestEditor editor;
    ASSERT_TRUE(editor.start());
    ASSERT_TRUE(focusedOn(editor.processId()));
    const QString expected = expectedCorrection(misspelled);
    ASSERT_NE(expected, misspelled);
    timeCorrections(
        "KWin", "test editor (Qt 6)", misspelled, expected,
        [&] {
            editor.command(QStringLiteral("set single ") + misspelled);
            editor.command(QStringLiteral("focus single"));
            return frontmostFocusIs(FocusedElementCorrectionContext::textInput);
        },
        [&] { return editor.command(QStringLiteral("get"))[QStringLiteral("single")].toString(); });
}

TEST_F(KWinTriggerTimes, DISABLED_TriggerToPasteTimesInMousepad) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("note.txt"));
    ASSERT_TRUE(write(file, misspelled.toUtf8()));
    const QString expected = expectedCorrection(misspelled);
    ASSERT_NE(expected, misspelled);
    ExternalProgram mousepad(QStringLiteral("mousepad"), {QStringLiteral("--disable-server"), file});
    mousepad.useFreshProfile();
    ASSERT_TRUE(mousepad.start());
    ASSERT_TRUE(focusedOn(mousepad.processId()));
    ASSERT_TRUE(frontmostFocusIs(FocusedElementCorrectionContext::textInput));
    timeCorrections(
        "KWin", "Mousepad (GTK 3)", misspelled, expected, [&] { return setFocusedFieldText(misspelled); },
        [&] { return focusedFieldText().value_or(QStringLiteral("none")); });
}
