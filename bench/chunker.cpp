#include "Support/CorrectionChunker.h"

#include <benchmark/benchmark.h>

using namespace quillo;

namespace {

// Prose of about `units` UTF-16 units: sentences with punctuation, a line feed every few sentences.
QString prose(qsizetype units) {
    static const QString sentence = QStringLiteral("The quick brown fox jumps over the lazy dog, again and again. ");
    QString text;
    text.reserve(units + sentence.size() + 1);
    int count = 0;
    while (text.size() < units) {
        text += sentence;
        if (++count % 4 == 0) text += u'\n';
    }
    return text;
}

void chunkText(benchmark::State& state, const QString& text) {
    const CorrectionChunker chunker(9000);
    qsizetype chunks = 0;
    for (auto _ : state) {
        QStringList result = chunker.chunks(text);
        chunks = result.size();
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(state.iterations() * text.size() * qsizetype(sizeof(QChar)));
    state.counters["chunks"] = double(chunks);
    state.counters["units"] = double(text.size());
}

void BM_ChunkProse1MB(benchmark::State& state) { chunkText(state, prose(1'000'000)); }
void BM_ChunkProse10MB(benchmark::State& state) { chunkText(state, prose(10'000'000)); }
// One line with spaces and punctuation but no line feed: every chunk goes through the long-unit splitter.
void BM_ChunkOneLine1MB(benchmark::State& state) {
    QString text = prose(1'000'000);
    text.replace(u'\n', u' ');
    chunkText(state, text);
}
void BM_ChunkOneLine10MB(benchmark::State& state) {
    QString text = prose(10'000'000);
    text.replace(u'\n', u' ');
    chunkText(state, text);
}
// No break at all: hard cuts only.
void BM_ChunkNoBreaks1MB(benchmark::State& state) { chunkText(state, QString(1'000'000, u'x')); }

} // namespace

BENCHMARK(BM_ChunkProse1MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChunkProse10MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChunkOneLine1MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChunkOneLine10MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChunkNoBreaks1MB)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
