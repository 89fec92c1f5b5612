#pragma once
// The corrector's view of a text: words, spaces, line breaks, punctuation and shielded spans
// (code, markup, addresses, paths), which concatenated give the text back byte for byte.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillo::cloud {

struct LanguageConventions;

enum class Kind { word, space, otherSpace, newline, punct, other, shielded };

struct Token {
    Kind kind;
    std::string text;
    const LanguageConventions *language = nullptr;  // null: a language we leave alone
};

std::vector<Token> tokenize(const std::string &s);

// Which tokens are words that begin a sentence.
std::vector<bool> sentenceStarts(const std::vector<Token> &t);

bool isAsciiWord(const std::string &w);
std::string lower(std::string w);  // ASCII letters only
bool startsLower(const std::string &w);
bool startsUpper(const std::string &w);
bool allUpper(const std::string &w);
bool hasInnerUpper(const std::string &w);
std::string capitalized(std::string w);
void replaceAll(std::string &s, std::string_view from, std::string_view to);

}  // namespace quillo::cloud
