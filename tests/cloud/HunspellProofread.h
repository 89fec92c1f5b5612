#pragma once
// The engine's proofread with Hunspell's own suggestions: enough for the grammar rules' tests,
// which need no suggestion index.
#include "HunspellSuggestionIndex.h"
#include "SpellChecker.h"
#include "TextCorrector.h"

#include <memory>
#include <string>

namespace quillo::cloud {

inline std::string proofread(const std::string& text) {
    static auto speller = std::make_shared<SpellChecker>(
        std::make_shared<HunspellSuggestionIndex>("/usr/share/hunspell/en_US.aff", "/usr/share/hunspell/en_US.dic", 1));
    return TextCorrector(speller).correct(text, CorrectionStyle::proofread);
}

} // namespace quillo::cloud
