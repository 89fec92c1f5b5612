#pragma once
// What the suites' trigger-to-paste timings share. Not pass/fail tests (they are disabled in the
// suites; scripts/bench-trigger runs them): whole-field corrections of one application on a
// headless compositor with the local cloud, timed from the trigger press until the corrected text
// is in the field.
#include "DesktopTestSupport.h"

#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace quillo::waylandtest {

// The median and worst of `totals` (milliseconds), on the line scripts/bench-trigger keeps.
inline void reportTriggerTimes(const char* desktop, const char* application, QList<double> totals) {
    std::sort(totals.begin(), totals.end());
    const auto middle = totals.size() / 2;
    const double median = totals.isEmpty()         ? 0.0
                          : totals.size() % 2 == 1 ? totals[middle]
                                                   : (totals[middle - 1] + totals[middle]) / 2;
    std::printf("trigger-to-paste on %s, %s: %lld runs, median %.1f ms, worst %.1f ms\n", desktop, application,
                static_cast<long long>(totals.size()), median, totals.isEmpty() ? 0.0 : totals.last());
    std::fflush(stdout);
}

// A suite's fixture, which presses the trigger (pressTrigger(), clearing the toast) and sees
// Quillo's outcome (outcomeShown(), toast), made to time corrections.
template <class Fixture> class TriggerTiming : public Fixture {
protected:
    static constexpr int runs = 20;

    // Times `runs` whole-field corrections of `misspelled` into `expected`: `restore` puts the
    // misspelled text back and `current` reads the field before and after each run.
    void timeCorrections(const char* desktop, const char* application, const QString& misspelled,
                         const QString& expected, const std::function<bool()>& restore,
                         const std::function<QString()>& current) {
        using desktoptest::waitUntil;
        QList<double> totals;
        for (int run = 0; run < runs; ++run) {
            ASSERT_TRUE(restore());
            ASSERT_TRUE(waitUntil([&] { return current() == misspelled; }));
            QElapsedTimer elapsed;
            elapsed.start();
            this->pressTrigger();
            ASSERT_TRUE(waitUntil([&] { return current() == expected; }, 20000)) << current().toStdString();
            totals.append(static_cast<double>(elapsed.nsecsElapsed()) / 1e6);
            ASSERT_TRUE(this->outcomeShown()) << this->toast.joined().toStdString();
            waitUntil([] { return false; }, 300); // the clipboard restore
        }
        reportTriggerTimes(desktop, application, totals);
    }
};

} // namespace quillo::waylandtest
