#pragma once
// The languages the engine corrects besides English, each with its Debian Hunspell
// dictionaries and its conventions, and the spell checkers for them, loaded on first use: a
// server that never sees German text never reads the German dictionary. Text in any other
// language is returned as it came.
//
// English itself is corrected through the server's indexed en_US speller; en_GB is loaded here
// to accept British spellings, and suggests for texts written in them (as pt_PT does for
// European Portuguese).
#include "SpellChecker.h"

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillo::cloud {

class IndexedSuggestionIndex;

struct LanguageConventions {
    std::string code;                         // as language identification names it: "de", "pt"
    std::vector<std::string> dictionaries;    // Hunspell names, the first the one that suggests
    bool spaceBeforeTallPunctuation = false;  // French: "Attention : le train !"
};

class LanguageDictionaries {
public:
    static constexpr const char *kDefaultDirectory = "/usr/share/hunspell";

    explicit LanguageDictionaries(std::string directory = kDefaultDirectory);
    static LanguageDictionaries &shared();  // kDefaultDirectory

    // The conventions of a supported language; null for any other.
    static const LanguageConventions *conventions(std::string_view code);

    // The speller of one dictionary ("de_DE"), loaded on first use; null when it is missing.
    std::shared_ptr<SpellChecker> speller(const std::string &dictionary);

    // From its first use on, `dictionary` suggests from an index (built in the background, or
    // read from `cachePath` when one is given) instead of Hunspell's own search, which takes a
    // tenth of a second or more for each word: an English text that reads as British takes its
    // suggestions from en_GB. Until the index is ready, Hunspell answers within `fallbackBudget`.
    // Call before the dictionary's first use; later calls change nothing.
    void indexSuggestions(const std::string &dictionary, const std::string &cachePath,
                          std::chrono::milliseconds fallbackBudget);
    // Hunspell's search for the dictionaries without an index gets at most `budget` a word
    // (and what is left of the text's own budget): a slip it has not answered in time stays as
    // typed, and its answer is kept for the next text. Call before the first use.
    void boundSuggestions(std::chrono::milliseconds budget);
    // Until every index started so far is ready or has failed; false on time-out.
    bool waitForIndexes(std::chrono::milliseconds timeout);

private:
    struct IndexSettings {
        std::string cachePath;
        std::chrono::milliseconds fallbackBudget;
    };
    std::string directory_;
    std::mutex mutex_;
    std::map<std::string, std::shared_ptr<SpellChecker>> spellers_;  // null: missing
    std::map<std::string, IndexSettings> indexed_;
    std::optional<std::chrono::milliseconds> searchBudget_;
    std::vector<std::shared_ptr<IndexedSuggestionIndex>> indexes_;
};

}  // namespace quillo::cloud
