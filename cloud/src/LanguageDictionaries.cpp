#include "LanguageDictionaries.h"

#include "HunspellSuggestionIndex.h"

#include <array>
#include <filesystem>

namespace quillo::cloud {

LanguageDictionaries::LanguageDictionaries(std::string directory) : directory_(std::move(directory)) {}

LanguageDictionaries &LanguageDictionaries::shared()
{
    static LanguageDictionaries dictionaries;
    return dictionaries;
}

const LanguageConventions *LanguageDictionaries::conventions(std::string_view code)
{
    static const std::array<LanguageConventions, 7> languages = {{
        {"en", {"en_US", "en_GB"}, false},
        {"de", {"de_DE"}, false},
        {"fr", {"fr_FR"}, true},
        {"es", {"es_ES"}, false},
        {"it", {"it_IT"}, false},
        {"pt", {"pt_BR", "pt_PT"}, false},
        {"nl", {"nl_NL"}, false},
    }};
    for (const auto &language : languages)
        if (language.code == code) return &language;
    return nullptr;
}

std::shared_ptr<SpellChecker> LanguageDictionaries::speller(const std::string &dictionary)
{
    std::lock_guard lock(mutex_);
    if (auto it = spellers_.find(dictionary); it != spellers_.end()) return it->second;
    std::string aff = directory_ + "/" + dictionary + ".aff", dic = directory_ + "/" + dictionary + ".dic";
    std::shared_ptr<SpellChecker> speller;
    std::error_code ec;
    if (std::filesystem::exists(aff, ec) && std::filesystem::exists(dic, ec))
        speller = std::make_shared<SpellChecker>(std::make_shared<HunspellSuggestionIndex>(aff, dic, 2), 20000);
    spellers_[dictionary] = speller;
    return speller;
}

}  // namespace quillo::cloud
