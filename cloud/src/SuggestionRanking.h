#pragma once
// The order of suggestions for a misspelt word. Each candidate within two edits (an adjacent
// swap counting as one) gets a score, lowest first:
//   TypoCost::weighted(typo, candidate)   1 per edit; 0.55 for a swapped pair, 0.6 for a
//                                          doubled or undoubled letter, 0.65 for a neighbouring
//                                          key, 0.8 for one vowel in place of another, 0.9 for an
//                                          extra key next to the one meant
// + commonness(level)                      0 for SCOWL size 10 rising to 0.45 for words beyond
//                                          size 60: a common word beats a rare one at the same cost
// + 0.15 when the first letter differs     people get the first letter wrong less often
// + 0.3 when the candidate is capitalised  a lower-case typo is seldom a name (a pure case fix,
//                                          "paris" -> "Paris", still wins: it costs no edit)
// Ties go to the shorter edit distance, then to the alphabetical order, so results are stable.
// The weights were set on a typo corpus of seed 1 (cloud_suggest_accuracy --seed 1); the
// figures we report use another seed.
#include <cstdint>
#include <string_view>

namespace quillo::cloud::SuggestionRanking {

double commonness(uint8_t level);
// `typoLower` and `candidateLower` in lower case; `candidate` as the dictionary spells it.
double score(std::string_view typoLower, std::string_view candidateLower, std::string_view candidate, uint8_t level);
// A bound score() never goes below, from the plain edit distance: every weighted edit costs
// at least the cheapest slip. Lets a lookup skip the weighted cost of hopeless candidates.
double lowerBound(std::string_view typoLower, std::string_view candidateLower, std::string_view candidate,
                  uint8_t level, int editDistance);

}  // namespace quillo::cloud::SuggestionRanking
