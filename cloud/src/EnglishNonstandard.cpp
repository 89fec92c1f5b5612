// Forms of speech that written English spells otherwise: "I seen it" -> "I saw it", "can't
// hardly" -> "can hardly", "between you and I" -> "between you and me", "Whom is calling?" ->
// "Who is calling?", "was laying on the bed" -> "was lying", "Each of them have" -> "Each of
// them has", "They're car is new" -> "Their car", "Your the best" -> "You're the best", "the man
// which lives here" -> "the man who lives here".
#include "EnglishGrammarRules.h"

#include <map>

namespace quillo::cloud::english {

namespace {

const Words kTriggers = {"seen",   "done", "gone", "hardly",  "i",    "whom",
                         "laying", "lay",  "each", "they're", "your", "which"};

// Whether word i ends its clause, or "and" follows it.
bool endsClause(const GrammarContext &c, size_t i)
{
    return endsClauseAt(c.t, i) || keyAt(c.t, nextWord(c.t, i)) == "and";
}

// Whether word n, a noun too, is followed by a verb of its own ("which team won"): then it is
// what "which" picks, not the clause's verb.
bool nounBeforeItsVerb(const GrammarContext &c, size_t n)
{
    std::string after = keyAt(c.t, nextWord(c.t, n));
    return c.lex.isNoun(keyAt(c.t, n)) &&
           (c.lex.baseOfInflectedVerb(after, true).has_value() || c.lex.verbBase(after).value_or(after) != after ||
            kBe.contains(after) || kModals.contains(after) || after == "has" || after == "had");
}

}  // namespace

void nonstandardForms(GrammarContext &c, size_t i, const std::string &w)
{
    if (!kTriggers.contains(w)) return;
    const std::string &text = c.t[i].text;
    if (allUpper(text) && text.size() > 1 && w != "i") return;
    size_t n = nextWord(c.t, i), p = prevWord(c.t, i);
    std::string next = keyAt(c.t, n), prev = keyAt(c.t, p);
    bool nextPlain = n != npos && c.t[n].text == next;

    // "I seen it", "he done his best", "we gone home": a participle straight after its subject is
    // the past.
    static const std::map<std::string, std::string> pasts = {{"seen", "saw"}, {"done", "did"}, {"gone", "went"}};
    static const Words opens = {"and", "but", "so", "because", "when", "if", "then"};
    if (auto past = pasts.find(w); past != pasts.end() && text == w && kSubjectPronouns.contains(prev) &&
                                   prev != "it" &&
                                   (afterMark(c.t, p, ".!?,;") || opens.contains(keyAt(c.t, prevWord(c.t, p))))) {
        put(c.t, i, past->second, c.curlyText);
        return;
    }
    // "I can't hardly wait": "hardly" is the negation already. Not "don't hardly", which would
    // need the verb's tense moved onto it.
    static const std::map<std::string, std::string> negations = {
        {"can't", "can"}, {"couldn't", "could"}, {"won't", "will"}};
    if (w == "hardly" && text == w && nextPlain) {
        if (auto positive = negations.find(prev); positive != negations.end() && c.t[p].text == prev) {
            put(c.t, p, positive->second, c.curlyText);
            return;
        }
    }
    // "between you and I": after a preposition, the object.
    if (w == "i" && text == "I" && prev == "and" && keyAt(c.t, prevWord(c.t, p)) == "you" &&
        keyAt(c.t, prevWord(c.t, prevWord(c.t, p))) == "between") {
        c.t[i].text = "me";
        return;
    }
    // "Whom is calling?": the subject is "who".
    static const Words be = {"is", "was", "are", "were"};
    if (w == "whom" && afterMark(c.t, i, ".!?") && be.contains(next) && nextPlain) {
        put(c.t, i, "who", c.curlyText);
        return;
    }
    // "He was laying on the bed": resting is "lying"; laying takes an object ("laying down the law").
    static const Words rests = {"on", "in", "around", "there", "here", "awake", "flat", "still", "under", "beside"};
    if (w == "laying" && text == w && kBe.contains(prev) &&
        (rests.contains(next) || (next == "down" && endsClause(c, n)))) {
        put(c.t, i, "lying", c.curlyText);
        return;
    }
    // "Lay down and rest": told to rest, one lies down.
    if (w == "lay" && text == "Lay" && afterMark(c.t, i, ".!?") && next == "down" && nextPlain && endsClause(c, n)) {
        put(c.t, i, "lie", c.curlyText);
        return;
    }
    // "Each of them have a car": each counts one.
    static const std::map<std::string, std::string> singular = {
        {"have", "has"},      {"are", "is"},         {"were", "was"},     {"do", "does"},
        {"don't", "doesn't"}, {"haven't", "hasn't"}, {"aren't", "isn't"}, {"weren't", "wasn't"}};
    if (w == "each" && next == "of" && nextPlain) {
        size_t k = nextWord(c.t, n);
        std::string after = keyAt(c.t, k);
        static const Words owners = {"the", "these", "those", "my", "our", "their", "your", "his", "her"};
        if (after == "them" || after == "us" || after == "you") {
            k = nextWord(c.t, k);
        } else if (owners.contains(after)) {
            k = nextWord(c.t, k);
            std::string noun = keyAt(c.t, k);
            if (!(noun == "people" || noun == "children" || (c.lex.isPluralNoun(noun) && !c.lex.isNoun(noun)))) return;
            k = nextWord(c.t, k);
        } else {
            return;
        }
        auto one = singular.find(keyAt(c.t, k));
        if (k != npos && one != singular.end() && c.t[k].text == one->first) put(c.t, k, one->second, c.curlyText);
        return;
    }
    // "They're car is new": before a noun and its verb, the possessive.
    static const Words verbs = {"is", "was", "has", "will", "looks", "seems"};
    if (w == "they're" && nextPlain && c.lex.isNoun(next) && !c.lex.isPluralNoun(next) && !c.lex.isAdjective(next) &&
        !c.lex.isVerb(next) && !next.ends_with("ing") && verbs.contains(keyAt(c.t, nextWord(c.t, n)))) {
        put(c.t, i, "their", c.curlyText);
        return;
    }
    // "Your the best", "your a star": a possessive never comes before an article.
    static const Words articles = {"the", "a", "an", "such", "too", "really", "probably"};
    if (w == "your" && afterMark(c.t, i, ".!?,;") && articles.contains(next) && nextPlain) {
        put(c.t, i, "you're", c.curlyText);
        return;
    }
    // "the man which lives here": a person is "who". Not after a comma, where "which" may take
    // in the whole clause.
    static const Words determiners = {"the", "a", "an", "this", "that", "my", "our", "your", "his", "her", "their"};
    // People counted too ("his friends which are").
    auto person = [&](const std::string &noun) {
        if (!c.lex.isPluralNoun(noun)) return c.lex.isPersonNoun(noun);
        std::string one = c.lex.nounBase(noun).value_or(noun.ends_with('s') ? noun.substr(0, noun.size() - 1) : noun);
        return one != noun && c.lex.isPersonNoun(one);
    };
    if (w == "which" && text == w && p != npos && c.t[p].text == prev && person(prev) &&
        determiners.contains(keyAt(c.t, prevWord(c.t, p))) &&
        (kSubjectPronouns.contains(next) || c.lex.baseOfInflectedVerb(next, true) || kBe.contains(next) ||
         (c.lex.isPluralNoun(prev) &&
          (next == "have" || (c.lex.isVerb(next) && !c.lex.isAdjective(next) && !nounBeforeItsVerb(c, n)))))) {
        put(c.t, i, "who", c.curlyText);
    }
}

}  // namespace quillo::cloud::english
