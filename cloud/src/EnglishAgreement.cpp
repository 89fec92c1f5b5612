// Subject and verb agreement: pronouns, plural nouns after a determiner, "there is" before a
// plural, and "he", "she" or "it" opening a clause.
#include "EnglishGrammarRules.h"

#include <cstring>
#include <map>

namespace quillo::cloud::english {

namespace {

// "Constantine I is", "Elizabeth I was": a capitalised name inside the sentence before "I".
bool regnalNumeral(const std::vector<Token> &t, size_t i)
{
    size_t p = prevWord(t, i);
    if (p == npos || !startsUpper(t[p].text)) return false;
    size_t before = p;
    while (before > 0 && t[before - 1].kind == Kind::space) --before;
    return before > 0 && t[before - 1].kind == Kind::word;
}

}  // namespace

// The "-s" form of a verb the dictionary knows and WordNet reads back to it ("want" ->
// "wants", "carry" -> "carries", "watch" -> "watches").
std::string thirdPersonOf(const GrammarContext &c, const std::string &v)
{
    std::vector<std::string> tries;
    if (v.size() > 2 && v.back() == 'y' && !std::strchr("aeiou", v[v.size() - 2]))
        tries.push_back(v.substr(0, v.size() - 1) + "ies");
    if (v.ends_with("sh") || v.ends_with("ch") || v.ends_with('x') || v.ends_with('z') || v.ends_with('o'))
        tries.push_back(v + "es");
    tries.push_back(v + "s");
    for (auto &form : tries)
        // WordNet lists some such forms as nouns of their own ("needs", "works").
        if (c.isKnown(form) && (c.lex.baseOfInflectedVerb(form, false) == v || c.lex.isLemma(form))) return form;
    return {};
}

// "there is many reasons", "there's several ways"
void thereIsMany(GrammarContext &c, size_t i, const std::string &w)
{
    static const std::map<std::string, std::string> plural = {
        {"is", "are"}, {"was", "were"}, {"isn't", "aren't"}, {"wasn't", "weren't"}, {"there's", "there are"}};
    auto verb = plural.find(w);
    size_t n = nextWord(c.t, i);
    if (verb == plural.end() || n == npos || (w != "there's" && keyAt(c.t, prevWord(c.t, i)) != "there")) return;
    static const Words many = {"many", "several", "few", "two", "three", "four", "five", "various", "numerous"};
    std::string next = keyAt(c.t, n);
    size_t noun = nextWord(c.t, n);
    // "there is a lot of critics", "there was lots of cars": the noun after "of" counts, and
    // only a plain plural ("there is a lot of news", "lots of time" stay).
    if (next == "a" && keyAt(c.t, noun) == "lot") noun = nextWord(c.t, noun);
    else if (next != "lots" && !many.contains(next)) return;
    if (!many.contains(next)) {
        if (keyAt(c.t, noun) != "of") return;
        noun = nextWord(c.t, noun);
        std::string plural = keyAt(c.t, noun);
        if (noun == npos || c.t[noun].text != plural || c.lex.isNoun(plural)) return;
    }
    if (noun != npos && c.lex.isPluralNoun(keyAt(c.t, noun))) put(c.t, i, verb->second, c.curlyText);
}

namespace {
// Pasts spelt as their verb: WordNet's exception lists leave them out.
const Words kSamePast = {"put",    "read",   "cut",  "set",  "hit",     "let",      "shut",      "cost",
                         "hurt",   "spread", "quit", "beat", "bet",     "burst",    "cast",      "split",
                         "upset",  "thrust", "shed", "rid",  "bid",     "slit",     "broadcast", "forecast",
                         "fit",    "knit",   "wet",  "spit", "sweat",   "input",    "output",    "reset",
                         "reread", "preset", "bust", "wed",  "typeset", "undercut", "sublet",    "offset"};

// "a person who are", "people who is": the verb of a relative clause agrees with the person
// named just before. Not after "one of" ("one of the people who is"), where usage differs.
void relativeAgreement(GrammarContext &c, size_t i, const std::string &w)
{
    size_t p = prevWord(c.t, i), n = nextWord(c.t, i);
    if (p == npos || n == npos || c.t[n].text != keyAt(c.t, n)) return;
    std::string noun = keyAt(c.t, p), verb = keyAt(c.t, n);
    size_t d = prevWord(c.t, p);
    std::string det = keyAt(c.t, d);
    if (det == "of" || keyAt(c.t, prevWord(c.t, d)) == "of") return;
    static const Words one = {"a", "an", "the", "this", "that", "one", "each", "every", "any"};
    static const std::map<std::string, std::string> toSingular = {{"are", "is"}, {"were", "was"}, {"have", "has"}};
    static const std::map<std::string, std::string> toPlural = {{"is", "are"}, {"was", "were"}, {"has", "have"}};
    if ((w == "who" || w == "that" || w == "which") && one.contains(det) && det != "that" && c.t[p].text == noun &&
        c.lex.isNoun(noun) && !c.lex.isPluralNoun(noun) && !noun.ends_with('s') && !kDeterminers.contains(noun) &&
        noun != "people" && noun.size() > 2) {
        // "a car that need repairs": one thing named just before takes the "-s" form of a plain
        // verb; a verb that is a noun or an adjective too ("need", "live") where English text
        // favours the "-s" form ten times over.
        std::string form = thirdPersonOf(c, verb);
        bool plain = c.lex.isVerb(verb) && !verb.ends_with('s') && !kModals.contains(verb) && !kBe.contains(verb) &&
                     verb != "have" && verb != "do" && !c.lex.baseOfInflectedVerb(verb, true) &&
                     c.lex.verbBase(verb).value_or(verb) == verb && !verb.ends_with("ed") && !kSamePast.contains(verb);
        bool plainOnly = !c.lex.isNoun(verb) && !c.lex.isAdjective(verb);
        std::vector<std::string> following;
        if (size_t a = nextWord(c.t, n); a != npos) following.push_back(keyAt(c.t, a));
        if (plain && !form.empty() && (plainOnly || modelFavours({noun, w}, form, verb, following, kVerbReadingLead)))
            put(c.t, n, form, c.curlyText);
        if (plain) return;
    }
    // WordNet files "person" itself among the top nouns, not the people.
    if (w == "who" && one.contains(det) && (c.lex.isPersonNoun(noun) || noun == "person") &&
        !c.lex.isPluralNoun(noun) && noun != "people") {
        if (auto f = toSingular.find(verb); f != toSingular.end()) put(c.t, n, f->second, c.curlyText);
    } else if (noun == "people" && (w == "who" || w == "that")) {
        if (auto f = toPlural.find(verb); f != toPlural.end()) put(c.t, n, f->second, c.curlyText);
    } else if ((w == "who" || w == "which") && kPluralDeterminers.contains(det) && c.lex.isPluralNoun(noun) &&
               !c.lex.isNoun(noun) && noun.ends_with('s') && c.t[p].text == noun) {
        // "some lectures which is": a plain plural that a determiner opens.
        if (auto f = toPlural.find(verb); f != toPlural.end()) put(c.t, n, f->second, c.curlyText);
    }
}

// "when you be successful": a bare "be" after a subject that a conjunction opens.
void bareBe(GrammarContext &c, size_t i, const std::string &w)
{
    static const std::map<std::string, std::string> be = {{"i", "am"},  {"you", "are"}, {"we", "are"}, {"they", "are"},
                                                          {"he", "is"}, {"she", "is"},  {"it", "is"}};
    // Not after "if" or "though", where "be" is the subjunctive of old ("if it be a sin").
    static const Words openers = {"when", "because", "while", "since", "whenever"};
    if (w.size() > 4) return;  // asked of every word: the pronouns are short
    auto f = be.find(w);
    size_t n = nextWord(c.t, i);
    if (f == be.end() || n == npos || c.t[n].text != "be" || !openers.contains(keyAt(c.t, prevWord(c.t, i)))) return;
    put(c.t, n, f->second, c.curlyText);
}

// "the age don't depend", "my mother do not like": a singular noun after a determiner that
// counts one takes "doesn't". Not nouns that are plural too ("sheep", "people") nor groups
// that take a plural verb ("the team don't").
void singularDont(GrammarContext &c, size_t i, const std::string &w)
{
    static const Words one = {"the", "this", "that",  "my", "your", "his",  "her",
                              "its", "our",  "their", "a",  "an",   "each", "every"};
    static const Words groups = {"people",    "police", "staff",   "family",   "team",   "government", "crew",
                                 "sheep",     "fish",   "deer",    "cattle",   "series", "species",    "media",
                                 "data",      "public", "youth",   "majority", "couple", "group",      "audience",
                                 "committee", "class",  "company", "army",     "band",   "jury",       "board"};
    // The determiner must open the clause: "Applications using this feature do not" have
    // their subject further back.
    // Not "and": "the notice and this notice don't" is a joined subject.
    static const Words opens = {"but", "because", "when",     "if",     "so",  "that", "while", "since",
                                "as",  "what",    "although", "though", "why", "how",  "where"};
    if (w.size() > 5 || !one.contains(w) ||
        !(afterMark(c.t, i, ".!?,;:") || opens.contains(keyAt(c.t, prevWord(c.t, i)))))
        return;
    size_t n = nextWord(c.t, i), v = nextWord(c.t, n);
    if (v == npos) return;
    std::string noun = keyAt(c.t, n), verb = keyAt(c.t, v);
    if (c.t[n].text != noun || !c.lex.isNoun(noun) || c.lex.isAdjective(noun) || c.lex.isPluralNoun(noun) ||
        groups.contains(noun) || noun.back() == 's')
        return;
    if (verb == "don't" && c.t[v].text == verb) put(c.t, v, "doesn't", c.curlyText);
    else if (verb == "do" && c.t[v].text == verb && keyAt(c.t, nextWord(c.t, v)) == "not")
        put(c.t, v, "does", c.curlyText);
}

// The plain form a verb's "-s" form is made from ("runs" -> "run", "carries" -> "carry"), or empty.
std::string plainOfThirdPerson(const GrammarContext &c, const std::string &v)
{
    std::vector<std::string> tries = {v.substr(0, v.size() - 1)};
    if (v.ends_with("es")) tries.push_back(v.substr(0, v.size() - 2));
    if (v.ends_with("ies")) tries.push_back(v.substr(0, v.size() - 3) + "y");
    for (auto &plain : tries)
        if (c.lex.isVerb(plain) && thirdPersonOf(c, plain) == v) return plain;
    return {};
}

}  // namespace

// "the students wants", "these systems runs on": a plain plural after its determiner, opening
// its clause, takes the plain verb. The "-s" word may be the noun of a compound ("the sports
// shows on TV are"): only where no other verb follows in the clause and English text favours
// the plain verb by far.
void pluralSubjectVerb(GrammarContext &c, size_t i, const std::string &w)
{
    if (!kPluralDeterminers.contains(w) || w == "his" || w == "her") return;
    static const Words opens = {"and",    "but",      "because",  "if",     "when",     "while", "since",
                                "though", "although", "so",       "where",  "that",     "then",  "whether",
                                "think",  "believe",  "thought",  "reason", "hope",     "feel",  "guess",
                                "means",  "today",    "nowadays", "now",    "currently"};
    auto opensClause = [&](size_t k) {
        return afterMark(c.t, k, ".!?,;:") || opens.contains(keyAt(c.t, prevWord(c.t, k)));
    };
    size_t p = prevWord(c.t, i);
    // "most of these systems run": the count agrees with what it counts.
    static const Words counts = {"most", "all", "some", "many", "both", "several", "few"};
    bool counted = p != npos && keyAt(c.t, p) == "of" && counts.contains(keyAt(c.t, prevWord(c.t, p))) &&
                   opensClause(prevWord(c.t, p));
    if (!opensClause(i) && !counted) return;
    size_t n = nextWord(c.t, i);
    // Past one or two words that qualify the noun ("the young students", "the heart disease
    // patients").
    for (int qualifiers = 0; qualifiers < 2; ++qualifiers) {
        std::string first = keyAt(c.t, n);
        if (n == npos || first.empty() || c.t[n].text != first || first.back() == 's' || kDeterminers.contains(first) ||
            !(c.lex.isAdjective(first) || c.lex.isNoun(first)) || c.lex.isVerb(first) || nextWord(c.t, n) != n + 2)
            break;
        n = nextWord(c.t, n);
    }
    std::string noun = keyAt(c.t, n);
    static const Words irregular = {"people", "children", "men", "women"};
    static const Words time = {"days", "years", "weeks", "months", "times", "hours", "nights"};
    bool plural = irregular.contains(noun) ||
                  (noun.size() > 3 && noun.back() == 's' && c.lex.isPluralNoun(noun) && !c.lex.isNoun(noun));
    if (n == npos || c.t[n].text != noun || !plural || time.contains(noun)) return;
    size_t verb = nextWord(c.t, n);
    std::string v = keyAt(c.t, verb);
    if (verb != n + 2 || c.t[verb].text != v || v.size() < 4 || v.back() != 's' || kBe.contains(v) || v == "has" ||
        v == "does")
        return;
    std::string plain = plainOfThirdPerson(c, v);
    if (plain.empty()) return;
    // Another verb further in the clause makes the "-s" word a noun ("the sports shows on TV are");
    // a verb that is no noun ("occurs") is the verb whatever follows.
    static const Words clauseEnds = {"and",  "but",     "or", "which", "that", "who",
                                     "when", "because", "if", "so",    "while"};
    bool mayBeNoun = c.lex.isNoun(plain) || c.lex.isPluralNoun(v);
    for (size_t m = verb + 1; mayBeNoun && m < c.t.size(); ++m) {
        if (c.t[m].kind == Kind::punct || c.t[m].kind == Kind::newline) break;
        if (c.t[m].kind != Kind::word) continue;
        std::string x = lower(c.t[m].text);
        // "My son landscapes and earns": a second "-s" verb joined on tells a singular subject.
        if (x == "and" && nextWord(c.t, m) != npos && !plainOfThirdPerson(c, keyAt(c.t, nextWord(c.t, m))).empty())
            return;
        if (clauseEnds.contains(x)) break;
        if (kBe.contains(x) || kModals.contains(x) || kDoForms.contains(x) || x == "has" || x == "have" || x == "had")
            return;
    }
    size_t after = nextWord(c.t, verb);
    std::vector<std::string> following;
    if (after == verb + 2) following.push_back(keyAt(c.t, after));
    if (!modelFavours({w, noun}, plain, v, following, kVerbReadingLead)) return;
    put(c.t, verb, plain, c.curlyText);
}

namespace {

// "This are my books" -> "These are my books", "This are a pen" -> "This is a pen": opening a
// sentence, "this" and "that" go with what they point at.
void pointingSubject(GrammarContext &c, size_t i, const std::string &w)
{
    if ((w != "this" && w != "that") || !afterMark(c.t, i, ".!?")) return;
    size_t n = nextWord(c.t, i);
    std::string be = keyAt(c.t, n);
    if (n != i + 2 || (be != "are" && be != "were") || c.t[n].text != be) return;
    size_t d = nextWord(c.t, n);
    std::string det = keyAt(c.t, d);
    static const Words owners = {"my", "your", "our", "their", "his", "her", "the", "all", "some"};
    if (det == "a" || det == "an") {
        put(c.t, n, be == "are" ? "is" : "was", c.curlyText);
    } else if (owners.contains(det)) {
        size_t noun = nextWord(c.t, d);
        std::string plural = keyAt(c.t, noun);
        if (noun == npos || c.t[noun].text != plural || !c.lex.isPluralNoun(plural) || c.lex.isNoun(plural)) return;
        put(c.t, i, w == "this" ? "these" : "those", c.curlyText);
    }
}

// Whether the sentence holding word i ends with "!": "Everyone have fun!" addresses them.
bool exclaimed(const std::vector<Token> &t, size_t i) { return sentenceEndMark(t, i) == "!"; }

// "Nobody know it", "Everyone like it", "This make sense": a pronoun for one thing or for each of
// many, opening its clause, takes the "-s" form of a plain verb ("have", "do" and "are" follow
// the pronoun rules in agreement). Not after a verb that makes it an object ("Let everyone
// know"); a verb that is also a noun or an adjective, or whose past is spelt alike ("Everyone
// read it"), only where English text favours the "-s" form by far.
void singularPronounVerb(GrammarContext &c, size_t i, const std::string &w)
{
    static const Words each = {"everyone",   "everybody", "someone", "somebody", "nobody",
                               "everything", "something", "nothing", "this"};
    if (!each.contains(w) || (c.t[i].text != w && c.t[i].text != capitalized(w))) return;
    size_t p = prevWord(c.t, i);
    // Not after "and": "You and everyone have my thanks" joins two subjects.
    static const Words opens = {"but",    "because", "if",      "when", "while", "since",   "although",
                                "though", "so",      "whether", "that", "think", "believe", "hope"};
    bool start = afterMark(c.t, i, ".!?,;:");
    if ((!start && !(p != npos && opens.contains(keyAt(c.t, p)) && w != "this")) || exclaimed(c.t, i)) return;
    size_t n = nextWord(c.t, i);
    std::string v = keyAt(c.t, n);
    if (n == npos || c.t[n].text != v) return;
    static const Words samePast = {"read", "put", "cut", "set", "hit", "let", "shut", "cost", "hurt", "quit", "spread"};
    static const Words auxiliaries = {"have", "do", "don't", "need", "dare"};
    if (!c.lex.isVerb(v) || v.size() < 3 || v.ends_with('s') || v.ends_with("ed") || kModals.contains(v) ||
        kBe.contains(v) || kSamePast.contains(v) || auxiliaries.contains(v) || c.lex.verbBase(v).value_or(v) != v)
        return;
    bool guarded = c.lex.isNoun(v) || c.lex.isAdjective(v) || w == "this";
    std::string form = thirdPersonOf(c, v);
    if (form.empty()) return;
    // "This make sense": after "this" the verb must take its object.
    static const Words objects = {"sense", "us", "me", "them", "it",     "him", "her",
                                  "the",   "a",  "an", "you",  "people", "my",  "our"};
    size_t after = nextWord(c.t, n);
    if (w == "this" && !objects.contains(keyAt(c.t, after))) return;
    std::vector<std::string> following;
    if (after != npos) following.push_back(keyAt(c.t, after));
    if (guarded && !modelFavours({start ? "<s>" : keyAt(c.t, p), w}, form, v, following, kVerbReadingLead)) return;
    put(c.t, n, form, c.curlyText);
}
}  // namespace

void agreement(GrammarContext &c, size_t i, const std::string &w)
{
    singularDont(c, i, w);
    pluralSubjectVerb(c, i, w);
    pointingSubject(c, i, w);
    singularPronounVerb(c, i, w);
    if (w == "who" || w == "that" || w == "which") relativeAgreement(c, i, w);
    bareBe(c, i, w);
    size_t n = nextWord(c.t, i);
    if (n == npos) return;
    size_t p = prevWord(c.t, i);
    std::string next = keyAt(c.t, n), prev = keyAt(c.t, p);
    // A subject right after a modal or do-form ("does he have") or "that" (a subjunctive) is left.
    // After a preposition the pronoun is an object, and the verb has another subject ("parts
    // of it are").
    static const Words objectAfter = {"of", "for", "with", "in", "on", "at", "from", "by", "about", "into", "without"};
    bool question = p != npos && (kModals.contains(prev) || kDoForms.contains(prev) || prev == "that" || prev == "to" ||
                                  prev == "let" || prev == "make" || prev == "help" || objectAfter.contains(prev));
    static const std::map<std::string, std::string> third = {
        {"have", "has"}, {"do", "does"}, {"don't", "doesn't"}, {"are", "is"}, {"aren't", "isn't"}};
    static const std::map<std::string, std::string> plural = {
        {"is", "are"},        {"was", "were"},     {"has", "have"},       {"does", "do"},
        {"doesn't", "don't"}, {"isn't", "aren't"}, {"wasn't", "weren't"}, {"hasn't", "haven't"}};
    static const std::map<std::string, std::string> first = {
        {"is", "am"}, {"are", "am"}, {"has", "have"}, {"does", "do"}, {"doesn't", "don't"}};
    // The last of two joined subjects: "He and I are", "Tom and she are" agree with both.
    // Not a clause joined on ("I am tired and he are too").
    bool joined = false;
    if (prev == "and" || prev == "or" || prev == "nor") {
        static const Words subjects = {"i", "you", "he", "she", "we", "they"};
        size_t pp = prevWord(c.t, p);
        std::string first = keyAt(c.t, pp);
        joined = pp != npos && (subjects.contains(first) || startsUpper(c.t[pp].text) ||
                                (c.lex.isNoun(first) && !c.lex.isAdjective(first) && !c.lex.isVerb(first)));
    }
    // "in our class everyone have", "Everyone have a phone.": one of a kind like "he". Not in an
    // exclamation, which may address them ("Everyone have fun!"), nor "anyone", which questions
    // leave bare.
    static const Words everyone = {"everyone", "everybody",  "someone",   "somebody",
                                   "nobody",   "everything", "something", "nothing"};
    if (everyone.contains(w) && !question && !exclaimed(c.t, i) && prev != "and" && prev != "or" && prev != "nor") {
        if (auto f = third.find(next); f != third.end()) put(c.t, n, f->second, c.curlyText);
    } else if ((w == "he" || w == "she" || w == "it") && !question) {
        if (joined && (next == "are" || next == "aren't")) return;
        if (auto f = third.find(next); f != third.end()) put(c.t, n, f->second, c.curlyText);
    } else if ((w == "they" || w == "we" || w == "you") && !question) {
        if (auto f = plural.find(next); f != plural.end()) put(c.t, n, f->second, c.curlyText);
    } else if (w == "i" && c.t[i].text == "I" && !question && !joined && !regnalNumeral(c.t, i)) {
        if (auto f = first.find(next); f != first.end()) put(c.t, n, f->second, c.curlyText);
    }
    // "there is editors": a plain plural right after (not "there is news", a noun of its own,
    // nor "there was years of work").
    // Past an adverb: "there is also people".
    size_t noun = n;
    static const Words adverbs = {"also", "still", "always", "now", "even", "often", "usually", "really"};
    if (adverbs.contains(next) && nextWord(c.t, n) != npos) noun = nextWord(c.t, n);
    std::string plain = keyAt(c.t, noun);
    static const Words people = {"people", "children", "men", "women"};
    bool pluralNoun = people.contains(plain) || (plain.size() > 3 && plain.back() == 's' && c.lex.isPluralNoun(plain) &&
                                                 !c.lex.isNoun(plain) && !c.lex.isVerb(plain));
    if ((w == "is" || w == "was") && prev == "there" && c.t[noun].text == plain && pluralNoun &&
        keyAt(c.t, nextWord(c.t, noun)) != "of")
        put(c.t, i, plural.at(w), c.curlyText);
    // "the results was surprising"; after a preposition the phrase may not be the subject ("In
    // both cases is said", "What matters to our children is").
    static const Words prepositions = {"in",   "on",    "at",      "of",     "for",     "to",    "with",
                                       "by",   "from",  "about",   "among",  "between", "into",  "like",
                                       "over", "under", "through", "during", "without", "after", "before"};
    // Not "these days is" (time, not the subject) nor "How many people has she" (a question).
    static const Words time = {"days", "years", "weeks", "months", "times", "hours", "nights"};
    if (kPluralDeterminers.contains(w) && c.lex.isPluralNoun(next) && !prepositions.contains(prev) &&
        !time.contains(next)) {
        size_t verb = nextWord(c.t, n);
        std::string v = keyAt(c.t, verb);
        static const Words asked = {"i", "you", "he", "she", "it", "we", "they", "there"};
        if (asked.contains(keyAt(c.t, nextWord(c.t, verb)))) return;
        static const Words singular = {"was", "is", "has", "doesn't", "isn't", "wasn't", "hasn't"};
        if (verb != npos && singular.contains(v) && !(w == "her" || w == "his"))
            put(c.t, verb, plural.at(v), c.curlyText);
    }
}

// "because it transmit", "and he enjoy it": "he", "she" or "it" opening a clause takes the
// "-s" form of a plain verb. Not after "that" (a subjunctive), nor for a verb whose past is the
// same word ("and he put it there"), one that is also an adjective ("he last saw"), or a modal.
void thirdPerson(GrammarContext &c, size_t i, const std::string &w)
{
    // "This point affect the", "each student learn": a singular noun after a determiner that
    // counts one, opening its clause, is a subject like "it".
    bool counted = w == "this" || w == "each" || w == "every";
    // "The teacher teach them", "my mother make": after other determiners the noun may count
    // without a plural ending ("the fish swim") or stand for a group ("the staff work"), so
    // English text must favour the "-s" form too.
    static const Words others = {"the", "my", "his", "her", "our", "your", "their"};
    bool guessed = others.contains(w);
    counted = counted || guessed;
    // "History tell us", "but money make": a bare singular noun opening its clause is a subject
    // like "it". Not a noun that is also a verb (imperatives open with one: "Water the plants"),
    // nor one joined to another ("time and money make"); English text must favour the "-s" form
    // by far.
    size_t p = prevWord(c.t, i);
    bool bare = !counted && w != "he" && w != "she" && w != "it" && w.size() > 3 &&
                (c.t[i].text == w || c.t[i].text == capitalized(w)) && c.lex.isNoun(w) && !c.lex.isVerb(w) &&
                !c.lex.isAdjective(w) && !c.lex.isPluralNoun(w) && !w.ends_with('s') && !kDeterminers.contains(w) &&
                !c.lex.isPersonNoun(w) && keyAt(c.t, p) != "and" && keyAt(c.t, p) != "or";
    if (w != "he" && w != "she" && w != "it" && !counted && !bare) return;
    static const Words opens = {"and",      "but",    "because", "if",  "when", "while", "since",
                                "although", "though", "so",      "why", "how",  "where", "whether"};
    bool start = afterMark(c.t, i, ".!?,;");
    if (!start && !(p != npos && opens.contains(keyAt(c.t, p)))) return;
    size_t n = nextWord(c.t, i);
    // A bare noun before another noun names a kind ("Health care costs"): a word that is both
    // must take an object to be the verb ("Money make people").
    static const Words takenObjects = {"the",  "a",     "an",    "my",  "his",  "her", "their", "our",    "your", "its",
                                       "this", "these", "those", "him", "them", "us",  "me",    "people", "it"};
    if (bare && (n == npos || (c.lex.isNoun(keyAt(c.t, n)) && !takenObjects.contains(keyAt(c.t, nextWord(c.t, n))))))
        return;
    bool nounVerb = false;
    if (counted) {
        // Not a time or a manner ("This time try again", "Each day bring one"): those open an
        // imperative as often.
        static const Words times = {"time",   "morning", "evening", "afternoon", "night", "week",
                                    "month",  "year",    "day",     "weekend",   "way",   "summer",
                                    "winter", "spring",  "autumn",  "semester",  "term",  "season"};
        std::string noun = keyAt(c.t, n);
        if (n == npos || c.t[n].text != noun || !c.lex.isNoun(noun) || c.lex.isPluralNoun(noun) ||
            c.lex.isAdjective(noun) || kDeterminers.contains(noun) || times.contains(noun) || kModals.contains(noun) ||
            kBe.contains(noun))
            return;
        n = nextWord(c.t, n);
        // A verb that is also a noun may be the second half of a compound ("this software
        // update"): only before its object.
        std::string v = keyAt(c.t, n);
        static const Words objects = {"the", "a",   "an",   "my",    "his",   "her", "their", "our", "your",
                                      "its", "our", "this", "these", "those", "him", "them",  "us",  "me"};
        // After a noun naming a person ("my brother play football") a compound is rare; English
        // text must favour the verb by far.
        if (n == npos) return;
        nounVerb = c.lex.isNoun(v) && !objects.contains(keyAt(c.t, nextWord(c.t, n)));
        if (nounVerb && !c.lex.isPersonNoun(noun)) return;
    }
    // Past a frequency adverb ("he usually bring").
    if (n != npos && frequencyAdverb(keyAt(c.t, n))) n = nextWord(c.t, n);
    if (n == npos || c.t[n].text != keyAt(c.t, n)) return;
    std::string v = keyAt(c.t, n);
    static const Words notPlain = {"be", "have", "do", "need", "dare", "used", "ought", "better"};
    // Nor for the irregular past of another verb that is a verb of its own ("he felt", "she
    // saw", "she bore").
    if (c.lex.verbBase(v).value_or(v) != v) return;
    for (std::string_view prefix : {"mis", "re", "over", "under", "out", "up", "fore"})  // "misread", "overcut"
        if (v.starts_with(prefix) && kSamePast.contains(v.substr(prefix.size()))) return;
    // "like" and "need" are verbs before an object ("she like it", "he need a car", "she need
    // money"); elsewhere a preposition or the modal ("he need not").
    static const Words objects = {"it",   "them", "him", "her", "me", "us",  "you",   "to",  "this",
                                  "that", "the",  "a",   "an",  "my", "his", "their", "our", "your"};
    bool withObject = false;
    if (v == "like" || v == "need") {
        std::string object = keyAt(c.t, nextWord(c.t, n));
        withObject =
            objects.contains(object) || ((c.lex.isNoun(object) || c.lex.isPluralNoun(object)) &&
                                         !c.lex.isVerb(object) && !c.lex.isAdjective(object) && c.isKnown(object));
    }
    // "go" is an adjective too ("all systems go"), never after a subject pronoun; "need",
    // "succeed" end in "-ed" without being pasts.
    bool plainGo = v == "go";
    if ((v.size() < 3 && !plainGo) || (notPlain.contains(v) && !withObject) || kModals.contains(v) ||
        !c.lex.isVerb(v) || (c.lex.isAdjective(v) && !withObject && !plainGo) || v.ends_with('s') ||
        (v.ends_with("ed") && !v.ends_with("eed")) || (v.ends_with("ing") && v.size() > 6) || kSamePast.contains(v))
        return;
    std::string form = thirdPersonOf(c, v);
    if (form.empty()) return;
    // A noun naming one person ("teacher", not "staff" or "police") is a singular subject, and
    // English text need only not disfavour the "-s" form.
    std::string subject = keyAt(c.t, prevWord(c.t, n));
    double lead = guessed && c.lex.isPersonNoun(subject) && !nounVerb ? 0.0 : kVerbReadingLead;
    std::vector<std::string> before{w, subject};
    if (bare) before = {p == npos ? "<s>" : keyAt(c.t, p), w};
    if ((guessed || nounVerb || bare) && !modelFavours(before, form, v, {keyAt(c.t, nextWord(c.t, n))}, lead)) return;
    put(c.t, n, form, c.curlyText);
}

}  // namespace quillo::cloud::english
