#pragma once
// What the corrector needs from a dictionary. Hunspell implements it today; a faster
// precomputed suggestion index can replace it without touching the corrector.
#include <string>
#include <vector>

namespace quillo::cloud {

class SuggestionIndex {
public:
    virtual ~SuggestionIndex() = default;
    virtual bool isKnown(const std::string &word) = 0;                    // UTF-8, ASCII apostrophes
    virtual std::vector<std::string> suggestions(const std::string &word) = 0;  // best first
};

}  // namespace quillo::cloud
