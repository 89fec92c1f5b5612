#include "LanguageDictionaries.h"

#include "HunspellSuggestionIndex.h"
#include "IndexedSuggestionIndex.h"
#include "WordCommonness.h"

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
    if (std::filesystem::exists(aff, ec) && std::filesystem::exists(dic, ec)) {
        std::shared_ptr<SuggestionIndex> index = std::make_shared<HunspellSuggestionIndex>(aff, dic, 2);
        if (auto settings = indexed_.find(dictionary); settings != indexed_.end()) {
            IndexedSuggestionIndex::Options o;
            o.affPath = aff;
            o.dicPath = dic;
            o.commonnessDirectory = WordCommonness::kDefaultDirectory;
            o.cachePath = settings->second.cachePath;
            o.fallbackBudget = settings->second.fallbackBudget;
            o.fallbackOnceReady = false;  // as the English index: such words are too far to trust
            auto indexed = std::make_shared<IndexedSuggestionIndex>(index, o);
            indexed->start();
            indexes_.push_back(indexed);
            index = indexed;
        } else if (searchBudget_) {
            IndexedSuggestionIndex::Options o;
            o.fallbackBudget = *searchBudget_;
            o.buildIndex = false;
            index = std::make_shared<IndexedSuggestionIndex>(index, o);
        }
        speller = std::make_shared<SpellChecker>(index, 20000);
    }
    spellers_[dictionary] = speller;
    return speller;
}

void LanguageDictionaries::indexSuggestions(const std::string &dictionary, const std::string &cachePath,
                                            std::chrono::milliseconds fallbackBudget)
{
    std::lock_guard lock(mutex_);
    if (!spellers_.contains(dictionary)) indexed_.try_emplace(dictionary, IndexSettings{cachePath, fallbackBudget});
}

void LanguageDictionaries::boundSuggestions(std::chrono::milliseconds budget)
{
    std::lock_guard lock(mutex_);
    if (!searchBudget_) searchBudget_ = budget;
}

bool LanguageDictionaries::waitForIndexes(std::chrono::milliseconds timeout)
{
    std::vector<std::shared_ptr<IndexedSuggestionIndex>> indexes;
    {
        std::lock_guard lock(mutex_);
        indexes = indexes_;
    }
    auto until = std::chrono::steady_clock::now() + timeout;
    bool settled = true;
    for (auto &index : indexes) {
        auto left = std::max(until - std::chrono::steady_clock::now(), std::chrono::steady_clock::duration::zero());
        bool done = index->waitUntilReady(std::chrono::duration_cast<std::chrono::milliseconds>(left)) ||
                    index->state() == IndexedSuggestionIndex::State::failed;
        settled = done && settled;
    }
    return settled;
}

}  // namespace quillo::cloud
