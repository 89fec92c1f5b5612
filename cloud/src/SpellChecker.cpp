#include "SpellChecker.h"

#include "KnownMisspellings.h"
#include "ScowlLexicon.h"
#include "SpellingPrecision.h"

#include <algorithm>
#include <cctype>

namespace quillo::cloud {

SpellChecker::SpellChecker(std::shared_ptr<SuggestionIndex> index, size_t cacheCapacity)
    : index_(std::move(index)), capacity_(std::max<size_t>(1, cacheCapacity))
{
}

SpellChecker::Verdict SpellChecker::verdict(const std::string &word)
{
    {
        std::lock_guard lock(mutex_);
        auto it = map_.find(word);
        if (it != map_.end()) {
            order_.splice(order_.begin(), order_, it->second);
            ++hits_;
            return it->second->second;
        }
        ++misses_;
    }
    bool settled = true;
    auto result = compute(word, settled);  // outside the lock: a suggestion search may be slow
    std::lock_guard lock(mutex_);
    if (settled && map_.find(word) == map_.end()) {
        order_.emplace_front(word, result);
        map_[word] = order_.begin();
        if (map_.size() > capacity_) {
            map_.erase(order_.back().first);
            order_.pop_back();
        }
    }
    return result;
}

SpellChecker::Verdict SpellChecker::compute(const std::string &word, bool &settled)
{
    if (index_->isKnown(word)) return {};
    // The possessive of a term the speller leaves alone is left alone too ("pcretest's").
    if (word.size() > 4 && word.ends_with("'s")) {
        std::string stem = word.substr(0, word.size() - 2);
        if (!index_->isKnown(stem) && !compute(stem, settled).fix) return {};
    }
    auto answer = index_->answer(word);
    settled = answer.settled;
    auto known = [this](const std::string &w) { return index_->isKnown(w); };
    Verdict out;
    out.fix = SpellingPrecision::confidentChoice(word, answer.words, known, ScowlLexicon::shared(),
                                                 KnownMisspellings::shared(), &out.tied);
    return out;
}

SpellChecker::Stats SpellChecker::stats() const
{
    std::lock_guard lock(mutex_);
    return {hits_, misses_, map_.size()};
}

}  // namespace quillo::cloud
