#pragma once
// When the engine may replace a word the dictionary rejects. A wrong change costs far more
// than a missed one, so every rule here errs on the side of leaving the word alone:
//   - words of one or two letters, chat forms and common abbreviations are never changed;
//   - a word SCOWL lists up to size 80 in any spelling variety is a real word, not a typo;
//   - a misspelling codespell knows with a single correction gets that correction;
//   - a word made of two dictionary words is a term ("backend"), not a slip, unless it is a
//     clear slip of a common word (a letter left out or doubled: "stressfull");
//   - a consonant + "ys" plural of a common noun is its "ies" plural ("familys");
//   - a capitalised candidate (a name) is refused unless only the case differs, and then too
//     when it has inner capitals ("MySQL": "mysql" is the command) or SCOWL lists it only
//     among proper names ("Redis"), not among capitalised common words ("Paris", "Monday");
//     the corrector also keeps a person's name in lower case ("kafka"), a tool's as often;
//   - a term shaped like a rarer word one odd edit away is left alone (termNearRareWord);
//   - a rare candidate (SCOWL size 50 and beyond) two slips away, or one (size 60 and beyond)
//     a single slip away, is a guess, not a fix ("pcretest" is no "pretest");
//   - a word without a vowel ("pwd") or with a doubled first letter ("mmap") is a name, and so
//     is a short one whose first two letters start no common word ("ldap", "dgit");
//   - a word with a letter more at its end than the candidate is a term ("fluentd", "matcha"),
//     unless the letter is an "e", an "s" or doubles the last one ("develope", "smallers",
//     "untill");
//   - a candidate must keep the first letter (or swap the first two: "hte" -> "the"), cost at
//     most one slip up to 7 letters and two slips beyond
//     (TypoCost::weighted), and must not split the word ("codebase" is not "code base");
//   - the best candidate must beat the runner-up by kMargin in SuggestionRanking::score, which
//     adds commonness to the typing cost: two equally likely readings mean we cannot know;
//   - a long typo far from every word but with the first letter and consonants of a familiar
//     one ("trobull", "sevirl") is left to the words around it, which must pick that reading
//     over the other candidates by far.
// The text-level rules (names capitalised mid-sentence, identifiers, hyphen-joined parts,
// a word that occurs twice) live in the corrector, which sees the neighbouring tokens.
// Thresholds were set on the typo corpus of seed 1 (cloud_suggest_accuracy) and the English
// preservation set in tests/cloud/data.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillo::cloud {

class ScowlLexicon;
class KnownMisspellings;

namespace SpellingPrecision {

constexpr double kMargin = 0.15;
// Candidates this close to the closest plain word are readings for the context to choose from.
constexpr double kContextMargin = 0.3;
constexpr double kShortWordCost = 0.65;  // words of up to 4 letters: one slip
constexpr double kWordCost = 0.9;        // 5..7 letters: one slip (a plain edit of a far key is a term)
constexpr double kLongWordCost = 1.65;   // 8 and more: up to two slips
constexpr uint8_t kCommonLevel = 35;     // SCOWL sizes up to here: words everyone writes
constexpr uint8_t kRareLevel = 70;       // from here on SCOWL lists rare variants ("belive")
constexpr uint8_t kEveryoneLevel = 10;   // SCOWL size 10: the few thousand words everyone uses
constexpr uint8_t kFamiliarLevel = 20;   // SCOWL size 20: words most writers use weekly
constexpr uint8_t kRareGuessLevel = 50;  // SCOWL sizes from here: only one slip away
constexpr uint8_t kRareWordLevel = 60;   // SCOWL sizes from here: no slip at all
constexpr size_t kShortTermLetters = 5;  // up to here a name is as likely as a slip
constexpr size_t kWordLetters = 7;
constexpr size_t kCommonReadingLetters = 5;
constexpr size_t kPlainSlipLetters = 4;
constexpr size_t kVowelStartLetters = 5;    // a first vowel may change from here on
constexpr size_t kSubstitutionLetters = 6;  // a plain slip may replace a letter from here on
constexpr size_t kLoneWordLetters = 8;      // from here on a typo may be far from its only reading
constexpr double kLoneWordCost = 2.15;      // how far, for a word of SCOWL size 10
constexpr double kLoneWordMargin = 0.5;     // ahead of every other reading
constexpr size_t kFarTypoLetters = 6;       // from here on the words around may pick a far reading

// A single edit (Damerau) keeping the first letter that turns `typo` into `candidate`, a common
// lower-case word: a slip even when the keys are far apart ("raher" -> "rather").
bool isPlainSlip(const std::string &typo, const std::string &candidate, const ScowlLexicon &lexicon);

// Chat forms and abbreviations people type on purpose ("tbh", "imo", "brb", "repo").
bool isChatForm(std::string_view lower);

// The contraction a word typed without its apostrophe stands for ("dont" -> "don't",
// "im" -> "I'm", "youre" -> "you're"), when the dictionary knows it and the word itself is
// no word; nullopt otherwise. `isKnown` asks the dictionary.
std::optional<std::string> contractionFor(const std::string &lower,
                                          const std::function<bool(const std::string &)> &isKnown,
                                          const ScowlLexicon &lexicon);

// A word made of two dictionary words of three letters or more ("backend", "codebase"): a
// term of its own, not a slip.
bool isCompound(const std::string &lower, const std::function<bool(const std::string &)> &isKnown);
// Every way of reading `lower` as two such words, as "back end".
std::vector<std::string> compoundSplits(const std::string &lower,
                                        const std::function<bool(const std::string &)> &isKnown);

// Whether the unknown lower-case `typo` reads as a term of its own rather than `word` (lower
// case, SCOWL size `level`) misspelt. Writers misspell the words they use, and tool, library
// and drug names sit one odd edit from a rarer word ("postgres"/"postures", "numba"/"numbs",
// "gradle"/"grade"). A term, unless the word is familiar (kFamiliarLevel) and the edit is a
// usual slip, when the edit is:
//   - a letter for an apostrophe, or another ending on the stem of a plural or possessive
//     ("prisma" -> "prisms"), whatever the word;
//   - one letter for a far key (not a neighbour, not a vowel for a vowel): "vitest";
//   - any single substitution or adjacent swap in a word of up to kShortTermLetters: "jira";
//   - a letter more, of up to kWordLetters, that neither doubles a letter nor sits beside its
//     neighbour on the keyboard, unless the word is of SCOWL size 10: "gradle".
// Tuned on the lower-case terms in tests/cloud/data/preservation-en-terms.txt against the
// fixes the engine made on JFLEG and on the typo corpora (cloud_suggest_accuracy --corrector).
// A word without a vowel, or with a doubled first letter: an abbreviation or a name, never a slip.
bool shapedLikeAName(std::string_view lower);

// An ending added as if the word were regular: the plural of a noun in consonant + "y"
// ("familys" -> "families"), the "-ing" of a verb in silent "e" ("faceing" -> "facing").
std::optional<std::string> learnerEnding(const std::string &typo,
                                         const std::function<bool(const std::string &)> &isKnown,
                                         const ScowlLexicon &lexicon);

bool termNearRareWord(const std::string &typo, const std::string &word, uint8_t level);

// Whether a capitalised sentence start may be corrected to `fix` (both in lower case): a name
// there ("Ilse") looks like a typo, so only a single slip of five letters or more from a word
// of SCOWL size 10 ("Peolple", "Thoes") is taken.
bool fixableAtSentenceStart(const std::string &typo, const std::string &fix, const ScowlLexicon &lexicon);

// A second reading for a typo whose best candidate is no clear slip ("peole": "prole" types
// closer, "people" is meant): the best-scoring candidate of SCOWL size 10, when it keeps the
// first letter, is a plain slip from the typo (isPlainSlip) and every rival within kMargin is rarer than
// kCommonLevel. Learners misspell the words they use most. Words of five letters or more that
// are no compound of dictionary words only ("backend" stays, though "backed" is one edit away).
std::optional<std::string> commonReading(const std::string &typo, const std::vector<std::string> &candidates,
                                         const std::function<bool(const std::string &)> &isKnown,
                                         const ScowlLexicon &lexicon);

// The rules about the best candidate itself, for confidentChoice once the typo's own shape has
// passed (not empty).
std::optional<std::string> choiceByCandidates(const std::string &typo, const std::vector<std::string> &candidates,
                                              const std::function<bool(const std::string &)> &isKnown,
                                              const ScowlLexicon &lexicon, bool plainSlip,
                                              std::vector<std::string> *splits = nullptr);

// The replacement for the lower-case `typo` when one is confident: codespell's known
// correction, else the best of `candidates` (best first) when it passes every rule above.
// `tied` (when given) receives the plain words as close to the typo as the one chosen, or,
// without a choice, as close as the closest: the words around the typo may pick among them
// ("stock maket": "market", not "maker") and are then heard over the choice.
std::optional<std::string> confidentChoice(const std::string &typo, const std::vector<std::string> &candidates,
                                           const std::function<bool(const std::string &)> &isKnown,
                                           const ScowlLexicon &lexicon, const KnownMisspellings &misspellings,
                                           std::vector<std::string> *tied = nullptr);

}  // namespace SpellingPrecision
}  // namespace quillo::cloud
