// Cost of recording a diagnostic event on the caller's thread, and how fast the writer
// thread gets events into the log file.
#include "Services/DiagnosticsService.h"

#include <QLoggingCategory>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace quillo;

namespace {

void discardMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

// Points the log at a temporary folder filled with 500 records, as a log in use is.
class ScratchLog {
public:
    ScratchLog() {
        QuilloDiagnosticLogStore store = QuilloDiagnosticLogStore::standard();
        store.logURL = QuilloDiagnosticLogStore::logPath(folder_.filePath("Quillo"));
        previous_ = QuilloDiagnostics::replaceStore(store);
        QLoggingCategory::setFilterRules(QStringLiteral("*.Diagnostics=false"));
        for (int i = 0; i < 500; ++i) QuilloDiagnostics::record(QuilloDiagnosticEvent::cloudRequestStarted);
        QuilloDiagnostics::flush();
    }
    ~ScratchLog() {
        QuilloDiagnostics::flush();
        QuilloDiagnostics::replaceStore(previous_);
    }

private:
    QTemporaryDir folder_;
    QuilloDiagnosticLogStore previous_;
};

void setLogLine(bool enabled) {
    QLoggingCategory::setFilterRules(enabled ? QStringLiteral("*.Diagnostics=true")
                                             : QStringLiteral("*.Diagnostics=false"));
}

// The caller's cost with the system-log line filtered out: time, queue, wake the writer.
void BM_RecordOnCallingThread(benchmark::State& state) {
    ScratchLog log;
    setLogLine(false);
    const QUuid correlation = QUuid::createUuid();
    for (auto _ : state) QuilloDiagnostics::record(QuilloDiagnosticEvent::correctionStarted, correlation);
    state.SetItemsProcessed(state.iterations());
    setLogLine(true);
}
BENCHMARK(BM_RecordOnCallingThread);

// The same with the system-log line formatted and handed to a (discarding) message handler.
void BM_RecordOnCallingThreadWithLogLine(benchmark::State& state) {
    ScratchLog log;
    setLogLine(true);
    const auto previous = qInstallMessageHandler(discardMessages);
    const QUuid correlation = QUuid::createUuid();
    for (auto _ : state) QuilloDiagnostics::record(QuilloDiagnosticEvent::correctionStarted, correlation);
    state.SetItemsProcessed(state.iterations());
    qInstallMessageHandler(previous);
}
BENCHMARK(BM_RecordOnCallingThreadWithLogLine);

// Events reaching the file one at a time: each one is a full read-append-rewrite of a
// 500-record file.
void BM_WrittenOneByOne(benchmark::State& state) {
    ScratchLog log;
    setLogLine(false);
    for (auto _ : state) {
        QuilloDiagnostics::record(QuilloDiagnosticEvent::correctionSucceeded);
        QuilloDiagnostics::flush();
    }
    state.SetItemsProcessed(state.iterations());
    setLogLine(true);
}
BENCHMARK(BM_WrittenOneByOne)->Unit(benchmark::kMicrosecond)->UseRealTime();

// A burst of events from a busy caller, until all are in the file.
void BM_WrittenInBursts(benchmark::State& state) {
    ScratchLog log;
    setLogLine(false);
    const auto burst = state.range(0);
    for (auto _ : state) {
        for (int64_t i = 0; i < burst; ++i) QuilloDiagnostics::record(QuilloDiagnosticEvent::cloudRequestSucceeded);
        QuilloDiagnostics::flush();
    }
    state.SetItemsProcessed(state.iterations() * burst);
    setLogLine(true);
}
BENCHMARK(BM_WrittenInBursts)->Arg(10)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
