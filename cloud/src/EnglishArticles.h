#pragma once
// Articles English requires in set phrases, added where the phrase is plain from the words:
//   superlative-the  a superlative before its noun takes "the" ("is most beautiful city" ->
//                    "is the most beautiful city", "one of most famous" -> "one of the most
//                    famous")
//   a-lot-of         "lot of" after a verb or a preposition takes "a" ("spent lot of time")
#include "TextTokens.h"

#include <vector>

namespace quillo::cloud {

class EnglishLexicon;

void applyEnglishArticles(std::vector<Token> &tokens, const EnglishLexicon &lexicon);

}  // namespace quillo::cloud
