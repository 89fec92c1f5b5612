#include "LanguageIdentification.h"

#include <cctype>
#include <cstdio>  // CLD2's header uses FILE without including it

#include <cld2/public/compact_lang_det.h>

namespace quillo::cloud {

LanguageGuess identifyLanguage(std::string_view text)
{
    LanguageGuess guess;
    if (text.empty()) return guess;
    CLD2::Language top3[3];
    int percent3[3];
    int textBytes = 0;
    bool reliable = false;
    CLD2::Language best = CLD2::ExtDetectLanguageSummary(text.data(), static_cast<int>(text.size()), true, top3,
                                                         percent3, &textBytes, &reliable);
    if (best == CLD2::UNKNOWN_LANGUAGE) return guess;
    guess.code = CLD2::LanguageCode(best);
    // CLD2 spells its names in capitals ("GERMAN", "CHINESE_T").
    std::string name = CLD2::LanguageName(best);
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '_') name[i] = ' ';
        else if (i > 0 && name[i - 1] != ' ')
            name[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[i])));
    }
    guess.name = name;
    guess.reliable = reliable;
    for (auto language : top3)
        if (language != CLD2::UNKNOWN_LANGUAGE) guess.candidates.emplace_back(CLD2::LanguageCode(language));
    // CLD2 names Portuguese "pt" and Norwegian "no"; the variety is the caller's business.
    return guess;
}

}  // namespace quillo::cloud
