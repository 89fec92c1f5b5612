#include "EnglishNumber.h"

#include "EnglishLexicon.h"
#include "EnglishWords.h"

#include <cstring>
#include <map>

namespace quillo::cloud {

namespace {

using namespace english;

// Replaces word i, keeping its capital and the text's apostrophe style.
void put(std::vector<Token> &t, size_t i, std::string word)
{
    if (allUpper(t[i].text) && t[i].text.size() > 1) return;  // shouting is the writer's own
    if (t[i].text.find("\xE2\x80\x99") != std::string::npos) replaceAll(word, "'", "\xE2\x80\x99");
    if (startsUpper(t[i].text)) word = capitalized(word);
    t[i].text = word;
}

// Where a clause, and so its subject, begins: a sentence start, a comma, a subordinating
// conjunction.
bool opensSubject(const std::vector<Token> &t, const std::vector<bool> &starts, size_t i)
{
    if (starts[i]) return true;
    if (i >= 2 && t[i - 1].kind == Kind::space && t[i - 2].kind == Kind::punct &&
        (t[i - 2].text == "," || t[i - 2].text == ";"))
        return true;
    static const Words conjunctions = {"because", "if",      "when",   "although", "though",
                                       "while",   "whereas", "unless", "once",     "that"};
    size_t p = prevWord(t, i);
    if (p == npos) return false;
    std::string before = keyAt(t, p);
    // "And", "But", "So" opening the sentence.
    if (starts[p] && (before == "and" || before == "but" || before == "so")) return true;
    return conjunctions.contains(before);
}

// A plural noun that is never read as a singular, a measure or a title.
bool pluralSubject(const std::vector<Token> &t, const EnglishLexicon &lex, size_t i, bool opening)
{
    std::string w = keyAt(t, i);
    // A capital marks a name ("The Beatles", "Wales is"), even where a sentence opens.
    static const Words people = {"people", "children", "men", "women"};
    if (people.contains(w)) return t[i].text == w || (opening && t[i].text == capitalized(w));
    if (t[i].text != w) return false;
    // Plurals read as one thing: fields ("statistics"), loans ("data", "media"), measures ("ten
    // years is long").
    static const Words asOne = {"data",       "media",  "agenda",  "years",        "days",   "hours",   "minutes",
                                "weeks",      "months", "seconds", "miles",        "meters", "metres",  "dollars",
                                "euros",      "pounds", "cents",   "inches",       "feet",   "yards",   "kilometers",
                                "kilometres", "times",  "thanks",  "headquarters", "odds",   "customs", "savings"};
    static const Words games = {"darts", "checkers", "billiards", "dominoes", "bowls", "draughts", "cards"};
    if (asOne.contains(w) || games.contains(w) || w.ends_with("ics") || w.size() < 4) return false;
    if (!lex.isPluralNoun(w)) return false;
    // WordNet lists some plurals as lemmas of their own ("details", "glasses"); they count when
    // their singular is a noun too.
    if (!lex.isNoun(w)) return true;
    if (w.ends_with("ies") && lex.isNoun(w.substr(0, w.size() - 3) + "y")) return true;
    if (w.ends_with("es") && lex.isNoun(w.substr(0, w.size() - 2))) return true;
    return w.ends_with('s') && !w.ends_with("ss") && lex.isNoun(w.substr(0, w.size() - 1));
}

void pluralSubjects(std::vector<Token> &t, const std::vector<bool> &starts, const EnglishLexicon &lex)
{
    static const Words determiners = {"the",  "these", "those", "my",      "your", "our",   "their",
                                      "many", "some",  "both",  "several", "most", "other", "all"};
    static const std::map<std::string, std::string> plural = {
        {"is", "are"},         {"was", "were"},       {"has", "have"},     {"isn't", "aren't"},
        {"wasn't", "weren't"}, {"hasn't", "haven't"}, {"doesn't", "don't"}};
    for (size_t i = 0; i < t.size(); ++i) {
        if (!isWord(t, i) || !opensSubject(t, starts, i)) continue;
        size_t noun = i;
        if (determiners.contains(keyAt(t, noun))) noun = nextWord(t, noun);
        if (noun == npos) continue;
        // One adjective before the noun ("endangered animals", "young people").
        size_t after = nextWord(t, noun);
        std::string word = keyAt(t, noun);
        static const Words singular = {"each", "every", "a",    "an",     "one",     "this",   "that", "another",
                                       "any",  "no",    "much", "either", "neither", "little", "less"};
        if (singular.contains(word)) continue;
        bool adjective =
            after != npos && lex.isAdjective(word) && !lex.isPluralNoun(word) && !determiners.contains(word);
        if (adjective) noun = after;
        size_t verb = nextWord(t, noun);
        if (verb == npos || !pluralSubject(t, lex, noun, noun == i && starts[i])) continue;
        // An "-s" word may be a verb whose subject came before: "all that matters is", "that
        // the public wants is". Only a sentence opens with a bare plural that is also a verb
        // ("Details is ...").
        std::string head = keyAt(t, noun);
        bool verbForm = head.ends_with('s') && (lex.isVerb(head) || lex.baseOfInflectedVerb(head, false).has_value());
        size_t p = prevWord(t, i);
        static const Words linking = {"and", "but", "so"};
        bool sentenceStart = starts[i] || (p != npos && starts[p] && linking.contains(keyAt(t, p)));
        // A sentence the writer opened in lower case may be a fragment of a longer one ("...
        // the list of\nentries is").
        size_t first = starts[i] ? i : p;
        if (sentenceStart && !startsUpper(t[first].text)) continue;
        if (verbForm && ((adjective && lex.isNoun(word)) || (noun == i && !sentenceStart))) continue;
        auto f = plural.find(keyAt(t, verb));
        if (f == plural.end()) continue;
        // "is" asked of the subject ("Where my keys is?") is rare; a question mark leaves it.
        put(t, verb, f->second);
    }
}

// "they needs", "we says", "I thinks": a plural or first-person pronoun opening a clause takes
// the plain verb. Not a noun beside the pronoun ("we kids love", "you guys want"), nor a word
// that is no verb's "-s" form.
void pronounVerbs(std::vector<Token> &t, const std::vector<bool> &starts, const EnglishLexicon &lex)
{
    static const Words pronouns = {"they", "we", "you", "i"};
    static const Words elsewhere = {"is", "was", "has", "does", "doesn't", "isn't", "wasn't", "hasn't"};
    for (size_t i = 0; i < t.size(); ++i) {
        if (!isWord(t, i) || !pronouns.contains(keyAt(t, i)) || t[i].text == "i" || !opensSubject(t, starts, i))
            continue;
        size_t n = nextWord(t, i);
        if (n != npos && frequencyAdverb(keyAt(t, n))) n = nextWord(t, n);
        if (n == npos || t[n].text != keyAt(t, n)) continue;
        std::string v = keyAt(t, n);
        if (v.size() < 4 || !v.ends_with('s') || v.ends_with("ss") || elsewhere.contains(v)) continue;
        // The stem whose regular "-s" form is the word ("hopes" is "hope", not "hop").
        auto sForm = [](const std::string &stem) {
            if (stem.size() > 1 && stem.back() == 'y' && !std::strchr("aeiou", stem[stem.size() - 2]))
                return stem.substr(0, stem.size() - 1) + "ies";
            bool sibilant = stem.ends_with('s') || stem.ends_with("sh") || stem.ends_with("ch") ||
                            stem.ends_with('x') || stem.ends_with('z') || stem.ends_with('o');
            return stem + (sibilant ? "es" : "s");
        };
        std::string base;
        for (const std::string &stem :
             {v.ends_with("ies") ? v.substr(0, v.size() - 3) + "y" : std::string(),
              v.ends_with("es") ? v.substr(0, v.size() - 2) : std::string(), v.substr(0, v.size() - 1)})
            if (base.empty() && !stem.empty() && lex.isVerb(stem) && sForm(stem) == v) base = stem;
        if (base.empty() || lex.isPersonNoun(base)) continue;
        // A plural noun beside the pronoun has its verb next: "we kids love it".
        size_t after = nextWord(t, n);
        std::string follow = keyAt(t, after);
        static const Words verbs = {"are", "were", "have", "do", "can", "will", "would", "should", "must", "may"};
        if (lex.isNoun(base) &&
            (verbs.contains(follow) || (after != npos && lex.isVerb(follow) && !lex.isNoun(follow))))
            continue;
        put(t, n, base);
    }
}

void doubleDeterminers(std::vector<Token> &t)
{
    static const Words fixing = {"these", "those", "this", "my", "your", "our", "their", "another"};
    for (size_t i = 0; i < t.size(); ++i) {
        if (!isWord(t, i)) continue;
        std::string w = keyAt(t, i);
        if (w != "the" && w != "a" && w != "an") continue;
        size_t n = nextWord(t, i);
        // A capital after the article marks a title ("The This Old House show").
        if (n == npos || t[n].text != keyAt(t, n) || !fixing.contains(t[n].text)) continue;
        if (startsUpper(t[i].text)) t[n].text = capitalized(t[n].text);
        t[i].text.clear();
        t[i + 1].text.clear();
    }
}

// "every details", "each students": these determiners count one at a time. A number between
// ("every two weeks") or a plural that is a noun of its own ("each means") is left.
void eachAndEvery(std::vector<Token> &t, const EnglishLexicon &lex)
{
    for (size_t i = 0; i < t.size(); ++i) {
        if (!isWord(t, i)) continue;
        std::string w = keyAt(t, i);
        if (w != "each" && w != "every") continue;
        size_t n = nextWord(t, i);
        if (n == npos || t[n].text != keyAt(t, n)) continue;
        std::string noun = t[n].text;
        if (!lex.isPluralNoun(noun) || noun.ends_with("ics")) continue;
        // "each" after a plural ("they cost a pound each") may close its clause; "each others"
        // is the pronoun.
        if (noun == "others" || noun == "ones") continue;
        // WordNet lists some plurals as lemmas of their own ("details"); their singular must
        // be a noun too ("detail").
        std::string single;
        if (auto base = lex.nounBase(noun); base && *base != noun) single = *base;
        else if (noun.ends_with("ies") && lex.isNoun(noun.substr(0, noun.size() - 3) + "y"))
            single = noun.substr(0, noun.size() - 3) + "y";
        else if (noun.ends_with('s') && lex.isNoun(noun.substr(0, noun.size() - 1)))
            single = noun.substr(0, noun.size() - 1);
        else if (noun.ends_with("es") && lex.isNoun(noun.substr(0, noun.size() - 2)))
            single = noun.substr(0, noun.size() - 2);
        if (single.empty() || !lex.isNoun(single)) continue;
        t[n].text = single;
    }
}

// "a lot of scientist" -> "a lot of scientists": many of a kind of person. Only nouns whose
// usual sense is a person, which always count; "a lot of work" or "lots of paper" may not.
void manyPeople(std::vector<Token> &t, const EnglishLexicon &lex)
{
    static const std::map<std::string, std::string> irregular = {
        {"person", "people"}, {"man", "men"}, {"woman", "women"}, {"child", "children"}};
    for (size_t i = 0; i < t.size(); ++i) {
        if (!isWord(t, i) || t[i].text != "of") continue;
        size_t p = prevWord(t, i);
        std::string before = keyAt(t, p);
        size_t pp = p == npos ? npos : prevWord(t, p);
        bool aLot = before == "lot" && keyAt(t, pp) == "a";
        if (!aLot && before != "lots" && before != "plenty") continue;
        size_t n = nextWord(t, i);
        if (n == npos || t[n].text != keyAt(t, n)) continue;
        std::string noun = t[n].text;
        if (!lex.isPersonNoun(noun) || lex.isPluralNoun(noun) || lex.isAdjective(noun)) continue;
        // "a lot of teacher training": the noun qualifies the next one.
        // WordNet lists some function words as nouns too ("are" the unit, "here" the place).
        static const Words notNouns = {"here",  "there", "now",  "today", "tonight", "yesterday", "who",    "that",
                                       "which", "are",   "were", "is",    "was",     "have",      "has",    "had",
                                       "do",    "did",   "will", "can",   "would",   "could",     "should", "may",
                                       "might", "must",  "too",  "also",  "all",     "in",        "on",     "at",
                                       "as",    "like",  "from", "with",  "and",     "or",        "but",    "so"};
        size_t after = nextWord(t, n);
        std::string next = keyAt(t, after);
        if (after != npos && !notNouns.contains(next) && (lex.isNoun(next) || lex.isPluralNoun(next)) &&
            !lex.isVerb(next) && !lex.baseOfInflectedVerb(next, true) && !lex.verbBase(next))
            continue;
        std::string plural;
        if (auto f = irregular.find(noun); f != irregular.end()) plural = f->second;
        else if (noun.ends_with('y') && noun.size() > 2 && !std::strchr("aeiou", noun[noun.size() - 2]))
            plural = noun.substr(0, noun.size() - 1) + "ies";
        else if (noun.ends_with("s") || noun.ends_with("sh") || noun.ends_with("ch") || noun.ends_with('x'))
            plural = noun + "es";
        else plural = noun + "s";
        if (!lex.isPluralNoun(plural) || lex.nounBase(plural).value_or(noun) != noun) continue;
        t[n].text = plural;
    }
}

}  // namespace

void applyEnglishNumber(std::vector<Token> &t, const EnglishLexicon &lex)
{
    auto starts = sentenceStarts(t);
    eachAndEvery(t, lex);
    manyPeople(t, lex);
    pluralSubjects(t, starts, lex);
    pronounVerbs(t, starts, lex);
    doubleDeterminers(t);
}

}  // namespace quillo::cloud
