#pragma once
// English grammar and punctuation rules, each deciding from the neighbouring words only where
// the reading is clear, and otherwise leaving the text alone. Parts of speech and irregular
// forms come from WordNet (EnglishLexicon); the dictionary confirms every generated form.
// The rule classes (the grammar set in tests/cloud/data has sentences for each):
//   modal-of        "should of gone" -> "should have gone"
//   its             "its a pity" -> "it's a pity"; "it's own" -> "its own"
//   there           "their is" -> "there is"; "their going" -> "they're going"
//   your            "your welcome" -> "you're welcome"; "you're own" -> "your own"
//   whose           "whose going" -> "who's going"
//   than            "bigger then" -> "bigger than"
//   too             "is to late" -> "is too late"
//   lose            "to loose" -> "to lose"
//   effect          "a big affect" -> "a big effect"
//   buy             "to by a car" -> "to buy a car"; "buy the way" -> "by the way"
//   article         "a apple", "an university", "a hour" -> "an apple", "a university", "an hour"
//   agreement       "he have", "they was", "there is many", "there is editors", "the results was",
//                   "and he enjoy it"
//   verb-form       "has went", "didn't went", "can goes"
//   forward-to      "looking forward to hear" -> "looking forward to hearing"
//   doubled         "the the" -> "the"
//   fewer           "less cavities" -> "fewer cavities"
//   comparative     "more taller" -> "taller"
//   noun-number     "many reason", "these problem", "one of the city that", "for this reasons",
//                   "the number of car", "every few year"
//   run-together    "can not" -> "cannot" (not before "only")
//   the-same        "is not same" -> "is not the same"
//   missing-word    "want be" -> "want to be", "It so expensive" -> "It is so expensive", "for
//                   long time" -> "for a long time", "we cant stay" -> "we can't stay", "will
//                   able to" -> "will be able to", "I agree the statement" -> "agree with"
//   extra-word      "despite of", "besides of", "discuss about", "most of people" -> "despite",
//                   "besides", "discuss", "most people"; "informations" -> "information"
//                   (nouns English does not count)
//   collocation     "dependent of" -> "dependent on", "interested about" -> "interested in",
//                   "focus in" -> "focus on", "listen music" -> "listen to music"
//   spacing         "word,word" -> "word, word"
// The commas (introductory words and clauses, "but" and "so" between clauses) are in
// EnglishCommas.h; a regular past of an irregular verb ("choosed") is fixed with the spelling.
// Contractions without their apostrophe, "alot" and run-together pairs are spelling (known
// misspellings), capitals for "i", days, months and languages are the dictionary's case.
#include "TextTokens.h"

#include <functional>
#include <string>
#include <vector>

namespace quillo::cloud {

// Applies every rule to the English words of `tokens`. `isKnown` asks the English dictionary.
void applyEnglishGrammar(std::vector<Token> &tokens, const std::function<bool(const std::string &)> &isKnown);

}  // namespace quillo::cloud
