// Forms of a noun its neighbours decide: "many others animals" -> "many other animals" (before
// its noun the word is the adjective), "a fifteen years old girl" -> "a fifteen year old girl"
// (an age before its noun is one measure), "Both of them was late" -> "Both of them were late".
#include "EnglishGrammarRules.h"

#include <algorithm>
#include <map>

namespace quillo::cloud::english {

void nounForms(GrammarContext &c, size_t i, const std::string &w)
{
    size_t n = nextWord(c.t, i);
    if (n == npos || (c.t[i].text != w && c.t[i].text != capitalized(w))) return;
    std::string next = keyAt(c.t, n);
    size_t p = prevWord(c.t, i);
    std::string prev = keyAt(c.t, p);

    // "many others animals": only where "others" cannot be an object of its own, as in "give
    // others chances".
    static const Words countedBy = {"many", "some",  "several", "all", "the",  "few",  "various", "and",   "or",
                                    "of",   "for",   "with",    "in",  "on",   "to",   "from",    "about", "my",
                                    "your", "our",   "their",   "his", "her",  "its",  "these",   "those", "any",
                                    "no",   "among", "like",    "by",  "most", "such", "both"};
    if (w == "others" && (p == npos ? i == 0 : countedBy.contains(prev)) && c.t[n].text == next && n == i + 2 &&
        (next == "people" || (c.lex.isPluralNoun(next) && !c.lex.isVerb(next) && !kBe.contains(next) &&
                              !kModals.contains(next) && !kDoForms.contains(next) && next != "has"))) {
        put(c.t, i, "other", c.curlyText);
        return;
    }
    // "a fifteen years old girl", "a two weeks old puppy".
    static const std::map<std::string, std::string> spans = {
        {"years", "year"}, {"months", "month"}, {"weeks", "week"}, {"days", "day"}};
    if (auto s = spans.find(w); s != spans.end() && next == "old" && c.t[n].text == next && p != npos) {
        std::string article = keyAt(c.t, prevWord(c.t, p));
        static const Words numbers = {"two",     "three",     "four",     "five",     "six",      "seven",    "eight",
                                      "nine",    "ten",       "eleven",   "twelve",   "thirteen", "fourteen", "fifteen",
                                      "sixteen", "seventeen", "eighteen", "nineteen", "twenty",   "thirty",   "forty",
                                      "fifty",   "sixty",     "seventy",  "eighty",   "ninety",   "hundred"};
        bool count =
            numbers.contains(prev) || std::ranges::all_of(prev, [](char ch) { return ch >= '0' && ch <= '9'; });
        if ((article == "a" || article == "an") && count) put(c.t, i, s->second, c.curlyText);
        return;
    }
    // "a persons life": one person's.
    static const Words one = {"a", "one", "each", "every", "another"};
    if (w == "persons" && one.contains(prev) && c.t[n].text == next && c.lex.isNoun(next) && !c.lex.isVerb(next) &&
        !c.lex.isAdjective(next)) {
        put(c.t, i, "person's", c.curlyText);
        return;
    }
    // "A lot of students was absent": the count agrees with what it counts.
    if (w == "lot" || w == "lots") {
        size_t of = n, noun = nextWord(c.t, n);
        std::string counted = keyAt(c.t, noun);
        bool opens = w == "lots" || keyAt(c.t, p) == "a";
        size_t v = nextWord(c.t, noun);
        static const std::map<std::string, std::string> pluralBe = {{"was", "were"}, {"is", "are"}, {"has", "have"}};
        auto f = pluralBe.find(keyAt(c.t, v));
        if (opens && next == "of" && of != npos && noun != npos && c.t[noun].text == counted &&
            (counted == "people" || (c.lex.isPluralNoun(counted) && !c.lex.isNoun(counted))) && f != pluralBe.end() &&
            c.t[v].text == f->first)
            put(c.t, v, f->second, c.curlyText);
        return;
    }
    // "I'm used to wake up early": being used to something takes the "-ing" form.
    static const Words accustomed = {"i'm", "we're", "you're", "they're", "he's", "she's"};
    static const Words persons = {"i", "we", "you", "they", "he", "she"};
    bool personBe = accustomed.contains(w) || (kBe.contains(w) && persons.contains(prev));
    if (personBe && next == "used" && c.t[n].text == next && keyAt(c.t, nextWord(c.t, n)) == "to") {
        size_t v = nextWord(c.t, nextWord(c.t, n));
        std::string verb = keyAt(c.t, v);
        // A noun there may be what one is used to ("used to work"), unless a particle follows ("wake up").
        bool verbOnly = !c.lex.isNoun(verb) || keyAt(c.t, nextWord(c.t, v)) == "up";
        if (v != npos && c.t[v].text == verb && c.lex.isVerb(verb) && verbOnly && !kBe.contains(verb) &&
            !kModals.contains(verb) && !c.lex.baseOfInflectedVerb(verb, true) && !verb.ends_with("ing"))
            if (std::string ing = ingForm(verb, c.isKnown); !ing.empty()) put(c.t, v, ing, c.curlyText);
        return;
    }
    // "Both of them was late": both of two are plural.
    static const Words pronouns = {"them", "us", "you", "these", "those"};
    static const std::map<std::string, std::string> plural = {
        {"was", "were"},       {"is", "are"},       {"has", "have"},       {"does", "do"},
        {"wasn't", "weren't"}, {"isn't", "aren't"}, {"hasn't", "haven't"}, {"doesn't", "don't"}};
    if (w == "both" && next == "of") {
        size_t o = nextWord(c.t, n);
        size_t v = nextWord(c.t, o);
        if (v == npos || !pronouns.contains(keyAt(c.t, o))) return;
        if (auto f = plural.find(keyAt(c.t, v)); f != plural.end() && c.t[v].text == f->first)
            put(c.t, v, f->second, c.curlyText);
    }
}

}  // namespace quillo::cloud::english
