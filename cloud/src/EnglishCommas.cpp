#include "EnglishCommas.h"

#include "EnglishGrammarRules.h"
#include "EnglishLexicon.h"
#include "EnglishWords.h"

namespace quillo::cloud {

namespace {

using namespace english;

// Words that may begin a main clause after an opening phrase.
const Words kClauseStarters = {"i",    "you",  "he",  "she",      "it",     "we",    "they",   "there",
                               "the",  "a",    "an",  "this",     "that",   "these", "those",  "my",
                               "your", "his",  "her", "our",      "their",  "its",   "people", "many",
                               "most", "some", "all", "everyone", "nobody", "if",    "when",   "no"};

const Words kAuxiliaries = {"can",    "could",  "will",   "would",  "should",  "must",  "may",     "might",
                            "is",     "are",    "was",    "were",   "has",     "have",  "had",     "do",
                            "does",   "did",    "need",   "needs",  "can't",   "won't", "don't",   "doesn't",
                            "isn't",  "aren't", "wasn't", "didn't", "cannot",  "shall", "it's",    "you're",
                            "you'll", "you'd",  "you've", "it'll",  "there's", "seems", "becomes", "gets"};

// Conjunctions that open a subordinate clause ("when", "because").
const Words kSubordinators = {"when",  "if",   "because",  "as",     "after",  "before",  "since",
                              "while", "once", "although", "though", "unless", "whenever"};

// Whether word k opens a clause: a pronoun that can only be a subject, or "you", "it",
// "there" right before an auxiliary.
bool opensClause(const std::vector<Token> &t, size_t k)
{
    static const Words nominative = {"i", "he", "she", "we", "they"};
    std::string w = keyAt(t, k);
    size_t n = nextWord(t, k);
    if (n == npos) return false;
    if (nominative.contains(w)) return keyAt(t, n) != "and" && keyAt(t, n) != "or";
    if (w == "you" || w == "it" || w == "there") return kAuxiliaries.contains(keyAt(t, n));
    if (w == "i'm" || w == "we're" || w == "they're" || w == "it's" || w == "there's" || w == "you're" || w == "he's" ||
        w == "she's" || w == "i've" || w == "we've" || w == "they've" || w == "i'll" || w == "we'll" || w == "they'll")
        return true;
    return false;
}

// Whether word i follows nothing but one or two connectives opening its sentence ("But by then
// we", "And then, when we"), with or without their comma.
bool afterConnectives(const std::vector<Token> &t, const std::vector<bool> &starts, size_t i)
{
    static const Words connectives = {"and",   "but",       "so",      "yet",      "then",        "now", "thus",
                                      "hence", "therefore", "however", "moreover", "furthermore", "also"};
    size_t k = i;
    for (int steps = 0; steps < 2; ++steps) {
        if (k < 2 || t[k - 1].kind != Kind::space) return false;
        size_t j = k - 2;
        if (t[j].kind == Kind::punct && t[j].text == ",") {
            if (j == 0) return false;
            --j;
        }
        if (!isWord(t, j)) return false;
        std::string w = key(t[j]);
        if (w.ends_with(',')) w.pop_back();
        if (!connectives.contains(w)) return false;
        if (starts[j]) return true;
        // ", but even if he wanted to": "but" after a comma opens a clause as a sentence would.
        if ((w == "but" || w == "so") && j >= 2 && t[j - 1].kind == Kind::space && t[j - 2].text == ",") return true;
        k = j;
    }
    return false;
}

// Whether word k opens a clause with a determiner, its noun and an auxiliary ("the facts are").
bool determinerSubject(const std::vector<Token> &t, size_t k)
{
    static const Words determiners = {"the", "this", "these", "those", "my", "your", "his", "her", "our", "their"};
    if (!determiners.contains(keyAt(t, k))) return false;
    size_t noun = nextWord(t, k);
    if (noun == npos || t[noun].text != keyAt(t, noun)) return false;
    size_t verb = nextWord(t, noun);
    return verb != npos && verb == noun + 2 && kAuxiliaries.contains(keyAt(t, verb));
}

// The same with a verb's "-s" form that is no noun ("our body generates"), for a clause's start.
bool determinerSubjectWithVerb(const std::vector<Token> &t, size_t k, const EnglishLexicon &lex)
{
    if (determinerSubject(t, k)) return true;
    static const Words determiners = {"the", "this", "my", "your", "his", "her", "our", "their"};
    if (!determiners.contains(keyAt(t, k))) return false;
    size_t noun = nextWord(t, k);
    // Past one adjective: "the best way is".
    if (noun != npos && lex.isAdjective(keyAt(t, noun)) && !lex.isNoun(keyAt(t, noun)) && !lex.isVerb(keyAt(t, noun)))
        noun = nextWord(t, noun);
    if (noun == npos || t[noun].text != keyAt(t, noun) || !lex.isNoun(t[noun].text)) return false;
    size_t verb = nextWord(t, noun);
    if (verb == npos || t[verb].text != keyAt(t, verb)) return false;
    const std::string &v = t[verb].text;
    if (kAuxiliaries.contains(v) && noun != nextWord(t, k)) return true;
    auto base = lex.baseOfInflectedVerb(v, false);
    return v.size() > 3 && v.back() == 's' && base && !lex.isNoun(v) && !lex.isPluralNoun(v) && !lex.isNoun(*base);
}

void introductoryWords(std::vector<Token> &t, const std::vector<bool> &starts)
{
    struct Phrase {
        std::vector<std::string> words;
        bool beforeSubject;  // only when a clause plainly follows ("Also the", not "Also available")
    };
    static const std::vector<Phrase> phrases = {
        {{"for", "example"}, false},
        {{"for", "instance"}, false},
        {{"however"}, false},
        {{"therefore"}, false},
        {{"moreover"}, false},
        {{"furthermore"}, false},
        {{"in", "addition"}, false},
        {{"in", "conclusion"}, false},
        {{"in", "my", "opinion"}, false},
        {{"nowadays"}, false},
        {{"firstly"}, false},
        {{"secondly"}, false},
        {{"thirdly"}, false},
        {{"finally"}, false},
        {{"besides"}, true},  // "Besides the cost" is a preposition's phrase
        {{"consequently"}, false},
        {{"additionally"}, false},
        {{"in", "fact"}, false},
        {{"on", "the", "other", "hand"}, false},
        {{"in", "summary"}, false},
        {{"to", "sum", "up"}, false},
        {{"in", "other", "words"}, false},
        {{"unfortunately"}, false},
        {{"fortunately"}, false},
        {{"in", "general"}, false},
        {{"generally"}, false},
        {{"personally"}, false},
        {{"of", "course"}, false},
        {{"in", "short"}, false},
        {{"lastly"}, false},
        {{"meanwhile"}, false},
        {{"also"}, true},
        {{"thus"}, true},
        {{"hence"}, true},
        {{"actually"}, true},
        {{"usually"}, true},
        {{"yes"}, false},
        {{"then"}, true},  // only before a subordinate clause ("Then when we went")
        {{"now"}, true},   //
        {{"second"}, true},
        {{"third"}, true},
        {{"first", "of", "all"}, false},
        {{"after", "that"}, true},
        {{"in", "this", "case"}, true},
        {{"in", "that", "case"}, true},
        {{"in", "my", "view"}, false},
        {{"these", "days"}, true},
        {{"as", "a", "result"}, true},
        {{"on", "the", "contrary"}, false},
        {{"in", "the", "end"}, true},
        {{"at", "the", "same", "time"}, true},
        {{"in", "the", "past"}, true},
        {{"in", "the", "future"}, true},
        {{"today"}, true},
        {{"instead"}, true},
        {{"similarly"}, false},
        {{"otherwise"}, true},
        {{"in", "brief"}, false},
        {{"obviously"}, true},
        {{"clearly"}, true},
        {{"surprisingly"}, true},
        {{"in", "addition", "to", "this"}, false},
        {{"as", "far", "as", "i", "am", "concerned"}, false},
        {{"as", "far", "as", "i'm", "concerned"}, false},
        {{"in", "simple", "words"}, false},
        {{"in", "a", "word"}, false},
        {{"nevertheless"}, false},
        {{"to", "my", "surprise"}, false},
        {{"to", "be", "honest"}, false},
        {{"to", "tell", "the", "truth"}, false},
        {{"to", "my", "knowledge"}, true},
        {{"in", "my", "experience"}, true},
        {{"in", "the", "meantime"}, false},
        {{"as", "a", "matter", "of", "fact"}, false},
        {{"on", "the", "one", "hand"}, false},
        {{"by", "the", "way"}, false},
        {{"all", "in", "all"}, false},
        {{"needless", "to", "say"}, false},
        {{"above", "all"}, true},
        {{"in", "my", "point", "of", "view"}, false},
        {{"from", "my", "point", "of", "view"}, false},
        {{"as", "we", "all", "know"}, true},
        {{"as", "we", "know"}, true},
        {{"as", "you", "know"}, true},
        {{"as", "everyone", "knows"}, true},
    };
    for (size_t i = 0; i < t.size(); ++i) {
        if (!isWord(t, i)) continue;
        // "But then when ..." opens like "Then when ...".
        bool linked = !starts[i] && afterConnectives(t, starts, i);
        // ", for example if you ...": an aside after a comma opens the clause that follows.
        bool afterComma = !starts[i] && !linked && i >= 2 && t[i - 1].text == " " && t[i - 2].kind == Kind::punct &&
                          t[i - 2].text == ",";
        if (!starts[i] && !linked && !afterComma) continue;
        const Phrase *found = nullptr;
        size_t end = npos;
        std::string first = key(t[i]);
        for (const auto &phrase : phrases) {  // the longest match wins ("in addition to this")
            if (phrase.words.front() != first) continue;
            size_t k = i;
            bool match = true;
            for (size_t w = 0; w < phrase.words.size() && match; ++w) {
                if (w > 0) k = nextWord(t, k);
                match = k != npos && key(t[k]) == phrase.words[w];
            }
            if (match && (!found || phrase.words.size() > found->words.size())) {
                found = &phrase;
                end = k;
            }
        }
        // Only before a plain next word: "However hard" or "Of course not" stay.
        size_t after = found ? nextWord(t, end) : npos;
        if (after == npos) continue;
        std::string next = key(t[after]);
        bool thenOrNow = found->words.size() == 1 && (found->words[0] == "then" || found->words[0] == "now");
        // After a connective ("Thus, in my view the"), only a phrase of several words is an
        // aside of its own.
        if (thenOrNow && !kSubordinators.contains(next)) continue;
        if (linked && !thenOrNow && found->words.size() == 1) continue;
        // Only "for example" and "for instance": "however" before a clause may mean "in
        // whatever way" ("Victory, however it was won"), and "therefore" after a comma is
        // better mended with a full stop than with a second comma.
        static const Words asides = {"example", "instance"};
        if (afterComma && (!asides.contains(found->words.back()) ||
                           !(kClauseStarters.contains(next) || kSubordinators.contains(next))))
            continue;
        static const Words keep = {"hard", "much", "many", "long", "not", "that", "than", "more", "less", "the"};
        if (found->words.size() == 1 && found->words[0] == "however" && keep.contains(next)) continue;
        if (found->words.size() == 1 && (next == "not" || next == "than")) continue;
        // The phrase goes on: "In addition to the fee", "Generally speaking".
        if (next == "to" || next == "of" ||
            (next.size() > 4 && next.ends_with("ing") && !next.ends_with("thing") && next != "during"))
            continue;
        // "Thus even today", "Hence from the start": these open a sentence only as its link to the
        // one before, also before a phrase that leads to the subject.
        static const Words leadIns = {"even", "from", "in", "at", "on", "after", "before", "during", "by", "since"};
        bool linkingAdverb = found->words.size() == 1 && (found->words[0] == "thus" || found->words[0] == "hence");
        if (found->beforeSubject && !thenOrNow && !kClauseStarters.contains(next) &&
            !(linkingAdverb && leadIns.contains(next)))
            continue;
        if (found->beforeSubject && (next == "that" || next == "all")) continue;  // "Also that", "Today all"
        // "As we know it, life is short": knowing takes its object first.
        bool knowing = found->words.back() == "know" || found->words.back() == "knows";
        if (knowing && (next == "it" || next == "this" || next == "them")) continue;
        t[end].text += ",";
    }
}

// Words after which a subject pronoun continues the clause instead of starting a new one:
// conjunctions, question words, prepositions, object pronouns and verbs that take a clause
// ("If you think they ...", "When I told them we ...").
bool continuesClause(const EnglishLexicon &lex, const std::string &w)
{
    static const Words words = {
        "and",        "or",         "but",        "that",      "if",        "when",     "because",   "than",
        "as",         "so",         "what",       "which",     "who",       "whom",     "where",     "how",
        "why",        "whether",    "since",      "while",     "before",    "after",    "until",     "unless",
        "though",     "although",   "once",       "whenever",  "to",        "of",       "in",        "on",
        "at",         "for",        "with",       "by",        "from",      "about",    "like",      "let",
        "then",       "not",        "only",       "just",      "also",      "even",     "me",        "him",
        "her",        "us",         "them",       "you",       "it",        "sure",     "time",      "times",
        "way",        "day",        "days",       "moment",    "year",      "years",    "reason",    "place",
        "point",      "thing",      "things",     "extent",    "one",       "ones",     "person",    "people",
        "man",        "woman",      "everything", "anything",  "something", "all",      "whatever",  "wherever",
        "whoever",    "said",       "say",        "says",      "think",     "thought",  "thinks",    "know",
        "knew",       "knows",      "believe",    "believes",  "believed",  "hope",     "hoped",     "feel",
        "felt",       "guess",      "mean",       "means",     "meant",     "wish",     "suppose",   "realize",
        "realise",    "realized",   "notice",     "noticed",   "find",      "found",    "see",       "saw",
        "hear",       "heard",      "show",       "shows",     "showed",    "tell",     "told",      "understand",
        "understood", "agree",      "decide",     "decided",   "expect",    "expected", "imagine",   "seem",
        "seems",      "assume",     "make",       "made",      "help",      "helped",   "ask",       "asked",
        "promise",    "promised",   "remember",   "forget",    "forgot",    "learn",    "learned",   "learnt",
        "discover",   "discovered", "doubt",      "prove",     "proved",    "explain",  "explained", "admit",
        "claim",      "claimed",    "argue",      "argued",    "worry",     "afraid",   "glad",      "happy",
        "sorry",      "aware",      "certain",    "convinced", "confident", "clear",    "obvious",   "true",
        "fact",       "idea",       "chance",     "possible",  "likely",    "whom",     "whose",     "until",
        "till",       "till",       "unless"};
    if (words.contains(w)) return true;
    // Inflected forms of the verbs above ("thinking", "knowing") keep the clause open too.
    if (auto base = lex.baseOfInflectedVerb(w, true); base && words.contains(*base)) return true;
    return false;
}

// Whether word v is a plain verb acting after "you": a word that can be nothing else, or one
// that may be a noun too ("give") before its object.
bool youActs(const std::vector<Token> &t, size_t v, const EnglishLexicon &lex)
{
    static const Words objects = {"it", "them", "him", "her", "me", "us", "the", "a", "an", "your", "their", "this"};
    std::string w = keyAt(t, v);
    if (v == npos || t[v].text != w || !lex.isVerb(w) || lex.isAdjective(w) || lex.baseOfInflectedVerb(w, true) ||
        continuesClause(lex, w) || kAuxiliaries.contains(w))
        return false;
    return !lex.isNoun(w) || objects.contains(keyAt(t, nextWord(t, v)));
}

// "If you want it you can ..." -> "If you want it, you can ...": an opening subordinate clause
// or prepositional phrase ends where the main clause's subject begins.
void introductoryClauses(std::vector<Token> &t, const std::vector<bool> &starts, const EnglishLexicon &lex)
{
    // Openers of a clause only: "Then until ..." or "Now whether ..." open nothing.
    static const Words clauseOnly = {"until", "whether", "wherever", "even"};
    static const Words prepositions = {"in",     "for",  "on",      "at",      "without",
                                       "during", "from", "despite", "through", "by"};
    for (size_t i = 0; i < t.size(); ++i) {
        if (!isWord(t, i)) continue;
        // "But by then we ..." opens like "By then we ...".
        if (!starts[i] && !afterConnectives(t, starts, i)) continue;
        std::string opener = key(t[i]);
        bool clause = kSubordinators.contains(opener) || clauseOnly.contains(opener);
        if (!clause && !prepositions.contains(opener)) continue;
        if (opener == "at" && keyAt(t, nextWord(t, i)) == "least") continue;  // "At least we tried"
        // A prepositional phrase is short; a clause may run longer.
        size_t limit = clause ? 14 : 5;
        // Exactly one place where a subject may begin: "If we have a job we like we will ..."
        // has two, and a relative clause without "that" cannot be told from the main clause.
        size_t prev = i;
        size_t at = npos;
        int candidates = 0;
        size_t k = nextWord(t, i);
        for (size_t words = 1; k != npos && words <= limit; ++words, prev = k, k = nextWord(t, k)) {
            if (t[prev].text.back() == ',') break;
            // A noun subject after a verb or conjunction is that word's object or clause ("knows
            // the advert is"), not a rival start; nor is "this" before a pronoun ("avoiding this it").
            bool nounSubject = determinerSubjectWithVerb(t, k, lex) && !continuesClause(lex, keyAt(t, prev)) &&
                               !kSubjectPronouns.contains(keyAt(t, nextWord(t, k)));
            // "If you want a product you give it": "you" before a plain verb and its object, where
            // no word between could take a clause ("When you tell someone you love them").
            bool youAct = clause && keyAt(t, k) == "you" && youActs(t, nextWord(t, k), lex);
            for (size_t j = nextWord(t, nextWord(t, i)); youAct && j != npos && j < k; j = nextWord(t, j))
                youAct = !continuesClause(lex, keyAt(t, j));
            if (words < (clause ? 3U : 2U) || !(opensClause(t, k) || nounSubject || youAct)) continue;
            ++candidates;
            // After an auxiliary the pronoun is its inverted subject ("are we really").
            at = continuesClause(lex, keyAt(t, prev)) || kAuxiliaries.contains(keyAt(t, prev)) ? npos : prev;
            // "on time", "like that", "by then": set phrases that close, not words a clause may hang on.
            std::string before = keyAt(t, prevWord(t, prev));
            if ((keyAt(t, prev) == "time" && (before == "on" || before == "in" || before == "some")) ||
                (keyAt(t, prev) == "that" && before == "like") ||
                (keyAt(t, prev) == "then" && (before == "by" || before == "until" || before == "since")))
                at = prev;
            // "As a young person you can": a role the subject takes, not a person it qualifies.
            std::string article = keyAt(t, nextWord(t, i));
            if (opener == "as" && (article == "a" || article == "an") && kSubjectPronouns.contains(keyAt(t, k)) &&
                lex.isNoun(keyAt(t, prev)))
                at = prev;
            // An object pronoun ends a clause whose verb takes no clause of its own ("to do it he
            // would"), unlike "told them we" or "saw it he".
            static const Words objects = {"it", "them", "him", "me", "us"};
            if (size_t pp = prevWord(t, prev); objects.contains(keyAt(t, prev)) && pp != npos &&
                                               lex.isVerb(keyAt(t, pp)) && !continuesClause(lex, keyAt(t, pp)))
                at = prev;
        }
        // A comma the writer put further on marks where they end the opening clause ("If we
        // have a job we like, we ...").
        // Words from the opener on, which a comma of the writer's must fall within.
        size_t span = 0;
        for (size_t j = i; j < at && at != npos; ++j) span += isWord(t, j);
        for (size_t j = at; candidates == 1 && j < t.size(); ++j) {
            if (j > at && isWord(t, j) && (key(t[j]) == "but" || ++span > limit)) break;
            if (t[j].kind != Kind::punct) continue;
            if (t[j].text == "." || t[j].text == "!" || t[j].text == "?") break;
            // Past ", but" the opening clause has long been closed.
            static const Words joins = {"but", "and", "so", "or", "yet"};
            if (t[j].text == "," && joins.contains(keyAt(t, nextWord(t, j)))) break;
            // The comma closing an aside ("a mountain, for example, that") ends no opening clause.
            if (t[j].text == "," && j > 0 && (keyAt(t, j - 1) == "example" || keyAt(t, j - 1) == "instance")) continue;
            // The writer's own comma before a clause's start ends it there ("a job we like, we").
            if (t[j].text == "," && kClauseStarters.contains(keyAt(t, nextWord(t, j)))) {
                at = npos;
                break;
            }
        }
        if (candidates == 1 && at != npos) t[at].text += ",";
    }
}

// Whether "not only" comes before word i in its sentence.
bool afterNotOnly(const std::vector<Token> &t, const std::vector<bool> &starts, size_t i)
{
    for (size_t k = i; k-- > 0;) {
        if (isWord(t, k) && key(t[k]) == "only" && keyAt(t, prevWord(t, k)) == "not") return true;
        if (starts[k]) break;
    }
    return false;
}

// "sorry to go on like this but right now I", "a cure but with prevention now": "but" before a
// word that turns the sentence ("now", "even if", "imagine") joins a second thought to a whole
// one. Not "but for" (except), nor "not in A but in B", where one thought is set against another,
// nor between two adjectives ("cheap but in good shape").
bool turnsAfterBut(const std::vector<Token> &t, const std::vector<bool> &starts, size_t i, const EnglishLexicon &lex)
{
    static const Words turns = {"imagine", "even",          "right",    "no",      "whatever", "now", "then",
                                "still",   "when",          "if",       "because", "after",    "in",  "with",
                                "instead", "unfortunately", "sometimes"};
    static const Words contrasts = {"in", "with", "instead"};
    static const Words negations = {"not", "no", "never", "nor"};
    size_t p = prevWord(t, i), n = nextWord(t, i);
    std::string before = keyAt(t, p), next = keyAt(t, n);
    if (!turns.contains(next) || afterNotOnly(t, starts, i) || before.ends_with("ly")) return false;
    // After an adjective, "but still", "but even" joins a second description ("rusty but still usable").
    static const Words clauses = {"imagine",  "if",  "when", "because",       "after",
                                  "whatever", "now", "then", "unfortunately", "sometimes"};
    if (lex.isAdjective(before) && !clauses.contains(next)) return false;
    if (contrasts.contains(next))
        for (size_t k = i; k-- > 0 && !starts[k];)
            if (isWord(t, k) && (negations.contains(key(t[k])) || key(t[k]).ends_with("n't"))) return false;
    return true;
}

// "I like it but they don't" -> "I like it, but they don't": "but" or "so" between two clauses,
// each with its subject.
void clauseConjunctions(std::vector<Token> &t, const std::vector<bool> &starts, const EnglishLexicon &lex)
{
    static const Words notClause = {"nothing", "anything", "all",  "everyone", "everything", "nobody", "none",
                                    "last",    "not",      "only", "and",      "or",         "even",   "just"};
    size_t sinceStart = 0;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i].kind != Kind::word) continue;
        if (starts[i]) sinceStart = 0;
        ++sinceStart;
        std::string w = keyAt(t, i);
        if ((w != "but" && w != "so") || sinceStart < (w == "but" ? 3U : 5U)) continue;
        size_t p = prevWord(t, i);
        size_t n = nextWord(t, i);
        if (p == npos || n == npos || notClause.contains(keyAt(t, p)) || t[p].text.back() == ',') continue;
        // "so" before a noun's clause may mean "so that" ("set it up so the team can reach it"),
        // and "but" may close "not only ...".
        if (!opensClause(t, n) && !(w == "but" && determinerSubject(t, n) && !afterNotOnly(t, starts, i)) &&
            !(w == "but" && turnsAfterBut(t, starts, i, lex)))
            continue;
        if (w == "so" && keyAt(t, nextWord(t, n)) == "that") continue;
        t[p].text += ",";
    }
}

// "I like fruit especially apples" -> "I like fruit, especially apples": "especially" adding a
// narrower case after a finished phrase. Not after a verb or an adverb it qualifies ("is
// especially good", "I especially like").
void especially(std::vector<Token> &t, const EnglishLexicon &lex)
{
    static const Words narrows = {"when", "if", "in",   "for",   "because", "since", "during", "after", "before",
                                  "on",   "at", "with", "among", "the",     "those", "these",  "as",    "where"};
    for (size_t i = 0; i < t.size(); ++i) {
        if (!isWord(t, i) || key(t[i]) != "especially") continue;
        size_t p = prevWord(t, i), n = nextWord(t, i);
        if (p == npos || n == npos || t[p].text.back() == ',' || !narrows.contains(keyAt(t, n))) continue;
        std::string before = keyAt(t, p);
        // A noun that is also a verb may be the verb ("Note especially the following").
        bool phraseEnds =
            (lex.isAdjective(before) || ((lex.isNoun(before) || lex.isPluralNoun(before)) && !lex.isVerb(before) &&
                                         !lex.baseOfInflectedVerb(before, true))) &&
            !kAuxiliaries.contains(before) && !before.ends_with("ly");
        static const Words pronouns = {"it", "them", "me", "him", "her", "us", "you", "this", "that", "others"};
        if (!phraseEnds && !pronouns.contains(before)) continue;
        t[p].text += ",";
    }
}

// "I believe, that the quality ...", "I think, this is ...": a verb of thinking after its
// subject takes its clause without a comma. Not before an aside ("I think, however, that"),
// nor "that" standing for a thing ("I know, that is why").
void commaAfterThinking(std::vector<Token> &t)
{
    static const Words subjects = {"i", "we", "they", "you", "he", "she"};
    static const Words thinking = {"think",    "believe", "feel",  "hope",    "guess",    "suppose", "thought",
                                   "believed", "felt",    "hoped", "guessed", "supposed", "thinks",  "believes",
                                   "feels",    "hopes",   "agree", "agreed",  "agrees"};
    static const Words clauses = {"that", "i", "we", "they", "you", "he", "she", "it", "there", "this", "people"};
    for (size_t i = 0; i + 3 < t.size(); ++i) {
        if (!isWord(t, i) || !thinking.contains(keyAt(t, i))) continue;
        size_t p = prevWord(t, i);
        if (p == npos || p + 2 != i || !subjects.contains(keyAt(t, p))) continue;
        if (t[i + 1].kind != Kind::punct || t[i + 1].text != "," || t[i + 2].text != " " || !isWord(t, i + 3)) continue;
        std::string next = keyAt(t, i + 3);
        if (!clauses.contains(next)) continue;
        std::string after = keyAt(t, nextWord(t, i + 3));
        // "that is why", "that's all": a pronoun for what was said, after a comma of its own.
        if (next == "that" && (kAuxiliaries.contains(after) || after == "that's" || after == "was")) continue;
        // Another comma further on closes an aside ("I think, they say, that").
        bool aside = false;
        for (size_t k = i + 3; k < t.size() && !aside; ++k) {
            if (t[k].kind != Kind::punct) continue;
            if (t[k].text == "." || t[k].text == "!" || t[k].text == "?") break;
            aside = t[k].text == "," && k <= i + 8;
        }
        if (aside) continue;
        t[i + 1].text.clear();
    }
}

// "we went to Kyoto which is", "translated into English which he": a name is one of a kind, so
// what "which" or "who" adds about it is an aside. Not a group ("Muslims who believe") nor a
// name a verb asks about ("ask Mary which one").
void beforeAsideOnName(std::vector<Token> &t, const std::vector<bool> &starts, const EnglishLexicon &lex)
{
    static const Words leads = {"to", "in",  "of",   "from", "at", "into",   "with",
                                "by", "for", "near", "was",  "is", "visited"};
    for (size_t i = 0; i < t.size(); ++i) {
        if (!isWord(t, i) || (key(t[i]) != "which" && key(t[i]) != "who")) continue;
        size_t p = prevWord(t, i), n = nextWord(t, i);
        if (p == npos || n == npos || starts[p] || !leads.contains(keyAt(t, prevWord(t, p)))) continue;
        const std::string &name = t[p].text;
        std::string lower = keyAt(t, p);
        if (!startsUpper(name) || allUpper(name) || hasInnerUpper(name) || !isAsciiWord(name) ||
            lex.isPluralNoun(lower) || name.back() == ',')
            continue;
        static const Words pronounUses = {"one", "ones", "way", "kind", "side", "of"};
        if (pronounUses.contains(keyAt(t, n))) continue;
        t[p].text += ",";
    }
}

// "The more you read the better you write" -> "The more you read, the better you write": the two
// halves of a paired comparison, each with its subject. Not "the bigger the better", too short to
// need one, nor "the older houses are the better ones", one clause.
void pairedComparatives(std::vector<Token> &t, const std::vector<bool> &starts)
{
    static const Words comparatives = {
        "more",    "less",    "fewer",    "better",  "worse",   "sooner",  "later",   "longer",  "faster",
        "earlier", "bigger",  "smaller",  "higher",  "lower",   "harder",  "easier",  "older",   "younger",
        "richer",  "greater", "stronger", "happier", "cheaper", "larger",  "deeper",  "closer",  "quicker",
        "louder",  "wider",   "heavier",  "simpler", "safer",   "further", "farther", "shorter", "slower"};
    auto opensHalf = [&](size_t k) {
        if (k >= t.size() || (t[k].text != "the" && t[k].text != "The") || !isWord(t, k)) return false;
        size_t n = nextWord(t, k);
        return n != npos && comparatives.contains(t[n].text);
    };
    for (size_t i = 0; i < t.size(); ++i) {
        if (!opensHalf(i)) continue;
        static const Words subjects = {"i", "you", "we", "they", "he", "she", "it", "people", "one"};
        size_t words = 0;
        bool subject = false;
        for (size_t k = nextWord(t, nextWord(t, i)); k != npos; k = nextWord(t, k)) {
            // Words follow one another only across a plain space: any mark ends the look.
            size_t p = prevWord(t, k);
            if (t[p].text.back() == ',' || starts[k]) break;
            if (opensHalf(k)) {
                // The second half ends there, or goes on with its own subject.
                size_t c = nextWord(t, k), after = nextWord(t, c);
                bool ends = after == npos || after != c + 2 || starts[after];
                bool ownSubject =
                    !ends && (subjects.contains(keyAt(t, after)) || subjects.contains(keyAt(t, nextWord(t, after))));
                if (words >= 2 && subject && (ends || ownSubject)) t[p].text += ",";
                break;
            }
            subject |= subjects.contains(keyAt(t, k));
            ++words;
        }
    }
}
}  // namespace

// "found them in Europe for example." -> "found them in Europe, for example.": "for example" and
// "for instance" set inside a sentence are an aside. Only after a noun or a pronoun that ends a
// phrase, and where the aside ends the sentence or a clause follows it; "look for example code"
// is no aside.
void forExampleAside(std::vector<Token> &t, const std::vector<bool> &starts, const EnglishLexicon &lex)
{
    static const Words clauseOpeners = {"the",  "a",    "an",   "i",      "we",   "you",  "they",  "he",    "she",
                                        "it",   "if",   "when", "in",     "this", "that", "these", "those", "there",
                                        "some", "many", "most", "people", "my",   "our",  "their"};
    for (size_t i = 0; i < t.size(); ++i) {
        if (!isWord(t, i) || key(t[i]) != "for" || starts[i]) continue;
        size_t p = prevWord(t, i), e = nextWord(t, i);
        if (p == npos || e == npos || t[p].text.empty() || t[e].text.empty()) continue;
        std::string aside = lower(t[e].text);
        // An opening-phrase rule may have set the comma after it already ("case for example, the").
        bool closed = aside.ends_with(',');
        if (closed) aside.pop_back();
        if (aside != "example" && aside != "instance") continue;
        if (t[p].text.back() == ',' || !startsLower(t[e].text)) continue;
        std::string before = keyAt(t, p);
        bool phraseEnds = ((lex.isNoun(before) || lex.isPluralNoun(before)) && !kAuxiliaries.contains(before)) ||
                          before == "it" || before == "them" || before == "this" || before == "that";
        static const Words joins = {"so",   "and",    "but", "or",   "as",  "used", "use",  "useful", "good", "need",
                                    "look", "search", "ask", "wait", "pay", "call", "room", "place",  "space"};
        if (!phraseEnds || joins.contains(before) || lex.isAdjective(before)) continue;
        size_t n = closed ? (e + 2 < t.size() && t[e + 1].kind == Kind::space && isWord(t, e + 2) ? e + 2 : npos)
                          : nextWord(t, e);
        bool ends = !closed && n == npos && e + 1 < t.size() && t[e + 1].kind == Kind::punct &&
                    (t[e + 1].text == "." || t[e + 1].text == "," || t[e + 1].text == ";" || t[e + 1].text == "!");
        bool clause = n != npos && (clauseOpeners.contains(keyAt(t, n)) || kAuxiliaries.contains(keyAt(t, n)));
        if (!ends && !clause) continue;
        t[p].text += ",";
        if (clause && !closed) t[e].text += ",";
    }
}

// "The price however was high" -> "The price, however, was high": "however" set between a
// subject and its verb is an aside. Not "however hard" (to whatever degree), nor where a comma
// already stands on either side.
void howeverAside(std::vector<Token> &t, const std::vector<bool> &starts, const EnglishLexicon &lex)
{
    for (size_t i = 2; i < t.size(); ++i) {
        if (!isWord(t, i) || t[i].text != "however" || starts[i]) continue;
        size_t p = prevWord(t, i), v = nextWord(t, i);
        if (p == npos || v == npos || p + 2 != i || v != i + 2 || t[p].text.back() == ',') continue;
        std::string subject = key(t[p]), verb = keyAt(t, v);
        bool named = kSubjectPronouns.contains(subject) || lex.isNoun(subject) || lex.isPluralNoun(subject);
        bool acts = kModals.contains(verb) || kAuxiliaries.contains(verb) ||
                    (lex.baseOfInflectedVerb(verb, true) && !lex.isNoun(verb) &&
                     (verb.ends_with("ed") || !lex.isAdjective(verb)));
        static const Words joining = {"and", "or", "but", "that", "if", "when", "because", "than", "as", "so"};
        if (!named || !acts || joining.contains(subject) || kDeterminers.contains(subject)) continue;
        t[p].text += ",";
        t[i].text += ",";
    }
}

// "convenient, but, if teachers care" -> "convenient, but if teachers care": "but" joining a
// clause takes no comma of its own before the clause's opening word.
void commaAfterBut(std::vector<Token> &t)
{
    for (size_t i = 2; i + 2 < t.size(); ++i) {
        if (!isWord(t, i) || t[i].text != "but" || t[i + 1].text != "," || t[i - 1].text != " " || t[i - 2].text != ",")
            continue;
        size_t n = i + 3;  // past the comma and its space
        if (t[i + 2].text != " " || !isWord(t, n) || t[n].text != keyAt(t, n)) continue;
        std::string next = keyAt(t, n);
        if (!kSubordinators.contains(next) && !kSubjectPronouns.contains(next)) continue;
        // ", but, I think, ..." sets off an aside that closes with a comma of its own.
        bool aside = false;
        for (size_t k = n; k < t.size() && !aside; ++k) {
            if (t[k].kind == Kind::punct && t[k].text != ",") break;
            aside = t[k].text == "," || t[k].text.ends_with(',');
        }
        if (aside && !kSubordinators.contains(next)) continue;
        t[i + 1].text.clear();
    }
}

void applyEnglishCommas(std::vector<Token> &t, const EnglishLexicon &lex)
{
    auto starts = sentenceStarts(t);
    commaAfterThinking(t);
    commaAfterBut(t);
    introductoryWords(t, starts);
    introductoryClauses(t, starts, lex);
    howeverAside(t, starts, lex);
    clauseConjunctions(t, starts, lex);
    especially(t, lex);
    forExampleAside(t, starts, lex);
    beforeAsideOnName(t, starts, lex);
    pairedComparatives(t, starts);
}

}  // namespace quillo::cloud
