#include "Services/CorrectionPipeline.h"
#include "Support/VirtualClock.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

using namespace quillo;

namespace {

// Answers at once (the task completes without suspending), so only the pipeline's own work is measured.
class InstantClient final : public CloudCorrectionProviding {
public:
    QCoro::Task<std::optional<QuilloCorrectionResult>> correctText(QString text, QString, CloudCorrectionModel model,
                                                                   CorrectionWritingMode, CancellationToken) override {
        co_return QuilloCorrectionResult{std::move(text), QuilloCorrectionRouting{model, model, model}, {model}, 1.0};
    }
};

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

QCoro::Task<> correctOnce(CorrectionPipeline& pipeline, const QString& text, qsizetype* length) {
    auto result = co_await pipeline.correct(text, {});
    *length = result ? result->correction.size() : 0;
}

void runPipeline(benchmark::State& state, bool signedIn, qsizetype units) {
    VirtualClock clock;
    InstantClient client;
    const std::optional<QString> scope =
        signedIn ? std::optional<QString>(QStringLiteral("user:session")) : std::nullopt;
    CorrectionPipeline pipeline(
        client, 9000, [scope] { return scope; }, 600.0, clock);
    const QString text = prose(units);
    const qsizetype chunks = pipeline.chunker().chunks(text).size();
    qsizetype length = 0;
    for (auto _ : state) {
        correctOnce(pipeline, text, &length);
        if (length != text.size()) state.SkipWithError("correction did not complete synchronously");
    }
    state.SetBytesProcessed(state.iterations() * text.size() * qsizetype(sizeof(QChar)));
    state.counters["chunks"] = double(chunks);
    state.counters["perChunk"] =
        benchmark::Counter(double(chunks), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Signed in, 1 MB: the original alone is over the byte budget, so nothing is saved.
void BM_Pipeline1MBSignedIn(benchmark::State& state) { runPipeline(state, true, 1'000'000); }
void BM_Pipeline1MBSignedOut(benchmark::State& state) { runPipeline(state, false, 1'000'000); }
// Signed in, 400 KB: every answer is saved until the budget is reached, then progress is dropped.
void BM_Pipeline400KBSignedIn(benchmark::State& state) { runPipeline(state, true, 400'000); }

} // namespace

BENCHMARK(BM_Pipeline1MBSignedIn)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pipeline1MBSignedOut)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pipeline400KBSignedIn)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
