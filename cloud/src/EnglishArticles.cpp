#include "EnglishArticles.h"

#include "EnglishGrammarRules.h"
#include "EnglishLexicon.h"
#include "EnglishWords.h"

namespace quillo::cloud {

namespace {

using namespace english;

// "most" + adjective + singular noun after a form of "be" or "one of" names one thing of a
// kind, which "the" marks. Without a noun ("is most kind") "most" may mean "very", and a
// plural ("most big cities") reads as "the majority of".
void superlatives(std::vector<Token> &t, const EnglishLexicon &lex)
{
    static const Words be = {"is", "was", "are", "were", "be", "been", "being"};
    for (size_t i = 0; i < t.size(); ++i) {
        if (!isWord(t, i) || t[i].text != "most") continue;
        size_t p = prevWord(t, i);
        if (p == npos) continue;
        std::string before = keyAt(t, p);
        size_t pp = prevWord(t, p);
        bool oneOf = before == "of" && pp != npos && keyAt(t, pp) == "one";
        if (!be.contains(before) && !oneOf) continue;
        size_t adjective = nextWord(t, i);
        size_t noun = adjective == npos ? npos : nextWord(t, adjective);
        if (noun == npos) continue;
        std::string a = keyAt(t, adjective), n = keyAt(t, noun);
        if (t[adjective].text != a || t[noun].text != n) continue;
        if (!lex.isAdjective(a) || lex.isNoun(a) || lex.isVerb(a) || a.ends_with("ly")) continue;
        // A noun that is also a verb is still the noun here: a verb cannot follow "is most
        // beautiful".
        bool singular = lex.isNoun(n) && !lex.isPluralNoun(n) && !lex.isAdjective(n);
        // "one of most famous" names one of many: the noun after it is plural.
        bool plural = oneOf && lex.isPluralNoun(n);
        if (!singular && !plural) continue;
        t[i].text = "the most";
    }
}

// "spent lot of time", "there will be lot of members": "lot of" right after a verb or a
// preposition lacks its "a". After anything else "lot" may be a lot of land or goods ("the
// parking lot of the mall", "lot of ten coins").
void aLotOf(std::vector<Token> &t)
{
    static const Words before = {
        "be",      "is",    "are",   "was",     "were",   "been",   "have",    "has",      "had",    "get",
        "got",     "gets",  "take",  "took",    "takes",  "make",   "made",    "makes",    "need",   "needs",
        "spend",   "spent", "save",  "saves",   "saved",  "waste",  "lose",    "lost",     "earn",   "gave",
        "give",    "gives", "learn", "learned", "learnt", "see",    "saw",     "seen",     "with",   "of",
        "for",     "in",    "to",    "by",      "about",  "from",   "and",     "or",       "but",    "than",
        "there's", "it's",  "want",  "wants",   "bring",  "brings", "brought", "requires", "require"};
    for (size_t i = 0; i < t.size(); ++i) {
        if (!isWord(t, i) || t[i].text != "lot" || keyAt(t, nextWord(t, i)) != "of") continue;
        size_t p = prevWord(t, i);
        if (p == npos || t[p].text != keyAt(t, p) || !before.contains(t[p].text)) continue;
        t[i].text = "a lot";
    }
}

// "make a products", "cause a slow movements": "a" or "an" before a plain plural noun that
// ends its phrase goes. A plural that qualifies the next noun ("a sports car", "a savings
// account") or counts as one ("a means", "a few", "a lot") stays, and so does "a" before an
// adjective and a noun ("a great many").
void articleBeforePlural(std::vector<Token> &t, const EnglishLexicon &lex)
{
    for (size_t i = 0; i < t.size(); ++i) {
        if (!isWord(t, i) || (t[i].text != "a" && t[i].text != "an")) continue;
        size_t n = nextWord(t, i);
        if (n == npos) continue;
        size_t noun = n;
        std::string word = keyAt(t, noun);
        // One plain adjective between ("a slow movements").
        if (t[noun].text == word && lex.isAdjective(word) && !lex.isNoun(word) && word != "great" && word != "good" &&
            word != "few")
            noun = nextWord(t, noun);
        if (noun == npos) continue;
        word = keyAt(t, noun);
        if (t[noun].text != word || word.size() < 4 || !word.ends_with('s') || !lex.isPluralNoun(word) ||
            lex.isNoun(word) || lex.isVerb(word) || lex.isAdjective(word))
            continue;
        size_t after = nextWord(t, noun);
        std::string next = keyAt(t, after);
        // WordNet lists "in" and "on" as nouns too; before them the phrase has ended.
        static const Words phraseEnds = {"in",  "on", "at",  "to",   "for",   "of",  "with", "from", "by", "about",
                                         "and", "or", "but", "that", "which", "who", "than", "as",   "due"};
        if (after != npos && !phraseEnds.contains(next) &&
            (lex.isNoun(next) || lex.isPluralNoun(next) || lex.isAdjective(next)))
            continue;
        if (after == npos && noun + 1 < t.size() && t[noun + 1].kind != Kind::punct) continue;
        // "He is an experts": one person is one of them.
        static const Words singularBe = {"is", "was", "am", "becomes", "became"};
        std::string singular =
            word.ends_with("ies") ? word.substr(0, word.size() - 3) + "y" : word.substr(0, word.size() - 1);
        if (singularBe.contains(keyAt(t, prevWord(t, i))) && lex.isNoun(singular)) {
            t[noun].text = singular;
            continue;
        }
        t[i].text.clear();
        t[i + 1].text.clear();
    }
}

// "all over world", "on internet", "protect environment", "in past": nouns there is one of,
// which take "the" after a preposition or a verb acting on them. Not before another noun they
// qualify ("world war", "internet access", "in past years"), nor "in future", which British
// writers use.
void uniqueThings(std::vector<Token> &t, const EnglishLexicon &lex)
{
    static const Words things = {"world", "internet", "environment", "sun", "moon", "universe", "past"};
    static const Words before = {"in",   "on",         "of",      "to",   "for",     "from",    "around",
                                 "over", "across",     "about",   "into", "through", "with",    "at",
                                 "by",   "throughout", "protect", "save", "destroy", "pollute", "damage",
                                 "harm", "explore",    "use",     "uses", "using",   "used",    "browse"};
    for (size_t i = 0; i < t.size(); ++i) {
        if (!isWord(t, i) || !before.contains(keyAt(t, i)) || allUpper(t[i].text)) continue;
        size_t n = nextWord(t, i);
        if (n == npos || n != i + 2 || t[i + 1].text != " ") continue;
        std::string word = t[n].text;
        bool nearFuture = word == "near" && keyAt(t, nextWord(t, n)) == "future";
        if (nearFuture) word = "future";
        else if (!things.contains(word)) continue;
        if (word == "past" && keyAt(t, i) != "in") continue;
        size_t noun = nearFuture ? nextWord(t, n) : n;
        if (t[noun].text != word) continue;
        size_t after = nextWord(t, noun);
        std::string next = keyAt(t, after);
        if (after != npos && after == noun + 2 && (lex.isNoun(next) || lex.isPluralNoun(next))) continue;
        // "in past" before an adjective ("in past few years") or "to" reads otherwise.
        if (after != npos && (next == "to" || lex.isAdjective(next)) && word == "past") continue;
        t[i].text += " the";
    }
}

// "everything about the God, the death", "living isolated in the society.": God, and these
// things taken in general, take no "the" where nothing after them says which one ("the society
// of the time", "the nature that", "the God of Abraham" stay). Only where a mark or the text's
// end closes the noun.
void generalThings(std::vector<Token> &t)
{
    static const Words things = {"god", "death", "society", "nature", "mankind", "humanity", "happiness"};
    for (size_t i = 0; i < t.size(); ++i) {
        if (!isWord(t, i) || (t[i].text != "the" && t[i].text != "The")) continue;
        size_t n = nextWord(t, i);
        if (n == npos || n != i + 2 || t[i + 1].text != " ") continue;
        std::string word = keyAt(t, n);
        if (!things.contains(word)) continue;
        // God by name only; the others in lower case ("the Society" is a club's).
        bool god = word == "god";
        if (god ? t[n].text != "God" : t[n].text != word) continue;
        // The sentence ends there, or a list of such things goes on ("the God, the death etc.");
        // a comma before anything else may open what says which one ("the society, which met").
        std::string following = keyAt(t, n + 3 < t.size() && t[n + 2].kind == Kind::space ? n + 3 : npos);
        bool closed = n + 1 >= t.size() ||
                      (t[n + 1].kind == Kind::punct &&
                       (t[n + 1].text == "." || t[n + 1].text == "!" || t[n + 1].text == "?" ||
                        (t[n + 1].text == "," && (following == "the" || following.starts_with("etc"))))) ||
                      keyAt(t, nextWord(t, n)).starts_with("etc");
        bool listed = i >= 2 && t[i - 1].text == " " && t[i - 2].text == ",";
        if (!closed || (prevWord(t, i) == npos && !listed)) continue;
        // "joined the society" names a club: society at large only lives in or on something.
        static const Words within = {"in", "on", "into", "within", "throughout"};
        if (word == "society" && !within.contains(keyAt(t, prevWord(t, i)))) continue;
        // "mourned the death." names one death: "death" only in a list of such things.
        if (word == "death" && !listed) continue;
        drop(t, i);
    }
}

}  // namespace

void applyEnglishArticles(std::vector<Token> &t, const EnglishLexicon &lex)
{
    superlatives(t, lex);
    generalThings(t);
    aLotOf(t);
    articleBeforePlural(t, lex);
    uniqueThings(t, lex);
}

}  // namespace quillo::cloud
