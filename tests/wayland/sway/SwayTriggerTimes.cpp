// Not pass/fail tests: the trigger-to-paste time of 20 whole-field corrections of our Qt test
// editor and of Mousepad on headless sway with the local cloud, from the F8 press (through sway's
// binding and the trigger command) until the corrected text is in the field.
// scripts/bench-trigger sway runs them.
#include "SwayEndToEndFixture.h"
#include "TriggerTiming.h"

#include <QFile>
#include <QTemporaryDir>

using namespace quillo;
using namespace quillo::swaytest;

class SwayTriggerTimes : public waylandtest::TriggerTiming<SwayEndToEnd> {};

TEST_F(SwayTriggerTimes, DISABLED_TriggerToPasteTimesInTheTestEditor) {
    const QString expected = expectedCorrection(misspelled);
    ASSERT_NE(expected, misspelled);
    TestEditor editor;
    startEditor(editor);
    timeCorrections(
        "sway", "test editor (Qt)", misspelled, expected,
        [&] {
            editor.command(QStringLiteral("set single ") + misspelled);
            return true;
        },
        [&] { return field(editor, QStringLiteral("single")); });
}

TEST_F(SwayTriggerTimes, DISABLED_TriggerToPasteTimesInMousepad) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("note.txt"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(misspelled.toUtf8());
    }
    const QString expected = expectedCorrection(misspelled);
    ASSERT_NE(expected, misspelled);
    ExternalProgram mousepad(QStringLiteral("mousepad"), {QStringLiteral("--disable-server"), file});
    mousepad.useFreshProfile();
    ASSERT_TRUE(mousepad.start());
    ASSERT_TRUE(focusedOn(mousepad.processId()));
    ASSERT_TRUE(frontmostFocusIs(FocusedElementCorrectionContext::textInput));
    timeCorrections(
        "sway", "Mousepad (GTK 3)", misspelled, expected,
        [&] { return setFocusedFieldText(accessibility, workspace, misspelled); },
        [&] { return focusedFieldText(accessibility, workspace).value_or(QString()); });
}
