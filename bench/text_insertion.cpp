// The insertion engine's own cost on the simulated desktop. The virtual clock makes every
// fixed wait free in real time, so the measured time is the engine's overhead (inspection,
// snapshots, pasteboard transactions, keystrokes, policy checks). The counters report the
// virtual time each path spends waiting, beside the waits the fixed constants add up to.
#include "Platform/Fake/FakeDesktop.h"
#include "Services/TextInsertionEngine.h"
#include "Support/TaskOutcome.h"
#include "Support/VirtualClock.h"

#include <QLoggingCategory>
#include <benchmark/benchmark.h>

using namespace quillo;

namespace {

using Engine = TextInsertionEngine;

struct Bench {
    VirtualClock clock;
    FakeDesktop desktop{clock};
    FakeApplication& editor = desktop.addApplication(501, QStringLiteral("org.gnome.TextEditor"));
    std::shared_ptr<FakeTextField> field;
    Engine engine{desktop.platform(), {}, clock};

    explicit Bench(int characters) {
        desktop.activate(editor);
        // A wrapper of a few levels around the field, as toolkits build them.
        auto scroll = editor.addElement(QStringLiteral("AXScrollArea"));
        auto group = editor.addElement(QStringLiteral("AXGroup"), scroll);
        field = editor.addTextField(QString(characters, u'x'), QStringLiteral("AXTextArea"), group);
        editor.focus(field);
        PasteboardItem rich;
        rich.setString(QStringLiteral("text/html"), QStringLiteral("<b>user clipboard</b>"));
        rich.setString(QStringLiteral("text/plain"), QStringLiteral("user clipboard"));
        PasteboardItem image;
        image.setData(QStringLiteral("image/png"), QByteArray(4096, '\x7f'));
        desktop.pasteboard.writeFromAnotherProgram({rich, image});
    }

    // Runs the task to its end on the virtual clock (pending restores included) and
    // returns the virtual seconds until the task itself finished.
    template <typename T> double drive(QCoro::Task<T>&& task) {
        const double start = clock.uptimeSeconds();
        double finishedAt = start;
        auto outcome = observe(std::move(task), std::function<void(const TaskOutcome<T>&)>([&](const TaskOutcome<T>&) {
                                   finishedAt = clock.uptimeSeconds();
                               }));
        while (clock.advanceToNextTimer()) {}
        if (!outcome->finished) std::abort();
        return finishedAt - start;
    }
};

void report(benchmark::State& state, double virtualSeconds, double constantsSeconds) {
    state.counters["virtual_ms"] = virtualSeconds * 1000.0;
    state.counters["constants_ms"] = constantsSeconds * 1000.0;
}

void BM_CaptureExplicitSelection(benchmark::State& state) {
    Bench bench(static_cast<int>(state.range(0)));
    double waited = 0;
    for (auto _ : state) {
        bench.field->select(0, bench.field->value.size() / 2);
        waited = bench.drive(bench.engine.captureTarget());
    }
    // An instant copy ends the polls at once; the worst case is 12 polls.
    report(state, waited, 0.0);
    state.counters["worst_case_ms"] = Engine::explicitSelectionPollCount * Engine::pasteboardPollInterval * 1000.0;
}

void BM_CaptureFullField(benchmark::State& state) {
    Bench bench(static_cast<int>(state.range(0)));
    double waited = 0;
    for (auto _ : state) {
        bench.field->placeCaret(0);
        waited = bench.drive(bench.engine.captureTarget());
    }
    report(state, waited, Engine::selectAllSettleDelay);
    state.counters["worst_case_ms"] =
        (Engine::selectAllSettleDelay + Engine::fullFieldPollCount * Engine::pasteboardPollInterval +
         std::max(Engine::delayedSelectionRetryDelay,
                  Engine::inconsistentCopyReselectDelay + Engine::selectAllSettleDelay) +
         Engine::fullFieldPollCount * Engine::pasteboardPollInterval) *
        1000.0;
}

void BM_CaptureFullFieldLateSelectAll(benchmark::State& state) {
    Bench bench(static_cast<int>(state.range(0)));
    bench.editor.selectAllDelay = 0.2;
    double waited = 0;
    for (auto _ : state) {
        bench.field->placeCaret(0);
        waited = bench.drive(bench.engine.captureTarget());
    }
    report(state, waited,
           Engine::selectAllSettleDelay + Engine::fullFieldPollCount * Engine::pasteboardPollInterval +
               Engine::delayedSelectionRetryDelay);
}

void BM_ApplyExplicitSelection(benchmark::State& state) {
    Bench bench(static_cast<int>(state.range(0)));
    const QString original = bench.field->value;
    const QString corrected = QString(original.size(), u'y');
    double waited = 0;
    for (auto _ : state) {
        bench.field->value = original;
        bench.field->selectAll();
        waited = bench.drive(bench.engine.applyCorrection({original, 501, false}, corrected));
    }
    report(state, waited, Engine::pasteSettleDelay);
    state.counters["restore_after_ms"] = (Engine::pasteSettleDelay + Engine::pasteboardRestoreDelay) * 1000.0;
}

void BM_ApplyFullField(benchmark::State& state) {
    Bench bench(static_cast<int>(state.range(0)));
    const QString original = bench.field->value;
    const QString corrected = QString(original.size(), u'y');
    double waited = 0;
    for (auto _ : state) {
        bench.field->value = original;
        bench.field->placeCaret(0);
        waited = bench.drive(bench.engine.applyCorrection({original, 501, true}, corrected));
    }
    report(state, waited, Engine::selectAllSettleDelay + Engine::pasteSettleDelay);
}

void BM_CaptureRefusedPasswordField(benchmark::State& state) {
    Bench bench(16);
    auto password = bench.editor.addPasswordField(QStringLiteral("hunter2"));
    bench.editor.focus(password);
    double waited = 0;
    for (auto _ : state) waited = bench.drive(bench.engine.captureTarget());
    report(state, waited, 0.0);
}

} // namespace

BENCHMARK(BM_CaptureExplicitSelection)->Arg(100)->Arg(9000);
BENCHMARK(BM_CaptureFullField)->Arg(100)->Arg(9000);
BENCHMARK(BM_CaptureFullFieldLateSelectAll)->Arg(100);
BENCHMARK(BM_ApplyExplicitSelection)->Arg(100)->Arg(9000);
BENCHMARK(BM_ApplyFullField)->Arg(100)->Arg(9000);
BENCHMARK(BM_CaptureRefusedPasswordField);

int main(int argc, char** argv) {
    // The log lines of each step would dominate the measurement.
    QLoggingCategory::setFilterRules(QStringLiteral("*=false"));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
