// Not a pass/fail test: the trigger-to-paste time of 20 whole-field corrections of our Qt test
// editor on headless sway with the local cloud, from the F8 press (through sway's binding and the
// trigger command) until the corrected text is in the field. scripts/bench-trigger sway runs it.
#include "SwayEndToEndFixture.h"

#include "Support/Clock.h"

#include <algorithm>
#include <cstdio>

using namespace quillo;
using namespace quillo::swaytest;

TEST_F(SwayEndToEnd, DISABLED_TriggerToPasteTimesInTheTestEditor) {
    constexpr int runs = 20;
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
        totals.append((Clock::shared().uptimeSeconds() - start) * 1000.0);
        ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
        waitUntil([] { return false; }, 300); // the clipboard restore
    }
    std::sort(totals.begin(), totals.end());
    const double median = (totals[runs / 2 - 1] + totals[runs / 2]) / 2;
    std::printf("trigger-to-paste test editor (Qt) on sway: %d runs, median %.1f ms, worst %.1f ms\n", runs, median,
                totals.last());
    std::fflush(stdout);
}
