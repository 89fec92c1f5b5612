#pragma once
// Marks at the edges of clauses that learners get wrong:
//   comma-capital  a capital on a plain word right after a comma mid-sentence ("Likewise, The
//                  theory" -> "Likewise, the theory") or a conjunction ("So It will" -> "So it
//                  will"); not on a title or a name, which keep their capitals on the words after
//   tag-question   a question tag closing a sentence asks, so it ends with "?" ("It is cold,
//                  isn't it." -> "It is cold, isn't it?")
#include "TextTokens.h"

#include <vector>

namespace quillo::cloud {

void fixEnglishClauseEdges(std::vector<Token> &tokens);

}  // namespace quillo::cloud
