// A clause that says when it happened, in the past: "Yesterday I go to the market" -> "Yesterday
// I went to the market", "We watch a film last night" -> "We watched a film last night", "When I
// was a child, I play outside" -> "When I was a child, I played outside".
#include "EnglishGrammarRules.h"

#include <cstring>

namespace quillo::cloud::english {

namespace {

const Words kPastPronouns = {"i", "we", "they", "you", "he", "she"};
const Words kPastUnits = {"night", "week", "month", "year", "summer", "winter", "weekend", "spring", "autumn"};
const Words kAgoUnits = {"days", "weeks", "months", "years", "minutes", "hours", "day", "week", "month", "year"};

// The past of a plain verb the dictionary knows: its irregular past, or a regular "-ed" form
// that WordNet reads back to it.
std::string pastOf(const GrammarContext &c, const std::string &v)
{
    std::vector<std::string> tries;
    if (v.ends_with('e')) tries.push_back(v + "d");
    if (v.size() > 2 && v.back() == 'y' && !std::strchr("aeiou", v[v.size() - 2]))
        tries.push_back(v.substr(0, v.size() - 1) + "ied");
    tries.push_back(v + "ed");
    tries.push_back(v + v.back() + "ed");
    // The regular form first: the irregular list keeps old forms too ("work", "wrought").
    std::vector<std::string> known;
    for (auto &form : tries)
        if (c.isKnown(form) && c.lex.baseOfInflectedVerb(form, true) == v) known.push_back(form);
    // "traveled" and "travelled" are each one country's: the writer's own choice, not ours.
    std::string doubled = v + v.back() + "ed";
    if (!known.empty() && known.front() == v + "ed" && c.lex.baseOfInflectedVerb(doubled, true) == v) return {};
    if (!known.empty()) return known.front();
    return c.lex.irregularPast(v).value_or("");
}

// Where the past-time phrase starting at word i ends (its last word), or npos: "yesterday",
// "last week", "two days ago" (the number one word or figures).
size_t timePhraseEnd(const std::vector<Token> &t, size_t i)
{
    std::string w = keyAt(t, i);
    if (w == "yesterday") return i;
    size_t n = nextWord(t, i);
    if (w == "last" && kPastUnits.contains(keyAt(t, n))) return n;
    if (kAgoUnits.contains(keyAt(t, n)) && keyAt(t, nextWord(t, n)) == "ago") return nextWord(t, n);
    return npos;
}

// The plain form of the present verb right after a subject pronoun, fit to become its past, or
// empty: not a modal, "be", "have" or "do" (auxiliaries as often), nor a past already. After
// "he" and "she" its "-s" form ("he goes").
std::string presentVerbAt(const GrammarContext &c, size_t v, const std::string &subject)
{
    std::string verb = keyAt(c.t, v);
    if (v == npos || c.t[v].text != verb) return {};
    if ((subject == "he" || subject == "she") && verb.ends_with('s')) {
        auto base = c.lex.baseOfInflectedVerb(verb, false);
        if (!base || thirdPersonOf(c, *base) != verb) return {};
        verb = *base;
    }
    static const Words auxiliaries = {"have", "do", "be", "need", "dare", "used", "ought", "get", "let"};
    bool plain = verb.size() > 1 && c.lex.isVerb(verb) && !kModals.contains(verb) && !kBe.contains(verb) &&
                 !kDoForms.contains(verb) && !auxiliaries.contains(verb) && !c.lex.baseOfInflectedVerb(verb, true) &&
                 !c.lex.verbBase(verb) && !verb.ends_with("ing") && !verb.ends_with('s');
    return plain ? verb : std::string();
}

// The word right after word k's comma ("Last week, we"), or npos.
size_t wordPastComma(const std::vector<Token> &t, size_t k)
{
    return k + 3 < t.size() && t[k + 1].text == "," && t[k + 2].text == " " && isWord(t, k + 3) ? k + 3 : npos;
}

void toPast(GrammarContext &c, size_t v, const std::string &verb)
{
    std::string past = pastOf(c, verb);
    if (!past.empty()) put(c.t, v, past, c.curlyText);
}

}  // namespace

void pastTime(GrammarContext &c, size_t i, const std::string &w)
{
    bool opens = afterMark(c.t, i, ".!?");
    if (!opens) return;
    // "Yesterday I go", "Last week, we visit", "Two days ago I buy": the phrase opens the
    // sentence, its subject follows.
    if (size_t end = kPastPronouns.contains(w) ? npos : timePhraseEnd(c.t, i); end != npos) {
        size_t s = nextWord(c.t, end);
        // Or past its comma.
        if (s == npos) s = wordPastComma(c.t, end);
        if (s == npos || !kPastPronouns.contains(keyAt(c.t, s))) return;
        size_t v = nextWord(c.t, s);
        std::string verb = presentVerbAt(c, v, keyAt(c.t, s));
        if (!verb.empty()) toPast(c, v, verb);
        return;
    }
    // "When I was a student, I spend every day studying": an opening clause set in the past
    // sets its main clause there too. Not verbs of what the writer thinks now ("When I was
    // young, I believe I was happy").
    if (w == "when") {
        size_t s = nextWord(c.t, i), be = nextWord(c.t, s);
        std::string was = keyAt(c.t, be);
        if (!kPastPronouns.contains(keyAt(c.t, s)) || (was != "was" && was != "were")) return;
        size_t k = be, subject = npos;
        for (int words = 0; words < 8 && (subject = wordPastComma(c.t, k)) == npos; ++words) {
            k = nextWord(c.t, k);
            if (k == npos || kSubjectPronouns.contains(keyAt(c.t, k)) || keyAt(c.t, k) == "and") return;
        }
        if (subject == npos) subject = wordPastComma(c.t, k);  // after the eighth word
        if (subject == npos || !kPastPronouns.contains(keyAt(c.t, subject))) return;
        static const Words nowThoughts = {"think",  "believe", "know",      "remember", "guess",   "suppose",
                                          "hope",   "doubt",   "agree",     "admit",    "realize", "realise",
                                          "wonder", "wish",    "recall",    "regret",   "imagine", "feel",
                                          "mean",   "say",     "understand"};
        size_t v = nextWord(c.t, subject);
        std::string verb = presentVerbAt(c, v, keyAt(c.t, subject));
        if (verb.empty() || nowThoughts.contains(verb)) return;
        toPast(c, v, verb);
        return;
    }
    // "We watch a film last night.": a subject opening the sentence, its verb, a few words that
    // are no clause of their own, and the phrase ending the sentence.
    if (!kPastPronouns.contains(w)) return;
    size_t v = nextWord(c.t, i);
    std::string verb = presentVerbAt(c, v, w);
    if (verb.empty()) return;
    static const Words opensAnother = {"that", "what",    "who",   "which",    "when",  "where",  "why",   "how",
                                       "if",   "because", "since", "until",    "till",  "before", "after", "from",
                                       "by",   "and",     "but",   "or",       "to",    "not",    "for",   "every",
                                       "each", "next",    "this",  "tomorrow", "today", "will"};
    size_t k = nextWord(c.t, v);
    for (int words = 0; k != npos && words < 5; ++words, k = nextWord(c.t, k)) {
        std::string word = keyAt(c.t, k);
        size_t end = timePhraseEnd(c.t, k);
        if (end != npos) {
            bool closes = end + 1 >= c.t.size() || c.t[end + 1].kind == Kind::newline ||
                          (c.t[end + 1].kind == Kind::punct && (c.t[end + 1].text == "." || c.t[end + 1].text == "!"));
            if (closes) toPast(c, v, verb);
            return;
        }
        // Another verb ("I last saw him") or a clause of its own ends the look.
        if (opensAnother.contains(word) || c.lex.baseOfInflectedVerb(word, true) ||
            c.lex.verbBase(word).value_or(word) != word || word.ends_with("ing"))
            return;
    }
}

}  // namespace quillo::cloud::english
