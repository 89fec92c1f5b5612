#include "SuggestionRanking.h"

#include "TypoCost.h"

namespace quillo::cloud::SuggestionRanking {

double commonness(uint8_t level)
{
    if (level <= 10) return 0;
    if (level <= 20) return 0.05;
    if (level <= 35) return 0.12;
    if (level <= 40) return 0.18;
    if (level <= 50) return 0.25;
    if (level <= 55) return 0.3;
    if (level <= 60) return 0.35;
    return 0.45;
}

namespace {
double penalties(std::string_view typoLower, std::string_view candidateLower, std::string_view candidate, uint8_t level)
{
    double s = commonness(level);
    if (!typoLower.empty() && !candidateLower.empty() && typoLower[0] != candidateLower[0]) s += 0.15;
    if (!candidate.empty() && candidate[0] >= 'A' && candidate[0] <= 'Z') s += 0.3;
    return s;
}
}  // namespace

double score(std::string_view typoLower, std::string_view candidateLower, std::string_view candidate, uint8_t level)
{
    return TypoCost::weighted(typoLower, candidateLower) + penalties(typoLower, candidateLower, candidate, level);
}

double lowerBound(std::string_view typoLower, std::string_view candidateLower, std::string_view candidate,
                  uint8_t level, int editDistance)
{
    return TypoCost::kCheapestSlip * editDistance + penalties(typoLower, candidateLower, candidate, level);
}

}  // namespace quillo::cloud::SuggestionRanking
