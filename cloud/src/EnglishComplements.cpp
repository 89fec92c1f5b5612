// What verbs and adjectives take after them by usage: "asked to me a question" -> "asked me a
// question", "allowed me go" -> "allowed me to go", "suggest you to read" -> "suggest you read",
// "worth to see" -> "worth seeing", "Although it was late, but" -> "Although it was late,",
// "because of he was" -> "because he was", "because the rain" -> "because of the rain", "in
// spite the rain" -> "in spite of the rain", "angry on me" -> "angry with me", "proud for you"
// -> "proud of you", "Why not to focus?" -> "Why not focus?", "enjoying in it" -> "enjoying it",
// "before take" -> "before taking", "Comparing with" -> "Compared with", "telling the true" ->
// "telling the truth", "learn truth" -> "learn the truth", "a los of", "o lot of" -> "a lot of",
// "don't have no money" -> "don't have any money", "recovered really good" -> "really well",
// "the important is" -> "the important thing is", "spent time to solve" -> "spent time solving",
// "take responsible the future" -> "take responsibility for the future".
#include "EnglishGrammarRules.h"

#include <map>

namespace quillo::cloud::english {

namespace {

const Words kObjects = {"me", "him", "her", "us", "them", "you"};

// A verb that can be nothing else, in its plain form.
bool verbOnly(const GrammarContext &c, const std::string &v)
{
    return v.size() > 1 && c.lex.isVerb(v) && !c.lex.isNoun(v) && !c.lex.isAdjective(v) && !kModals.contains(v) &&
           !kBe.contains(v) && !c.lex.baseOfInflectedVerb(v, true) && !v.ends_with("ing");
}

// Whether a comma follows word i within its sentence.
bool commaLater(const std::vector<Token> &t, size_t i)
{
    for (size_t k = i + 1; k < t.size(); ++k) {
        if (t[k].kind == Kind::newline) return false;
        if (t[k].kind != Kind::punct) continue;
        if (t[k].text == ",") return true;
        if (t[k].text == "." || t[k].text == "!" || t[k].text == "?") return false;
    }
    return false;
}

// Whether the words from determiner d to the end of their clause name a thing and nothing else:
// nouns, adjectives and their joints ("the coldness and lack of oxygen"), with no word that can
// only be a verb and none that may be one right after a noun ("because the people lack food").
bool becauseOfThing(const GrammarContext &c, size_t d)
{
    static const Words determiners = {"the", "a", "an", "his", "her", "their", "my", "our", "your", "its"};
    if (!determiners.contains(keyAt(c.t, d))) return false;
    static const Words joints = {"and", "or", "of"};
    bool noun = false;
    std::string previous = keyAt(c.t, d);
    size_t k = d;
    for (int words = 0; words < 7; ++words) {
        if (endsClauseAt(c.t, k)) {
            // Only a sentence's end or a comma closes the phrase: not a bracket or a quote.
            size_t mark = tokenAfterWord(c.t, k);
            bool closes =
                mark >= c.t.size() || (c.t[mark].kind == Kind::punct &&
                                       std::string_view(".,;!?").find(c.t[mark].text[0]) != std::string_view::npos);
            return closes && noun && !joints.contains(previous) && !determiners.contains(previous);
        }
        k = nextWord(c.t, k);
        if (k == npos) return false;
        std::string x = keyAt(c.t, k);
        if (c.t[k].text != x) return false;
        bool isNoun = c.lex.isNoun(x) || c.lex.isPluralNoun(x);
        bool verbal = c.lex.isVerb(x) || c.lex.baseOfInflectedVerb(x, true).has_value();
        bool afterJoint = joints.contains(previous) || determiners.contains(previous);
        bool afterAdjective = c.lex.isAdjective(previous) && !c.lex.isNoun(previous);
        if (joints.contains(x) || determiners.contains(x)) {
            if (joints.contains(previous) || determiners.contains(previous)) return false;
        } else if (isNoun) {
            if (verbal && !afterJoint && !afterAdjective) return false;
            if (kModals.contains(x) || kBe.contains(x) || kSubjectPronouns.contains(x)) return false;
            noun = true;
        } else if (!c.lex.isAdjective(x) || verbal || !(afterJoint || afterAdjective)) {
            return false;
        }
        previous = x;
    }
    return false;
}

}  // namespace

void complements(GrammarContext &c, size_t i, const std::string &w)
{
    if (c.t[i].text != w && c.t[i].text != capitalized(w)) return;
    // "It called "ballast water".": a thing's name is what it is called.
    if (w == "called" && c.t[i].text == w) {
        size_t p = prevWord(c.t, i), quote = tokenAfterWord(c.t, i);
        std::string it = keyAt(c.t, p);
        if ((it == "it" || it == "this") && afterMark(c.t, p, ".!?") && quote < c.t.size() &&
            (c.t[quote].text == "\"" || c.t[quote].text == "\xE2\x80\x9C")) {
            put(c.t, i, "is called", c.curlyText);
            return;
        }
    }
    // "The important is to try": an adjective does not stand for a thing; "the important thing".
    // Not "the most important is", which may stand for one of things just named.
    if (w == "important" && c.t[i].text == w) {
        size_t p = prevWord(c.t, i);
        size_t verb = nextWord(c.t, i);
        std::string is = keyAt(c.t, verb);
        if (keyAt(c.t, p) == "the" && (is == "is" || is == "was") && tokenAfterWord(c.t, i) == verb) {
            put(c.t, i, "important thing", c.curlyText);
            return;
        }
    }
    // "I spent a lot of time to solve problems": time is spent doing a thing.
    if (w == "time" && c.t[i].text == w) {
        static const Words spends = {"spend", "spends", "spent", "spending"};
        size_t to = nextWord(c.t, i), v = nextWord(c.t, to);
        bool spent = false;
        for (size_t k = prevWord(c.t, i), words = 0; k != npos && words < 4 && !spent; k = prevWord(c.t, k), ++words)
            spent = spends.contains(keyAt(c.t, k));
        std::string verb = keyAt(c.t, v);
        if (spent && keyAt(c.t, to) == "to" && c.t[to].text == "to" && v != npos && c.t[v].text == verb &&
            c.lex.isVerb(verb) && !kBe.contains(verb) && c.lex.verbBase(verb).value_or(verb) == verb &&
            !verb.ends_with("ing") && !c.lex.baseOfInflectedVerb(verb, true)) {
            std::string doing = ingForm(verb, c.isKnown);
            if (!doing.empty()) {
                put(c.t, v, doing, c.curlyText);
                c.t[to].text.clear();
                c.t[to + 1].text.clear();
                return;
            }
        }
    }
    // "They take responsible the future": one takes responsibility (for something).
    static const Words takes = {"take", "takes", "took", "taking"};
    if (w == "responsible" && c.t[i].text == w && takes.contains(keyAt(c.t, prevWord(c.t, i)))) {
        std::string next = keyAt(c.t, nextWord(c.t, i));
        bool object = kDeterminers.contains(next) || next == "it" || next == "them" || next == "him" || next == "her";
        put(c.t, i, object ? "responsibility for" : "responsibility", c.curlyText);
        return;
    }
    // "As we all known,": what everyone knows, in the present.
    if (w == "known" && c.t[i].text == w) {
        size_t p = prevWord(c.t, i);
        if (keyAt(c.t, p) == "all") p = prevWord(c.t, p);
        size_t as = prevWord(c.t, p);
        if (keyAt(c.t, p) == "we" && keyAt(c.t, as) == "as" &&
            (prevWord(c.t, as) == npos || afterMark(c.t, as, ",;"))) {
            put(c.t, i, "know", c.curlyText);
            return;
        }
    }
    // "he is not in guard": one is "on guard".
    if (w == "in" && c.t[i].text == w && keyAt(c.t, nextWord(c.t, i)) == "guard") {
        size_t guard = nextWord(c.t, i);
        std::string before = keyAt(c.t, prevWord(c.t, i));
        if ((kBe.contains(before) || before == "not" || before == "always" || before == "never") &&
            (endsClauseAt(c.t, guard) || keyAt(c.t, nextWord(c.t, guard)) == "against")) {
            put(c.t, i, "on", c.curlyText);
            return;
        }
    }
    // "air and noise population": noise pollutes; it has no population.
    if (w == "population" && c.t[i].text == w && keyAt(c.t, prevWord(c.t, i)) == "noise") {
        put(c.t, i, "pollution", c.curlyText);
        return;
    }
    // "They arrived at the same.": the phrase is "at the same time".
    if (w == "same" && keyAt(c.t, prevWord(c.t, i)) == "the" && keyAt(c.t, prevWord(c.t, prevWord(c.t, i))) == "at" &&
        endsClauseAt(c.t, i)) {
        size_t mark = tokenAfterWord(c.t, i);
        if (mark < c.t.size() && (c.t[mark].text == "." || c.t[mark].text == "!"))
            put(c.t, i, "same time", c.curlyText);
        return;
    }
    size_t n = nextWord(c.t, i);
    if (n == npos || c.t[n].text != keyAt(c.t, n)) return;
    std::string next = keyAt(c.t, n);
    size_t after = nextWord(c.t, n);
    std::string then = keyAt(c.t, after);
    bool thenPlain = after != npos && c.t[after].text == then;

    // "asked to me a question": one asks a person straight.
    static const Words asks = {"ask", "asks", "asked", "asking"};
    static const Words asked = {"a", "an", "the", "some", "many", "about", "this", "that", "what", "why", "how"};
    if (asks.contains(w) && next == "to" && kObjects.contains(then) && thenPlain &&
        asked.contains(keyAt(c.t, nextWord(c.t, after)))) {
        drop(c.t, n);
        return;
    }
    // "allowed me go": these verbs take "to" before the action of their object.
    static const Words takesTo = {
        "allow",    "allows",    "allowed", "want",      "wants",   "wanted",  "ask",       "asks",       "asked",
        "tell",     "tells",     "told",    "force",     "forced",  "forces",  "encourage", "encouraged", "encourages",
        "expect",   "expected",  "expects", "invite",    "invited", "invites", "teach",     "taught",     "teaches",
        "persuade", "persuaded", "advise",  "advised",   "advises", "remind",  "reminded",  "reminds",    "enable",
        "enabled",  "enables",   "permit",  "permitted", "require", "required"};
    static const Words bareActions = {"go", "come", "do", "stay", "leave", "sleep", "swim", "fly", "drive"};
    if (takesTo.contains(w) && kObjects.contains(next) && thenPlain &&
        (verbOnly(c, then) || bareActions.contains(then)) && keyAt(c.t, nextWord(c.t, after)) != "of" &&
        keyAt(c.t, nextWord(c.t, after)) != "to") {
        put(c.t, after, "to " + then, c.curlyText);
        return;
    }
    // "I suggest you to read it": suggesting and recommending take the plain verb.
    static const Words suggests = {"suggest",    "suggests",    "suggested", "recommend",
                                   "recommends", "recommended", "propose",   "proposed"};
    if (suggests.contains(w) && kObjects.contains(next) && then == "to" && thenPlain) {
        size_t v = nextWord(c.t, after);
        std::string verb = keyAt(c.t, v);
        if (v != npos && c.t[v].text == verb && c.lex.isVerb(verb) && !c.lex.baseOfInflectedVerb(verb, true) &&
            !kBe.contains(verb)) {
            c.t[after].text.clear();
            c.t[after + 1].text.clear();
        }
        return;
    }
    // "It's worth to see": being worth takes the "-ing" form.
    if (w == "worth" && next == "to" && thenPlain && c.lex.isVerb(then) && !c.lex.baseOfInflectedVerb(then, true) &&
        !kBe.contains(then)) {
        if (std::string ing = ingForm(then, c.isKnown); !ing.empty()) {
            drop(c.t, n);
            put(c.t, after, ing, c.curlyText);
        }
        return;
    }
    // "think before take a choice", "without make mistakes": after these prepositions an action
    // takes its "-ing" form. A word that is a noun too ("after work", "before sleep") only before
    // its object.
    static const Words actionAfter = {"before", "after", "without"};
    static const Words objectStarts = {"a",    "an",   "the",  "my",   "your", "his", "her", "our", "their",
                                       "this", "that", "some", "them", "him",  "me",  "us",  "it"};
    if (actionAfter.contains(w) && c.lex.isVerb(next) && !kBe.contains(next) && !kModals.contains(next) &&
        next != "have" && next != "do" && !c.lex.baseOfInflectedVerb(next, true) && !c.lex.isAdjective(next) &&
        !next.ends_with("ing") && (!c.lex.isNoun(next) || objectStarts.contains(then)) && after != npos) {
        std::string ing = ingForm(next, c.isKnown);
        // "after lunch the team", "without love it": the noun reading, unless English text favours
        // the action ten times over.
        if (!ing.empty() && (!c.lex.isNoun(next) || modelFavours({w}, ing, next, {then}, kVerbReadingLead)))
            put(c.t, n, ing, c.curlyText);
        return;
    }
    // "Because of he was tired": before a clause, "because" alone.
    static const Words nominative = {"he", "she", "they", "we", "i"};
    if (w == "because" && next == "of" && thenPlain && nominative.contains(then)) {
        drop(c.t, n);
        return;
    }
    // "died because the cold and lack of air": before a thing alone, with no verb of its own,
    // "because of".
    if (w == "because" && becauseOfThing(c, n)) {
        put(c.t, n, "of " + c.t[n].text, c.curlyText);
        return;
    }
    // "Comparing with older people, they": an opening phrase set against the main clause is
    // "Compared with"; the writer's comma marks where the clause starts.
    if (w == "comparing" && (next == "with" || next == "to") && afterMark(c.t, i, ".!?") && commaLater(c.t, n)) {
        put(c.t, i, "compared", c.curlyText);
        return;
    }
    // "telling the true": one tells the truth.
    static const Words tells = {"tell", "tells", "told", "telling", "speak", "speaks", "spoke", "speaking"};
    if (tells.contains(w) && next == "the" && then == "true" && thenPlain && endsClauseAt(c.t, after)) {
        put(c.t, after, "truth", c.curlyText);
        return;
    }
    // "chose to learn truth": the truth one tells or learns is the one there is.
    static const Words findsTruth = {"learn",    "learned",  "learnt",     "know",   "knew",     "find",
                                     "found",    "hide",     "hid",        "face",   "faced",    "accept",
                                     "accepted", "discover", "discovered", "reveal", "revealed", "tell",
                                     "told",     "telling",  "speak",      "spoke"};
    static const Words afterTruth = {"about", "to", "because", "so", "when", "if"};
    if (findsTruth.contains(w) && next == "truth" &&
        (after == npos ? endsClauseAt(c.t, n) : afterTruth.contains(then))) {
        // After "to", a modal, a person or a negation: a plain statement, not a saying ("Seekers
        // of truth learn truth").
        std::string before = keyAt(c.t, prevWord(c.t, i));
        if (before == "to" || before == "not" || before == "never" || before == "always" || before == "didn't" ||
            kModals.contains(before) || kSubjectPronouns.contains(before)) {
            put(c.t, n, "the truth", c.curlyText);
            return;
        }
    }
    // "they recovered really good": how an action went is "well"; "looks good", "feels good" and
    // other verbs of seeming describe the subject and stay.
    static const Words acts = {"work",    "works",    "worked",    "recover", "recovers", "recovered", "play",
                               "plays",   "played",   "sing",      "sings",   "sang",     "speak",     "speaks",
                               "spoke",   "write",    "writes",    "wrote",   "sleep",    "sleeps",    "slept",
                               "perform", "performs", "performed", "went",    "goes",     "behave",    "behaved"};
    static const Words degrees = {"really", "very", "so", "pretty", "quite"};
    if (acts.contains(w)) {
        size_t good = degrees.contains(next) ? after : n;
        static const Words goesOn = {"after", "in", "at", "on", "when", "because", "and", "but", "today", "now"};
        bool ends = endsClauseAt(c.t, good) || goesOn.contains(keyAt(c.t, nextWord(c.t, good)));
        if (keyAt(c.t, good) == "good" && c.t[good].text == "good" && ends && keyAt(c.t, prevWord(c.t, i)) != "the") {
            put(c.t, good, "well", c.curlyText);
            return;
        }
    }
    // "I don't have no money", "There cannot be no hassle": one negation is enough; the second
    // is "any". Not "no one", "no longer" or "no matter", which are words of their own.
    static const Words negations = {"cannot", "can't",  "don't",  "doesn't", "didn't", "won't",
                                    "isn't",  "aren't", "wasn't", "weren't", "never",  "not"};
    static const Words negatedVerbs = {"be", "have", "get", "see", "find", "need", "want", "know", "got", "had"};
    if (negations.contains(w)) {
        size_t no = negatedVerbs.contains(next) ? after : n;
        std::string thing = keyAt(c.t, nextWord(c.t, no));
        static const Words ownWords = {"one", "longer", "matter", "doubt", "sooner", "less", "more", "way"};
        if (keyAt(c.t, no) == "no" && c.t[no].text == "no" && (c.lex.isNoun(thing) || c.lex.isPluralNoun(thing)) &&
            !ownWords.contains(thing) && !(w == "not" && keyAt(c.t, prevWord(c.t, i)) == "or")) {
            put(c.t, no, "any", c.curlyText);
            return;
        }
    }
    // "in every day life": before what it describes, one word.
    static const Words daily = {"life",    "lives",    "routine", "routines",     "activities",    "activity",
                                "tasks",   "language", "chores",  "conversation", "conversations", "clothes",
                                "objects", "items",    "use",     "basis"};
    if (w == "every" && next == "day" && daily.contains(then) && thenPlain) {
        drop(c.t, n);
        put(c.t, i, "everyday", c.curlyText);
        return;
    }
    // "more important than other, why": one of two compared is "the other".
    if (w == "than" && next == "other" && endsClauseAt(c.t, n)) {
        put(c.t, n, "the other", c.curlyText);
        return;
    }
    // "in very less time": "less" takes no "very".
    if (w == "very" && next == "less" && after != npos && (c.lex.isNoun(then) || c.lex.isPluralNoun(then))) {
        drop(c.t, i);
        return;
    }
    // "a los of things": "a lot of" with a slip too short for the speller to weigh.
    if (w == "a" && (next == "los" || next == "lots") && then == "of") {
        put(c.t, n, "lot", c.curlyText);
        return;
    }
    // "o lot of information": a slip of "a" ("O" may call on someone).
    if (w == "o" && c.t[i].text == w && next == "lot" && then == "of") {
        put(c.t, i, "a", c.curlyText);
        return;
    }
    // "In spite the rain": "in spite of".
    static const Words spiteObjects = {"the", "a",   "an",  "this", "that",  "these", "those", "all",
                                       "my",  "his", "her", "our",  "their", "its",   "your",  "it"};
    if (w == "spite" && keyAt(c.t, prevWord(c.t, i)) == "in" && spiteObjects.contains(next)) {
        put(c.t, n, "of " + c.t[n].text, c.curlyText);
        return;
    }
    // "Why not to focus on one?": a suggestion asked takes the plain verb. "Reasons why not to
    // go." is no question and stays.
    if (w == "why" && next == "not" && then == "to" && thenPlain) {
        if (sentenceEndMark(c.t, after) == "?" && c.lex.isVerb(keyAt(c.t, nextWord(c.t, after)))) drop(c.t, after);
        return;
    }
    // "found myself enjoying in it": one enjoys a thing straight.
    static const Words enjoys = {"enjoy", "enjoys", "enjoyed", "enjoying"};
    if (enjoys.contains(w) && next == "in" && then == "it" && thenPlain && endsClauseAt(c.t, after)) {
        drop(c.t, n);
        return;
    }
    // "angry on me", "jealous on her", "proud for you": the preposition these feelings take.
    static const std::map<std::string, std::map<std::string, std::string>> feelings = {
        {"angry", {{"on", "with"}}}, {"jealous", {{"on", "of"}}}, {"proud", {{"for", "of"}}}};
    if (auto f = feelings.find(w); f != feelings.end() && kObjects.contains(then) && thenPlain)
        if (auto to = f->second.find(next); to != f->second.end()) put(c.t, n, to->second, c.curlyText);
}

// "Although it was late, but we went": a clause opened by "although" takes no "but" after it.
void althoughBut(std::vector<Token> &t)
{
    for (size_t i = 0; i < t.size(); ++i) {
        if (!isWord(t, i) || (key(t[i]) != "although" && key(t[i]) != "though") || !afterMark(t, i, ".!?")) continue;
        for (size_t k = i + 1; k + 2 < t.size(); ++k) {
            if (t[k].kind == Kind::punct && (t[k].text == "." || t[k].text == "!" || t[k].text == "?")) break;
            bool comma = t[k].kind == Kind::punct && t[k].text == ",";
            if (comma && t[k + 1].kind == Kind::space && isWord(t, k + 2) && t[k + 2].text == "but" &&
                nextWord(t, k + 2) != npos) {
                t[k + 2].text.clear();
                t[k + 3].text.clear();
                break;
            }
            if (comma) break;
        }
    }
}

}  // namespace quillo::cloud::english
