#include "SpellChecker.h"

#include <algorithm>
#include <cctype>

namespace quillo::cloud {

SpellChecker::SpellChecker(std::shared_ptr<SuggestionIndex> index, size_t cacheCapacity)
    : index_(std::move(index)), capacity_(std::max<size_t>(1, cacheCapacity))
{
}

std::optional<std::string> SpellChecker::replacement(const std::string &word)
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

static std::string lowered(const std::string &s)
{
    std::string out = s;
    for (auto &c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::optional<std::string> SpellChecker::compute(const std::string &word, bool &settled)
{
    if (index_->isKnown(word)) return std::nullopt;
    auto answer = index_->answer(word);
    settled = answer.settled;
    const auto &list = answer.words;
    if (list.empty()) return std::nullopt;
    // Hunspell sometimes proposes the same word with another case first ("paris" -> "Paris"):
    // that is a real fix. A suggestion that only differs in hyphenation or spacing is fine too.
    const std::string &best = list.front();
    if (best == word) return std::nullopt;
    // Refuse wild guesses: the suggestion must be about as long as the word.
    size_t a = word.size(), b = best.size();
    if (b > a * 2 + 2 || a > b * 2 + 2) return std::nullopt;
    if (lowered(best) == lowered(word) && best != word && std::islower(static_cast<unsigned char>(word[0])) == 0)
        return std::nullopt;
    return best;
}

SpellChecker::Stats SpellChecker::stats() const
{
    std::lock_guard lock(mutex_);
    return {hits_, misses_, map_.size()};
}

}  // namespace quillo::cloud
