#pragma once
// Decides the replacement of one word, caching the verdict per word in a bounded LRU map:
// a suggestion search can cost tens of milliseconds, and texts repeat their mistakes.
// Stop-gap answers (see SuggestionIndex::Answer) are passed on but not kept.
#include "SuggestionIndex.h"

#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace quillo::cloud {

class SpellChecker {
public:
    SpellChecker(std::shared_ptr<SuggestionIndex> index, size_t cacheCapacity = 50000);

    // The replacement for a misspelt lower-case-normalised lookup form, or nullopt when the
    // word is known or nothing good is suggested. Case is the caller's business.
    std::optional<std::string> replacement(const std::string &word) { return verdict(word).fix; }
    struct Verdict {
        std::optional<std::string> fix;
        std::vector<std::string> tied;  // equally close candidates, for the context to decide between
    };
    Verdict verdict(const std::string &word);
    bool isKnown(const std::string &word) { return index_->isKnown(word); }  // fast: no suggestions

    struct Stats {
        size_t hits = 0, misses = 0, size = 0;
    };
    Stats stats() const;

private:
    Verdict compute(const std::string &word, bool &settled);

    std::shared_ptr<SuggestionIndex> index_;
    size_t capacity_;
    mutable std::mutex mutex_;
    using Entry = std::pair<std::string, Verdict>;
    std::list<Entry> order_;  // most recent first
    std::unordered_map<std::string, std::list<Entry>::iterator> map_;
    size_t hits_ = 0, misses_ = 0;
};

}  // namespace quillo::cloud
