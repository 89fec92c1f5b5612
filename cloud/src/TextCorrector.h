#pragma once
// The correction engine. "proofread" fixes spelling (through the spell checker), capitalises
// sentence starts and a standalone "i", collapses doubled spaces inside a line and removes
// spaces before punctuation. "contextual" adds a few phrasing rules. Everything else in the
// text (indentation, line breaks, tabs, URLs, addresses, tags, code spans) stays byte for byte.
#include "SpellChecker.h"

#include <memory>
#include <string>

namespace quillo::cloud {

enum class CorrectionStyle { proofread, contextual };

class TextCorrector {
public:
    explicit TextCorrector(std::shared_ptr<SpellChecker> speller);
    std::string correct(const std::string &utf8Text, CorrectionStyle style) const;
    // Reads every dictionary, lexicon and word list the engine uses, which it otherwise does on
    // first use.
    void warmUp() const;

private:
    std::shared_ptr<SpellChecker> speller_;
};

// Length of a UTF-8 text in UTF-16 code units (what the client counts); -1 if not UTF-8.
long utf16Length(const std::string &s);

}  // namespace quillo::cloud
