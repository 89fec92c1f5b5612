// Articles and prepositions a phrase takes by usage: "I am student" -> "I am a student", "play
// the football" -> "play football", "speaks the English" -> "speaks English", "arrived to London"
// -> "arrived in London", "married with her" -> "married to her", "discussed on the plan" ->
// "discussed the plan", "congratulate you for" -> "congratulate you on", "capable to do" ->
// "capable of doing", "insisted to pay" -> "insisted on paying".
#include "EnglishGrammarRules.h"

namespace quillo::cloud::english {

namespace {

const Words kTriggers = {"am",        "is",         "are",          "was",           "were",
                         "play",      "plays",      "played",       "playing",       "speak",
                         "speaks",    "spoke",      "speaking",     "arrive",        "arrives",
                         "arrived",   "arriving",   "married",      "discuss",       "discusses",
                         "discussed", "discussing", "congratulate", "congratulated", "congratulates",
                         "capable",   "insist",     "insists",      "insisted",      "insisting"};
const Words kObjectPronouns = {"me", "him", "her", "us", "them", "you", "it"};

}  // namespace

void phraseUsage(GrammarContext &c, size_t i, const std::string &w)
{
    if (!kTriggers.contains(w) || (c.t[i].text != w && c.t[i].text != capitalized(w))) return;
    size_t n = nextWord(c.t, i), p = prevWord(c.t, i);
    if (n == npos || c.t[n].text != keyAt(c.t, n)) return;
    std::string next = keyAt(c.t, n), prev = keyAt(c.t, p);
    size_t after = nextWord(c.t, n);
    std::string then = keyAt(c.t, after);

    // "I am student", "He is engineer at a firm": one of many takes "a". Not a title before "of"
    // ("She is president of the club"), nor a noun that describes too ("He is expert").
    static const Words subjects = {"i", "he", "she"};
    static const Words ends = {"at", "in", "for", "and", "but", "with", "from", "who", "now", "too"};
    if ((w == "am" || w == "is" || w == "was") && subjects.contains(prev) && afterMark(c.t, p, ".!?,;") &&
        c.lex.isPersonNoun(next) && !c.lex.isAdjective(next) && !c.lex.isPluralNoun(next) && next.back() != 's' &&
        (endsClauseAt(c.t, n) || ends.contains(then))) {
        put(c.t, n, (std::string("aeio").find(next[0]) != std::string::npos ? "an " : "a ") + next, c.curlyText);
        return;
    }
    // "play the football": a game is played without an article.
    static const Words games = {"football", "soccer", "tennis", "basketball", "baseball",  "golf",  "chess",
                                "cricket",  "rugby",  "hockey", "volleyball", "badminton", "poker", "cards"};
    static const Words times = {"yesterday", "today", "tonight", "tomorrow", "now", "again", "together", "every"};
    if ((w == "play" || w == "plays" || w == "played" || w == "playing") && next == "the" && games.contains(then) &&
        c.t[after].text == then &&
        (endsClauseAt(c.t, after) || !c.lex.isNoun(keyAt(c.t, nextWord(c.t, after))) ||
         times.contains(keyAt(c.t, nextWord(c.t, after))))) {
        drop(c.t, n);
        return;
    }
    // "He speaks the English well": a language is spoken without an article ("the English
    // language", "the English of Shakespeare" stay).
    static const Words languages = {"english", "french", "german", "spanish",    "italian", "chinese", "japanese",
                                    "russian", "arabic", "korean", "portuguese", "dutch",   "hindi",   "turkish"};
    static const Words qualified = {"language", "of",    "people", "speakers", "version", "translation",
                                    "word",     "words", "text",   "class",    "lesson",  "teacher"};
    if ((w == "speak" || w == "speaks" || w == "spoke" || w == "speaking") && next == "the" &&
        languages.contains(then) && startsUpper(c.t[after].text) &&
        !qualified.contains(keyAt(c.t, nextWord(c.t, after)))) {
        drop(c.t, n);
        return;
    }
    // "arrived to London": one arrives in a city or a country.
    if ((w == "arrive" || w == "arrives" || w == "arrived" || w == "arriving") && next == "to" && after != npos &&
        startsUpper(c.t[after].text) && c.lex.isPlaceName(then)) {
        put(c.t, n, "in", c.curlyText);
        return;
    }
    // "I am married with her": one is married to a person ("married with two children" stays).
    static const Words spouses = {"him", "her", "you", "me"};
    if (w == "married" && (kBe.contains(prev) || prev == "got" || prev == "get") && next == "with" &&
        spouses.contains(then) && c.t[after].text == then) {
        put(c.t, n, "to", c.curlyText);
        return;
    }
    // "We discussed on the plan": discussing takes its object straight. Only before what is
    // discussed: "discussed on the mailing list" says where.
    static const Words determiners = {"the", "this", "that", "these", "those", "my", "our", "your", "their"};
    static const Words topics = {"topic",    "topics",    "subject",  "matter",   "issue",     "issues", "plan",
                                 "plans",    "problem",   "problems", "question", "questions", "idea",   "ideas",
                                 "proposal", "situation", "point",    "points",   "case"};
    static const Words pronouns = {"it", "this", "that", "them"};
    bool topic =
        pronouns.contains(then) || (determiners.contains(then) && topics.contains(keyAt(c.t, nextWord(c.t, after))));
    if ((w == "discuss" || w == "discusses" || w == "discussed" || w == "discussing") && next == "on" && topic) {
        drop(c.t, n);
        return;
    }
    // "I congratulate you for your success": one is congratulated on it.
    if ((w == "congratulate" || w == "congratulated" || w == "congratulates") && kObjectPronouns.contains(next) &&
        then == "for" && c.t[after].text == then) {
        put(c.t, after, "on", c.curlyText);
        return;
    }
    // "He is capable to do it", "She insisted to pay": these take a preposition and the "-ing" form.
    std::string preposition = w == "capable" ? "of" : (w.starts_with("insist") ? "on" : "");
    if (!preposition.empty() && next == "to" && after != npos && c.t[after].text == then && c.lex.isVerb(then) &&
        !kBe.contains(then) && !c.lex.baseOfInflectedVerb(then, true) && !c.lex.verbBase(then) &&
        !then.ends_with("ing")) {
        if (std::string ing = ingForm(then, c.isKnown); !ing.empty()) {
            put(c.t, n, preposition, c.curlyText);
            put(c.t, after, ing, c.curlyText);
        }
    }
}

// Prepositions a verb or a time takes by usage: "emphasized on safety" -> "emphasized safety",
// "consists from" -> "consists of", "listening music" -> "listening to music", "return back" ->
// "return", "casts doubt in" -> "casts doubt on", "deal the problem" -> "deal with the problem",
// "affect on them" -> "affect them", "come in next week" -> "come next week", "closed at
// Sundays" -> "closed on Sundays".
void prepositionUsage(GrammarContext &c, size_t i, const std::string &w)
{
    if (c.t[i].text != w && c.t[i].text != capitalized(w)) return;
    size_t n = nextWord(c.t, i);
    if (n == npos) return;
    // "at Sundays": days take "on".
    static const Words days = {"monday",  "tuesday",  "wednesday",  "thursday",  "friday",  "saturday",  "sunday",
                               "mondays", "tuesdays", "wednesdays", "thursdays", "fridays", "saturdays", "sundays"};
    if (w == "at" && c.t[i].text == w && days.contains(keyAt(c.t, n)) && c.t[n].text == capitalized(keyAt(c.t, n))) {
        put(c.t, i, "on", c.curlyText);
        return;
    }
    if (c.t[n].text != keyAt(c.t, n)) return;
    std::string next = keyAt(c.t, n);
    size_t after = nextWord(c.t, n);
    std::string then = keyAt(c.t, after);
    static const Words emphasize = {"emphasize", "emphasizes", "emphasized", "emphasizing",
                                    "emphasise", "emphasises", "emphasised", "emphasising"};
    if (emphasize.contains(w) && next == "on" && after != npos) {
        drop(c.t, n);
        return;
    }
    // "can affect on them": what is affected is its object.
    static const Words affect = {"affect", "affects", "affected", "affecting"};
    static const Words affected = {"them", "him", "her",  "us",     "me",       "you",      "the",      "our", "their",
                                   "his",  "my",  "your", "people", "children", "students", "everyone", "it"};
    if (affect.contains(w) && next == "on" && affected.contains(then) && c.t[after].text == then) {
        drop(c.t, n);
        return;
    }
    static const Words consist = {"consist", "consists", "consisted", "consisting"};
    if (consist.contains(w) && next == "from" && after != npos) {
        put(c.t, n, "of", c.curlyText);
        return;
    }
    // "listen" takes "to" before what is heard; "Listen, the ..." has its comma.
    static const Words listen = {"listen", "listens", "listened", "listening"};
    static const Words heard = {"music", "songs", "the",   "my",    "his", "her",  "their", "our", "your",
                                "this",  "that",  "these", "those", "him", "them", "me",    "us",  "it"};
    if (listen.contains(w) && heard.contains(next) && !(w == "listen" && afterMark(c.t, i, ".!?"))) {
        put(c.t, n, "to " + c.t[n].text, c.curlyText);
        return;
    }
    // "deal the problems": one deals with a difficulty (a dealer deals cards, not problems).
    static const Words deal = {"deal", "deals", "dealt", "dealing"};
    static const Words dealtWith = {"the", "these", "those", "this", "that",  "such", "my",  "your",
                                    "his", "her",   "its",   "our",  "their", "all",  "any", "many"};
    static const Words difficulties = {"problem",    "problems",   "issue",        "issues",    "situation",
                                       "situations", "difficulty", "difficulties", "challenge", "challenges",
                                       "stress",     "pressure",   "trouble",      "troubles",  "conflict",
                                       "conflicts",  "risk",       "risks",        "matter",    "matters"};
    if (deal.contains(w) && dealtWith.contains(next) && difficulties.contains(then) && c.t[after].text == then) {
        put(c.t, n, "with " + c.t[n].text, c.curlyText);
        return;
    }
    static const Words returns = {"return", "returns", "returned", "returning"};
    static const Words backTo = {"to", "home", "soon", "later", "here", "there", "tomorrow"};
    if (returns.contains(w) && next == "back" && (after == npos ? endsClauseAt(c.t, n) : backTo.contains(then))) {
        drop(c.t, n);
        return;
    }
    static const Words cast = {"cast", "casts", "casting"};
    if (cast.contains(w) && (next == "doubt" || next == "doubts") && then == "in" && c.t[after].text == then) {
        put(c.t, after, "on", c.curlyText);
        return;
    }
    // "in next week": a time counted from now takes no preposition.
    static const Words spans = {"week", "month", "year", "weekend", "summer", "winter", "spring", "autumn", "semester"};
    if ((w == "in" || w == "on" || w == "at") && (next == "next" || next == "last") && spans.contains(then) &&
        c.t[after].text == then && c.t[i].text == w &&
        (nextWord(c.t, after) == npos || endsClauseAt(c.t, after) || !c.lex.isNoun(keyAt(c.t, nextWord(c.t, after))))) {
        drop(c.t, i);
    }
}

}  // namespace quillo::cloud::english
