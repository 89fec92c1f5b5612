// What a verb takes after it, where learners carry over their own language's pattern: "want go"
// -> "want to go", "I am agree" -> "I agree", "arrived to the" -> "arrived at the", "since five
// years" -> "for five years", "can you borrow me a pen" -> "lend me", "said me that" -> "told me
// that", "she has 20 years old" -> "she is 20 years old".
#include "EnglishGrammarRules.h"

#include <algorithm>
#include <map>

namespace quillo::cloud::english {

namespace {

const Words kObjectPronouns = {"me", "him", "her", "us", "them", "you"};
const Words kPluralSubjects = {"we", "they", "you"};

// A verb in its plain form ("go", "buy"; not "goes", "went", "going").
bool plainVerbOnly(const GrammarContext &c, const std::string &v)
{
    return v.size() > 1 && c.lex.isVerb(v) && !kModals.contains(v) && !kBe.contains(v) && !kDoForms.contains(v) &&
           !c.lex.baseOfInflectedVerb(v, true) && !v.ends_with("ing");
}

// A number written in figures or in words ("20", "five", "twenty").
bool countWord(const std::string &w)
{
    static const Words words = {"two",   "three",   "four",   "five",    "six",     "seven",  "eight", "nine",
                                "ten",   "eleven",  "twelve", "fifteen", "twenty",  "thirty", "forty", "fifty",
                                "sixty", "seventy", "eighty", "ninety",  "several", "many",   "few"};
    return words.contains(w) ||
           (!w.empty() && std::all_of(w.begin(), w.end(), [](char ch) { return ch >= '0' && ch <= '9'; }));
}

}  // namespace

void verbPattern(GrammarContext &c, size_t i, const std::string &w)
{
    if (c.t[i].text != w && c.t[i].text != capitalized(w)) return;
    // "She has 20 years old": an age is what one is.
    static const std::map<std::string, std::string> ages = {{"has", "is"}, {"had", "was"}, {"have", "are"}};
    auto tokenAt = [&](size_t k) { return k < c.t.size() ? lower(c.t[k].text) : std::string(); };
    // Figures come one token a digit.
    size_t k = i + 2;
    std::string number;
    while (k < c.t.size() && c.t[k].kind == Kind::other && c.t[k].text.size() == 1 && c.t[k].text[0] >= '0' &&
           c.t[k].text[0] <= '9')
        number += c.t[k++].text;
    if (number.empty() && k < c.t.size() && c.t[k].kind == Kind::word) number = lower(c.t[k++].text);
    bool counted = tokenAt(i + 1) == " " && countWord(number) && tokenAt(k) == " ";
    // "living here since five years": "since" takes a point in time, "for" a stretch of it.
    static const Words stretches = {"years", "months", "weeks", "days", "hours", "minutes", "decades", "centuries"};
    if (w == "since" && counted && stretches.contains(tokenAt(k + 1)) &&
        !(tokenAt(k + 2) == " " && tokenAt(k + 3) == "ago")) {
        put(c.t, i, "for", c.curlyText);
        return;
    }
    if (auto age = ages.find(w);
        age != ages.end() && counted && tokenAt(k + 1) == "years" && tokenAt(k + 2) == " " && tokenAt(k + 3) == "old") {
        std::string be = age->second;
        if (keyAt(c.t, prevWord(c.t, i)) == "i") be = w == "had" ? "was" : "am";
        else if (w == "had" && (kPluralSubjects.contains(keyAt(c.t, prevWord(c.t, i))))) be = "were";
        put(c.t, i, be, c.curlyText);
        return;
    }
    size_t n = nextWord(c.t, i);
    if (n == npos || c.t[n].text != keyAt(c.t, n)) return;
    std::string next = keyAt(c.t, n);
    size_t after = nextWord(c.t, n);
    std::string then = keyAt(c.t, after);
    size_t p = prevWord(c.t, i);
    std::string prev = keyAt(c.t, p);

    // "I want go home": wanting takes "to" before a verb that can be nothing else.
    static const Words wants = {"want", "wants", "wanted"};
    // A verb that is a noun too ("want help") only where English text favours the verb by far.
    std::vector<std::string> before;
    if (p != npos) before.push_back(prev);
    if (wants.contains(w) && plainVerbOnly(c, next) && !kObjectPronouns.contains(next) &&
        ((!c.lex.isNoun(next) && !c.lex.isAdjective(next)) ||
         modelFavours(before, {w, "to", next}, {w, next}, {then}, kWordChoiceLead))) {
        put(c.t, i, w + " to", c.curlyText);
        return;
    }
    // "I am agree": agreeing is a verb of its own, never an adjective after "be".
    static const std::map<std::string, std::map<std::string, std::string>> agreeing = {
        {"am", {{"i", ""}}},
        {"is", {{"he", "s"}, {"she", "s"}, {"it", "s"}}},
        {"are", {{"we", ""}, {"they", ""}, {"you", ""}}},
        {"was", {{"i", "d"}, {"he", "d"}, {"she", "d"}}},
        {"were", {{"we", "d"}, {"they", "d"}, {"you", "d"}}}};
    if (auto be = agreeing.find(w); be != agreeing.end() && (next == "agree" || next == "disagree") && p != npos) {
        auto ending = be->second.find(prev);
        if (ending == be->second.end()) return;
        put(c.t, n, next + ending->second, c.curlyText);
        c.t[i].text.clear();
        c.t[i + 1].text.clear();
        return;
    }
    // "We arrived to the airport": one arrives at a place.
    static const Words arrives = {"arrive", "arrives", "arrived", "arriving"};
    static const Words places = {"the", "a", "an", "my", "our", "your", "his", "her", "their", "this", "that"};
    if (arrives.contains(w) && next == "to" && places.contains(then)) {
        put(c.t, n, "at", c.curlyText);
        return;
    }
    // "Can you borrow me a pen?": asked for, what one borrows is lent. Elsewhere "borrowed them a
    // book" may be borrowed for them.
    static const Words things = {"a", "an", "some", "your", "his", "her", "their", "the", "this", "that", "money"};
    if (w == "borrow" && (prev == "you" || prev == "please") && (next == "me" || next == "us") &&
        things.contains(then)) {
        put(c.t, i, "lend", c.curlyText);
        return;
    }
    // "He said me that": saying takes what is said; the person told is told.
    static const std::map<std::string, std::string> tells = {{"said", "told"}, {"say", "tell"}, {"says", "tells"}};
    static const Words told = {"that", "about", "what", "how", "why", "where", "when", "the", "a"};
    if (auto tell = tells.find(w);
        tell != tells.end() && kObjectPronouns.contains(next) && next != "you" && told.contains(then)) {
        put(c.t, i, tell->second, c.curlyText);
        return;
    }
}

}  // namespace quillo::cloud::english
