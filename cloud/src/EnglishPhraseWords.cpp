// Words a phrase lacks, holds twice over or takes instead: "want be" -> "want to be",
// "despite of" -> "despite", "dependent of" -> "dependent on", "is not same" -> "is not the same".
#include "EnglishGrammarRules.h"

#include <map>
#include <string_view>

namespace quillo::cloud::english {

namespace {
const Words kGoForms = {"go", "goes", "went", "going", "gone"};

// "we traveled France", "I travelled for China": a verb of going before a place's name goes
// "to" it. A name that is a place only in some senses ("Georgia" the person) is weighed by
// its most frequent one; "go Dutch" names no place.
void placeAfterMotion(GrammarContext &c, size_t i, const std::string &w)
{
    size_t n = nextWord(c.t, i);
    if (n == npos || n != i + 2 || c.t[i + 1].text != " " || c.t[i].text != w) return;
    bool viaFor = keyAt(c.t, n) == "for" && c.t[n].text == "for" && w.starts_with("travel");
    size_t place = viaFor ? nextWord(c.t, n) : n;
    if (place == npos || place != n + (viaFor ? 2 : 0)) return;
    const std::string &name = c.t[place].text;
    if (name.size() < 3 || !startsUpper(name) || allUpper(name) || !isAsciiWord(name) ||
        !c.lex.isPlaceName(lower(name)))
        return;
    // The name stands alone: "went Paris", not "went Paris Hilton".
    size_t after = nextWord(c.t, place);
    if (after != npos && after == place + 2 && startsUpper(c.t[after].text)) return;
    if (viaFor) put(c.t, n, "to", c.curlyText);
    else put(c.t, i, w + " to", c.curlyText);
}
}  // namespace

// A word learners leave out where the phrase cannot stand without it: "want be" -> "want to
// be", "It so expensive" -> "It is so expensive", "for long time" -> "for a long time".
void missingWord(GrammarContext &c, size_t i, const std::string &w)
{
    static const Words triggers = {"cant",  "wont",  "want",  "wants",  "wanted", "for",    "it",
                                   "can",   "could", "will",  "would",  "shall",  "should", "may",
                                   "might", "must",  "agree", "agrees", "agreed"};
    static const Words motion = {"go",        "goes",      "went",       "travel", "travels", "traveled",
                                 "traveling", "travelled", "travelling", "came",   "come",    "returned",
                                 "return",    "returns",   "moved",      "flew"};
    if (motion.contains(w)) {
        placeAfterMotion(c, i, w);
        return;
    }
    // "he took upon himself to act": what one takes upon oneself to do is "it" ("took upon
    // himself the blame" has its object).
    static const Words takes = {"take", "takes", "took", "taken", "taking"};
    static const Words selves = {"myself", "yourself",  "himself",    "herself",
                                 "itself", "ourselves", "yourselves", "themselves"};
    size_t upon = nextWord(c.t, i), self = nextWord(c.t, upon);
    if (takes.contains(w) && c.t[i].text == w && keyAt(c.t, upon) == "upon" && selves.contains(keyAt(c.t, self)) &&
        keyAt(c.t, nextWord(c.t, self)) == "to") {
        put(c.t, i, w + " it", c.curlyText);
        return;
    }
    // "they are connected each other": a passive takes "to" before "each other".
    static const Words joined = {"connected", "related", "linked", "attached", "similar", "close", "equal"};
    if (joined.contains(w) && c.t[i].text == w && kBe.contains(keyAt(c.t, prevWord(c.t, i))) &&
        keyAt(c.t, nextWord(c.t, i)) == "each" && keyAt(c.t, nextWord(c.t, nextWord(c.t, i))) == "other") {
        put(c.t, i, w + " to", c.curlyText);
        return;
    }
    if (!triggers.contains(w)) return;  // the rules run for every word: ask the neighbours only here
    size_t n = nextWord(c.t, i);
    if (n == npos || c.t[n].text != keyAt(c.t, n)) return;
    std::string next = keyAt(c.t, n);
    size_t after = nextWord(c.t, n);
    std::string then = keyAt(c.t, after);
    // "cant" and "wont" are words of their own, but not between a subject and its verb.
    if ((w == "cant" || w == "wont") && c.t[i].text == w) {
        size_t p = prevWord(c.t, i);
        if (p != npos && kSubjectPronouns.contains(keyAt(c.t, p)) && c.lex.isVerb(next) && !c.lex.isPluralNoun(next) &&
            !next.ends_with("ed") && !next.ends_with("ing"))
            put(c.t, i, w == "cant" ? "can't" : "won't", c.curlyText);
    } else if ((w == "want" || w == "wants" || w == "wanted") && next == "be") put(c.t, i, w + " to", c.curlyText);
    else if (w == "for" && next == "long" && then == "time") put(c.t, n, "a long", c.curlyText);
    else if (kModals.contains(w) && (next == "able" || next == "a" || next == "an" || next == "the")) {
        // "we will able to", "this will the proof": a subject, its modal and no verb.
        size_t p = prevWord(c.t, i);
        std::string subject = keyAt(c.t, p);
        if (p != npos && (kSubjectPronouns.contains(subject) || subject == "this") && (next != "able" || then == "to"))
            put(c.t, i, w + " be", c.curlyText);
    } else if ((w == "agree" || w == "agrees" || w == "agreed") &&
               (next == "some" || next == "the" || next == "his" || next == "her" || next == "their") &&
               !then.empty()) {
        // "I agree the statement": agreeing is with something. Not "agreed the price" (settled):
        // only after a person ("I agree", "she agreed").
        static const Words people = {"i", "we", "they", "he", "she", "you", "also", "not", "fully", "partly"};
        size_t p = prevWord(c.t, i);
        if (p != npos && people.contains(keyAt(c.t, p)) &&
            (then == "statement" || then == "idea" || then == "ideas" || then == "view" || then == "opinion" ||
             then == "author"))
            put(c.t, i, w + " with", c.curlyText);
    } else if (w == "it" && (next == "so" || next == "very" || next == "too" || next == "quite")) {
        // Opening its clause, before an adjective that is no verb ("It so happens").
        size_t p = prevWord(c.t, i);
        static const Words opens = {"and", "but", "because", "so", "if", "when", "although", "though", "since"};
        bool start = afterMark(c.t, i, ".!?;");
        if (!start && !(p != npos && opens.contains(keyAt(c.t, p)))) return;
        if (after == npos || c.t[after].text != then || !c.lex.isAdjective(then) || c.lex.isVerb(then) ||
            c.lex.isNoun(then) || then == "much" || then == "many" || then == "little")
            return;
        put(c.t, i, "it is", c.curlyText);
    }
}

// "despite of the rain", "discuss about it": a preposition the word already holds. And nouns
// English never counts, which learners pluralise ("informations", "equipments"); WordNet does
// not mark countability, so these few are named.
void extraWords(GrammarContext &c, size_t i, const std::string &w)
{
    static const Words discuss = {"discuss", "discusses", "discussed", "discussing"};
    size_t n = nextWord(c.t, i);
    // "but most time it is": how often is "most of the time".
    if (w == "most" && c.t[i].text == w && keyAt(c.t, n) == "time" && c.t[n].text == "time" &&
        keyAt(c.t, prevWord(c.t, i)) != "the" && kSubjectPronouns.contains(keyAt(c.t, nextWord(c.t, n))) &&
        (prevWord(c.t, i) == npos || keyAt(c.t, prevWord(c.t, i)) == "but" || keyAt(c.t, prevWord(c.t, i)) == "and")) {
        put(c.t, n, "of the time", c.curlyText);
        return;
    }
    std::string next = keyAt(c.t, n);
    // "you can trust on it": trusting takes its object straight; "on" stays before anything
    // else ("trust on the basis of").
    static const Words trusts = {"trust", "trusts", "trusted", "trusting"};
    auto objectAfter = [&] {
        static const Words pronouns = {"it", "him", "her", "them", "me", "us", "you"};
        size_t o = nextWord(c.t, n);
        return o != npos && pronouns.contains(keyAt(c.t, o)) && c.t[o].text == keyAt(c.t, o);
    };
    if (n != npos && c.t[n].text == next &&
        ((w == "despite" && next == "of") || (w == "besides" && next == "of") ||
         (discuss.contains(w) && next == "about") || (trusts.contains(w) && next == "on" && objectAfter())) &&
        nextWord(c.t, n) != npos && keyAt(c.t, nextWord(c.t, n)) != "course") {
        c.t[n].text.clear();
        c.t[n + 1].text.clear();
        return;
    }
    // "go for shopping": an outing takes the bare -ing form.
    static const Words pastimes = {"shopping", "swimming", "fishing", "hiking", "skiing", "camping", "sightseeing"};
    if (next == "for" && kGoForms.contains(w) && c.t[n].text == "for" &&
        pastimes.contains(keyAt(c.t, nextWord(c.t, n)))) {
        c.t[n].text.clear();
        c.t[n + 1].text.clear();
        return;
    }
    // "The one of the reasons" opening a sentence: "One of the reasons".
    size_t of = nextWord(c.t, n);
    if (w == "the" && next == "one" && afterMark(c.t, i, ".!?") && keyAt(c.t, of) == "of") {
        static const Words whose = {"the", "my", "your", "his", "her", "our", "their", "these", "those"};
        if (whose.contains(keyAt(c.t, nextWord(c.t, of)))) {
            if (startsUpper(c.t[i].text)) c.t[n].text = capitalized(c.t[n].text);
            c.t[i].text.clear();
            c.t[i + 1].text.clear();
            return;
        }
    }
    // "for a many years": "many" takes no article ("a great many" has its adjective).
    if (w == "a" && c.t[i].text == "a" && next == "many" && c.lex.isPluralNoun(keyAt(c.t, nextWord(c.t, n)))) {
        c.t[i].text.clear();
        c.t[i + 1].text.clear();
        return;
    }
    // "a lots of work" -> "a lot of work"; "it is a one of the best" -> "one of the best".
    static const Words owners = {"the", "my", "your", "his", "her", "our", "their", "these", "those"};
    if (w == "a" && c.t[i].text == "a" && n != npos && c.t[n].text == next && keyAt(c.t, nextWord(c.t, n)) == "of") {
        if (next == "lots") {
            put(c.t, n, "lot", c.curlyText);
            return;
        }
        if (next == "one" && owners.contains(keyAt(c.t, nextWord(c.t, nextWord(c.t, n))))) {
            c.t[i].text.clear();
            c.t[i + 1].text.clear();
            return;
        }
    }
    size_t p = prevWord(c.t, i);
    std::string prev = keyAt(c.t, p);
    // "for all intensive purposes": the phrase is "all intents and purposes".
    if (w == "intensive" && prev == "all" && next == "purposes" && c.t[i].text == w && c.t[n].text == next) {
        put(c.t, i, "intents and", c.curlyText);
        return;
    }
    // "they helped each others": the pronoun is "each other", its possessive "each other's".
    static const Words goesOn = {"to", "for",  "with", "in", "on",  "at", "from", "about", "and", "but",
                                 "as", "very", "well", "a",  "the", "so", "too",  "again", "now", "more"};
    bool possessive = i + 1 < c.t.size() && (c.t[i + 1].text == "'" || c.t[i + 1].text == "\xE2\x80\x99");
    if (w == "others" && prev == "each" && c.t[i].text == w && !possessive &&
        (n == npos || n != i + 2 || goesOn.contains(next))) {
        put(c.t, i, "other", c.curlyText);
        return;
    }
    // "I am use to it": being accustomed is "used to".
    if (w == "use" && kBe.contains(prev) && next == "to" && c.t[i].text == w && c.t[n].text == next) {
        put(c.t, i, "used", c.curlyText);
        return;
    }
    // "The number of people are growing": "the number" is one figure ("a number of" is many).
    if (w == "number" && prev == "the" && next == "of" && c.t[i].text == w) {
        size_t noun = nextWord(c.t, n);
        if (noun != npos && c.lex.isAdjective(keyAt(c.t, noun)) && !c.lex.isPluralNoun(keyAt(c.t, noun)))
            noun = nextWord(c.t, noun);
        std::string counted = keyAt(c.t, noun);
        size_t verb = nextWord(c.t, noun);
        std::string v = keyAt(c.t, verb);
        static const std::map<std::string, std::string> singular = {
            {"are", "is"}, {"were", "was"}, {"have", "has"}, {"aren't", "isn't"}, {"haven't", "hasn't"}};
        auto one = singular.find(v);
        if (verb != npos && one != singular.end() && c.t[verb].text == v &&
            (counted == "people" || (c.lex.isPluralNoun(counted) && !c.lex.isNoun(counted)))) {
            put(c.t, verb, one->second, c.curlyText);
            return;
        }
    }
    // "everyone of us": the pronoun takes no "of"; the number does.
    static const Words counted = {"us", "them", "you", "the", "these", "those", "my", "our", "your", "their"};
    if (w == "everyone" && next == "of" && c.t[n].text == "of" && counted.contains(keyAt(c.t, nextWord(c.t, n)))) {
        put(c.t, i, "every one", c.curlyText);
        return;
    }
    // "my points of views": a point of view has one view.
    if ((w == "point" || w == "points") && next == "of" && keyAt(c.t, nextWord(c.t, n)) == "views") {
        size_t views = nextWord(c.t, n);
        if (c.t[views].text == "views") put(c.t, views, "view", c.curlyText);
    }
    // "in a such situation" -> "in such a situation".
    if ((w == "a" || w == "an") && next == "such" && c.t[n].text == "such") {
        std::string noun = keyAt(c.t, nextWord(c.t, n));
        if (!noun.empty() && (c.lex.isNoun(noun) || c.lex.isAdjective(noun))) {
            // The article's own rule then picks "a" or "an" for the noun.
            c.t[i].text = startsUpper(c.t[i].text) ? "Such" : "such";
            c.t[n].text = "a";
            return;
        }
    }
    // "most of people": "of" needs a determiner after it; without one, "most people".
    if (w == "most" && n != npos && c.t[n].text == "of") {
        size_t noun = nextWord(c.t, n);
        std::string plural = keyAt(c.t, noun);
        if (noun != npos && c.t[noun].text == plural &&
            (plural == "people" || (c.lex.isPluralNoun(plural) && !c.lex.isNoun(plural) && !c.lex.isVerb(plural)))) {
            c.t[n].text.clear();
            c.t[n + 1].text.clear();
            return;
        }
    }
    // "make me to buy", "can't to do": these take the bare verb. Not "make it to work" (arrive).
    static const Words makers = {"make", "makes", "made", "making", "let", "lets", "letting"};
    static const Words people = {"me",     "him",    "her",      "us",       "them",    "you",
                                 "people", "others", "students", "children", "everyone"};
    static const Words modals = {"can",    "could",    "should", "must",      "can't",
                                 "cannot", "couldn't", "won't",  "shouldn't", "mustn't"};
    size_t to = npos;
    if (makers.contains(w) && people.contains(next)) to = nextWord(c.t, n);
    else if (modals.contains(w)) to = n;
    if (to != npos && keyAt(c.t, to) == "to" && c.t[to].text == "to") {
        size_t v = nextWord(c.t, to);
        std::string verb = keyAt(c.t, v);
        // "makes them to be more positive": what one is made, one is made without "to be".
        size_t made = nextWord(c.t, v);
        std::string how = keyAt(c.t, made);
        static const Words making = {"make", "makes", "made", "making"};
        if (verb == "be" && making.contains(w) && made != npos && c.t[made].text == how &&
            (how == "more" || how == "less" || how == "very" || c.lex.isComparative(how) ||
             (c.lex.isAdjective(how) && !c.lex.isNoun(how) && !c.lex.isVerb(how)))) {
            for (size_t k : {to, v}) {
                c.t[k].text.clear();
                c.t[k + 1].text.clear();
            }
            return;
        }
        // "make them to order", "to measure", "to scale": made as asked; "to last": made so.
        if (v != npos && c.t[v].text == verb && c.lex.isVerb(verb) && !kBe.contains(verb) && verb != "order" &&
            verb != "measure" && verb != "scale" && verb != "last" && !kDeterminers.contains(verb) &&
            !verb.ends_with("ing") && !verb.ends_with("ed") && !c.lex.isPluralNoun(verb) &&
            c.lex.verbBase(verb).value_or(verb) == verb) {
            c.t[to].text.clear();
            c.t[to + 1].text.clear();
            return;
        }
    }
    // "make it works", "makes those people thinks": the bare verb, not its "-s" form.
    if (makers.contains(w) && n != npos) {
        size_t after = nextWord(c.t, n);
        std::string then = keyAt(c.t, after);
        size_t v = npos;
        if (people.contains(next) || next == "it") v = nextWord(c.t, n);
        else if ((next == "those" || next == "these") && (c.lex.isPluralNoun(then) || then == "people"))
            v = nextWord(c.t, after);
        std::string verb = keyAt(c.t, v);
        auto base = verb.ends_with('s') ? c.lex.baseOfInflectedVerb(verb, false) : std::nullopt;
        // A plural noun as well ("works", "looks") only where English text favours the verb.
        bool verbOnly = !c.lex.isPluralNoun(verb) && !c.lex.isNoun(verb);
        std::vector<std::string> following;
        if (size_t f = nextWord(c.t, v); f != npos) following.push_back(keyAt(c.t, f));
        if (v != npos && c.t[v].text == verb && base && thirdPersonOf(c, *base) == verb && !kBe.contains(*base) &&
            *base != "have" && *base != "do" &&
            (verbOnly || modelFavours({keyAt(c.t, prevWord(c.t, v))}, *base, verb, following, kVerbReadingLead))) {
            put(c.t, v, *base, c.curlyText);
            return;
        }
    }
    static const std::map<std::string, std::string> uncounted = {
        {"informations", "information"}, {"knowledges", "knowledge"},
        {"advices", "advice"},           {"equipments", "equipment"},
        {"furnitures", "furniture"},     {"homeworks", "homework"},
        {"luggages", "luggage"},         {"baggages", "baggage"},
        {"softwares", "software"},       {"pollutions", "pollution"},
        {"feedbacks", "feedback"},       {"sceneries", "scenery"},
        {"jewelries", "jewelry"},        {"machineries", "machinery"},
        {"healths", "health"},           {"medias", "media"}};
    if (auto f = uncounted.find(w); f != uncounted.end() && c.t[i].text == w) {
        put(c.t, i, f->second, c.curlyText);
        // "The informations are useful": its verb agrees with it too.
        static const std::map<std::string, std::string> singular = {
            {"are", "is"}, {"were", "was"}, {"aren't", "isn't"}, {"weren't", "wasn't"}};
        if (auto v = singular.find(next); v != singular.end() && c.t[n].text == next)
            put(c.t, n, v->second, c.curlyText);
        // "these informations": what is never counted is "this"; "many informations" is much of it.
        size_t p = prevWord(c.t, i);
        if (keyAt(c.t, p) == "many") {
            put(c.t, p, "much", c.curlyText);
            size_t be = prevWord(c.t, p);
            if (keyAt(c.t, be) == "are" && keyAt(c.t, prevWord(c.t, be)) == "there") put(c.t, be, "is", c.curlyText);
            else if (keyAt(c.t, be) == "were" && keyAt(c.t, prevWord(c.t, be)) == "there")
                put(c.t, be, "was", c.curlyText);
        }
        if (std::string d = keyAt(c.t, p); d == "these" || d == "those")
            put(c.t, p, d == "these" ? "this" : "that", c.curlyText);
    }
    // "Every knowledge is connected": what is never counted is all of it.
    static const Words uncountedEvery = {"information", "advice",  "knowledge", "equipment", "furniture",
                                         "homework",    "luggage", "baggage",   "software",  "evidence"};
    if (w == "every" && uncountedEvery.contains(next) && c.t[n].text == next) {
        put(c.t, i, "all", c.curlyText);
        return;
    }
    // "share a information", "a good news": such a noun takes no article either, past its
    // adjective too. Not before a noun it qualifies ("a news report").
    static const Words neverCounted = {"information", "advice",   "equipment", "furniture", "homework",
                                       "luggage",     "baggage",  "software",  "news",      "health",
                                       "weather",     "research", "progress",  "traffic"};
    size_t noun = n;
    if (n != npos && c.t[n].text == next && c.lex.isAdjective(next) && !kDeterminers.contains(next) &&
        !neverCounted.contains(next) && next != "piece" && next != "bit" && next != "great")
        noun = nextWord(c.t, n);
    std::string uncountedNoun = keyAt(c.t, noun);
    // "a weather-beaten face": the noun begins a compound.
    bool compound = noun != npos && noun + 1 < c.t.size() && c.t[noun + 1].text.starts_with('-');
    // WordNet lists a few joining words as nouns too ("so", "as", "in").
    static const Words joining = {"so", "as", "in", "on", "at", "or", "if", "then"};
    std::string following = keyAt(c.t, nextWord(c.t, noun));
    bool qualifies = !joining.contains(following) && (c.lex.isNoun(following) || c.lex.isPluralNoun(following));
    if ((w == "a" || w == "an") && c.t[i].text.size() <= 2 && noun != npos && !compound &&
        neverCounted.contains(uncountedNoun) && c.t[noun].text == uncountedNoun && !qualifies && following != "of") {
        c.t[i].text.clear();
        c.t[i + 1].text.clear();
    }
    // "The news are bad": news is one thing.
    static const Words newsKinds = {"the", "this", "that", "good", "bad", "great", "sad", "latest", "no", "some"};
    if (w == "news" && c.t[i].text == w && newsKinds.contains(keyAt(c.t, prevWord(c.t, i))) &&
        (next == "are" || next == "were") && c.t[n].text == next) {
        put(c.t, n, next == "are" ? "is" : "was", c.curlyText);
    }
}

// The preposition a word takes, where learners use another: "depend of" -> "depend on",
// "interested about" -> "interested in", "focus in" -> "focus on" (not "focus in on").
void collocation(GrammarContext &c, size_t i, const std::string &w)
{
    struct Takes {
        Words words;
        Words wrong;
        const char *right;
    };
    static const std::vector<Takes> table = {
        {{"depend", "depends", "depended", "depending", "dependent"}, {"of", "from", "in"}, "on"},
        {{"focus", "focuses", "focused", "focusing", "focussed"}, {"in", "at"}, "on"},
        {{"insist", "insists", "insisted", "insisting"}, {"in"}, "on"},
        {{"interested"}, {"on", "about"}, "in"},
        {{"afraid"}, {"from"}, "of"},
        {{"similar"}, {"with"}, "to"},
        {{"responsible"}, {"of"}, "for"},
    };
    static const Words judged = {"easy",      "hard",      "difficult", "possible", "impossible", "necessary",
                                 "important", "better",    "good",      "useful",   "dangerous",  "helpful",
                                 "normal",    "essential", "easier",    "harder",   "best"};
    static const Words triggers = [] {
        Words all = {"listen", "listens", "listened", "listening"};
        all.insert(kGoForms.begin(), kGoForms.end());
        for (const auto &entry : table) all.insert(entry.words.begin(), entry.words.end());
        for (const auto &adjective : judged) all.insert(adjective);
        return all;
    }();
    if (!triggers.contains(w)) return;
    size_t n = nextWord(c.t, i);
    if (n == npos || c.t[n].text != keyAt(c.t, n)) return;
    std::string next = c.t[n].text;
    size_t after = nextWord(c.t, n);
    if (after == npos) return;
    // "depends in part on", "similar with respect to": the preposition opens a phrase of its own.
    static const Words phrases = {"part", "respect", "regard", "turn", "large", "some", "no"};
    if (phrases.contains(keyAt(c.t, after))) return;
    for (size_t k = after, seen = 0; k != npos && seen < 3; k = nextWord(c.t, k), ++seen)
        if (keyAt(c.t, k) == "on") return;
    for (const auto &entry : table)
        if (entry.words.contains(w) && entry.wrong.contains(next)) put(c.t, n, entry.right, c.curlyText);
    // "easy to me to understand": what is easy is easy for someone.
    static const Words objects = {"me", "him", "her", "us", "them", "you"};
    if (judged.contains(w) && next == "to" && objects.contains(keyAt(c.t, after)) &&
        keyAt(c.t, nextWord(c.t, after)) == "to")
        put(c.t, n, "for", c.curlyText);
    // "went to a trip": one goes on a trip or tour, to a place.
    static const Words outings = {"trip", "tour", "vacation", "holiday", "cruise", "journey", "excursion", "picnic"};
    if (kGoForms.contains(w) && next == "to" && (keyAt(c.t, after) == "a" || keyAt(c.t, after) == "an")) {
        size_t noun = nextWord(c.t, after);
        if (noun != npos && !outings.contains(keyAt(c.t, noun))) noun = nextWord(c.t, noun);  // "a group tour"
        if (noun != npos && outings.contains(keyAt(c.t, noun)) && !c.lex.isNoun(keyAt(c.t, nextWord(c.t, noun))))
            put(c.t, n, "on", c.curlyText);
    }
    // "listen music": listening is to something.
    if ((w == "listen" || w == "listens" || w == "listened" || w == "listening") && next == "music")
        put(c.t, n, "to music", c.curlyText);
}

// "is not same" -> "is not the same": "same" as an adjective of identity takes "the".
void theSame(GrammarContext &c, size_t i, const std::string &w)
{
    if (w != "same" || c.t[i].text != "same") return;
    size_t p = prevWord(c.t, i);
    static const Words before = {"is",     "are",    "was", "were",   "be",      "been", "not",   "exactly",
                                 "almost", "nearly", "at",  "remain", "remains", "stay", "stays", "look",
                                 "looks",  "do",     "did", "does",   "of",      "in",   "for",   "mostly"};
    if (p == npos || !before.contains(keyAt(c.t, p))) return;
    c.t[i].text = "the same";
}

// "Where you are going?" -> "Where are you going?": a question opening with its question word
// puts "be" before its subject pronoun. Only where the sentence ends in a question mark and
// nothing else sits between ("Where you are is fine" is no question).
void questionOrder(GrammarContext &c, size_t i, const std::string &w)
{
    static const Words asks = {"where", "why", "what", "when", "how", "who"};
    static const Words be = {"am", "is", "are", "was", "were"};
    if (!asks.contains(w) || !afterMark(c.t, i, ".!?") || (c.t[i].text != w && c.t[i].text != capitalized(w))) return;
    size_t s = nextWord(c.t, i), v = nextWord(c.t, s);
    if (s != i + 2 || v != s + 2 || !kSubjectPronouns.contains(keyAt(c.t, s)) || !be.contains(c.t[v].text)) return;
    // The question mark ends this sentence, with no other clause mark before it.
    for (size_t k = v + 1; k < c.t.size(); ++k) {
        if (c.t[k].kind == Kind::newline) return;
        if (c.t[k].kind != Kind::punct) continue;
        if (c.t[k].text != "?") return;
        std::string subject = c.t[s].text == "I" ? "I" : keyAt(c.t, s);
        c.t[s].text = c.t[v].text;
        c.t[v].text = subject;
        return;
    }
}

// "I don't know why was it wrong" -> "why it was wrong": a question told inside a sentence keeps
// the statement's order. Only straight after a verb of knowing or asking (or its object: "tell
// me what is it"), and for "be", "have" and the modals, whose swap is the whole fix.
void embeddedQuestionOrder(GrammarContext &c, size_t i, const std::string &w)
{
    static const Words asks = {"where", "why", "what", "when", "how", "who"};
    static const Words knowing = {
        "know",    "knew",     "known",   "understand", "understood", "wonder", "wondered",    "wondering", "ask",
        "asked",   "asking",   "explain", "explained",  "sure",       "idea",   "remember",    "forget",    "forgot",
        "realize", "realized", "realise", "realised",   "care",       "decide", "discover",    "learn",     "figure",
        "out",     "see",      "tell",    "knows",      "wonders",    "asks",   "understands", "remembers", "explains"};
    static const Words told = {"tell", "told", "ask", "asked", "show", "showed", "explain", "teach", "taught"};
    static const Words objects = {"me", "him", "her", "us", "them", "you"};
    static const Words auxiliaries = {"is",    "are", "was",   "were",   "has",  "have",  "will",
                                      "would", "can", "could", "should", "must", "might", "may"};
    if (!asks.contains(w) || c.t[i].text != w) return;
    size_t p = prevWord(c.t, i);
    if (p == npos || p + 2 != i || c.t[p].text != keyAt(c.t, p)) return;
    std::string prev = keyAt(c.t, p);
    bool afterKnowing =
        knowing.contains(prev) || (objects.contains(prev) && told.contains(keyAt(c.t, prevWord(c.t, p))));
    // "out" only in "find out", "figure out".
    if (prev == "out") {
        std::string verb = keyAt(c.t, prevWord(c.t, p));
        afterKnowing = verb == "find" || verb == "found" || verb == "figure" || verb == "figured";
    }
    // "know why it was wrong or why should they": a second question joined to the first.
    if ((prev == "or" || prev == "and") && !afterMark(c.t, p, ".!?;,"))
        for (size_t k = prevWord(c.t, p), steps = 0; k != npos && steps < 12 && !afterKnowing;
             k = prevWord(c.t, k), ++steps) {
            if (asks.contains(keyAt(c.t, k)) && knowing.contains(keyAt(c.t, prevWord(c.t, k)))) afterKnowing = true;
            if (afterMark(c.t, k, ".!?;")) break;
        }
    if (!afterKnowing) return;
    size_t v = nextWord(c.t, i), s = nextWord(c.t, v);
    if (v != i + 2 || s != v + 2 || c.t[v].text != keyAt(c.t, v) || !auxiliaries.contains(c.t[v].text)) return;
    std::string subject = keyAt(c.t, s);
    // "who is he" asks about him; "who is coming" has its subject already and stays.
    if (!kSubjectPronouns.contains(subject) || (c.t[s].text != subject && c.t[s].text != "I")) return;
    std::string verb = c.t[v].text;
    c.t[v].text = c.t[s].text;
    c.t[s].text = verb;
}

// "The government also should try" -> "should also try": "also" follows the modal. Not
// before a negation ("also can't", "also will not"), nor opening a question ("Also, should").
void wordOrder(GrammarContext &c, size_t i, const std::string &w)
{
    // Subjects an adverb's place is judged after ("it" may stand for a clause: "it is already").
    static const Words kPersonSubjects = {"i", "we", "they", "you", "he", "she"};
    questionOrder(c, i, w);
    embeddedQuestionOrder(c, i, w);
    // "we all are taking" -> "we are all taking": "all" floats after "be".
    if (w == "all" && c.t[i].text == w) {
        size_t p = prevWord(c.t, i), be = nextWord(c.t, i);
        std::string subject = keyAt(c.t, p), verb = keyAt(c.t, be);
        if ((subject == "we" || subject == "they" || subject == "you") && p + 2 == i && be == i + 2 &&
            (verb == "are" || verb == "were") && c.t[be].text == verb) {
            c.t[i].text = verb;
            c.t[be].text = w;
        }
        return;
    }
    // "I never have stopped" -> "I have never stopped": such an adverb follows "have" before
    // its participle ("I always have coffee" keeps its order).
    static const Words inTenses = {"never", "always", "already", "also", "ever"};
    if (inTenses.contains(w) && c.t[i].text == w) {
        size_t s = prevWord(c.t, i), h = nextWord(c.t, i), done = nextWord(c.t, h);
        std::string have = keyAt(c.t, h), participle = keyAt(c.t, done);
        if (s != npos && s + 2 == i && h == i + 2 && kPersonSubjects.contains(keyAt(c.t, s)) &&
            (have == "have" || have == "has" || have == "had") && c.t[h].text == have && done == h + 2 &&
            c.t[done].text == participle && participle != "to" &&
            ((participle.ends_with("ed") && c.lex.baseOfInflectedVerb(participle, true)) ||
             (c.lex.verbBase(participle) && !c.lex.isNoun(participle)) || participle == "been")) {
            c.t[i].text = have;
            c.t[h].text = w;
            return;
        }
    }
    // "they know already the rules" -> "they already know the rules", "Parents have now less
    // time" -> "Parents now have less time": such an adverb comes before a verb that has its
    // object after it. "have" only as a verb of its own, before what is had ("have now less").
    static const Words placed = {"already", "always", "usually", "often", "never", "now"};
    if (placed.contains(w) && c.t[i].text == w) {
        size_t v = prevWord(c.t, i), s = prevWord(c.t, v), o = nextWord(c.t, i);
        std::string verb = keyAt(c.t, v), subject = keyAt(c.t, s), object = keyAt(c.t, o);
        // Not "that", which may open a clause ("we know now that it is").
        static const Words objects = {"the", "a",   "an",    "this", "these", "those", "my", "your", "his",
                                      "her", "our", "their", "it",   "them",  "him",   "me", "us",   "another"};
        static const Words had = {"less", "more", "no", "many", "much", "enough", "a", "the", "some"};
        // "to buy always another one": a plain verb after "to" places it the same way.
        bool infinitive = subject == "to" && c.lex.isVerb(verb) && c.lex.verbBase(verb).value_or(verb) == verb;
        bool person = kPersonSubjects.contains(subject) || subject == "people" || infinitive ||
                      (c.lex.isPluralNoun(subject) && !c.lex.isNoun(subject) &&
                       (c.t[s].text == subject || (c.t[s].text == capitalized(subject) && afterMark(c.t, s, ".!?"))));
        bool having = verb == "have" || verb == "has";
        bool acting = (c.lex.isVerb(verb) || c.lex.baseOfInflectedVerb(verb, true) || c.lex.verbBase(verb)) &&
                      !verb.ends_with("ing") && !kBe.contains(verb) && !kModals.contains(verb) &&
                      !kDoForms.contains(verb) && verb != "have" && verb != "had" && verb != "has";
        // "I know now." or "we saw them often" keep their order: only before the object.
        if (s != npos && s + 2 == v && v + 2 == i && person && c.t[v].text == verb && o != npos &&
            c.t[o].text == object &&
            ((acting && objects.contains(object)) || (having && w == "now" && had.contains(object)))) {
            c.t[i].text = verb;
            c.t[v].text = w;
        }
        return;
    }
    if (w != "also" || c.t[i].text != w) return;
    size_t p = prevWord(c.t, i), modal = nextWord(c.t, i);
    size_t verb = nextWord(c.t, modal);
    if (p == npos || verb == npos || !kModals.contains(c.t[modal].text)) return;
    std::string v = c.t[verb].text;
    if (v != keyAt(c.t, verb) || v == "not" || !c.lex.isVerb(v)) return;
    std::string m = c.t[modal].text;
    c.t[modal].text = w;
    c.t[i].text = m;
}

}  // namespace quillo::cloud::english
