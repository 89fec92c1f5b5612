// Accuracy and speed of the suggestion index against Hunspell's own search, on the same
// reproducible typo corpus (TypoCorpus.h), in one run. Prints one JSON object. With
// --corrector, also what the engine's spell checker does with each typo (it fixes a word only
// when confident): fixed right, changed to another word, or left alone.
// usage: cloud_suggest_accuracy [--typos N] [--seed S] [--words dictionary|common]
//        [--no-hunspell] [--corrector] [--write FILE]
#include "HunspellSuggestionIndex.h"
#include "IndexedSuggestionIndex.h"
#include "ScowlLexicon.h"
#include "SpellChecker.h"
#include "TypoCorpus.h"
#include "WordCommonness.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <fstream>
#include <iostream>

using namespace quillo::cloud;
using Clock = std::chrono::steady_clock;

namespace {

// This thread's CPU time: what a search costs, whatever else the machine runs.
double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

long rssKb()
{
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

bool plainLowerWord(std::string_view w)
{
    return w.size() >= 4 && std::all_of(w.begin(), w.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

struct Score {
    size_t top1 = 0, top3 = 0, none = 0;
    double seconds = 0, cpu = 0;
    void add(const std::vector<std::string> &list, const std::string &word)
    {
        if (list.empty()) ++none;
        if (!list.empty() && list[0] == word) ++top1;
        for (size_t i = 0; i < list.size() && i < 3; ++i)
            if (list[i] == word) ++top3;
    }
    nlohmann::json json(size_t n) const
    {
        return {{"top1", double(top1) / double(n)},
                {"top3", double(top3) / double(n)},
                {"noAnswer", none},
                {"microsPerWord", seconds * 1e6 / double(n)},
                {"cpuMicrosPerWord", cpu * 1e6 / double(n)}};
    }
};

}  // namespace

int main(int argc, char **argv)  // NOLINT(bugprone-exception-escape): a failed bench run ends on its exception
{
    size_t count = 5000;
    uint64_t seed = 20261207;
    std::string source = "dictionary", writePath;
    bool withHunspell = true;
    bool withCorrector = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&] { return std::string(i + 1 < argc ? argv[++i] : ""); };
        if (a == "--typos") count = std::stoul(next());
        else if (a == "--seed") seed = std::stoull(next());
        else if (a == "--words") source = next();
        else if (a == "--no-hunspell") withHunspell = false;
        else if (a == "--write") writePath = next();
        else if (a == "--corrector") withCorrector = true;
    }
    const std::string aff = "/usr/share/hunspell/en_US.aff", dic = "/usr/share/hunspell/en_US.dic";
    auto hunspell = std::make_shared<HunspellSuggestionIndex>(aff, dic, 1);
    long rssBefore = rssKb();
    IndexedSuggestionIndex::Options options;
    options.affPath = aff;
    options.dicPath = dic;
    options.commonnessDirectory = WordCommonness::kDefaultDirectory;
    options.fallbackBudget = std::chrono::milliseconds(0);
    IndexedSuggestionIndex indexed(hunspell, options);
    indexed.start();
    if (!indexed.waitUntilReady(std::chrono::minutes(5))) {
        std::cerr << "the index did not build: " << indexed.report().error << "\n";
        return 1;
    }
    auto report = indexed.report();
    long rssAfter = rssKb();

    // Source words: the dictionary's plain lower-case forms, all of them or the common ones.
    std::vector<std::string> words;
    {
        const SymmetricDeleteIndex &all = *indexed.readyIndex();
        for (uint32_t id = 0; id < all.wordCount(); ++id) {
            std::string w(all.word(id));
            if (plainLowerWord(w) && (source != "common" || all.level(id) <= 35)) words.push_back(w);
        }
    }
    auto corpus = bench::makeTypoCorpus(words, count, seed, [&](const std::string &w) { return hunspell->isKnown(w); });
    if (!writePath.empty()) {
        std::ofstream out(writePath);
        out << "# typo\tword\tedits (seed " << seed << ", " << source << " words)\n";
        for (auto &t : corpus) out << t.typo << '\t' << t.word << '\t' << t.edits << '\n';
    }

    Score index, hun;
    for (auto &t : corpus) {
        auto t0 = Clock::now();
        double c0 = cpuSeconds();
        std::vector<std::string> list;
        for (auto &c : indexed.readyIndex()->lookup(t.typo)) list.push_back(std::move(c.word));
        index.cpu += cpuSeconds() - c0;
        index.seconds += std::chrono::duration<double>(Clock::now() - t0).count();
        index.add(list, t.word);
    }
    if (withHunspell) {
        for (auto &t : corpus) {
            auto t0 = Clock::now();
            double c0 = cpuSeconds();
            auto list = hunspell->suggestions(t.typo);
            hun.cpu += cpuSeconds() - c0;
            hun.seconds += std::chrono::duration<double>(Clock::now() - t0).count();
            hun.add(list, t.word);
        }
    }
    nlohmann::json out = {{"figure", "suggestion_accuracy"},
                          {"typos", corpus.size()},
                          {"seed", seed},
                          {"words", source},
                          {"sourceWords", words.size()},
                          {"index", index.json(corpus.size())},
                          {"indexBuild",
                           {{"seconds", report.seconds},
                            {"words", report.words},
                            {"deletes", report.deletes},
                            {"bytes", report.bytes},
                            {"rssGrowthKb", rssAfter - rssBefore},
                            {"formsRejected", report.formsRejected}}}};
    if (withHunspell) {
        out["hunspell"] = hun.json(corpus.size());
        out["speedRatio"] = hun.seconds / std::max(index.seconds, 1e-9);
        out["cpuSpeedRatio"] = hun.cpu / std::max(index.cpu, 1e-9);
    }
    if (withCorrector) {
        // Split by the intended word's SCOWL size: writers misspell the words they use, and
        // the engine leaves a rare word's look-alike alone on purpose.
        SpellChecker speller(std::shared_ptr<SuggestionIndex>(&indexed, [](SuggestionIndex *) {}));  // not owned
        nlohmann::json byLevel;
        for (const char *band : {"familiar", "rarer"}) byLevel[band] = {{"typos", 0}, {"right", 0}, {"wrong", 0}};
        for (auto &t : corpus) {
            auto fix = speller.replacement(t.typo);
            auto &b = byLevel[ScowlLexicon::shared().level(t.word) <= 20 ? "familiar" : "rarer"];
            b["typos"] = b["typos"].get<int>() + 1;
            if (fix) b[*fix == t.word ? "right" : "wrong"] = b[*fix == t.word ? "right" : "wrong"].get<int>() + 1;
        }
        out["corrector"] = byLevel;
    }
    std::cout << out.dump() << std::endl;
    return 0;
}
