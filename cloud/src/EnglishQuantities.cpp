// How many a noun phrase counts: "many reason" -> "many reasons", "one of the reason" -> "one
// of the reasons", "less cars" -> "fewer cars", "more taller" -> "taller".
#include "ContextModel.h"
#include "EnglishGrammarRules.h"
#include "EnglishLexicon.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace quillo::cloud::english {

namespace {

// A lower-case word standing on its own: not a name ("Android"), nor part of "command-line",
// "File::Temp" or "o32".
bool plainWordAt(const std::vector<Token> &t, size_t n)
{
    auto gap = [&](size_t k) { return k >= t.size() || t[k].kind == Kind::space || t[k].kind == Kind::newline; };
    if (!startsLower(t[n].text) || (n > 0 && !gap(n - 1))) return false;
    // Punctuation may close the word ("reason."), but not join it to more ("File::Temp").
    return gap(n + 1) || (t[n + 1].kind == Kind::punct && gap(n + 2));
}

// Quantifiers and determiners before a plural count noun ("several reason", "these thing").
bool quantifier(const std::string &w)
{
    static const Words words = {"many", "several", "various", "numerous", "both", "these", "those", "few", "certain"};
    return words.contains(w);
}

// A singular noun that is not also an adjective or a determiner ("way", "reason", not "fun").
bool countNoun(const GrammarContext &c, const std::string &w)
{
    return c.lex.isNoun(w) && !c.lex.isAdjective(w) && !c.lex.isPluralNoun(w) && !kDeterminers.contains(w) &&
           w.back() != 's' && isAsciiWord(w);
}

// The regular plural of a noun when the dictionary knows it and WordNet reads it as a plural.
std::string pluralOf(const GrammarContext &c, const std::string &w)
{
    std::string plural = w.back() == 'y' && w.size() > 2 && !std::strchr("aeiou", w[w.size() - 2])
                             ? w.substr(0, w.size() - 1) + "ies"
                         : (w.back() == 'h' || w.back() == 'x') ? w + "es"
                                                                : w + "s";
    return c.isKnown(plural) && c.lex.isPluralNoun(plural) ? plural : std::string();
}

}  // namespace

bool modelFavours(const std::vector<std::string> &before, const std::string &first, const std::string &second,
                  const std::vector<std::string> &after, double margin)
{
    return modelFavours(before, std::vector{first}, std::vector{second}, after, margin);
}

bool modelFavours(const std::vector<std::string> &before, const std::vector<std::string> &first,
                  const std::vector<std::string> &second, const std::vector<std::string> &after, double margin)
{
    const ContextModel *model = ContextModel::shared();
    return model && model->lead(before, first, second, after).value_or(-1) > margin;
}

namespace {

// "Recently scientist have found", ", scientist assume that": a singular noun without a
// determiner opening a clause before a plural verb stands for the many of its kind, where
// English text favours the plural noun over the singular with its verb agreeing ("money make"
// is "money makes").
void bareSubject(GrammarContext &c, size_t i, const std::string &w)
{
    // Or an opening phrase without its comma: "In this case student learn", "Therefore people".
    static const Words opens = {"recently", "now",     "today",     "nowadays", "because", "that",    "when",
                                "where",    "while",   "since",     "although", "if",      "case",    "example",
                                "opinion",  "however", "therefore", "thus",     "hence",   "moreover"};
    size_t p = prevWord(c.t, i);
    bool opening = p == npos ? afterMark(c.t, i, ",;.!?") : opens.contains(keyAt(c.t, p));
    // Past an adjective opening the sentence: "Younger generation are more adaptable".
    std::string described = keyAt(c.t, p);
    if (p != npos && p + 2 == i && prevWord(c.t, p) == npos && afterMark(c.t, p, ".!?") &&
        c.t[p].text == capitalized(described) && c.lex.isAdjective(described) && !c.lex.isVerb(described) &&
        !kDeterminers.contains(described) && !opens.contains(described))
        opening = true;
    // A sentence's first word has its capital ("Scientist have found").
    bool plain = plainWordAt(c.t, i) || (p == npos && afterMark(c.t, i, ".!?") && c.t[i].text == capitalized(w));
    if (!opening || !plain || !countNoun(c, w) || kModals.contains(w)) return;
    std::vector<std::string> before;
    if (p != npos) before.push_back(keyAt(c.t, p));
    size_t v = nextWord(c.t, i);
    std::string verb = keyAt(c.t, v);
    if (v == npos || !plainWordAt(c.t, v)) return;
    static const std::map<std::string, std::string> pluralVerbs = {
        {"are", "is"},        {"were", "was"},     {"have", "has"},      {"do", "does"},
        {"don't", "doesn't"}, {"aren't", "isn't"}, {"haven't", "hasn't"}};
    std::string agreeing;
    if (auto f = pluralVerbs.find(verb); f != pluralVerbs.end()) agreeing = f->second;
    else if (c.lex.isVerb(verb) && !c.lex.isNoun(verb) && !c.lex.isAdjective(verb) && !verb.ends_with('s') &&
             !verb.ends_with("ed") && c.lex.verbBase(verb).value_or(verb) == verb && !kModals.contains(verb))
        agreeing = thirdPersonOf(c, verb);
    std::string plural = pluralOf(c, w);
    if (agreeing.empty() || plural.empty()) return;
    std::vector<std::string> after;
    if (size_t n = nextWord(c.t, v); n != npos) after.push_back(keyAt(c.t, n));
    if (modelFavours(before, {plural, verb}, {w, agreeing}, after, kVerbReadingLead)) put(c.t, i, plural, c.curlyText);
}

}  // namespace

// "one of the reason" -> "one of the reasons"; "for this reasons" -> "for these reasons".
void nounNumber(GrammarContext &c, size_t i, const std::string &w)
{
    bareSubject(c, i, w);
    size_t n = nextWord(c.t, i);
    if (n == npos) return;
    std::string next = keyAt(c.t, n);
    static const Words ofWhat = {"the", "my", "your", "his", "her", "our", "their", "these", "those"};
    if (w == "one" && next == "of") {
        size_t det = nextWord(c.t, n);
        size_t noun = det == npos ? npos : nextWord(c.t, det);
        if (noun == npos || !ofWhat.contains(keyAt(c.t, det))) return;
        // Past "most" and an adjective: "one of the most important thing", "one of my
        // favorite place".
        if (keyAt(c.t, noun) == "most" || keyAt(c.t, noun) == "least") noun = nextWord(c.t, noun);
        if (size_t next2 = nextWord(c.t, noun); noun != npos && next2 != npos && c.lex.isAdjective(keyAt(c.t, noun)) &&
                                                c.t[noun].text == keyAt(c.t, noun) &&
                                                !c.lex.isPluralNoun(keyAt(c.t, next2)))
            noun = next2;
        if (noun == npos) return;
        std::string word = keyAt(c.t, noun);
        // The noun must end its phrase ("one of the car owners" is a compound).
        size_t after = nextWord(c.t, noun);
        static const Words phraseEnds = {"that", "which", "who", "is", "was", "i",  "we", "you",  "they", "he",
                                         "she",  "for",   "in",  "to", "of",  "at", "on", "with", "and",  "from"};
        bool ends = after == npos ? noun + 1 >= c.t.size() || c.t[noun + 1].kind == Kind::punct
                                  : phraseEnds.contains(keyAt(c.t, after));
        if (!ends || !countNoun(c, word)) return;
        std::string plural = pluralOf(c, word);
        if (!plural.empty()) put(c.t, noun, plural, c.curlyText);
        return;
    }
    // "a lot of place", "most of the kid": what is counted is plural, where English text
    // favours the plural ten times over ("a lot of time", "most of the work" stay).
    if (w == "of") {
        size_t p = prevWord(c.t, i);
        std::string before = keyAt(c.t, p);
        static const Words heaps = {"lot", "lots", "plenty"};
        static const Words shares = {"many", "most", "some", "few", "several", "both", "all"};
        std::vector<std::string> lead{before, w};
        size_t noun = n;
        if (shares.contains(before) && ofWhat.contains(next)) {
            lead = {w, next};
            noun = nextWord(c.t, n);
        } else if (!heaps.contains(before)) {
            return;
        }
        std::string word = keyAt(c.t, noun);
        size_t after = noun == npos ? npos : nextWord(c.t, noun);
        std::string afterWord = keyAt(c.t, after);
        // Short words read as nouns too ("in" the inch), but no noun that short qualifies another.
        bool modifier =
            after != npos && (c.lex.isPluralNoun(afterWord) || (c.lex.isNoun(afterWord) && afterWord.size() > 3));
        if (noun == npos || !countNoun(c, word) || !plainWordAt(c.t, noun) || modifier || afterWord == "of") return;
        std::string plural = pluralOf(c, word);
        std::vector<std::string> context;
        if (after != npos) context.push_back(afterWord);
        if (!plural.empty() && modelFavours(lead, plural, word, context, kVerbReadingLead))
            put(c.t, noun, plural, c.curlyText);
        return;
    }
    // "another fishes": one more of a kind takes a singular; before a plural, "other". A noun
    // whose plural is its singular ("species", "means") is both.
    if (w == "another" && c.t[n].text == next && next.size() > 3 && next.back() == 's' && c.lex.isPluralNoun(next) &&
        !c.lex.isNoun(next) && !c.lex.isVerb(next) && isAsciiWord(next)) {
        put(c.t, i, "other", c.curlyText);
        return;
    }
    // "these evidence": a noun never counted takes "this".
    static const Words uncounted = {"evidence", "information", "advice",   "knowledge", "equipment",
                                    "research", "furniture",   "homework", "luggage",   "software"};
    if ((w == "these" || w == "those") && uncounted.contains(next) && c.t[n].text == next &&
        !c.lex.isPluralNoun(keyAt(c.t, nextWord(c.t, n)))) {
        put(c.t, i, w == "these" ? "this" : "that", c.curlyText);
        return;
    }
    // "this" before a plural noun; a noun that is also a verb ("this shows") only after a
    // preposition ("for this reasons").
    if (w == "this" && next.size() > 3 && c.lex.isPluralNoun(next) && isAsciiWord(next) && next.back() == 's') {
        std::string singular = next.substr(0, next.size() - 1);
        // A plural that is a noun of its own ("savings", "sales") may qualify the next noun.
        if (!c.lex.isNoun(singular) || kBe.contains(next) || c.lex.isNoun(next)) return;
        static const Words before = {"for", "of", "in", "all", "with", "about", "on", "at", "from", "to", "by"};
        size_t p = prevWord(c.t, i);
        if (c.lex.isVerb(singular) && !(p != npos && before.contains(keyAt(c.t, p)))) return;
        put(c.t, i, "these", c.curlyText);
    }
}

// "three-four years" -> "three to four years": a range of small numbers counting a plural,
// written with a hyphen that makes it read as one number. Not "twenty-four", nor a number
// joined to a noun ("a one-two punch").
void numberRange(GrammarContext &c, size_t i, const std::string &w)
{
    static const std::vector<std::string_view> small = {"one",   "two",   "three", "four", "five",   "six",
                                                        "seven", "eight", "nine",  "ten",  "eleven", "twelve"};
    auto rank = [&](const std::string &x) { return std::ranges::find(small, x) - small.begin(); };
    auto &t = c.t;
    if (i + 3 >= t.size() || t[i + 1].kind != Kind::other || t[i + 1].text != "-" || !isWord(t, i + 2) ||
        t[i + 3].kind != Kind::space)
        return;
    auto from = rank(w), to = rank(key(t[i + 2]));
    if (from >= std::ssize(small) || to >= std::ssize(small) || to <= from || to - from > 3) return;
    size_t noun = nextWord(t, i + 2);
    if (noun == npos || !c.lex.isPluralNoun(keyAt(t, noun))) return;
    t[i].text += " to";
    t[i + 1] = Token{Kind::space, " ", t[i].language};
}

void quantity(GrammarContext &c, size_t i, const std::string &w)
{
    numberRange(c, i, w);
    size_t n = nextWord(c.t, i);
    if (n == npos) return;
    // "certain" counts only where it cannot mean "sure" or pick one ("a certain man", "is certain").
    static const Words sure = {"a",     "an",    "the",     "is",     "are",    "was",        "were", "be",     "been",
                               "am",    "quite", "very",    "not",    "feel",   "felt",       "make", "made",   "so",
                               "more",  "most",  "almost",  "fairly", "pretty", "absolutely", "i'm",  "you're", "he's",
                               "she's", "we're", "they're", "it's",   "less",   "and",        "or"};
    // A word emptied before it ("a a certain") leaves the reading open.
    size_t before = prevWord(c.t, i);
    if (w == "certain" &&
        (c.t[i].text != w || sure.contains(keyAt(c.t, before)) || (before != npos && c.t[before].text.empty())))
        return;
    // Nor before a noun that qualifies another ("certain machine tool operations").
    if (std::string afterNoun = keyAt(c.t, nextWord(c.t, n));
        w == "certain" && (c.lex.isNoun(afterNoun) || c.lex.isPluralNoun(afterNoun)) && afterNoun != "in")
        return;
    std::string next = keyAt(c.t, n);
    if (w == "less" && c.lex.isPluralNoun(next)) {
        size_t p = prevWord(c.t, i);
        if (p != npos && (keyAt(c.t, p) == "no" || keyAt(c.t, p) == "more")) return;  // "no less", "more or less"
        put(c.t, i, "fewer", c.curlyText);
    }
    // After "these" and "those" a word that is also a verb may be one ("those are", "these
    // evidence" is a mass noun); only plain nouns take the plural there.
    bool demonstrative = w == "these" || w == "those";
    // "both" is as often a pronoun ("both are", "both use") or opens "both X and Y".
    bool both = w == "both";
    size_t after = nextWord(c.t, n);
    // "Few know it", "many want the": the quantifier stands for people and a verb follows
    // with its object, or a verb that takes "to" ("many try to"). Elsewhere the noun reading wins
    // ("many reason to").
    static const Words objects = {"it", "them", "him",  "me",  "us",    "the", "a",  "an",  "this", "that",
                                  "so", "not",  "what", "how", "their", "his", "my", "our", "your"};
    static const Words toVerbs = {"try",    "want",  "need",  "choose", "decide", "hope",    "seem",    "tend",
                                  "prefer", "like",  "love",  "hate",   "refuse", "manage",  "fail",    "agree",
                                  "start",  "begin", "learn", "expect", "wish",   "attempt", "continue"};
    auto verbAfter = [&] {
        return c.lex.isVerb(next) &&
               (objects.contains(keyAt(c.t, after)) || (toVerbs.contains(next) && keyAt(c.t, after) == "to"));
    };
    // "two brother", "three cat": a number above one counts a plural, where English text favours
    // it. Not before a noun it qualifies ("a two car garage", "three year old boy").
    static const Words numbers = {"two",   "three", "four",    "five",     "six",     "seven",  "eight",
                                  "nine",  "ten",   "eleven",  "twelve",   "fifteen", "twenty", "thirty",
                                  "forty", "fifty", "hundred", "thousand", "million", "several"};
    if (numbers.contains(w) && w != "several" && w != "hundred" && w != "thousand" && w != "million" &&
        plainWordAt(c.t, n) && countNoun(c, next) && next != "hundred" && next != "thousand" && next != "million" &&
        next != "dozen" && next != "percent" && next != "o'clock") {
        std::string afterWord = keyAt(c.t, after);
        bool qualifies = after != npos && (c.lex.isNoun(afterWord) || c.lex.isPluralNoun(afterWord) ||
                                           c.lex.isAdjective(afterWord) || afterWord == "of");
        std::string plural = pluralOf(c, next);
        std::vector<std::string> context;
        if (after != npos) context.push_back(afterWord);
        if (!qualifies && !plural.empty() && modelFavours({w}, plural, next, context, 0))
            put(c.t, n, plural, c.curlyText);
        return;
    }
    // One adjective between ("many new employee"), when English text favours the plural there:
    // some nouns count without an ending ("several young deer").
    bool adjectiveBetween = quantifier(w) && after != npos && c.lex.isAdjective(next) && !c.lex.isPluralNoun(next) &&
                            !c.lex.isVerb(next) && plainWordAt(c.t, n);
    if (adjectiveBetween) {
        size_t noun = after;
        std::string word = keyAt(c.t, noun);
        size_t following = nextWord(c.t, noun);
        std::string afterWord = keyAt(c.t, following);
        bool modifier = following != npos && (c.lex.isNoun(afterWord) || c.lex.isPluralNoun(afterWord));
        if (countNoun(c, word) && plainWordAt(c.t, noun) && !modifier && afterWord != "of") {
            std::string plural = pluralOf(c, word);
            std::vector<std::string> context;
            if (following != npos) context.push_back(afterWord);
            if (!plural.empty() && modelFavours({w, next}, plural, word, context, 0))
                put(c.t, noun, plural, c.curlyText);
        }
        return;
    }
    // After "these" and "those" a noun that is also a verb is one only where they cannot be the
    // subject (after a preposition or a verb: "for these purpose", "run these test", not "These
    // change daily"), English text favours the plural by far and no object follows.
    bool verbReading = (demonstrative || both) && c.lex.isVerb(next);
    size_t p = prevWord(c.t, i);
    std::string before1 = keyAt(c.t, p);
    static const Words prepositions = {"for", "of",   "in",      "on",    "at",   "with", "about", "to",   "from",
                                       "by",  "into", "through", "under", "over", "all",  "like",  "than", "among"};
    bool object = p != npos && p + 2 == i && c.t[p + 1].kind == Kind::space &&
                  (prepositions.contains(before1) || (c.lex.isVerb(before1) && !kBe.contains(before1) &&
                                                      !c.lex.isNoun(before1) && !kModals.contains(before1)));
    // At the sentence's end ("found in those place.") the model weighs the noun before the end.
    bool sentenceEnd = after == npos && n + 1 < c.t.size() && c.t[n + 1].kind == Kind::punct &&
                       (c.t[n + 1].text == "." || c.t[n + 1].text == "!" || c.t[n + 1].text == "?");
    if (verbReading && !both && object && (after != npos || sentenceEnd) && !objects.contains(keyAt(c.t, after)) &&
        countNoun(c, next) && plainWordAt(c.t, n)) {
        std::string plural = pluralOf(c, next);
        std::vector<std::string> before{before1, w};
        std::string following = after != npos ? keyAt(c.t, after) : "</s>";
        if (!plural.empty() && modelFavours(before, plural, next, {following}, kVerbReadingLead)) verbReading = false;
    }
    // A noun that is also an adjective ("many subject", "these square") only where English text
    // favours the plural ten times over.
    auto counted = [&] {
        if (countNoun(c, next)) return true;
        if (!c.lex.isAdjective(next) || !c.lex.isNoun(next) || c.lex.isPluralNoun(next) || next.back() == 's')
            return false;
        std::string plural = pluralOf(c, next);
        std::vector<std::string> context;
        if (after != npos) context.push_back(keyAt(c.t, after));
        return !plural.empty() && modelFavours({before1, w}, plural, next, context, kVerbReadingLead);
    };
    // A noun that is also a verb before an object-like word ("many company that") is the noun
    // where English text favours its plural ten times over.
    auto verbRead = [&] {
        if (!verbAfter()) return false;
        std::string plural = pluralOf(c, next);
        return plural.empty() || !modelFavours({before1, w}, plural, next, {keyAt(c.t, after)}, kVerbReadingLead);
    };
    if (quantifier(w) && counted() && !verbRead() && !verbReading && !((demonstrative || both) && kBe.contains(next)) &&
        plainWordAt(c.t, n)) {
        // "many wood companies", "various build systems": a noun before another noun qualifies
        // it and stays singular.
        std::string afterWord = keyAt(c.t, after);
        bool plainNoun = afterWord.size() > 3 && c.lex.isNoun(afterWord) && !c.lex.isVerb(afterWord) &&
                         !c.lex.isAdjective(afterWord);
        bool modifier = after != npos && (c.lex.isPluralNoun(afterWord) || plainNoun ||
                                          (both && (afterWord == "and" || afterWord == "or")));
        if ((after == npos || keyAt(c.t, after) != "of") && !modifier) {
            std::string plural = pluralOf(c, next);
            // "certain" may mean "sure" before a thing ("face certain danger"): only where English
            // text favours the plural ten times over.
            std::vector<std::string> context;
            if (after != npos) context.push_back(keyAt(c.t, after));
            bool sure = w == "certain" && !modelFavours({before1, w}, plural, next, context, kVerbReadingLead);
            if (!plural.empty() && !sure) put(c.t, n, plural, c.curlyText);
        }
    }
    // "the number of car": what is counted is plural, unless a noun follows it ("number of
    // car owners").
    // "some driver make": "some" before a singular noun is one unknown thing ("some guy
    // called"), so only a plain verb after the noun, which a singular would not take, and
    // English text favouring the plural make it plural.
    // "there are some lecture": what there are is plural.
    if (w == "some" && (before1 == "are" || before1 == "were") && keyAt(c.t, prevWord(c.t, p)) == "there" &&
        countNoun(c, next) && plainWordAt(c.t, n) && !c.lex.isPluralNoun(keyAt(c.t, after))) {
        std::string plural = pluralOf(c, next);
        if (!plural.empty()) put(c.t, n, plural, c.curlyText);
        return;
    }
    if (w == "some" && after != npos && countNoun(c, next) && plainWordAt(c.t, n) &&
        c.t[after].text == keyAt(c.t, after)) {
        std::string verb = keyAt(c.t, after);
        bool plainVerb = c.lex.isVerb(verb) && !verb.ends_with('s') && !c.lex.isAdjective(verb) &&
                         !kModals.contains(verb) && !kBe.contains(verb) && !c.lex.baseOfInflectedVerb(verb, true);
        std::string plural = pluralOf(c, next);
        std::vector<std::string> before;
        if (size_t p = prevWord(c.t, i); p != npos) before.push_back(keyAt(c.t, p));
        before.push_back(w);
        if (plainVerb && !plural.empty() && modelFavours(before, plural, next, {verb}, kVerbReadingLead))
            put(c.t, n, plural, c.curlyText);
    }
    if (w == "number" && next == "of") {
        size_t noun = nextWord(c.t, n);
        std::string word = keyAt(c.t, noun);
        size_t after = noun == npos ? npos : nextWord(c.t, noun);
        bool modifier = after != npos && (c.lex.isNoun(keyAt(c.t, after)) || c.lex.isPluralNoun(keyAt(c.t, after)));
        if (noun != npos && countNoun(c, word) && !modifier) {
            std::string plural = pluralOf(c, word);
            if (!plural.empty()) put(c.t, noun, plural, c.curlyText);
        }
    }
    // "can not" is written as one word, unless "only" follows ("can not only read but ...").
    if (w == "can" && next == "not" && c.t[n].text == "not") {
        size_t after = nextWord(c.t, n);
        if (keyAt(c.t, after) != "only" && keyAt(c.t, after) != "just" && keyAt(c.t, after) != "merely") {
            put(c.t, i, "cannot", c.curlyText);
            c.t[i + 1].text.clear();
            c.t[n].text.clear();
        }
    }
    if (w == "more" && c.lex.isComparative(next)) drop(c.t, i);
    if (w == "most" && (next == "worst" || next == "best")) drop(c.t, i);
    if (w == "most" && next.size() > 4 && next.substr(next.size() - 3) == "est" &&
        (c.lex.adjectiveBase(next) || c.lex.isAdjective(next.substr(0, next.size() - 3)) ||
         c.lex.isAdjective(next.substr(0, next.size() - 2))))
        drop(c.t, i);
}
}  // namespace quillo::cloud::english
