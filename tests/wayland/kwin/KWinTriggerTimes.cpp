// Not pass/fail tests: the trigger-to-paste time of 20 whole-field corrections per application on
// the headless KWin with the local cloud, from the F8 press until the corrected text is in the
// field. scripts/bench-trigger kwin runs them (they are disabled in the suite).
#include "KWinEndToEndFixture.h"

#include <QElapsedTimer>

#include <algorithm>

using namespace quillo;
using namespace quillo::kwintest;
using namespace quillo::desktoptest;

namespace {

constexpr int runs = 20;

void report(const char* application, QList<double> totals) {
    std::sort(totals.begin(), totals.end());
    const auto middle = totals.size() / 2;
    const double median = totals.isEmpty()         ? 0.0
                          : totals.size() % 2 == 1 ? totals[middle]
                                                   : (totals[middle - 1] + totals[middle]) / 2;
    std::printf("trigger-to-paste on KWin, %s: %lld runs, median %.1f ms, worst %.1f ms\n", application,
                static_cast<long long>(totals.size()), median, totals.isEmpty() ? 0.0 : totals.last());
    std::fflush(stdout);
}

} // namespace

TEST_F(KWinEndToEnd, DISABLED_TriggerToPasteTimesInTheTestEditor) {
    TestEditor editor;
    ASSERT_TRUE(editor.start());
    ASSERT_TRUE(focusedOn(editor.processId()));
    const QString expected = expectedCorrection(misspelled);
    ASSERT_NE(expected, misspelled);
    QList<double> totals;
    for (int run = 0; run < runs; ++run) {
        editor.command(QStringLiteral("set single ") + misspelled);
        editor.command(QStringLiteral("focus single"));
        ASSERT_TRUE(frontmostFocusIs(FocusedElementCorrectionContext::textInput));
        toast.events.clear();
        QElapsedTimer elapsed;
        elapsed.start();
        press(V::f8);
        ASSERT_TRUE(waitUntil(
            [&] { return editor.command(QStringLiteral("get"))[QStringLiteral("single")].toString() == expected; },
            20000));
        totals.append(static_cast<double>(elapsed.nsecsElapsed()) / 1e6);
        ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
        waitUntil([] { return false; }, 300); // the clipboard restore
    }
    report("test editor (Qt 6)", totals);
}

TEST_F(KWinEndToEnd, DISABLED_TriggerToPasteTimesInMousepad) {
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
    QList<double> totals;
    for (int run = 0; run < runs; ++run) {
        ASSERT_TRUE(setFocusedFieldText(misspelled));
        ASSERT_TRUE(waitUntil([&] { return focusedFieldText() == misspelled; }));
        toast.events.clear();
        QElapsedTimer elapsed;
        elapsed.start();
        press(V::f8);
        ASSERT_TRUE(waitUntil([&] { return focusedFieldText() == expected; }, 20000))
            << focusedFieldText().value_or(QStringLiteral("none")).toStdString();
        totals.append(static_cast<double>(elapsed.nsecsElapsed()) / 1e6);
        ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
        waitUntil([] { return false; }, 300); // the clipboard restore
    }
    report("Mousepad (GTK 3)", totals);
}
