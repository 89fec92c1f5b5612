#pragma once
// Number agreement that learners miss, fixed only where the subject is plain from the words:
//   plural-subject     a plural noun opening a clause takes a plural verb ("My friends is
//                      here" -> "My friends are here"); the noun must start the clause
//                      (after at most a determiner and one adjective), so "The price of
//                      apples is" keeps its singular subject
//   each-every         the noun after "each" or "every" is singular ("every details" ->
//                      "every detail")
//   lot-of-people      a noun naming a person after "a lot of", "lots of", "plenty of" is
//                      plural ("a lot of scientist" -> "a lot of scientists")
//   pronoun-verb       "they", "we", "you" or "I" opening a clause takes the plain verb ("they
//                      needs money" -> "they need money"), also past a frequency adverb
//   double-determiner  an article before a determiner that already fixes the noun ("for the
//                      these reasons" -> "for these reasons")
#include "TextTokens.h"

#include <vector>

namespace quillo::cloud {

class EnglishLexicon;

void applyEnglishNumber(std::vector<Token> &tokens, const EnglishLexicon &lexicon);

}  // namespace quillo::cloud
