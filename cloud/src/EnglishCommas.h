#pragma once
// Commas English readers expect and learners leave out, added only where the clause structure
// is plain from the words themselves:
//   introductory-comma  after an opening adverb or phrase ("However", "For example", "Also",
//                       "In this case") before the sentence goes on
//   clause-comma        after an opening subordinate clause or short prepositional phrase,
//                       before the subject of the main clause ("If you want it, you ...",
//                       "In Japan, we ...", "By all accounts, they ..."); the subject must
//                       be a pronoun that can only be one ("I", "he", "she", "we", "they"),
//                       or "you", "it", "there" before an auxiliary
//   conjunction-comma   before "but" or "so" joining two clauses ("..., but they ...")
//   especially-comma    before "especially" narrowing a finished phrase ("fruit, especially
//                       apples")
#include "TextTokens.h"

#include <vector>

namespace quillo::cloud {

class EnglishLexicon;

void applyEnglishCommas(std::vector<Token> &tokens, const EnglishLexicon &lexicon);

}  // namespace quillo::cloud
