// Words taken for others that sound or look alike, mended only where the words around leave one
// reading: "please advice me" -> "advise", "he past the exam" -> "passed", "walked passed the
// shop" -> "past", "know weather to go" -> "whether", "quiet a lot" -> "quite", "Lets go" ->
// "Let's go", "see you latter" -> "later", "I wont go" -> "won't", "prefer tea than coffee" ->
// "to", "It's depend on" -> "It depends on", "I'm agree" -> "I agree", "it is cheep" -> "cheap",
// "in the adds" -> "ads", "heart decease" -> "disease", "I sad yes" -> "said", "braking out of"
// -> "breaking".
#include "EnglishGrammarRules.h"

#include <map>

namespace quillo::cloud::english {

namespace {

const Words kTriggers = {"you're",  "lose",     "effect", "buy",    "id",      "is",      "if",   "told",   "were",
                         "ill",     "advice",   "past",   "passed", "weather", "quiet",   "lets", "latter", "wont",
                         "than",    "i'm",      "it's",   "he's",   "she's",   "that's",  "you",  "cheep",  "adds",
                         "decease", "deceases", "sad",    "brake",  "brakes",  "braking", "that"};
const Words kOwners = {"the", "a", "an", "my", "his", "her", "our", "their", "your", "all", "this", "that", "every"};
const Words kPersons = {"me", "him", "her", "us", "them", "you", "everyone", "people"};

// A verb in its plain form that is nothing else: no noun, no adjective, no inflected form.
bool onlyPlainVerb(const GrammarContext &c, const std::string &v)
{
    return v.size() > 2 && c.lex.isVerb(v) && !c.lex.isNoun(v) && !c.lex.isAdjective(v) && !kModals.contains(v) &&
           !kBe.contains(v) && !c.lex.baseOfInflectedVerb(v, true) && !c.lex.verbBase(v) && !v.ends_with("ing");
}

bool plainVerb(const GrammarContext &c, const std::string &v)
{
    return v.size() > 1 && c.lex.isVerb(v) && !kModals.contains(v) && !kBe.contains(v) && !kDoForms.contains(v) &&
           !c.lex.baseOfInflectedVerb(v, true) && !c.lex.verbBase(v) && !v.ends_with("ing") && !v.ends_with('s');
}

// Whether the sentence of word i ends in a question mark ("Were evening classes full?").
bool endsInQuestion(const std::vector<Token> &t, size_t i)
{
    for (size_t k = i; k < t.size(); ++k) {
        if (t[k].kind == Kind::newline) return false;
        if (t[k].kind == Kind::punct && (t[k].text == "." || t[k].text == "!" || t[k].text == "?"))
            return t[k].text == "?";
    }
    return false;
}

// Whether a word is the "-ing" form of a verb ("going", "making", "running").
bool ingOfVerb(const GrammarContext &c, const std::string &w)
{
    if (w == "going") return true;  // the dictionary lists "go" among nouns and adjectives
    if (!w.ends_with("ing") || w.size() < 5) return false;
    std::string stem = w.substr(0, w.size() - 3);
    return c.lex.isVerb(stem) || c.lex.isVerb(stem + "e") ||
           (stem.size() > 2 && stem.back() == stem[stem.size() - 2] && c.lex.isVerb(stem.substr(0, stem.size() - 1)));
}

}  // namespace

void confusables(GrammarContext &c, size_t i, const std::string &w)
{
    if (!kTriggers.contains(w)) return;
    const std::string &text = c.t[i].text;
    if (allUpper(text) && text.size() > 1 && w != "i'm") return;
    size_t n = nextWord(c.t, i), p = prevWord(c.t, i);
    std::string next = keyAt(c.t, n), prev = keyAt(c.t, p);
    size_t after = nextWord(c.t, n);
    std::string then = keyAt(c.t, after);
    bool nextPlain = n != npos && c.t[n].text == next;
    bool closes = endsClauseAt(c.t, i);

    // Words one letter from the meant one that cannot be it where they stand: "it is cheep" (a
    // bird's call), "in the adds" (a verb after a determiner), "heart decease" (a death), "I
    // sad yes" (a feeling without its verb).
    static const Words ofDegree = {"is", "are", "was",   "were",   "be",     "been", "very",
                                   "so", "too", "quite", "really", "pretty", "more", "most"};
    if (w == "cheep" && ofDegree.contains(prev)) {
        put(c.t, i, "cheap", c.curlyText);
        return;
    }
    static const Words adOwners = {"the", "these", "those", "my", "your", "his", "her", "our", "their", "many", "some"};
    if (w == "adds" && adOwners.contains(prev) && c.t[p].text == prev) {
        put(c.t, i, "ads", c.curlyText);
        return;
    }
    static const Words ailing = {"heart",   "lung",    "kidney", "liver",   "skin",       "infectious",
                                 "chronic", "serious", "mental", "genetic", "contagious", "rare"};
    if ((w == "decease" || w == "deceases") && ailing.contains(prev)) {
        put(c.t, i, w == "decease" ? "disease" : "diseases", c.curlyText);
        return;
    }
    // "braking out of your routine", "brake the law": what one breaks, not stops with a brake.
    static const std::map<std::string, std::string> breaking = {
        {"brake", "break"}, {"brakes", "breaks"}, {"braking", "breaking"}};
    static const Words broken = {"law",     "laws", "rules",   "rule", "record",
                                 "records", "ice",  "silence", "news", "promise"};
    if (auto b = breaking.find(w); b != breaking.end() && text == w && nextPlain && !kOwners.contains(prev)) {
        bool breaks = (next == "out" && then == "of") || (next == "up" && then == "with") ||
                      ((next == "the" || next == "a" || next == "his" || next == "her" || next == "their" ||
                        next == "my" || next == "your" || next == "our") &&
                       broken.contains(then));
        if (breaks) {
            put(c.t, i, b->second, c.curlyText);
            return;
        }
    }
    static const Words saidWhat = {"yes", "no", "that", "goodbye", "hello", "sorry", "nothing"};
    if (w == "sad" && kSubjectPronouns.contains(prev) && prev != "it" && saidWhat.contains(next) && nextPlain) {
        put(c.t, i, "said", c.curlyText);
        return;
    }
    // "If I would have known": the condition of an unreal past takes "had".
    if (w == "if" && kSubjectPronouns.contains(next) && keyAt(c.t, after) == "would") {
        size_t have = nextWord(c.t, after), done = nextWord(c.t, have);
        std::string h = keyAt(c.t, have), participle = keyAt(c.t, done);
        if ((h == "have" || h == "of") && done != npos && c.t[have].text == h && c.t[done].text == participle &&
            (c.lex.verbBase(participle) || participle == "been" ||
             (participle.ends_with("ed") && c.lex.baseOfInflectedVerb(participle, true)))) {
            put(c.t, after, "had", c.curlyText);
            c.t[have].text.clear();
            c.t[have + 1].text.clear();
            return;
        }
    }
    // "He told that he was tired": telling takes whom one tells; with none it is saying.
    static const Words clauseOpens = {"i", "you", "he", "she", "we", "they", "it", "there"};
    if (w == "told" && next == "that" && nextPlain && kSubjectPronouns.contains(prev) && prev != "it" &&
        clauseOpens.contains(then)) {
        put(c.t, i, "said", c.curlyText);
        return;
    }
    // "Were going now", "Ill be there": opening a sentence before a verb, the apostrophe left out.
    bool opensSentence = afterMark(c.t, i, ".!?");
    if (w == "were" && text == "Were" && opensSentence && nextPlain && next.ends_with("ing") && next.size() > 4 &&
        ingOfVerb(c, next) && !endsInQuestion(c.t, i)) {
        put(c.t, i, "we're", c.curlyText);
        return;
    }
    // A noun after "Ill" is its object ("Ill health", "Ill temper is"): the verb reading needs no
    // verb after it.
    bool verbAfter = kBe.contains(then) || kModals.contains(then) || then == "has" || then == "have";
    if (w == "ill" && text == "Ill" && opensSentence && nextPlain && !verbAfter &&
        (next == "be" || next == "never" || next == "go" || (plainVerb(c, next) && !c.lex.isAdjective(next)))) {
        put(c.t, i, "I'll", c.curlyText);
        return;
    }
    // "Is this you're bag?": before a plain noun, the possessive.
    // Only where an owner fits: before the noun's own verb ("you're car is"), or as an object
    // ("like you're style", "is this you're bag"). Opening a clause the noun may be what the
    // person is ("you're family", "you're toast").
    static const Words ownedVerbs = {"is", "was", "has", "looks", "seems"};
    static const Words owning = {"of",   "for",  "with", "in",   "on",    "at",      "from", "by",   "about", "to",
                                 "this", "that", "like", "love", "hate",  "take",    "took", "need", "lost",  "found",
                                 "see",  "saw",  "is",   "was",  "bring", "brought", "into", "under"};
    bool owned = ownedVerbs.contains(then) || owning.contains(prev);
    if (w == "you're" && nextPlain && (c.lex.isNoun(next) || c.lex.isPluralNoun(next)) && !c.lex.isAdjective(next) &&
        owned && !next.ends_with("ing") && !kDeterminers.contains(next) && next != "welcome") {
        put(c.t, i, "your", c.curlyText);
        return;
    }
    // "First we eat, than we go": after a comma and before a subject, with nothing compared
    // before it in the sentence, the next step.
    // "more specific knowledge that broad knowledge", "stronger that it was before": after a
    // comparison, what it is set against follows "than". Only a noun phrase that ends the
    // sentence, or a pronoun and "be" or an auxiliary: "more proof that it works" stays.
    if (w == "that" && text == w && p != npos) {
        bool compared = false;
        size_t k = p;
        for (int words = 0; k != npos && words < 4 && !compared; ++words, k = prevWord(c.t, k)) {
            std::string x = keyAt(c.t, k);
            compared = x == "more" || x == "less" || x == "fewer" || c.lex.isComparative(x);
            if (x == "than" || kSubjectPronouns.contains(x) || kBe.contains(x)) break;
        }
        static const Words settled = {"before", "now", "then", "ever", "usual", "expected", "today"};
        bool against = false;
        if (compared && n != npos && nextPlain) {
            // "It is better that it is": what is better may be that it is so.
            bool judged = keyAt(c.t, p) == "better" || keyAt(c.t, p) == "worse";
            // "easier that way", "more money that time": "that" points at a way or a time.
            static const Words pointed = {"way",    "time",  "day",  "year", "week",
                                          "moment", "night", "kind", "sort", "one"};
            if (kSubjectPronouns.contains(next) && after != npos && !judged &&
                (kBe.contains(then) || kDoForms.contains(then) || then == "has" || then == "have" ||
                 kModals.contains(then))) {
                size_t more = nextWord(c.t, after);
                against = endsClauseAt(c.t, after) ||
                          (more != npos && endsClauseAt(c.t, more) && settled.contains(keyAt(c.t, more)));
            } else if (!kSubjectPronouns.contains(next) && (!kDeterminers.contains(next) || next == "the") &&
                       !pointed.contains(next)) {
                // Up to three words of a noun phrase, then the sentence's end.
                size_t last = n;
                bool phrase = true;
                for (int words = 0; phrase && words < 3; ++words) {
                    std::string x = keyAt(c.t, last);
                    phrase = (c.lex.isNoun(x) || c.lex.isPluralNoun(x) || c.lex.isAdjective(x) || x == "the") &&
                             !c.lex.isVerb(x) && !c.lex.baseOfInflectedVerb(x, true) && c.t[last].text == x;
                    if (!phrase || endsClauseAt(c.t, last)) break;
                    last = nextWord(c.t, last);
                }
                size_t mark = tokenAfterWord(c.t, last);
                against = phrase && endsClauseAt(c.t, last) && mark < c.t.size() && c.t[mark].text == ".";
            }
        }
        if (against) {
            put(c.t, i, "than", c.curlyText);
            return;
        }
    }
    // "If you study, than you pass", "If it rains than we stay": the clause after a condition
    // follows it "then", wherever nothing before compares.
    if (w == "than" && text == w && nextPlain && kSubjectPronouns.contains(next)) {
        bool afterComma = p == npos && i >= 3 && c.t[i - 1].kind == Kind::space && c.t[i - 2].text == ",";
        bool compared = false, condition = false;
        for (size_t k = i; k-- > 0;) {
            if (c.t[k].kind == Kind::punct && c.t[k].text != ",") break;
            if (c.t[k].kind != Kind::word) continue;
            std::string x = lower(c.t[k].text);
            compared = compared || c.lex.isComparative(x) || x == "more" || x == "less" || x == "rather" ||
                       x == "other" || x == "else" || x == "fewer" || x == "different" || x == "sooner" ||
                       x == "prefer" || x == "preferred";
            condition = condition || x == "if";
        }
        if (!compared && (afterComma || condition)) put(c.t, i, "then", c.curlyText);
        return;
    }
    // "The rope is lose": after "be" and closing its clause, the adjective "loose".
    static const Words becomes = {"is", "are", "was", "were", "came", "come", "comes", "got", "get", "gets", "broke"};
    if (w == "lose" && text == w && becomes.contains(prev) && endsClauseAt(c.t, i)) {
        put(c.t, i, "loose", c.curlyText);
        return;
    }
    // "It will effect our plans": to act on something is "affect"; one effects only a change.
    static const Words affected = {"us",  "them", "me",    "him",   "her",      "you",     "everyone", "people",
                                   "our", "my",   "your",  "their", "his",      "its",     "the",      "many",
                                   "all", "this", "these", "those", "children", "students"};
    static const Words effected = {"change",         "changes",  "reform",  "reforms", "improvement", "improvements",
                                   "transformation", "cure",     "repairs", "rescue",  "escape",      "entry",
                                   "compromise",     "transfer", "savings", "shift",   "turnaround",  "recovery"};
    static const Words acting = {"will",   "would", "can", "could", "may",     "might", "must",
                                 "should", "to",    "not", "won't", "doesn't", "don't", "didn't"};
    if (w == "effect" && text == w && acting.contains(prev) && nextPlain && affected.contains(next) &&
        !effected.contains(then) && !(prev == "to" && kDeterminers.contains(keyAt(c.t, prevWord(c.t, p))))) {
        put(c.t, i, "affect", c.curlyText);
        return;
    }
    // "She went buy the store": past a place one moves "by" it.
    static const Words moved = {"went", "walked", "drove", "passed", "ran", "came", "walks", "drives", "rode", "flew"};
    static const Words places = {"the", "a", "my", "our", "your", "his", "her", "their"};
    if (w == "buy" && text == w && moved.contains(prev) && nextPlain && places.contains(next)) {
        put(c.t, i, "by", c.curlyText);
        return;
    }
    // "Id like that": opening a sentence before a verb of wishing, "I'd".
    static const Words wishes = {"like", "love", "rather", "prefer", "say", "better", "hate"};
    if (w == "id" && text == "Id" && opensSentence && nextPlain && wishes.contains(next)) {
        put(c.t, i, "I'd", c.curlyText);
        return;
    }
    // "Please advice me", "I advice you to": the verb is "advise".
    static const Words advised = {"me",      "him", "her",  "us",       "them",  "you",
                                  "against", "on",  "that", "everyone", "people"};
    static const Words advisers = {"please", "i",     "we",   "they",   "you",  "can",
                                   "could",  "would", "will", "should", "must", "might"};
    if (w == "advice" && nextPlain &&
        ((advisers.contains(prev) && advised.contains(next)) || (prev == "to" && kPersons.contains(next)))) {
        put(c.t, i, "advise", c.curlyText);
        return;
    }
    // "He past the exam": after its subject, the verb "passed".
    if (w == "past" && kSubjectPronouns.contains(prev) && prev != "it" && nextPlain && kOwners.contains(next) &&
        afterMark(c.t, p, ".!?,;")) {
        put(c.t, i, "passed", c.curlyText);
        return;
    }
    // "We walked passed the shop": going by is "past".
    static const Words motion = {"went",  "walked",  "drove",  "ran",     "go",     "goes",    "going",  "walk",
                                 "walks", "walking", "drive",  "driving", "run",    "running", "rushed", "hurried",
                                 "flew",  "came",    "coming", "rode",    "riding", "sped",    "cycled", "swam"};
    if (w == "passed" && motion.contains(prev) && nextPlain && kOwners.contains(next)) {
        put(c.t, i, "past", c.curlyText);
        return;
    }
    // "I don't know weather to go": "whether" opens the question, before "to", "or not" or a subject.
    static const Words wondering = {"know", "knew",   "decide",    "decided", "wonder", "wondering", "wondered",
                                    "sure", "unsure", "ask",       "asked",   "asking", "check",     "see",
                                    "tell", "doubt",  "determine", "matter",  "choose", "question"};
    static const Words clauseSubjects = {"i", "you", "he", "she", "it", "we", "they", "there", "to"};
    if (w == "weather" && wondering.contains(prev) && nextPlain &&
        (clauseSubjects.contains(next) || (next == "or" && (then == "not" || then == "no")))) {
        put(c.t, i, "whether", c.curlyText);
        return;
    }
    // "quiet a lot", "She is quiet tall": the degree is "quite".
    static const Words amounts = {"lot", "bit", "few", "while", "long", "number"};
    bool quantity = next == "a" && amounts.contains(then);
    bool degree =
        kBe.contains(prev) && c.lex.isAdjective(next) && nextPlain &&
        (after == npos ? n + 1 >= c.t.size() || c.t[n + 1].kind == Kind::punct : then == "to" || then == "for");
    // An adjective after "quiet" may be a second description ("quiet here"): English text must
    // favour the degree.
    degree = degree && modelFavours({prev}, "quite", "quiet", {next}, kVerbReadingLead);
    if (w == "quiet" && (quantity || degree)) {
        put(c.t, i, "quite", c.curlyText);
        return;
    }
    // "Lets go", "So lets not": opening a sentence, past a word that joins it on, the suggestion
    // "Let's".
    static const Words joins = {"so", "and", "but", "now", "then", "ok", "okay", "well"};
    bool opens = (text == "Lets" && afterMark(c.t, i, ".!?")) ||
                 (text == "lets" && p != npos && joins.contains(prev) && afterMark(c.t, p, ".!?"));
    if (w == "lets" && opens && nextPlain && next != "us" && (next == "not" || plainVerb(c, next))) {
        put(c.t, i, "let's", c.curlyText);
        return;
    }
    // "See you latter": without "the", the time word "later".
    static const Words pointers = {"the", "this", "these", "those"};
    static const Words timeAfter = {"on", "today", "tonight", "in", "than", "that", "this", "when"};
    if (w == "latter" && !pointers.contains(prev) && (closes || timeAfter.contains(next))) {
        put(c.t, i, "later", c.curlyText);
        return;
    }
    // "I wont go", "Wont you come?": the negation "won't" before a verb ("as is his wont" stays).
    static const Words asked = {"you", "he", "she", "it", "we", "they"};
    if (w == "wont" && nextPlain && (plainVerb(c, next) || (afterMark(c.t, i, ".!?") && asked.contains(next))) &&
        next != "be" && (p == npos || kSubjectPronouns.contains(prev) || afterMark(c.t, i, ".!?"))) {
        put(c.t, i, "won't", c.curlyText);
        return;
    }
    if (w == "wont" && next == "be" && kSubjectPronouns.contains(prev)) {
        put(c.t, i, "won't", c.curlyText);
        return;
    }
    // "I prefer tea than coffee": what is preferred is set against the other with "to".
    static const Words prefers = {"prefer", "prefers", "preferred"};
    if (w == "than" && p != npos) {
        size_t q = prevWord(c.t, p);
        bool preferred = prefers.contains(keyAt(c.t, q)) ||
                         (kOwners.contains(keyAt(c.t, q)) && prefers.contains(keyAt(c.t, prevWord(c.t, q))));
        if (preferred && (c.lex.isNoun(prev) || c.lex.isPluralNoun(prev)) && !c.lex.isAdjective(prev) &&
            !c.lex.isComparative(prev) && nextPlain &&
            (c.lex.isNoun(next) || c.lex.isPluralNoun(next) || kOwners.contains(next))) {
            put(c.t, i, "to", c.curlyText);
            return;
        }
    }
    // "I'm agree": agreeing is a verb of its own.
    if (w == "i'm" && (next == "agree" || next == "disagree") && nextPlain) {
        put(c.t, i, "I", c.curlyText);
        return;
    }
    // "It's depend on you": "it's" before a verb that can be nothing else is "it" and the verb's "-s".
    static const std::map<std::string, std::string> subjects = {
        {"it's", "it"}, {"he's", "he"}, {"she's", "she"}, {"that's", "that"}};
    if (auto s = subjects.find(w); s != subjects.end() && nextPlain && onlyPlainVerb(c, next)) {
        std::string form = thirdPersonOf(c, next);
        if (form.empty()) return;
        put(c.t, i, s->second, c.curlyText);
        put(c.t, n, form, c.curlyText);
        return;
    }
    // "It is depend on you": the same, written out.
    static const Words third = {"it", "he", "she", "that"};
    if (w == "is" && c.t[i].text == w && third.contains(prev) && nextPlain && onlyPlainVerb(c, next) &&
        (p == 0 ? true
                : afterMark(c.t, p, ".!?,;") || keyAt(c.t, prevWord(c.t, p)) == "but" ||
                      keyAt(c.t, prevWord(c.t, p)) == "and" || keyAt(c.t, prevWord(c.t, p)) == "because")) {
        if (std::string form = thirdPersonOf(c, next); !form.empty()) {
            drop(c.t, i);
            put(c.t, n, form, c.curlyText);
        }
        return;
    }
    // "Thank you for you help": before its noun, the possessive.
    static const Words notOwned = {"guys", "all", "both", "two", "people", "folks", "too", "again", "and"};
    if (w == "you" && prev == "for" && nextPlain && (c.lex.isNoun(next) || c.lex.isPluralNoun(next)) &&
        !notOwned.contains(next) && !kDeterminers.contains(next)) {
        std::string thanked = keyAt(c.t, prevWord(c.t, p));
        bool thanks =
            thanked == "thanks" || (thanked == "you" && keyAt(c.t, prevWord(c.t, prevWord(c.t, p))) == "thank");
        if (thanks) put(c.t, i, "your", c.curlyText);
    }
}

}  // namespace quillo::cloud::english
