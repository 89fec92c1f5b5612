#pragma once
// What the corrector needs from a dictionary. Hunspell implements it directly; the indexed
// implementation answers from a precomputed index and keeps Hunspell for the rest.
#include <string>
#include <vector>

namespace quillo::cloud {

class SuggestionIndex {
public:
    struct Answer {
        std::vector<std::string> words;  // best first
        // False for a stop-gap answer (the index is still building, or the bounded fallback
        // ran out of time): callers must not cache it.
        bool settled = true;
    };

    virtual ~SuggestionIndex() = default;
    virtual bool isKnown(const std::string &word) = 0;                          // UTF-8, ASCII apostrophes
    virtual std::vector<std::string> suggestions(const std::string &word) = 0;  // best first
    virtual Answer answer(const std::string &word) { return {suggestions(word), true}; }
};

}  // namespace quillo::cloud
