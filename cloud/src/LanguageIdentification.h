#pragma once
// Which language a paragraph or sentence is written in, from CLD2 (Debian's libcld2, the
// compact model). Chosen over exttextcat: on the preservation sets' one-sentence texts in the
// seven languages with a dictionary, CLD2 named 617 of 639 rightly (exttextcat 337) and 7
// wrongly (exttextcat 17), in a tenth of the time; cut to their first four words, 525 (214)
// and 26 wrongly (58). CLD2 answers English for very short text it cannot place, so the
// caller must treat an unreliable "en" as unsure.
#include <string>
#include <string_view>
#include <vector>

namespace quillo::cloud {

struct LanguageGuess {
    std::string code;  // ISO 639-1 ("en", "de", "pt"); empty when CLD2 cannot tell
    std::string name;  // its English name ("German"), for people and prompts
    bool reliable = false;
    std::vector<std::string> candidates;  // CLD2's top languages (up to three), best first
};

// `text` must be valid UTF-8 (the wire layer checks it).
LanguageGuess identifyLanguage(std::string_view text);

}  // namespace quillo::cloud
