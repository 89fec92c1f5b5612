// Not pass/fail tests: the trigger-to-paste time of 20 whole-field corrections of our Qt test
// editor and of Mousepad on headless sway with the local cloud, from the F8 press (through sway's
// binding and the trigger command) until the corrected text is in the field.
// scripts/bench-trigger sway runs them.
#include "SwayEndToEndFixture.h"

#include "Support/Clock.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace quillo;
using namespace quillo::swaytest;

namespace {

constexpr int runs = 20;

void report(const char* application, QList<double> totals) {
    std::sort(totals.begin(), totals.end());
    const double median = (totals[runs / 2 - 1] + totals[runs / 2]) / 2;
    std::printf("trigger-to-paste %s on sway: %d runs, median %.1f ms, worst %.1f ms\n", application, runs, median,
                totals.last());
    std::fflush(stdout);
}

double elapsedMs(double start) { return (Clock::shared().uptimeSeconds() - start) * 1000.0; }

} // namespace

TEST_F(SwayEndToEnd, DISABLED_TriggerToPasteTimesInTheTestEditor) {
    const QString expected = expectedCorrection(misspelled);
    ASSERT_NE(expected, misspelled);
    TestEditor editor;
    startEditor(editor);
    QList<double> totals;
    for (int run = 0; run < runs; ++run) {
        editor.command(QStringLiteral("set single ") + misspelled);
        const double start = Clock::shared().uptimeSeconds();
        pressTrigger();
        ASSERT_TRUE(waitUntil([&] { return field(editor, QStringLiteral("single")) == expected; }, 20000));
        totals.append(elapsedMs(start));
        ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
        waitUntil([] { return false; }, 300); // the clipboard restore
    }
    report("test editor (Qt)", totals);
}

TEST_F(SwayEndToEnd, DISABLED_TriggerToPasteTimesInMousepad) {
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
    QList<double> totals;
    for (int run = 0; run < runs; ++run) {
        ASSERT_TRUE(setFocusedFieldText(accessibility, workspace, misspelled));
        ASSERT_TRUE(waitUntil([&] { return focusedFieldText(accessibility, workspace) == misspelled; }));
        const double start = Clock::shared().uptimeSeconds();
        pressTrigger();
        ASSERT_TRUE(waitUntil([&] { return focusedFieldText(accessibility, workspace) == expected; }, 20000));
        totals.append(elapsedMs(start));
        ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
        waitUntil([] { return false; }, 300); // the clipboard restore
    }
    report("Mousepad (GTK 3)", totals);
}
