// Corrects standard input one line at a time, as the server's engine does, for scoring the
// engine on a corpus (scripts/bench-engine). Usage: cloud_correct_lines [proofread|contextual]
// [suggestion-cache-file]; "languages" prints the language each line is corrected in.
#include "HunspellSuggestionIndex.h"
#include "IndexedSuggestionIndex.h"
#include "LanguageDictionaries.h"
#include "SpellChecker.h"
#include "TextCorrector.h"
#include "TextLanguages.h"
#include "WordCommonness.h"

#include <iostream>
#include <string>

using namespace quillo::cloud;

int main(int argc, char **argv)
{
    std::string style = argc > 1 ? argv[1] : "proofread";
    IndexedSuggestionIndex::Options o;
    o.affPath = "/usr/share/hunspell/en_US.aff";
    o.dicPath = "/usr/share/hunspell/en_US.dic";
    o.commonnessDirectory = WordCommonness::kDefaultDirectory;
    o.cachePath = argc > 2 ? argv[2] : "";
    o.fallbackBudget = std::chrono::seconds(10);
    o.fallbackOnceReady = false;  // as the server
    LanguageDictionaries::shared().indexSuggestions("en_GB", o.cachePath.empty() ? "" : o.cachePath + ".en_GB",
                                                    o.fallbackBudget);
    LanguageDictionaries::shared().speller("en_GB");
    auto index =
        std::make_shared<IndexedSuggestionIndex>(std::make_shared<HunspellSuggestionIndex>(o.affPath, o.dicPath, 1), o);
    index->start();
    if (!index->waitUntilReady(std::chrono::minutes(10)) ||
        !LanguageDictionaries::shared().waitForIndexes(std::chrono::minutes(10)))
        return 1;
    TextCorrector corrector(std::make_shared<SpellChecker>(index));
    auto mode = style == "contextual" ? CorrectionStyle::contextual : CorrectionStyle::proofread;
    if (style == "languages") {  // the language each line is corrected in, "-" for none
        auto english = std::make_shared<SpellChecker>(index);
        for (std::string line; std::getline(std::cin, line);) {
            auto tokens = tokenize(line);
            assignLanguages(tokens, *english);
            const LanguageConventions *language = nullptr;
            for (auto &tok : tokens)
                if (tok.kind == Kind::word) language = tok.language;
            std::cout << (language ? language->code : "-") << '\n';
        }
        return 0;
    }
    for (std::string line; std::getline(std::cin, line);) std::cout << corrector.correct(line, mode) << '\n';
    return 0;
}
