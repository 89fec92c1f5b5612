#include "EnglishGrammar.h"

#include "EnglishArticles.h"
#include "EnglishClauseEdges.h"
#include "EnglishCommas.h"
#include "EnglishGrammarRules.h"
#include "EnglishLexicon.h"
#include "EnglishNumber.h"
#include "EnglishSetPhrases.h"
#include "EnglishWords.h"
#include "ScowlLexicon.h"
#include "TextLanguages.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace quillo::cloud {

namespace {

using namespace english;

bool curly(const std::vector<Token> &t)
{
    for (const auto &tok : t)
        if (tok.text.find("\xE2\x80\x99") != std::string::npos) return true;
    return false;
}

void modalOf(GrammarContext &c, size_t i, const std::string &w)
{
    static const Words modals = {"could", "should", "would", "must", "might"};
    if (!modals.contains(w)) return;
    size_t of = nextWord(c.t, i);
    if (of == npos || keyAt(c.t, of) != "of") return;
    size_t after = nextWord(c.t, of);
    if (after != npos && keyAt(c.t, after) == "course") return;
    put(c.t, of, "have", c.curlyText);
}

const Words &objectAfterPrepositions()
{
    static const Words words = {"of",    "for",  "with",    "in", "on",     "at",    "from",   "by",
                                "about", "into", "without", "to", "during", "ahead", "before", "after"};
    return words;
}

void homophones(GrammarContext &c, size_t i, const std::string &w)
{
    size_t n = nextWord(c.t, i);
    size_t p = prevWord(c.t, i);
    std::string next = keyAt(c.t, n), prev = keyAt(c.t, p);
    size_t pp = p == npos ? npos : prevWord(c.t, p);
    std::string prev2 = keyAt(c.t, pp);
    static const Words effectBefore = {"the",      "an",       "no",       "any",         "big",   "great",
                                       "huge",     "positive", "negative", "significant", "side",  "adverse",
                                       "this",     "strong",   "large",    "little",      "small", "major",
                                       "opposite", "calming",  "lasting",  "good",        "bad",   "desired"};
    if ((w == "affect" || w == "affects") && effectBefore.contains(prev) && !(prev == "an" && w == "affects"))
        put(c.t, i, w == "affect" ? "effect" : "effects", c.curlyText);
    // "before taking a choose": after a determiner, the noun.
    static const Words determiners = {"a", "the", "my", "your", "his", "her", "our", "their", "this"};
    if (w == "choose" && c.t[i].text == w && determiners.contains(prev)) put(c.t, i, "choice", c.curlyText);
    if (n == npos) return;
    static const Words itsFollowers = {
        "a", "an", "not", "been", "going", "getting", "very", "so", "too", "just", "really", "always", "never", "time",
        "okay", "true", "important", "hard", "easy", "nice", "fine", "possible", "obvious", "clear", "raining", "late",
        "worth", "about", "ok", "alright",
        // A possessive takes no determiner after it ("its the end").
        "the", "my", "your", "our", "their", "his", "no", "because", "also", "nothing", "said"};
    // After a preposition or a verb "its" is the possessive ("of its time", "spent its time").
    static const Words openers = {"think",   "guess", "know", "said", "says", "believe", "hope",
                                  "because", "and",   "but",  "so",   "that", "if",      "when"};
    bool possessive = p != npos && !openers.contains(prev) &&
                      (objectAfterPrepositions().contains(prev) || c.lex.isVerb(prev) ||
                       c.lex.baseOfInflectedVerb(prev, true).has_value());
    // "Its rightly said that", "its highly unlikely": an adverb and a participle or an adjective
    // that ends the phrase; before a noun the possessive qualifies it ("its newly built roof").
    auto adverbAndComplement = [&] {
        size_t a = nextWord(c.t, n);
        if (a == npos || next.size() < 5 || !next.ends_with("ly") || c.t[n].text != next) return false;
        std::string complement = keyAt(c.t, a);
        if (!c.lex.isAdjective(complement) && !c.lex.baseOfInflectedVerb(complement, true)) return false;
        size_t after = nextWord(c.t, a);
        std::string following = keyAt(c.t, after);
        return after == npos ? a + 1 >= c.t.size() || c.t[a + 1].kind == Kind::punct
                             : following == "that" || following == "to" || following == "for" || following == "by";
    };
    if (w == "its" && (itsFollowers.contains(next) || adverbAndComplement()) && !possessive)
        put(c.t, i, "it's", c.curlyText);
    if (w == "it's" && next == "own") put(c.t, i, "its", c.curlyText);
    // "on it's way", "of it's members": after a preposition, before a plain noun, the possessive.
    // Not "before it's time", where "before" opens a clause.
    static const Words ownedAfter = {"of", "for", "with", "in", "on", "at", "from", "by", "about", "into", "without"};
    if (w == "it's" && ownedAfter.contains(prev) && c.t[n].text == next && next != "time" &&
        (c.lex.isNoun(next) || c.lex.isPluralNoun(next)) && !c.lex.isVerb(next) && !c.lex.isAdjective(next) &&
        !kDeterminers.contains(next) && !next.ends_with("ing") && !next.ends_with("ly"))
        put(c.t, i, "its", c.curlyText);
    // "to safe the environment": after "to" and before its object, the verb.
    static const Words saved = {"the", "our", "your", "their", "my", "his", "her", "them", "it", "lives", "money"};
    if (w == "safe" && c.t[i].text == w && prev == "to" && saved.contains(next) && c.t[n].text == next)
        put(c.t, i, "save", c.curlyText);
    // "fore many things": the prow or the golf call never takes a determiner after it.
    static const Words forObjects = {"many", "example", "instance", "me",  "him",   "us",
                                     "them", "my",      "your",     "his", "their", "our"};
    bool plainFore = c.t[i].text == w || (c.t[i].text == "Fore" && afterMark(c.t, i, ".!?"));
    if (w == "fore" && plainFore && forObjects.contains(next) && prev != "the") put(c.t, i, "for", c.curlyText);
    static const Words beForms = {"is", "are", "was", "were", "isn't", "aren't", "wasn't", "weren't"};
    static const Words progressive = {"going", "doing", "coming", "trying", "getting", "leaving", "not", "always"};
    if ((w == "their" || w == "they're") && beForms.contains(next)) put(c.t, i, "there", c.curlyText);
    if ((w == "their" || w == "there") && progressive.contains(next) && next != "not" && next != "always")
        put(c.t, i, "they're", c.curlyText);
    if ((w == "there" || w == "they're") && next == "own") put(c.t, i, "their", c.curlyText);
    // "There car was stolen": opening a sentence before a noun and its verb, the possessive;
    // the place word would take its verb first ("There is a car").
    static const Words ownersVerbs = {"is", "are", "was", "were", "has", "have", "had"};
    if (w == "there" && c.t[i].text == "There" && afterMark(c.t, i, ".!?") && c.t[n].text == next &&
        (c.lex.isNoun(next) || c.lex.isPluralNoun(next)) && !c.lex.isAdjective(next) && !kDeterminers.contains(next) &&
        !kBe.contains(next) && !kModals.contains(next) && !next.ends_with("ing") &&
        ownersVerbs.contains(keyAt(c.t, nextWord(c.t, n))) && !c.lex.isVerb(next)) {
        put(c.t, i, "their", c.curlyText);
        return;
    }
    // "in there free time", "show there product": after a preposition or a verb's object slot,
    // before an adjective and noun or a plain noun, "there" is the possessive. Not before a
    // time ("lived there years ago") nor a word that may open a clause.
    if (w == "there" && c.t[i].text == "there" && p != npos && c.t[n].text == next) {
        static const Words places = {"in", "of", "for", "with", "from", "about", "into", "on", "by", "at"};
        static const Words verbs = {"show", "shows", "showed", "sell", "sells", "sold", "spend", "spends", "spent",
                                    "lose", "loses", "lost",   "use",  "uses",  "used", "do",    "does",   "did"};
        static const Words times = {"years", "days",      "weeks",    "months", "times", "hours", "minutes", "ago",
                                    "today", "yesterday", "tomorrow", "now",    "then",  "once",  "twice",   "again"};
        size_t noun = n;
        if (c.lex.isAdjective(next) && !c.lex.isNoun(next) && !c.lex.isVerb(next)) noun = nextWord(c.t, n);
        std::string head = keyAt(c.t, noun);
        bool plainNoun = noun != npos && c.t[noun].text == head && !times.contains(head) &&
                         (c.lex.isNoun(head) || c.lex.isPluralNoun(head)) && !c.lex.isVerb(head) &&
                         !c.lex.isAdjective(head) && !kDeterminers.contains(head) && !kBe.contains(head);
        // Where the words after are no plain noun phrase ("in there free time"), English text
        // must favour the possessive a hundred times over.
        std::vector<std::string> rest{next};
        if (size_t k = nextWord(c.t, n); k != npos) rest.push_back(keyAt(c.t, k));
        if ((plainNoun && (places.contains(prev) || verbs.contains(prev))) ||
            (places.contains(prev) && modelFavours({prev}, "their", "there", rest, kWordChoiceLead)))
            put(c.t, i, "their", c.curlyText);
    }
    static const Words youreFollowers = {"welcome", "going",   "doing",  "not",   "right", "wrong",
                                         "being",   "getting", "coming", "gonna", "so",    "always"};
    // "your right side", "your right to vote": "right" and "wrong" before more words are nouns.
    std::string after = keyAt(c.t, nextWord(c.t, n));
    bool judgement = (next != "right" && next != "wrong") || after.empty() || after == "about" || after == "that" ||
                     after == "again" || after == "now";
    bool ownedByVerb =
        p != npos && !openers.contains(prev) && (c.lex.isVerb(prev) || c.lex.baseOfInflectedVerb(prev, true));
    // "when your in a group": a possessive never comes before a preposition and its object.
    static const Words prepositions = {"in", "at", "on", "from", "with", "about", "under", "into"};
    static const Words objects = {"a", "an", "the", "my", "your", "his", "her", "our", "their", "this", "that"};
    bool beforePlace = prepositions.contains(next) && c.t[n].text == next && objects.contains(after);
    if (w == "your" && (youreFollowers.contains(next) || beforePlace) && judgement && !ownedByVerb)
        put(c.t, i, "you're", c.curlyText);
    if (w == "you're" && next == "own") put(c.t, i, "your", c.curlyText);
    static const Words whosFollowers = {"going", "coming", "been", "calling", "doing", "there"};
    if (w == "whose" && whosFollowers.contains(next)) put(c.t, i, "who's", c.curlyText);
    // "Who's turn is it?": "who is turn is it" has a verb too many, so it is "whose turn".
    static const Words pointed = {"it", "this", "that", "these", "those"};
    if ((w == "who's" || w == "whos") && n != npos && c.t[n].text == next && !next.ends_with("ing") &&
        c.lex.isNoun(next) && !c.lex.isAdjective(next) && !whosFollowers.contains(next) &&
        (after == "is" || after == "was") && pointed.contains(keyAt(c.t, nextWord(c.t, nextWord(c.t, n)))))
        put(c.t, i, "whose", c.curlyText);
    // Comparatives take "than" ("bigger then Tom", "more expensive then mine", "rather walk then
    // drive"), when what follows is what they are compared with, not a next step.
    if (w == "then" && p != npos) {
        static const Words objects = {
            "i",     "me",  "you",    "him",      "her",      "us",     "them", "it",        "we",     "they",
            "he",    "she", "mine",   "yours",    "ours",     "theirs", "hers", "ever",      "before", "expected",
            "usual", "the", "a",      "an",       "my",       "your",   "our",  "their",     "its",    "this",
            "that",  "any", "anyone", "anything", "everyone", "others", "last", "yesterday", "now"};
        bool compares = c.lex.isComparative(prev) || prev == "more" || prev == "less" || prev == "rather" ||
                        prev == "other" || prev == "fewer" || prev2 == "more" || prev2 == "less" || prev2 == "rather";
        bool object = objects.contains(next) || startsUpper(c.t[n].text) || (prev2 == "rather" && c.lex.isVerb(next)) ||
                      (c.lex.isNoun(next) && !c.lex.isVerb(next));
        if (compares && object) put(c.t, i, "than", c.curlyText);
    }
    // "is to late": "too" before an adjective after a form of "be". An adjective that is also a
    // verb ("is to slow (it) down") needs the sentence to stop or go on with "for" right after.
    static const Words linking = {"look", "looks", "looked", "seem", "seems", "seemed", "sound", "sounds", "sounded"};
    // Past an adverb after "be": "could be either to expensive", "is not to late".
    static const Words adverbs = {"either", "not", "just", "also", "still", "far", "way", "much", "simply"};
    bool beBefore = kBe.contains(prev) || (adverbs.contains(prev) && kBe.contains(prev2));
    if (w == "to" && (beBefore || linking.contains(prev)) && c.lex.isAdjective(next) && !kDeterminers.contains(next)) {
        std::string then = keyAt(c.t, nextWord(c.t, n));
        size_t k = tokenAfterWord(c.t, n);
        bool ends = k >= c.t.size() || c.t[k].kind == Kind::punct;
        // After "looks" or "seems", "to" may lead to a noun ("looks to significant gains").
        bool closes = ends || then == "for" || then == "and";
        // WordNet lists "he" (helium) as a noun.
        bool nounAfter = !kSubjectPronouns.contains(then) &&
                         (c.lex.isNoun(then) || c.lex.isPluralNoun(then) || c.lex.isAdjective(then));
        if ((!c.lex.isVerb(next) && (beBefore || !nounAfter)) || closes) put(c.t, i, "too", c.curlyText);
    }
    // "affect them to much.": "to much" closing its clause is "too much", but not in "amount to
    // much", "come to much" nor "to many" (people).
    static const Words amountTo = {"amount", "amounts", "amounted", "come", "comes", "came", "up"};
    if (w == "to" && next == "much" && c.t[n].text == next && !amountTo.contains(prev)) {
        size_t k = tokenAfterWord(c.t, n);
        if (k >= c.t.size() ||
            (c.t[k].kind == Kind::punct && std::string_view(".,;!?").find(c.t[k].text[0]) != std::string_view::npos))
            put(c.t, i, "too", c.curlyText);
    }
    static const Words verbal = {"to",   "will",   "would", "could",  "can", "might", "may",
                                 "must", "should", "don't", "didn't", "not", "never", "won't"};
    if (w == "loose" && verbal.contains(prev)) put(c.t, i, "lose", c.curlyText);
    // "end up loosing the money", "afraid of loosing it": setting free ("they were loosing the
    // arrows") does not follow these.
    static const Words losingBefore = {"up", "of", "about", "without", "from", "avoid", "keep", "stop"};
    if (w == "loosing" && c.t[i].text == w && losingBefore.contains(prev)) put(c.t, i, "losing", c.curlyText);
    static const Words buyAfter = {"a",    "an",   "some",    "new",  "more", "it",      "them",
                                   "this", "that", "tickets", "food", "one",  "another", "things"};
    if (w == "by" && (prev == "to" || kModals.contains(prev) || prev == "didn't" || prev == "don't") &&
        buyAfter.contains(next))
        put(c.t, i, "buy", c.curlyText);
    if (w == "buy" && next == "the") {
        size_t way = nextWord(c.t, n);
        if (way != npos && keyAt(c.t, way) == "way") put(c.t, i, "by", c.curlyText);
    }
}

void article(GrammarContext &c, size_t i, const std::string &w)
{
    if (w != "a" && w != "an") return;
    // A capital "A" inside a sentence is the letter ("got an A on it", "plan A").
    if (c.t[i].text == "A" && prevWord(c.t, i) != npos) return;
    size_t n = nextWord(c.t, i);
    if (n == npos) return;
    const std::string &next = c.t[n].text;
    if (next.size() < 2 || !isAsciiWord(next) || allUpper(next) || hasInnerUpper(next)) return;
    std::string x = lower(next);
    bool vowel = anBefore(x);
    if (!c.isKnown(x) && !c.isKnown(next) && !ScowlLexicon::shared().contains(x)) return;  // a guess
    if (w == "a" && vowel) put(c.t, i, "an", c.curlyText);
    else if (w == "an" && !vowel) put(c.t, i, "a", c.curlyText);
}

void verbForm(GrammarContext &c, size_t i, const std::string &w)
{
    size_t n = nextWord(c.t, i);
    if (n == npos) return;
    std::string next = keyAt(c.t, n);
    size_t p = prevWord(c.t, i);
    std::string prev = keyAt(c.t, p);
    // "has went": the simple past after a perfect "have" becomes the participle.
    static const Words perfect = {"have",   "has",  "had",   "haven't", "hasn't",
                                  "hadn't", "i've", "we've", "you've",  "they've"};
    if (perfect.contains(w)) {
        size_t v = n;
        static const Words between = {"not", "never", "already", "just", "ever", "also", "always"};
        if (between.contains(next)) v = nextWord(c.t, n);
        if (v == npos) return;
        // "have got" is possession, in every variety ("He has got two daughters").
        if (keyAt(c.t, v) == "got") return;
        // WordNet lists one irregular form for "come" and "run", whose participle is the base.
        static const std::map<std::string, std::string> baseParticiples = {
            {"came", "come"},         {"became", "become"},   {"ran", "run"},
            {"overcame", "overcome"}, {"overran", "overrun"}, {"outran", "outrun"}};
        auto participle = c.lex.participleOfPast(keyAt(c.t, v));
        if (auto f = baseParticiples.find(keyAt(c.t, v)); f != baseParticiples.end()) participle = f->second;
        // "they have spend many hours": an irregular verb's base after "have" is its participle.
        // Only a word that can be nothing but a verb, before what it acts on.
        std::string base = keyAt(c.t, v);
        static const Words acted = {"a",    "an",   "the",  "my",   "your", "his",  "her",  "our", "their", "its",
                                    "many", "much", "some", "more", "all",  "this", "that", "it",  "them",  "him"};
        if (!participle && c.t[v].text == base && c.lex.isVerb(base) && !c.lex.isNoun(base) &&
            !c.lex.isAdjective(base) && !c.lex.baseOfInflectedVerb(base, true) && !kBe.contains(base) &&
            acted.contains(keyAt(c.t, nextWord(c.t, v))))
            if (auto past = c.lex.irregularPast(base); past && *past != base) {
                // "have become", "has run": these take their base as the participle.
                bool baseIsParticiple =
                    std::ranges::any_of(baseParticiples, [&](const auto &entry) { return entry.second == base; });
                if (!baseIsParticiple) participle = c.lex.participleOfPast(*past).value_or(*past);
            }
        if (participle && c.isKnown(*participle)) put(c.t, v, *participle, c.curlyText);
        return;
    }
    // "He may fell afraid": after a modal and before how one is, "feel".
    static const Words feelings = {"afraid", "sad",   "happy", "better",      "worse", "bad",    "good",  "lonely",
                                   "tired",  "sorry", "free",  "comfortable", "safe",  "guilty", "angry", "terrible"};
    if (kModals.contains(w) && next == "fell" && c.t[n].text == next &&
        feelings.contains(keyAt(c.t, nextWord(c.t, n)))) {
        put(c.t, n, "feel", c.curlyText);
        return;
    }
    // "didn't went", "can goes", "to went": after do-support, a modal or "to", the base form;
    // in a question the subject pronoun comes between ("did you went").
    // "a can", "the will"; "May" inside a sentence is the month or a name.
    bool modal =
        kModals.contains(w) && !(p != npos && kDeterminers.contains(prev)) && !(p != npos && startsUpper(c.t[i].text));
    if ((modal || kDoForms.contains(w)) && kSubjectPronouns.contains(next)) {
        size_t v = nextWord(c.t, n);
        if (v == npos) return;
        auto base = c.lex.baseOfInflectedVerb(keyAt(c.t, v), true);
        if (base && c.isKnown(*base)) put(c.t, v, *base, c.curlyText);
        return;
    }
    // "did not went", "can not goes": past the negation.
    if ((modal || kDoForms.contains(w)) && next == "not" && nextWord(c.t, n) != npos) {
        n = nextWord(c.t, n);
        next = keyAt(c.t, n);
        if (c.t[n].text != next) return;
    }
    // "could even began": past an adverb between the modal and its verb.
    static const Words modalAdverbs = {"even", "also", "never", "always", "still", "just", "really", "only", "easily"};
    if (modal && modalAdverbs.contains(next) && nextWord(c.t, n) != npos) {
        n = nextWord(c.t, n);
        next = keyAt(c.t, n);
        if (c.t[n].text != next) return;
    }
    if (modal || kDoForms.contains(w) || w == "to") {
        // "What they did is reduce it": "do" is the main verb there, and "is" its own.
        if (!modal && w != "to" && kBe.contains(next)) return;
        // "He did directed study": an affirmative "did" before a participle and its noun is
        // the main verb.
        if ((w == "did" || w == "do" || w == "does") && next.ends_with("ed") &&
            c.lex.isNoun(keyAt(c.t, nextWord(c.t, n))))
            return;
        // After "have to", "need to", "able to" the "to" is the infinitive's: "have to reduced".
        static const Words infinitiveHeads = {"have", "has",   "had",    "need", "needs", "needed",
                                              "want", "wants", "wanted", "able", "going", "trying"};
        // The "-ed" word must then take an object, or it is an adjective ("have to tired").
        static const Words objects = {"it", "them", "him", "her", "me", "us", "you", "this", "that", "these", "those"};
        auto takesObject = [&] {
            std::string object = keyAt(c.t, nextWord(c.t, n));
            return kDeterminers.contains(object) || objects.contains(object) || c.lex.isNoun(object) ||
                   c.lex.isPluralNoun(object);
        };
        bool allowPast = w != "to" || (infinitiveHeads.contains(prev) && takesObject());
        // "to" is as often a preposition: a plural noun after it stays ("go to states which").
        if (w == "to" && c.lex.isPluralNoun(next)) return;
        auto base = c.lex.baseOfInflectedVerb(next, allowPast);
        // A plural noun asked about or compared: "What do whales eat?", "than do partners",
        // "May parents reside here?".
        if (base && next.ends_with('s') && c.lex.isNoun(*base)) {
            std::string then = keyAt(c.t, nextWord(c.t, n));
            if (prev == "than" || prev == "as" || (c.lex.isVerb(then) && !c.lex.isNoun(then))) return;
        }
        if (!base && w == "to") {
            // Only irregular pasts are safe after "to" ("to went"); "-ed" forms may be adjectives.
            if (auto irregular = c.lex.verbBase(next); irregular && !c.lex.isLemma(next) && next.back() != 's' &&
                                                       next.size() > 3 && next.substr(next.size() - 3) != "ing")
                base = irregular;
        }
        // "didn't saw him": an irregular past that is a verb of its own too ("saw" wood, "found"
        // a company) after do-support, where English text favours the other verb's base by far.
        // After a modal only a past that is no verb itself ("could lost"): "can saw the wood".
        if (!base && (kDoForms.contains(w) || (modal && !c.lex.isVerb(next))) && c.lex.isLemma(next)) {
            if (auto irregular = c.lex.verbBase(next); irregular && *irregular != next) {
                std::vector<std::string> before{keyAt(c.t, prevWord(c.t, n))};
                std::vector<std::string> after;
                if (size_t a = nextWord(c.t, n); a != npos) after.push_back(keyAt(c.t, a));
                if (modelFavours(before, *irregular, next, after, kWordChoiceLead)) base = irregular;
            }
        }
        if (base && c.isKnown(*base) && *base != next) {
            if (next == "has") base = "have";
            put(c.t, n, *base, c.curlyText);
        }
    }
}

// "is generate by", "may be utilize": a passive takes the participle. Regular verbs only, known
// to the dictionary in both forms, and neither a noun nor an adjective ("is close by"). Without
// "by" only after "be", "been" and "being": "is" and "was" may open a bare infinitive ("all
// you do is add salt").
void passive(GrammarContext &c, size_t i, const std::string &w)
{
    static const Words be = {"is", "are", "was", "were", "be", "been", "being"};
    if (w.size() > 5 || !be.contains(w) || c.t[i].text != w) return;
    size_t n = nextWord(c.t, i);
    size_t by = nextWord(c.t, n);
    bool bare = w == "be" || w == "been" || w == "being";
    if (n == npos || (!bare && (by == npos || keyAt(c.t, by) != "by"))) return;
    std::string v = keyAt(c.t, n);
    // "the number would be decrease": a change a thing undergoes by itself takes no "be" ("there
    // will be increase" lacks its article instead).
    static const Words changes = {"increase", "decrease", "change", "improve", "grow", "decline", "rise", "drop"};
    size_t modal = prevWord(c.t, i);
    if (w == "be" && changes.contains(v) && c.t[n].text == v && kModals.contains(keyAt(c.t, modal)) &&
        keyAt(c.t, prevWord(c.t, modal)) != "there" && keyAt(c.t, by) != "of" &&
        !kDeterminers.contains(keyAt(c.t, by))) {
        drop(c.t, i);
        return;
    }
    if (c.t[n].text != v || v.size() < 4 || !c.lex.isVerb(v) || c.lex.isNoun(v) || c.lex.isAdjective(v) ||
        v.ends_with('s') || v.ends_with("ed") || v.ends_with("ing"))
        return;
    // A verb that takes no object has no passive ("would be arrive"): after a modal, "be" goes,
    // unless its participle describes a state ("must be relax": "relaxed").
    std::string form = v.ends_with('e') ? v + "d" : v + "ed";
    if (!c.lex.takesObject(v) && !c.lex.isAdjective(form)) {
        if (w == "be" && kModals.contains(keyAt(c.t, modal))) drop(c.t, i);
        return;
    }
    if (c.isKnown(form) && c.lex.baseOfInflectedVerb(form, true) == v) put(c.t, n, form, c.curlyText);
}

void forwardTo(GrammarContext &c, size_t i, const std::string &w)
{
    if (w != "forward") return;
    size_t p = prevWord(c.t, i);
    static const Words look = {"look", "looking", "looks", "looked"};
    if (p == npos || !look.contains(keyAt(c.t, p))) return;
    size_t to = nextWord(c.t, i);
    if (to == npos || keyAt(c.t, to) != "to") return;
    size_t v = nextWord(c.t, to);
    if (v == npos) return;
    std::string verb = keyAt(c.t, v);
    if (!c.lex.isVerb(verb) || kDeterminers.contains(verb) || verb.size() < 2) return;
    if (verb.size() > 3 && verb.substr(verb.size() - 3) == "ing") return;
    std::string ing = ingForm(verb, c.isKnown);
    if (!ing.empty()) put(c.t, v, ing, c.curlyText);
}

void runTogether(GrammarContext &c, size_t i, const std::string &w)
{
    // codespell lists "alot" with two readings; "a lot" is the one people mean.
    if (w == "alot") put(c.t, i, "a lot", c.curlyText);
    // "non polluting", "non standard": "non" is a prefix, joined by its hyphen. Not before a name
    // ("non GNU compilers" may keep its space) nor ending a phrase borrowed whole ("sine qua non").
    if (w == "non" && i + 2 < c.t.size() && c.t[i + 1].text == " " && isWord(c.t, i + 2)) {
        const std::string &next = c.t[i + 2].text;
        if (next == key(c.t[i + 2]) && next.size() > 2 && c.isKnown(next) &&
            (c.lex.isAdjective(next) || next.ends_with("ing") || c.lex.isNoun(next)))
            c.t[i + 1] = Token{Kind::other, "-", c.t[i].language};
    }
    // "in todays world": the day's, before the noun it qualifies.
    if (w == "todays" || w == "yesterdays") {
        std::string next = keyAt(c.t, nextWord(c.t, i));
        if (!next.empty() && (c.lex.isNoun(next) || c.lex.isAdjective(next)) && !kDeterminers.contains(next))
            put(c.t, i, w.substr(0, w.size() - 1) + "'s", c.curlyText);
    }
}

void doubled(GrammarContext &c, size_t i, const std::string &w)
{
    // "It's is very clear", "we're are": the verb typed both contracted and in full.
    static const std::map<std::string, std::pair<std::string, std::string>> contracted = {
        {"it's", {"it", "is"}},    {"that's", {"that", "is"}}, {"there's", {"there", "is"}},
        {"he's", {"he", "is"}},    {"she's", {"she", "is"}},   {"what's", {"what", "is"}},
        {"i'm", {"i", "am"}},      {"we're", {"we", "are"}},   {"they're", {"they", "are"}},
        {"you're", {"you", "are"}}};
    if (auto f = contracted.find(w); f != contracted.end() && keyAt(c.t, nextWord(c.t, i)) == f->second.second &&
                                     c.t[nextWord(c.t, i)].text == f->second.second) {
        std::string plain = f->second.first == "i" ? "I" : f->second.first;
        put(c.t, i, plain, c.curlyText);
        return;
    }
    // Doubled on purpose: "had had", "denies her her allowance", "far far".
    static const Words allowed = {"that", "had", "is", "do",     "can", "bye", "so",
                                  "very", "ha",  "no", "really", "la",  "her", "far"};
    size_t n = nextWord(c.t, i);
    if (n == npos || keyAt(c.t, n) != w || allowed.contains(w) || allUpper(c.t[i].text) || w.empty()) return;
    // A verb's particle before a preposition: "reined in in front", "filled in in ink".
    std::string prev = keyAt(c.t, prevWord(c.t, i));
    if (w == "in" && !kBe.contains(prev) && (c.lex.isVerb(prev) || c.lex.baseOfInflectedVerb(prev, true))) return;
    // An object, then the next clause's subject: "if they fire you you will", "once I saw it it was".
    if ((w == "you" || w == "it") && (c.lex.isVerb(prev) || c.lex.baseOfInflectedVerb(prev, true))) {
        std::string after = keyAt(c.t, nextWord(c.t, n));
        static const Words auxiliaries = {"have", "has", "had", "do", "does", "did", "don't", "didn't", "doesn't"};
        if (kModals.contains(after) || kBe.contains(after) || auxiliaries.contains(after)) return;
    }
    if (c.t[i].text != c.t[n].text && !startsUpper(c.t[i].text)) return;
    // "Diaz Diaz", "Sirhan Sirhan": a name, not a word typed twice.
    if (startsUpper(c.t[n].text)) return;
    c.t[n - 1].text.clear();
    c.t[n].text.clear();
}

// "english", "french": an adjective of a language or a people takes its capital, unless it is
// part of an identifier or a path ("--lang english", "locale/french").
void properAdjective(GrammarContext &c, size_t i, const std::string &w)
{
    if (c.t[i].text != w) return;
    auto proper = c.lex.properAdjective(w);
    if (!proper) return;
    auto glued = [&](size_t k) {
        return k < c.t.size() && c.t[k].kind != Kind::space &&
               std::string_view("-_/.@#=:\\").find(c.t[k].text[0]) != std::string_view::npos;
    };
    if ((i > 0 && glued(i - 1)) || (i + 2 < c.t.size() && glued(i + 1) && c.t[i + 2].kind == Kind::word)) return;
    // An option's value: "--lang english".
    if (i >= 2 && c.t[i - 1].kind == Kind::space &&
        (c.t[i - 2].text.starts_with('-') || (i >= 3 && c.t[i - 3].text.ends_with('-'))))
        return;
    c.t[i].text = *proper;
}

}  // namespace

std::string english::sentenceEndMark(const std::vector<Token> &t, size_t i)
{
    for (size_t k = i; k < t.size(); ++k)
        if (t[k].kind == Kind::punct && (t[k].text == "." || t[k].text == "!" || t[k].text == "?")) return t[k].text;
    return "";
}

bool english::anBefore(const std::string &x)
{
    static const Words silentH = {"hour",   "hours",     "hourly",     "honest", "honestly", "honesty", "honor",
                                  "honour", "honorable", "honourable", "heir",   "heirs",    "herb"};
    auto startsWith = [&](const char *p) { return x.rfind(p, 0) == 0; };
    // "u" read "you" and "eu", "one" read with a consonant.
    bool youSound = startsWith("uni") || startsWith("unan") || startsWith("usa") || startsWith("use") ||
                    startsWith("usu") || startsWith("uti") || startsWith("uto") || startsWith("ure") ||
                    startsWith("uro") || startsWith("eu") || startsWith("one") || startsWith("once") ||
                    startsWith("ubiq") || startsWith("uk");
    if ((startsWith("unin") || startsWith("unid") || startsWith("unim")) && !startsWith("unidir"))
        youSound = false;  // "an uninformed"; "a unidirectional"
    bool vowel = (std::strchr("aeiou", x[0]) && !youSound) || silentH.contains(x) || startsWith("honor") ||
                 startsWith("honour") || startsWith("honest") || startsWith("hour") || startsWith("heir");
    return vowel;
}

void applyEnglishGrammar(std::vector<Token> &t, const std::function<bool(const std::string &)> &isKnown)
{
    const EnglishLexicon &lex = EnglishLexicon::shared();
    if (lex.empty()) return;
    fixEnglishSetPhrases(t);
    GrammarContext c{t, lex, isKnown, curly(t)};
    for (size_t i = 0; i < t.size(); ++i) {
        if (!isWord(t, i) || t[i].text.empty()) continue;
        std::string w = key(t[i]);
        modalOf(c, i, w);
        homophones(c, i, w);
        article(c, i, w);
        agreement(c, i, w);
        thirdPerson(c, i, w);
        verbForm(c, i, w);
        forwardTo(c, i, w);
        passive(c, i, w);
        runTogether(c, i, w);
        missingWord(c, i, w);
        doubled(c, i, w);
        quantity(c, i, w);
        nounNumber(c, i, w);
        theSame(c, i, w);
        extraWords(c, i, w);
        collocation(c, i, w);
        wordOrder(c, i, w);
        verbPattern(c, i, w);
        pastTime(c, i, w);
        confusables(c, i, w);
        nonstandardForms(c, i, w);
        phraseUsage(c, i, w);
        complements(c, i, w);
        missingArticle(c, i, w);
        prepositionUsage(c, i, w);
        nounForms(c, i, w);
        properAdjective(c, i, w);
    }
    applyEnglishNumber(t, lex);
    // After the number rules: "there is many way" and "these problem occurs" have their plural
    // noun only now.
    for (size_t i = 0; i < t.size(); ++i)
        if (isWord(t, i)) {
            thereIsMany(c, i, key(t[i]));
            pluralSubjectVerb(c, i, key(t[i]));
        }
    althoughBut(t);
    applyEnglishArticles(t, lex);
    applyEnglishCommas(t, lex);
    fixEnglishClauseEdges(t);
    spacing(t);
    std::vector<Token> out;
    out.reserve(t.size());
    for (auto &tok : t)
        if (!tok.text.empty()) out.push_back(std::move(tok));
    t = std::move(out);
}

}  // namespace quillo::cloud
