#include "Support/CorrectionPreviewDiff.h"

#include <benchmark/benchmark.h>

using namespace quillo;

namespace {

// About `units` UTF-16 units of prose, one word in `typoEvery` misspelt.
QString prose(qsizetype units, int typoEvery, bool misspelt) {
    static const QStringList words = {"The",  "quick", "brown", "fox", "jumps", "over", "the", "lazy",
                                      "dog,", "and",   "then",  "it",  "rests", "in",   "the", "shade."};
    QString text;
    text.reserve(units + 16);
    int index = 0;
    while (text.size() < units) {
        const QString& word = words[index % words.size()];
        text += (misspelt && index % typoEvery == 0) ? word + QStringLiteral("x") : word;
        text += index % 40 == 39 ? u'\n' : u' ';
        ++index;
    }
    text.truncate(units);
    return text;
}

void diff(benchmark::State& state, const QString& original, const QString& corrected) {
    qsizetype segments = 0;
    for (auto _ : state) {
        auto result = CorrectionPreviewDiff::segments(original, corrected);
        segments = result.size();
        benchmark::DoNotOptimize(result);
    }
    state.counters["segments"] = double(segments);
    state.counters["units"] = double(corrected.size());
}

// 9000 units of short words: far more than 450 tokens, so the diff is skipped after tokenising.
void BM_Diff9000UnitsOverTokenLimit(benchmark::State& state) {
    diff(state, prose(9000, 7, true), prose(9000, 7, false));
}

// 9000 units in at most 450 meaningful tokens (long words): the full table runs.
void BM_Diff9000UnitsWithinTokenLimit(benchmark::State& state) {
    auto longWords = [](bool misspelt) {
        QString text;
        for (int i = 0; i < 450; ++i) {
            QString word = QStringLiteral("w%1").arg(i).leftJustified(19, u'a');
            if (misspelt && i % 9 == 0) word[1] = u'q';
            text += word + u' ';
        }
        return text.left(9000);
    };
    diff(state, longWords(true), longWords(false));
}

// A typical short correction.
void BM_DiffSentence(benchmark::State& state) {
    diff(state, QStringLiteral("Teh quick brwon fox jumsp over teh lazy dog"),
         QStringLiteral("The quick brown fox jumps over the lazy dog."));
}

} // namespace

BENCHMARK(BM_Diff9000UnitsOverTokenLimit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Diff9000UnitsWithinTokenLimit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DiffSentence)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
