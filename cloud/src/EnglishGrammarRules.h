#pragma once
// What the English grammar rules share: the text being corrected, the lexicon and the
// dictionary, and how a rule puts a word in place. Internal to the rules.
#include "EnglishLexicon.h"
#include "EnglishWords.h"
#include "TextTokens.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillo::cloud::english {

struct GrammarContext {
    std::vector<Token> &t;
    const EnglishLexicon &lex;
    const std::function<bool(const std::string &)> &isKnown;
    bool curlyText;
};

// Replaces word i, keeping its capital and the text's apostrophe style.
inline void put(std::vector<Token> &t, size_t i, std::string word, bool curlyText)
{
    if (startsUpper(t[i].text) && !allUpper(t[i].text)) word = capitalized(word);
    else if (allUpper(t[i].text) && t[i].text.size() > 1) return;  // shouting is the writer's own
    if (curlyText) replaceAll(word, "'", "\xE2\x80\x99");
    t[i].text = word;
}

// Removes word i and the space after it; the next word takes its capital.
inline void drop(std::vector<Token> &t, size_t i)
{
    size_t next = nextWord(t, i);
    if (next == npos) return;
    if (startsUpper(t[i].text)) t[next].text = capitalized(t[next].text);
    t[i].text.clear();
    t[i + 1].text.clear();
}

inline const Words kModals = {"can", "could", "will", "would", "shall", "should", "may", "might", "must"};
inline const Words kDoForms = {"do",     "does",     "did",   "don't",    "doesn't",   "didn't",  "can't",
                               "cannot", "couldn't", "won't", "wouldn't", "shouldn't", "mustn't", "mightn't"};
inline const Words kBe = {"is", "are", "was", "were", "be", "been", "am", "being", "it's", "that's", "isn't", "wasn't"};
inline const Words kDeterminers = {"the", "a",   "an",  "this",  "that", "these", "those", "my",    "your", "his",
                                   "her", "its", "our", "their", "some", "any",   "no",    "every", "each"};
inline const Words kPluralDeterminers = {"the", "these", "those", "my",  "your", "our",     "their", "his",
                                         "her", "many",  "some",  "all", "both", "several", "most"};
inline const Words kSubjectPronouns = {"i", "you", "he", "she", "it", "we", "they"};

// Whether word i starts the text or follows one of `marks` and a space.
inline bool afterMark(const std::vector<Token> &t, size_t i, std::string_view marks)
{
    return i == 0 || (i >= 2 && t[i - 1].kind == Kind::space && t[i - 2].kind == Kind::punct &&
                      marks.find(t[i - 2].text[0]) != std::string_view::npos);
}

// Whether word i ends its clause: no word follows it across a space (the text ends, or a mark
// or a line break comes next).
inline bool endsClauseAt(const std::vector<Token> &t, size_t i)
{
    return nextWord(t, i) == npos && (i + 1 >= t.size() || t[i + 1].kind != Kind::word);
}

// The token after word n, past one space typed before punctuation ("late .").
inline size_t tokenAfterWord(const std::vector<Token> &t, size_t n)
{
    return n + 1 < t.size() && t[n + 1].text == " " ? n + 2 : n + 1;
}

// Subject and verb agreement (EnglishAgreement.cpp).
void agreement(GrammarContext &c, size_t i, const std::string &w);
void thirdPerson(GrammarContext &c, size_t i, const std::string &w);
// The "-s" form of a verb, or empty when the dictionary knows none.
std::string thirdPersonOf(const GrammarContext &c, const std::string &v);
// Runs after the number rules, which may make the noun after "there is" plural.
void thereIsMany(GrammarContext &c, size_t i, const std::string &w);
// "these systems runs on": a plural subject takes the plain verb.
void pluralSubjectVerb(GrammarContext &c, size_t i, const std::string &w);

// Whether English text makes `before` + `first` + `after` likelier than with `second` by more
// than `margin` (log10); false without the word-sequence model or when it knows either not.
bool modelFavours(const std::vector<std::string> &before, const std::string &first, const std::string &second,
                  const std::vector<std::string> &after, double margin);
bool modelFavours(const std::vector<std::string> &before, const std::vector<std::string> &first,
                  const std::vector<std::string> &second, const std::vector<std::string> &after, double margin);
// Ten times likelier: where a form's reading is in doubt ("purpose" the noun or the verb).
constexpr double kVerbReadingLead = 1.0;
// A hundred times likelier: where one correct word is taken for another ("in there" the place).
constexpr double kWordChoiceLead = 2.0;

// How many a noun phrase counts (EnglishQuantities.cpp).
void nounNumber(GrammarContext &c, size_t i, const std::string &w);
void quantity(GrammarContext &c, size_t i, const std::string &w);

// Words a phrase lacks, holds twice over or takes instead (EnglishPhraseWords.cpp).
void missingWord(GrammarContext &c, size_t i, const std::string &w);
void extraWords(GrammarContext &c, size_t i, const std::string &w);
void collocation(GrammarContext &c, size_t i, const std::string &w);
void theSame(GrammarContext &c, size_t i, const std::string &w);
void wordOrder(GrammarContext &c, size_t i, const std::string &w);

// Articles and prepositions a phrase takes by usage (EnglishUsage.cpp).
void phraseUsage(GrammarContext &c, size_t i, const std::string &w);
// "asked to me a question", "allowed me go", "worth to see", "angry on me".
void complements(GrammarContext &c, size_t i, const std::string &w);
// "Although it was late, but we went".
void althoughBut(std::vector<Token> &t);
// "This is important thing", "I got good score".
void missingArticle(GrammarContext &c, size_t i, const std::string &w);
// Whether "an" goes before the lower-case word, by its sound ("an hour", "a university").
bool anBefore(const std::string &x);
// The mark that ends the sentence holding token i (".", "!" or "?"), or "" at the text's end.
std::string sentenceEndMark(const std::vector<Token> &t, size_t i);
// "emphasized on", "consists from", "listening music", "return back", "in next week".
void prepositionUsage(GrammarContext &c, size_t i, const std::string &w);
// "word,word", "late.We", "( near )", "he /she", "Hello ,how" (EnglishSpacing.cpp).
void spacing(std::vector<Token> &t);
// "many others animals", "a fifteen years old girl", "Both of them was late".
void nounForms(GrammarContext &c, size_t i, const std::string &w);
// Forms of speech that written English spells otherwise (EnglishNonstandard.cpp).
void nonstandardForms(GrammarContext &c, size_t i, const std::string &w);
// Words taken for others that look or sound alike (EnglishConfusables.cpp).
void confusables(GrammarContext &c, size_t i, const std::string &w);
// A verb in the present where the clause says it happened in the past (EnglishPastTime.cpp).
void pastTime(GrammarContext &c, size_t i, const std::string &w);

// What a verb takes after it: "want go", "am agree", "arrived to the" (EnglishVerbPatterns.cpp).
void verbPattern(GrammarContext &c, size_t i, const std::string &w);
// The "-ing" form of a verb the dictionary knows ("make" -> "making", "swim" -> "swimming"), or empty.
std::string ingForm(const std::string &v, const std::function<bool(const std::string &)> &isKnown);

}  // namespace quillo::cloud::english
