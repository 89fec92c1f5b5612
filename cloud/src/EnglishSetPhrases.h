#pragma once
// Set phrases written with the wrong spacing, fixed before the grammar rules read the words:
//   run-together  two words typed as one that no dictionary lists ("inorder", "aswell",
//                 "ofcourse"), and words the speller already split ("In fact") become
//                 separate words, so the rules after see "In fact" as a phrase
//   split-word    one word typed as two ("now a days", "there fore", "him self", "some one",
//                 "i m"), only where the two never stand apart in English
#include "TextTokens.h"

#include <vector>

namespace quillo::cloud {

void fixEnglishSetPhrases(std::vector<Token> &tokens);

}  // namespace quillo::cloud
