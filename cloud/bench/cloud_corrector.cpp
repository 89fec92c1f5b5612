// Speed of the correction engine alone, with the real en_US dictionary: warm (suggestions
// cached, the common case of repeated mistakes) and cold (every misspelling asks Hunspell).
#include "HunspellSuggestionIndex.h"
#include "SpellChecker.h"
#include "TextCorrector.h"

#include <benchmark/benchmark.h>

using namespace quillo::cloud;

namespace {

std::shared_ptr<HunspellSuggestionIndex> dictionary()
{
    static auto index = std::make_shared<HunspellSuggestionIndex>("/usr/share/hunspell/en_US.aff",
                                                                  "/usr/share/hunspell/en_US.dic", 1);
    return index;
}

std::string sample(size_t chars)
{
    static const char *sentences[] = {
        "i recieve teh letter yesterday and definately agree with it. ",
        "The commitee will discus the proposal at there next meeting . ",
        "we could of finished earlier if the wether had been better. ",
        "Please send me the documents  before friday so i can review them. ",
        "It is neccessary to seperate the two issues in order to make progress. ",
        "The quick brown fox jumps over the lazy dog near the river bank. ",
    };
    std::string out;
    for (size_t i = 0; out.size() < chars; ++i) out += sentences[i % 6];
    out.resize(chars);
    return out;
}

void BM_CorrectWarm(benchmark::State &state)
{
    TextCorrector corrector(std::make_shared<SpellChecker>(dictionary()));
    std::string text = sample(static_cast<size_t>(state.range(0)));
    auto style = state.range(1) ? CorrectionStyle::contextual : CorrectionStyle::proofread;
    corrector.correct(text, style);
    for (auto _ : state) benchmark::DoNotOptimize(corrector.correct(text, style));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_CorrectWarm)->Args({1024, 0})->Args({1024, 1})->Args({9000, 0})->Args({9000, 1})->Unit(benchmark::kMillisecond);

void BM_SuggestColdWord(benchmark::State &state)
{
    auto index = dictionary();
    const char *words[] = {"recieve", "definately", "commitee", "neccessary", "seperate", "wether"};
    size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(index->suggestions(words[i++ % 6]));
}
BENCHMARK(BM_SuggestColdWord)->Unit(benchmark::kMillisecond);

void BM_SpellKnownWord(benchmark::State &state)
{
    auto index = dictionary();
    for (auto _ : state) benchmark::DoNotOptimize(index->isKnown("meeting"));
}
BENCHMARK(BM_SpellKnownWord);

}  // namespace

BENCHMARK_MAIN();
