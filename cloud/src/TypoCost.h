#pragma once
// How likely one spelling is a slip for another, as a weighted edit cost: plain edits cost 1,
// slips that people make more often cost less (a swapped pair, a doubled or undoubled letter,
// a neighbouring key, one vowel for another). Lower is more likely.
#include <string_view>

namespace quillo::cloud::TypoCost {

constexpr double kCheapestSlip = 0.55;  // no weighted edit costs less

// Optimal-string-alignment distance (an adjacent swap is one edit); returns limit + 1 as soon
// as the distance is known to exceed `limit`.
int editDistance(std::string_view a, std::string_view b, int limit);

// The weighted cost of turning the typed `typo` into `word` (both lower case).
double weighted(std::string_view typo, std::string_view word);

// Keys that touch on a US QWERTY keyboard (letters only).
bool adjacentKeys(char a, char b);

}  // namespace quillo::cloud::TypoCost
