// What a verb or a phrase takes after it, where learners carry over their own language's
// pattern: "want go" -> "want to go", "enjoys to read" -> "enjoys reading", "I am agree" -> "I
// agree", "arrived to the" -> "arrived at the", "go to home" -> "go home", "since five years" ->
// "for five years", "in Monday" -> "on Monday", "said me that" -> "told me that", "she has 20
// years old" -> "she is 20 years old".
#include "EnglishGrammarRules.h"

#include <algorithm>
#include <map>

namespace quillo::cloud::english {

namespace {

const Words kObjectPronouns = {"me", "him", "her", "us", "them", "you"};
const Words kPluralSubjects = {"we", "they", "you"};

const std::map<std::string, std::string> kAges = {{"has", "is"}, {"had", "was"}, {"have", "are"}};
const Words kTakesIng = {"enjoy",   "enjoys",   "enjoyed", "enjoying", "avoid",   "avoids",
                         "avoided", "avoiding", "finish",  "finishes", "finished"};
const Words kGoesHome = {"go",   "goes", "went",    "going",  "gone",     "come",  "comes", "came", "coming", "get",
                         "gets", "got",  "getting", "return", "returned", "drive", "drove", "walk", "walked"};
const Words kMarries = {"marry", "marries", "married", "marrying"};
const Words kWants = {"want", "wants", "wanted"};
const std::map<std::string, std::map<std::string, std::string>> kAgreeing = {
    {"am", {{"i", ""}}},
    {"is", {{"he", "s"}, {"she", "s"}, {"it", "s"}}},
    {"are", {{"we", ""}, {"they", ""}, {"you", ""}}},
    {"was", {{"i", "d"}, {"he", "d"}, {"she", "d"}}},
    {"were", {{"we", "d"}, {"they", "d"}, {"you", "d"}}}};
const Words kArrives = {"arrive", "arrives", "arrived", "arriving"};
const std::map<std::string, std::string> kTells = {{"said", "told"}, {"say", "tell"}, {"says", "tells"}};
const Words kConsiders = {"consider", "considers", "considered"};
const Words kWaits = {"wait", "waits", "waited", "waiting"};
const Words kExplains = {"explain", "explains", "explained", "explaining", "describe", "describes", "described"};

// The words the rules below start from: every other word leaves at once.
const Words kTriggers = [] {
    Words all = {"since", "in", "at", "much", "borrow", "like"};
    for (const auto &[word, be] : kAges) all.insert(word);
    for (const auto &[word, forms] : kAgreeing) all.insert(word);
    for (const auto &[word, told] : kTells) all.insert(word);
    for (const Words *words : {&kTakesIng, &kGoesHome, &kMarries, &kWants, &kArrives, &kConsiders, &kExplains, &kWaits})
        all.insert(words->begin(), words->end());
    return all;
}();

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

std::string ingForm(const std::string &v, const std::function<bool(const std::string &)> &isKnown)
{
    std::vector<std::string> tries;
    if (v.size() > 2 && v.back() == 'e' && v[v.size() - 2] != 'e') tries.push_back(v.substr(0, v.size() - 1) + "ing");
    if (v.size() > 2 && v.substr(v.size() - 2) == "ie") tries.push_back(v.substr(0, v.size() - 2) + "ying");
    tries.push_back(v + "ing");
    if (v.size() > 2) tries.push_back(v + v.back() + "ing");
    for (auto &w : tries)
        if (isKnown(w)) return w;
    return {};
}

void verbPattern(GrammarContext &c, size_t i, const std::string &w)
{
    if (!kTriggers.contains(w) || (c.t[i].text != w && c.t[i].text != capitalized(w))) return;
    // "She has 20 years old": an age is what one is.
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
    if (auto age = kAges.find(w); age != kAges.end() && counted && tokenAt(k + 1) == "years" && tokenAt(k + 2) == " " &&
                                  tokenAt(k + 3) == "old") {
        std::string be = age->second;
        if (keyAt(c.t, prevWord(c.t, i)) == "i") be = w == "had" ? "was" : "am";
        else if (w == "had" && (kPluralSubjects.contains(keyAt(c.t, prevWord(c.t, i))))) be = "were";
        put(c.t, i, be, c.curlyText);
        return;
    }
    // "Let's meet in Monday": a day takes "on".
    static const Words days = {"monday", "tuesday", "wednesday", "thursday", "friday", "saturday", "sunday"};
    size_t dayAt = nextWord(c.t, i);
    bool dayAfter = dayAt != npos && days.contains(lower(c.t[dayAt].text)) && startsUpper(c.t[dayAt].text) &&
                    c.t[dayAt].text.size() > 1 && !allUpper(c.t[dayAt].text);
    if ((w == "in" || w == "at") && dayAfter) {
        put(c.t, i, "on", c.curlyText);
        return;
    }
    size_t n = nextWord(c.t, i);
    if (n == npos || c.t[n].text != keyAt(c.t, n)) return;
    std::string next = keyAt(c.t, n);
    size_t after = nextWord(c.t, n);
    std::string then = keyAt(c.t, after);
    size_t p = prevWord(c.t, i);
    std::string prev = keyAt(c.t, p);

    // "She enjoys to read": these verbs take the "-ing" form, never "to".
    if (kTakesIng.contains(w) && next == "to" && after != npos && plainVerbOnly(c, then) && c.t[after].text == then) {
        if (std::string ing = ingForm(then, c.isKnown); !ing.empty()) {
            put(c.t, after, ing, c.curlyText);
            c.t[n].text.clear();
            c.t[n + 1].text.clear();
            return;
        }
    }
    // "I have much friends": what is counted is many.
    if (w == "much" && c.lex.isPluralNoun(next) && next.size() > 3 && next.back() == 's' && !c.lex.isNoun(next) &&
        next != "thanks" && prev != "very" && prev != "so" && prev != "too" && prev != "how" && prev != "as") {
        put(c.t, i, "many", c.curlyText);
        return;
    }
    // "I go to home after work", "go to abroad": home and abroad are where one goes, without "to".
    static const Words homeEnds = {"after", "before", "at",    "and",      "but",      "with",    "early",
                                   "late",  "now",    "today", "tonight",  "tomorrow", "soon",    "yesterday",
                                   "by",    "from",   "alone", "together", "next",     "this",    "last",
                                   "every", "for",    "in",    "on",       "again",    "because", "to"};
    static const Words destinations = {"home", "abroad", "overseas", "upstairs", "downstairs"};
    if (kGoesHome.contains(w) && next == "to" && destinations.contains(then) && c.t[after].text == then) {
        size_t following = nextWord(c.t, after);
        bool ends = following == npos ? after + 1 >= c.t.size() || c.t[after + 1].kind == Kind::punct ||
                                            c.t[after + 1].kind == Kind::newline
                                      : homeEnds.contains(keyAt(c.t, following));
        if (ends) {
            c.t[n].text.clear();
            c.t[n + 1].text.clear();
            return;
        }
    }
    // "I am exciting about the trip": the person feels, the thing does. Only "I" and "we", as
    // "she is interesting in many ways" is praise.
    static const std::map<std::string, std::pair<std::string, Words>> feelings = {
        {"interesting", {"interested", {"in"}}},
        {"exciting", {"excited", {"about", "for"}}},
        {"boring", {"bored", {"with", "of"}}},
        {"tiring", {"tired", {"of"}}},
        {"confusing", {"confused", {"about", "by"}}},
        {"worrying", {"worried", {"about"}}},
        {"disappointing", {"disappointed", {"with", "in", "by"}}},
        {"annoying", {"annoyed", {"with", "by", "at"}}},
        {"frightening", {"frightened", {"of", "by"}}},
        {"embarrassing", {"embarrassed", {"about", "by"}}}};
    if ((w == "am" && prev == "i") || ((w == "are" || w == "were") && prev == "we") || (w == "was" && prev == "i")) {
        size_t adjective = n;
        static const Words degrees = {"very", "really", "so", "quite", "extremely", "too", "not"};
        if (degrees.contains(next)) adjective = after;
        auto feeling = feelings.find(keyAt(c.t, adjective));
        if (adjective != npos && feeling != feelings.end() && c.t[adjective].text == feeling->first &&
            feeling->second.second.contains(keyAt(c.t, nextWord(c.t, adjective)))) {
            put(c.t, adjective, feeling->second.first, c.curlyText);
            return;
        }
    }
    // "There is a lot of people": what there is, is as many as the noun.
    if ((w == "is" || w == "was") && prev == "there" && next == "a" && then == "lot" &&
        keyAt(c.t, nextWord(c.t, after)) == "of") {
        size_t noun = nextWord(c.t, nextWord(c.t, after));
        std::string counted = keyAt(c.t, noun);
        if (noun != npos && c.t[noun].text == counted &&
            (counted == "people" ||
             (counted.size() > 3 && counted.back() == 's' && c.lex.isPluralNoun(counted) && !c.lex.isNoun(counted)))) {
            put(c.t, i, w == "is" ? "are" : "were", c.curlyText);
            return;
        }
    }
    // "I am waiting you": one waits for a person. Not "her", which may own what is waited
    // ("wait her turn"), nor "wait them out".
    static const Words waited = {"me", "him", "us", "them", "you"};
    // "you" may open the next clause ("if you wait you win"): only before its end or a place or time.
    static const Words whereOrWhen = {"here", "there", "outside", "since", "until", "till", "at", "in", "for"};
    bool object = next != "you" || after == npos || after != n + 2 || whereOrWhen.contains(then);
    if (kWaits.contains(w) && waited.contains(next) && object && then != "out" && c.t[n].text == next) {
        put(c.t, n, "for " + next, c.curlyText);
        return;
    }
    // "She married with him", "married to him": one marries a person.
    static const Words spouses = {"him", "her", "me", "you", "them"};
    if (kMarries.contains(w) && (next == "with" || next == "to") && spouses.contains(then) && c.t[after].text == then &&
        !kBe.contains(prev) && prev != "get" && prev != "got") {
        c.t[n].text.clear();
        c.t[n + 1].text.clear();
        return;
    }
    // "I want go home": wanting takes "to" before a verb that can be nothing else.
    // A verb that is a noun too ("want help") only where English text favours the verb by far.
    std::vector<std::string> before;
    if (p != npos) before.push_back(prev);
    // "I would like go": wishing, like wanting.
    static const Words wishing = {"would", "i'd", "we'd", "you'd", "they'd", "he'd", "she'd"};
    bool wants = kWants.contains(w) || (w == "like" && wishing.contains(prev));
    if (wants && plainVerbOnly(c, next) && !kObjectPronouns.contains(next) &&
        ((!c.lex.isNoun(next) && !c.lex.isAdjective(next)) ||
         modelFavours(before, {w, "to", next}, {w, next}, {then}, kWordChoiceLead))) {
        put(c.t, i, w + " to", c.curlyText);
        return;
    }
    // "I am agree": agreeing is a verb of its own, never an adjective after "be"; "people are
    // not agree": its negation takes "do".
    if (auto be = kAgreeing.find(w); be != kAgreeing.end() && p != npos) {
        auto ending = be->second.find(prev);
        bool many = w == "are" && (prev == "people" || (c.lex.isPluralNoun(prev) && !c.lex.isNoun(prev)));
        bool agreeing = next == "agree" || next == "disagree";
        bool negated = next == "not" && (then == "agree" || then == "disagree");
        if ((ending == be->second.end() && !many) || (!agreeing && !negated) || c.t[i].text != w) return;
        if (negated) {
            put(c.t, i, w == "is" ? "does" : "do", c.curlyText);
            return;
        }
        put(c.t, n, next + (many ? "" : ending->second), c.curlyText);
        c.t[i].text.clear();
        c.t[i + 1].text.clear();
        return;
    }
    // "We arrived to the airport": one arrives at a place.
    static const Words places = {"the", "a", "an", "my", "our", "your", "his", "her", "their", "this", "that"};
    if (kArrives.contains(w) && next == "to" && places.contains(then)) {
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
    // "She is considered as the best", "we consider her as a friend": what one is considered
    // follows without "as". Only before an article, as "as a whole" and "as well as" stay.
    if (kConsiders.contains(w)) {
        static const Words objects = {"him", "her", "them", "it", "me", "us", "this", "that"};
        size_t as = npos;
        if (next == "as" && kBe.contains(prev)) as = n;
        else if (objects.contains(next) && then == "as") as = after;
        size_t article = as == npos ? npos : nextWord(c.t, as);
        static const Words articles = {"a", "an", "the"};
        static const Words kept = {"whole", "result", "matter", "rule", "means", "way"};
        if (article != npos && c.t[as].text == "as" && c.t[as + 1].text == " " &&
            articles.contains(keyAt(c.t, article)) && !kept.contains(keyAt(c.t, nextWord(c.t, article)))) {
            c.t[as].text.clear();
            c.t[as + 1].text.clear();
            return;
        }
    }
    // "She explained me the rules": what is explained comes first; the listener takes "to".
    static const Words explained = {"the", "a",  "an",  "this", "that",  "how",  "what",
                                    "why", "my", "our", "your", "their", "where"};
    if (kExplains.contains(w) && kObjectPronouns.contains(next) && explained.contains(then)) {
        put(c.t, n, "to " + next, c.curlyText);
        return;
    }
    // "He said me that": saying takes what is said; the person told is told.
    static const Words told = {"that", "about", "what", "how", "why", "where", "when", "the", "a"};
    if (auto tell = kTells.find(w);
        tell != kTells.end() && kObjectPronouns.contains(next) && next != "you" && told.contains(then)) {
        put(c.t, i, tell->second, c.curlyText);
        return;
    }
}

}  // namespace quillo::cloud::english
