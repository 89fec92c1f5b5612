// "That is bad idea" -> "That is a bad idea", "It will be good situation" -> "It will be a good
// situation": one thing described after "be" takes "a". Only an adjective and a plain singular
// noun that ends its phrase, and only where English text favours the article: uncountable things
// ("It is good practice") read as well without it.
#include "EnglishGrammarRules.h"

namespace quillo::cloud::english {

namespace {

// Twice as likely with the article: the model's pruned counts rarely see a learner's phrase, and
// uncountable things fall short of it ("is good practice", "is common knowledge").
constexpr double kArticleLead = 0.3;
constexpr double kBareThingLead = 1.0;

// Whether the noun at `noun` ends its phrase: a mark or the text's end after it, or one of
// `closers`.
bool endsPhrase(const std::vector<Token> &t, size_t noun, const Words &closers)
{
    size_t after = nextWord(t, noun);
    return after == npos ? noun + 1 >= t.size() || t[noun + 1].kind == Kind::punct : closers.contains(keyAt(t, after));
}

}  // namespace

// "depends on particular person" -> "on a particular person": one picked out of its kind is
// counted. Only after a preposition, before a plain singular noun that ends its phrase.
void pickedOne(GrammarContext &c, size_t i, const std::string &w)
{
    static const Words picking = {"particular", "certain", "specific"};
    static const Words prepositions = {"on", "in", "for", "to", "with", "at", "by", "about", "from", "into", "like"};
    if (!picking.contains(w) || c.t[i].text != w) return;
    size_t p = prevWord(c.t, i), n = nextWord(c.t, i);
    std::string noun = keyAt(c.t, n);
    if (p == npos || p + 2 != i || !prepositions.contains(keyAt(c.t, p)) || n == npos || c.t[n].text != noun ||
        !c.lex.isNoun(noun) || c.lex.isPluralNoun(noun) || noun.ends_with('s') || c.lex.isAdjective(noun) ||
        noun.size() < 3)
        return;
    // "in particular cases", "for certain reasons", "in specific terms": counted many, or a noun
    // that goes on ("in particular person names").
    size_t after = nextWord(c.t, n);
    std::string then = keyAt(c.t, after);
    if (after != npos && (c.lex.isNoun(then) || c.lex.isPluralNoun(then)) && then != "in" && then != "that") return;
    if (after == npos && !endsClauseAt(c.t, n)) return;
    // Some things count or not ("of specific application"): English text must favour the article.
    std::vector<std::string> following;
    if (after != npos) following.push_back(then);
    if (!modelFavours({keyAt(c.t, p)}, {"a", w, noun}, {w, noun}, following, kArticleLead)) return;
    put(c.t, i, "a " + c.t[i].text, c.curlyText);
}

// "when teacher asked me", "however, professor says": the one who teaches a class is
// "the teacher", named as a role without one. Only opening a clause, before its verb ("teacher
// training" is a kind), and not a title before a name ("Professor Lee says").
void roleSubject(GrammarContext &c, size_t i, const std::string &w)
{
    static const Words roles = {"teacher", "professor", "lecturer", "speaker", "author", "writer", "instructor"};
    static const Words opens = {"when", "if", "because", "what", "that", "since", "while", "after", "before", "as"};
    if (!roles.contains(w) || c.t[i].text != w) return;
    size_t p = prevWord(c.t, i);
    // Not opening the text: a note's first words may drop their articles ("Teacher has left").
    if (p == npos ? i == 0 || !afterMark(c.t, i, ",") : !opens.contains(keyAt(c.t, p)) || p + 2 != i) return;
    size_t v = nextWord(c.t, i);
    std::string verb = keyAt(c.t, v);
    if (v == npos || c.t[v].text != verb || kDeterminers.contains(verb) || c.lex.isAdjective(verb)) return;
    // A plain verb agrees with "teachers" as well ("when teacher ask"), but a learner who drops
    // the article drops the "-s" as often: either way one was meant, and "the" stands.
    bool acts = kModals.contains(verb) || verb == "has" || verb == "had" || verb == "is" || verb == "was" ||
                (!c.lex.isNoun(verb) && !c.lex.isPluralNoun(verb) &&
                 (c.lex.baseOfInflectedVerb(verb, true) || c.lex.isVerb(verb)));
    if (!acts) return;
    put(c.t, i, "the " + c.t[i].text, c.curlyText);
    // And the one named takes the verb's "-s" ("the professor oppose" -> "opposes").
    if (c.lex.isVerb(verb) && !kModals.contains(verb) && !c.lex.baseOfInflectedVerb(verb, true) &&
        c.lex.verbBase(verb).value_or(verb) == verb)
        if (std::string form = thirdPersonOf(c, verb); !form.empty()) put(c.t, v, form, c.curlyText);
}

// "they will have better chance to", "has good job": what one has of these is one of them. Only
// nouns that always count, after a plain adjective, ending their phrase.
void hadOne(GrammarContext &c, size_t i, const std::string &w)
{
    static const Words having = {"have", "has", "had", "having"};
    // What one needs, wants or buys is one too, for things one has one of ("need car to").
    static const Words getting = {"need", "needs", "needed", "want", "wants", "wanted", "buy", "buys", "bought"};
    static const Words things = {"car", "job", "house", "computer", "phone", "bicycle", "passport", "visa", "ticket"};
    if (getting.contains(w) && c.t[i].text == w) {
        size_t n = nextWord(c.t, i), after = nextWord(c.t, n);
        std::string following = keyAt(c.t, after);
        if (n != npos && things.contains(c.t[n].text) &&
            (after == npos ? endsClauseAt(c.t, n)
                           : following == "to" || following == "and" || following == "but" || following == "for"))
            put(c.t, n, "a " + c.t[n].text, c.curlyText);
        return;
    }
    static const Words counted = {"chance",     "opportunity", "idea",        "job",    "life",
                                  "future",     "view",        "position",    "salary", "career",
                                  "reputation", "impression",  "relationship"};
    if (!having.contains(w) || c.t[i].text != w) return;
    // Right after the verb too ("she does not have job"), for the nouns one only ever has one of.
    static const Words bare = {"chance", "opportunity", "idea", "job", "career", "salary", "relationship"};
    static const Words ends = {"to",   "in",  "for", "as",  "at", "now",   "today", "there",
                               "here", "too", "and", "but", "of", "about", "that",  "with"};
    if (size_t n = nextWord(c.t, i); n != npos && bare.contains(c.t[n].text)) {
        size_t after = nextWord(c.t, n);
        std::string following = keyAt(c.t, after);
        bool closed = after == npos
                          ? endsClauseAt(c.t, n)
                          : ends.contains(following) || (!c.lex.isNoun(following) && !c.lex.isPluralNoun(following) &&
                                                         !c.lex.isAdjective(following));
        if (closed) put(c.t, n, std::string(anBefore(c.t[n].text) ? "an " : "a ") + c.t[n].text, c.curlyText);
        return;
    }
    size_t a = nextWord(c.t, i), n = nextWord(c.t, a);
    std::string adj = keyAt(c.t, a), noun = keyAt(c.t, n);
    if (a == npos || n == npos || c.t[a].text != adj || c.t[n].text != noun || !counted.contains(noun) ||
        !(c.lex.isAdjective(adj) || c.lex.isComparative(adj)) || kDeterminers.contains(adj) || adj == "more" ||
        adj == "less" || adj == "enough" || adj == "no" || adj == "much" || adj == "little")
        return;
    // A noun after it makes a compound ("good job opportunities"); WordNet lists a few words
    // that end a phrase as nouns too ("now", "in").
    std::string following = keyAt(c.t, nextWord(c.t, n));
    if (!ends.contains(following) && (c.lex.isPluralNoun(following) || c.lex.isNoun(following))) return;
    put(c.t, a, std::string(anBefore(adj) ? "an " : "a ") + c.t[a].text, c.curlyText);
}

// "placebo is drug", "it is not illusion but": a plain singular noun alone after "be", ending its
// phrase, where English text favours the article ten times over ("it is time", "it is fun" and
// every uncountable thing read better without it). Whether it did so.
bool bareThing(GrammarContext &c, const std::string &w, size_t noun)
{
    static const Words be = {"is", "was", "be", "been", "it's", "that's"};
    std::string thing = keyAt(c.t, noun);
    if (!be.contains(w) || c.t[noun].text != thing || !c.lex.isNoun(thing) || c.lex.isPluralNoun(thing) ||
        c.lex.isAdjective(thing) || thing.ends_with('s') || thing.size() < 4 || kDeterminers.contains(thing) ||
        c.lex.baseOfInflectedVerb(thing, true) || !c.isKnown(thing))
        return false;
    static const Words closers = {"but", "and", "which", "that", "because"};
    size_t after = nextWord(c.t, noun);
    std::string then = keyAt(c.t, after);
    if (!endsPhrase(c.t, noun, closers)) return false;
    std::string article = anBefore(thing) ? "an" : "a";
    std::vector<std::string> following;
    if (after != npos) following.push_back(then);
    else if (noun + 1 < c.t.size() &&
             (c.t[noun + 1].text == "." || c.t[noun + 1].text == "!" || c.t[noun + 1].text == "?"))
        following.emplace_back("</s>");
    if (!modelFavours({w}, {article, thing}, {thing}, following, kBareThingLead)) return false;
    put(c.t, noun, article + " " + c.t[noun].text, c.curlyText);
    return true;
}

void missingArticle(GrammarContext &c, size_t i, const std::string &w)
{
    pickedOne(c, i, w);
    roleSubject(c, i, w);
    hadOne(c, i, w);
    // Not after "have": what one has is as often uncountable ("had fantastic strength").
    static const Words takers = {"is",   "was",    "be",  "been", "became", "become", "becomes",
                                 "it's", "that's", "are", "got",  "get",    "gets",   "getting"};
    if (!takers.contains(w) || c.t[i].text != w) return;
    // "are" for one person addressed ("you are good person").
    if (w == "are" && keyAt(c.t, prevWord(c.t, i)) != "you") return;
    size_t n = nextWord(c.t, i);
    if (n == npos) return;
    // "is not illusion but": the same thing denied.
    if (keyAt(c.t, n) == "not" && w != "get" && w != "gets" && w != "got" && w != "getting") n = nextWord(c.t, n);
    if (n == npos) return;
    if (bareThing(c, w, n)) return;
    size_t adjective = n;
    static const Words intensifiers = {"very", "really", "quite", "extremely", "pretty", "truly"};
    if (intensifiers.contains(keyAt(c.t, n))) adjective = nextWord(c.t, n);
    std::string adj = keyAt(c.t, adjective);
    // Words that take no article or another one ("the best", "the same", "much fun", "my own").
    static const Words notDescribing = {"much",  "more", "most",  "enough", "such",  "little", "less",
                                        "all",   "any",  "must",  "some",   "each",  "own",    "same",
                                        "other", "only", "first", "last",   "next",  "many",   "few",
                                        "no",    "what", "whole", "main",   "right", "wrong",  "real"};
    if (adjective == npos || c.t[adjective].text != adj || !c.lex.isAdjective(adj) || c.lex.isVerb(adj) ||
        notDescribing.contains(adj) || kDeterminers.contains(adj) || adj.ends_with("est") || adj.ends_with("ly") ||
        adj.size() < 3)
        return;
    size_t noun = nextWord(c.t, adjective);
    std::string thing = keyAt(c.t, noun);
    if (noun == npos || c.t[noun].text != thing || !c.lex.isNoun(thing) || c.lex.isPluralNoun(thing) ||
        c.lex.isAdjective(thing) || thing.ends_with('s') || thing.size() < 3 || kDeterminers.contains(thing))
        return;
    // The noun ends its phrase: a mark, the text's end, or a word that cannot continue the noun.
    static const Words closers = {"in",  "at",  "for", "to",      "that", "which",
                                  "who", "and", "but", "because", "with", "on"};
    size_t after = nextWord(c.t, noun);
    std::string then = keyAt(c.t, after);
    if (!endsPhrase(c.t, noun, closers)) return;
    std::vector<std::string> described;
    for (size_t k = n; k != npos && k <= noun; k = nextWord(c.t, k)) described.push_back(keyAt(c.t, k));
    std::string article = anBefore(described.front()) ? "an" : "a";
    std::vector<std::string> withArticle{article};
    withArticle.insert(withArticle.end(), described.begin(), described.end());
    std::vector<std::string> following;
    if (after != npos) following.push_back(then);
    // "thing" counts wherever it stands; English text writes "important thing" mostly after "the".
    if (thing != "thing" && !modelFavours({w}, withArticle, described, following, kArticleLead)) return;
    put(c.t, n, article + " " + c.t[n].text, c.curlyText);
}

}  // namespace quillo::cloud::english
