#pragma once
// Which language a paragraph or sentence is written in, from CLD2 (Debian's libcld2, the
// compact model). Chosen over exttextcat: on one-sentence texts CLD2 named the language of
// far more sentences, ran in less time and said when it was unsure (the figures are in the
// engine's benchmark notes). CLD2 answers English for very short text it cannot place, so the
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
