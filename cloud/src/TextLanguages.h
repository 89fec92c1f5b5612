#pragma once
// Marks every token of a text with the language it is written in, or with none when the
// engine must leave it alone. Each line is identified as a whole, and each sentence of three
// words or more on its own when it reliably differs from its line ("Merci beaucoup ! See you
// tomorrow."). A language is used only when identification is reliable and the language has a
// dictionary; text that identification is unsure of counts as English only when most of its
// words are English words or known misspellings of them ("recieve teh letter"), and otherwise is
// left as it is.
#include "TextTokens.h"

#include <vector>

namespace quillo::cloud {

class SpellChecker;
class LanguageDictionaries;

void assignLanguages(std::vector<Token> &tokens, SpellChecker &english);

// True when the token is marked English (the English-only rules apply to it).
bool isEnglish(const Token &token);

}  // namespace quillo::cloud
