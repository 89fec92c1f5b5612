// Prints, for each word on standard input, the suggestion index's candidates with their SCOWL
// level and the speller's decision: for tuning the precision rules on a corpus.
#include "HunspellSuggestionIndex.h"
#include "IndexedSuggestionIndex.h"
#include "KnownMisspellings.h"
#include "ScowlLexicon.h"
#include "SpellingPrecision.h"
#include "SuggestionRanking.h"
#include "WordCommonness.h"

#include <iostream>

using namespace quillo::cloud;

int main(int argc, char **argv)
{
    IndexedSuggestionIndex::Options o;
    o.affPath = "/usr/share/hunspell/en_US.aff";
    o.dicPath = "/usr/share/hunspell/en_US.dic";
    o.commonnessDirectory = WordCommonness::kDefaultDirectory;
    o.cachePath = argc > 1 ? argv[1] : "";
    o.fallbackBudget = std::chrono::seconds(10);
    o.fallbackOnceReady = false;
    auto index =
        std::make_shared<IndexedSuggestionIndex>(std::make_shared<HunspellSuggestionIndex>(o.affPath, o.dicPath, 1), o);
    index->start();
    if (!index->waitUntilReady(std::chrono::minutes(10))) return 1;
    auto &lexicon = ScowlLexicon::shared();
    auto known = [&](const std::string &w) { return index->isKnown(w); };
    for (std::string word; std::getline(std::cin, word);) {
        auto answer = index->answer(word);
        std::vector<std::string> tied;
        auto choice =
            SpellingPrecision::confidentChoice(word, answer.words, known, lexicon, KnownMisspellings::shared(), &tied);
        std::cout << word << " => " << (choice ? *choice : "(kept)");
        if (!tied.empty()) {
            std::cout << " [context decides:";
            for (auto &t : tied) std::cout << ' ' << t;
            std::cout << ']';
        }
        std::cout << " :";
        for (size_t i = 0; i < answer.words.size() && i < 6; ++i) {
            auto &c = answer.words[i];
            std::string lower = c;
            for (auto &ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            std::cout << ' ' << c << '/' << int(lexicon.level(c)) << '/'
                      << SuggestionRanking::score(word, lower, c, lexicon.level(c));
        }
        std::cout << '\n';
    }
}
