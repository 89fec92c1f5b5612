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

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace quillo::cloud {

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

private:
    std::string directory_;
    std::mutex mutex_;
    std::map<std::string, std::shared_ptr<SpellChecker>> spellers_;  // null: missing
};

}  // namespace quillo::cloud
