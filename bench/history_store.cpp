#include "Platform/Fake/InMemorySecureStore.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Services/QuilloCorrectionHistory.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace quillo;

namespace {

const QString kService = QStringLiteral("com.quillo.app.bench.local-history");

QString text(int seed) {
    QString value;
    value.reserve(9000);
    while (value.size() < 9000)
        value += QStringLiteral("Sentence %1 with a few words, and some punctuation. ").arg(seed++);
    value.truncate(9000);
    return value;
}

struct FullHistory {
    QTemporaryDir folder;
    InMemorySecureStore secrets;
    InMemoryUserDefaults defaults;
    QuilloCorrectionHistory history{secrets, defaults, folder.filePath("Quillo"), kService};

    FullHistory() {
        for (int i = 0; i < QuilloCorrectionHistory::maximumEntries; ++i)
            history.append(text(i), text(i + 1), std::vector{CloudCorrectionModel::fast},
                           CorrectionWritingMode::proofread);
    }
};

// A full list of 100 entries with 9000-unit texts on both sides (about 3.6 MB of JSON):
// every append decrypts it, adds one entry, re-encrypts and writes it through fsync and rename.
void BM_HistoryAppendFull(benchmark::State& state) {
    FullHistory full;
    const QString original = text(7), corrected = text(8);
    for (auto _ : state) full.history.append(original, corrected, std::nullopt, CorrectionWritingMode::contextual);
    state.counters["entries"] = double(full.history.load().size());
}

void BM_HistoryLoadFull(benchmark::State& state) {
    FullHistory full;
    std::size_t count = 0;
    for (auto _ : state) {
        auto entries = full.history.load();
        count = entries.size();
        benchmark::DoNotOptimize(entries);
    }
    state.counters["entries"] = double(count);
}

} // namespace

BENCHMARK(BM_HistoryAppendFull)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HistoryLoadFull)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
