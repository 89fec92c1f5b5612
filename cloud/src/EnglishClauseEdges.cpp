#include "EnglishClauseEdges.h"

#include "EnglishWords.h"

namespace quillo::cloud {

namespace {

using namespace english;

bool after(const std::vector<Token> &t, size_t i, const char *punct)
{
    return i >= 2 && t[i - 1].kind == Kind::space && t[i - 1].text == " " && t[i - 2].kind == Kind::punct &&
           t[i - 2].text == punct;
}

void capitalAfterComma(std::vector<Token> &t)
{
    // Words that are never a name or the start of a title on their own; not "you", which
    // contracts write as a defined term ("However, You may").
    static const Words plain = {"the",   "when",   "if",     "but",   "and",      "so",     "because", "this",
                                "that",  "there",  "it",     "we",    "they",     "he",     "she",     "then",
                                "which", "who",    "where",  "while", "although", "though", "these",   "those",
                                "its",   "their",  "our",    "my",    "his",      "her",    "however", "since",
                                "after", "before", "unless", "until", "once",     "or"};
    // Conjunctions after which a capital starts no sentence: "So It will", "because If I".
    static const Words joins = {"so", "and", "but", "because", "that", "if", "when", "then", "or"};
    for (size_t i = 0; i < t.size(); ++i) {
        if (!isWord(t, i)) continue;
        std::string w = keyAt(t, i);
        if (!plain.contains(w) || t[i].text != capitalized(w) || t[i].text == w) continue;
        // The next word in lower case (or "I") shows a sentence, not a title ("The Times").
        size_t n = nextWord(t, i);
        if (n == npos || (t[n].text != keyAt(t, n) && t[n].text != "I")) continue;
        size_t p = prevWord(t, i);
        if (p != npos && joins.contains(keyAt(t, p)) && w != "the" && w != "this" && w != "that") {
            t[i].text = w;
            continue;
        }
        if (!after(t, i, ",")) continue;
        // Only after an opening phrase of a few words ("For example, When"): a capital after
        // a later comma may start a sentence the writer meant ("..., They went") or quote one
        // ("He said, The end").
        size_t words = 0;
        bool opening = false;
        for (size_t k = i - 2; k-- > 0;) {
            if (t[k].kind == Kind::newline) {
                opening = true;
                break;
            }
            if (t[k].kind == Kind::punct && t[k].text != "'") {
                opening = t[k].text == "." || t[k].text == "!" || t[k].text == "?";
                break;
            }
            if (t[k].kind == Kind::word && ++words > 4) break;
            if (k == 0) opening = true;
        }
        if (!opening || words == 0 || words > 4) continue;
        static const Words speech = {"said", "says", "say", "asked", "asks", "replied", "answered", "wrote", "thought"};
        if (t[i - 3].kind == Kind::word && speech.contains(key(t[i - 3]))) continue;
        t[i].text = w;
    }
}

void tagQuestions(std::vector<Token> &t)
{
    static const Words auxiliaries = {"isn't", "aren't", "wasn't", "weren't", "don't",    "doesn't",  "didn't",
                                      "won't", "can't",  "hasn't", "haven't", "couldn't", "wouldn't", "shouldn't"};
    static const Words pronouns = {"it", "they", "you", "he", "she", "we", "there", "i"};
    for (size_t i = 0; i < t.size(); ++i) {
        if (!isWord(t, i) || !after(t, i, ",") || !auxiliaries.contains(keyAt(t, i))) continue;
        size_t n = nextWord(t, i);
        if (n == npos || !pronouns.contains(keyAt(t, n))) continue;
        if (n + 1 >= t.size() || t[n + 1].kind != Kind::punct || t[n + 1].text != ".") continue;
        // The full stop ends the sentence: the text or the line stops, or a new sentence starts.
        bool ends = n + 2 >= t.size() || t[n + 2].kind == Kind::newline ||
                    (t[n + 2].kind == Kind::space && n + 3 < t.size() && startsUpper(t[n + 3].text));
        if (ends) t[n + 1].text = '?';
    }
}

}  // namespace

void fixEnglishClauseEdges(std::vector<Token> &t)
{
    capitalAfterComma(t);
    tagQuestions(t);
}

}  // namespace quillo::cloud
