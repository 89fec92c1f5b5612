#pragma once
// The order of suggestions for a misspelt word. Each candidate within two edits (an adjacent
// swap counting as one) gets a score, lowest first:
//   TypoCost::weighted(typo, candidate)   1 per edit; 0.65 for a neighbouring key, 0.6 for a
//                                          swapped pair, 0.55 for a doubled/undoubled letter,
//                                          0.8 for one vowel in place of another
// + commonness(level)                      0 for SCOWL size 10 rising to 0.45 for words beyond
//                                          size 60: a common word beats a rare one at the same cost
// + 0.3 when the first letter differs      people seldom get the first letter wrong
// + 0.15 when the candidate is capitalised  a lower-case typo is rarely a name
//   and the typo is not
// Ties go to the shorter edit distance, then to the alphabetical order, so results are stable.
#include <cstdint>
#include <string_view>

namespace quillo::cloud::SuggestionRanking {

double commonness(uint8_t level);
// `typoLower` and `candidateLower` in lower case; `candidate` as the dictionary spells it.
double score(std::string_view typoLower, std::string_view candidateLower, std::string_view candidate, uint8_t level);
// A bound score() never goes below, from the plain edit distance: every weighted edit costs
// at least the cheapest slip. Lets a lookup skip the weighted cost of hopeless candidates.
double lowerBound(std::string_view typoLower, std::string_view candidateLower, std::string_view candidate, uint8_t level,
                  int editDistance);

}  // namespace quillo::cloud::SuggestionRanking
