// Not pass/fail tests: the trigger-to-paste time of 20 whole-field corrections per application on
// the headless GNOME Shell with the local cloud, from the F8 press (through the custom keybinding)
// until the corrected text is in the field. scripts/bench-trigger gnome runs them (they are
// disabled in the suite).
#include "GnomeEndToEndFixture.h"
#include "TriggerTiming.h"

#include <QFile>
#include <QTemporaryDir>

using namespace quillo;
using namespace quillo::gnometest;

class GnomeTriggerTimes : public waylandtest::TriggerTiming<GnomeCorrection> {};

TEST_F(GnomeTriggerTimes, DISABLED_InTheTestEditor) {
    TestEditor editor;
    startEditor(editor);
    const QString expected = expectedCorrection(misspelled);
    ASSERT_NE(expected, misspelled);
    timeCorrections(
        "GNOME", "test editor (Qt 6)", misspelled, expected,
        [&] {
            editor.command(QStringLiteral("set single ") + misspelled);
            return true;
        },
        [&] { return field(editor, QStringLiteral("single")); });
}

TEST_F(GnomeTriggerTimes, DISABLED_InMousepad) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("note.txt"));
    QFile note(file);
    ASSERT_TRUE(note.open(QIODevice::WriteOnly) && note.write(misspelled.toUtf8()) > 0);
    note.close();
    const QString expected = expectedCorrection(misspelled);
    ASSERT_NE(expected, misspelled);
    ExternalProgram mousepad(QStringLiteral("mousepad"), {QStringLiteral("--disable-server"), file});
    mousepad.useFreshProfile();
    ASSERT_TRUE(mousepad.start());
    ASSERT_TRUE(focusedOn(mousepad.processId()));
    ASSERT_TRUE(frontmostFocusIs(FocusedElementCorrectionContext::textInput));
    timeCorrections(
        "GNOME", "Mousepad (GTK 3)", misspelled, expected, [&] { return setFocusedFieldText(misspelled); },
        [&] { return focusedFieldText().value_or(QString()); });
}
