// Speed of the correction engine alone, with the real en_US dictionary: warm (suggestions
// cached, the common case of repeated mistakes) and cold (every misspelling searched), with
// Hunspell's own search and with the suggestion index; and the index's build and load times.
#include "HunspellSuggestionIndex.h"
#include "IndexedSuggestionIndex.h"
#include "SpellChecker.h"
#include "TextCorrector.h"
#include "WordCommonness.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <unistd.h>

using namespace quillo::cloud;

namespace {

std::shared_ptr<HunspellSuggestionIndex> dictionary()
{
    static auto index =
        std::make_shared<HunspellSuggestionIndex>("/usr/share/hunspell/en_US.aff", "/usr/share/hunspell/en_US.dic", 1);
    return index;
}

IndexedSuggestionIndex::Options indexOptions(const std::string &cache = {})
{
    IndexedSuggestionIndex::Options o;
    o.affPath = "/usr/share/hunspell/en_US.aff";
    o.dicPath = "/usr/share/hunspell/en_US.dic";
    o.commonnessDirectory = WordCommonness::kDefaultDirectory;
    o.cachePath = cache;
    return o;
}

std::shared_ptr<IndexedSuggestionIndex> indexed()
{
    static auto index = [] {
        auto i = std::make_shared<IndexedSuggestionIndex>(dictionary(), indexOptions());
        i->start();
        i->waitUntilReady(std::chrono::minutes(5));
        return i;
    }();
    return index;
}

const char *kColdWords[] = {"recieve", "definately", "commitee", "neccessary", "seperate", "wether"};

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
BENCHMARK(BM_CorrectWarm)
    ->Args({1024, 0})
    ->Args({1024, 1})
    ->Args({9000, 0})
    ->Args({9000, 1})
    ->Unit(benchmark::kMillisecond);

// A new spell checker for every text: no suggestion comes from its cache.
void BM_CorrectColdIndexed(benchmark::State &state)
{
    auto index = indexed();
    std::string text = sample(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        TextCorrector corrector(std::make_shared<SpellChecker>(index));
        benchmark::DoNotOptimize(corrector.correct(text, CorrectionStyle::proofread));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_CorrectColdIndexed)->Arg(1024)->Arg(9000)->Unit(benchmark::kMicrosecond);

void BM_CorrectColdHunspell(benchmark::State &state)
{
    std::string text = sample(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        TextCorrector corrector(std::make_shared<SpellChecker>(dictionary()));
        benchmark::DoNotOptimize(corrector.correct(text, CorrectionStyle::proofread));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_CorrectColdHunspell)->Arg(1024)->Unit(benchmark::kMillisecond);

// The same misspelt words: Hunspell's own search against the index.
void BM_SuggestColdWord(benchmark::State &state)
{
    auto index = dictionary();
    size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(index->suggestions(kColdWords[i++ % 6]));
}
BENCHMARK(BM_SuggestColdWord)->Unit(benchmark::kMillisecond);

void BM_SuggestIndexWord(benchmark::State &state)
{
    auto index = indexed();
    size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(index->answer(kColdWords[i++ % 6]));
}
BENCHMARK(BM_SuggestIndexWord)->Unit(benchmark::kMicrosecond);

// Start-up: building from the dictionary (expansion, Hunspell's check of every form, deletes),
// and loading the cache file a previous start wrote.
void BM_IndexBuild(benchmark::State &state)
{
    for (auto _ : state) {
        IndexedSuggestionIndex index(dictionary(), indexOptions());
        index.start();
        index.waitUntilReady(std::chrono::minutes(5));
        state.counters["indexMB"] = static_cast<double>(index.report().bytes) / 1e6;
    }
}
BENCHMARK(BM_IndexBuild)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_IndexLoadFromCache(benchmark::State &state)
{
    std::string cache =
        (std::filesystem::temp_directory_path() / ("quillo-bench-index-" + std::to_string(::getpid()))).string();
    {
        IndexedSuggestionIndex warm(dictionary(), indexOptions(cache));
        warm.start();
        warm.waitUntilReady(std::chrono::minutes(5));
    }
    for (auto _ : state) {
        IndexedSuggestionIndex index(dictionary(), indexOptions(cache));
        index.start();
        index.waitUntilReady(std::chrono::minutes(5));
        if (!index.report().fromCache) state.SkipWithError("the cache was not used");
    }
    state.counters["cacheMB"] = static_cast<double>(std::filesystem::file_size(cache)) / 1e6;
    std::filesystem::remove(cache);
}
BENCHMARK(BM_IndexLoadFromCache)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_SpellKnownWord(benchmark::State &state)
{
    auto index = dictionary();
    for (auto _ : state) benchmark::DoNotOptimize(index->isKnown("meeting"));
}
BENCHMARK(BM_SpellKnownWord);

}  // namespace

BENCHMARK_MAIN();
