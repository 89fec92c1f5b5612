#pragma once
// Walking the English words of a token list: the word one single space after or before
// another, and a word's lookup key. Shared by the grammar and punctuation rules.
#include "TextLanguages.h"
#include "TextTokens.h"

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quillo::cloud::english {

constexpr size_t npos = static_cast<size_t>(-1);
using Words = std::set<std::string, std::less<>>;

inline bool isWord(const std::vector<Token> &t, size_t i)
{
    return i < t.size() && t[i].kind == Kind::word && isEnglish(t[i]);
}

// The word one single space after (or before) word i; npos after (or before) npos.
inline size_t nextWord(const std::vector<Token> &t, size_t i)
{
    return i != npos && i + 2 < t.size() && t[i + 1].kind == Kind::space && t[i + 1].text == " " && isWord(t, i + 2)
               ? i + 2
               : npos;
}
inline size_t prevWord(const std::vector<Token> &t, size_t i)
{
    return i != npos && i >= 2 && t[i - 1].kind == Kind::space && t[i - 1].text == " " && isWord(t, i - 2) ? i - 2
                                                                                                           : npos;
}

// Lower case with a typographic apostrophe read as a plain one.
inline std::string key(const Token &tok)
{
    std::string w = lower(tok.text);
    replaceAll(w, "\xE2\x80\x99", "'");
    return w;
}
// A frequency adverb that may stand between a subject and its verb ("they usually take").
inline bool frequencyAdverb(std::string_view w)
{
    static const Words adverbs = {"also",      "usually",  "always",     "often",        "never",
                                  "sometimes", "really",   "still",      "just",         "rarely",
                                  "generally", "normally", "seldom",     "mainly",       "mostly",
                                  "even",      "actually", "certainly",  "probably",     "hardly",
                                  "simply",    "truly",    "frequently", "occasionally", "definitely"};
    return adverbs.contains(w);
}

inline std::string keyAt(const std::vector<Token> &t, size_t i) { return i == npos ? std::string() : key(t[i]); }

}  // namespace quillo::cloud::english
