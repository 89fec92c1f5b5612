// Spaces around punctuation: a comma or a stop glued between words, brackets that hold their
// words apart, a slash between alternatives, a comma typed against the next word.
#include "EnglishGrammarRules.h"

#include <set>
#include <utility>

namespace quillo::cloud::english {

void spacing(std::vector<Token> &t)
{
    // "word,word": a comma glued between two words gets its space.
    for (size_t i = 1; i + 1 < t.size(); ++i) {
        if (t[i].kind != Kind::punct || t[i].text != "," || !isWord(t, i - 1) || !isWord(t, i + 1)) continue;
        if (t[i - 1].text.size() < 2 || t[i + 1].text.size() < 2 || !isAsciiWord(t[i + 1].text)) continue;
        t[i].text = ", ";
    }
    // "It was late.We went home": a stop glued between a word and a capital that opens a
    // sentence gets its space. Only before words that open sentences, never names or code
    // ("index.Html", "Main.Java").
    static const Words opensSentence = {"I",    "We",   "You",    "He",     "She",   "It",      "They",  "The",
                                        "This", "That", "There",  "My",     "Our",   "But",     "And",   "So",
                                        "Then", "Also", "Please", "Thanks", "Thank", "However", "After", "Now"};
    for (size_t i = 1; i + 1 < t.size(); ++i) {
        if (t[i].kind != Kind::punct || t[i].text != "." || !isWord(t, i - 1) || !isWord(t, i + 1)) continue;
        const std::string &before = t[i - 1].text;
        if (before.size() < 2 || !isAsciiWord(before) || !startsLower(before) || !opensSentence.contains(t[i + 1].text))
            continue;
        if (i >= 2 && t[i - 2].kind == Kind::punct) continue;  // "e.g.The"
        t[i].text = ". ";
    }
    // "( near the door )": a bracket holds its words without spaces inside. Only a pair on one
    // line around words, after a space: not a face (":( ") nor code.
    for (size_t i = 0; i + 2 < t.size(); ++i) {
        if (t[i].text != "(" || t[i + 1].kind != Kind::space || t[i + 1].text != " " || !isWord(t, i + 2)) continue;
        // A bracket against a word opens code ("f( x )").
        if (i > 0 && t[i - 1].kind != Kind::space) continue;
        size_t j = i + 2;
        while (j < t.size() && t[j].text != ")" && t[j].text != "(" && t[j].kind != Kind::newline) ++j;
        if (j >= t.size() || t[j].text != ")" || t[j - 1].kind != Kind::space || t[j - 1].text != " " ||
            !isWord(t, j - 2))
            continue;
        t[i + 1].text.clear();
        t[j - 1].text.clear();
        i = j;
    }
    // "he /she", "and/ or": a slash between a pair of alternatives takes no space on either side.
    static const std::set<std::pair<std::string, std::string>> alternatives = {
        {"he", "she"}, {"she", "he"}, {"him", "her"}, {"his", "her"}, {"her", "him"}, {"her", "his"}, {"and", "or"}};
    for (size_t i = 0; i + 2 < t.size(); ++i) {
        if (!isWord(t, i)) continue;
        // "/she" read as one word, as a path would be.
        if (t[i + 1].kind == Kind::space && t[i + 1].text == " " && t[i + 2].text.size() > 1 &&
            t[i + 2].text[0] == '/' && alternatives.contains({key(t[i]), lower(t[i + 2].text.substr(1))}) &&
            (i + 3 >= t.size() || t[i + 3].kind != Kind::word)) {
            t[i + 1].text.clear();
            continue;
        }
        if (i + 3 >= t.size()) continue;
        size_t slash = t[i + 1].kind == Kind::space && t[i + 1].text == " " ? i + 2 : i + 1;
        if (slash + 1 >= t.size() || t[slash].text != "/") continue;
        size_t other = t[slash + 1].kind == Kind::space && t[slash + 1].text == " " ? slash + 2 : slash + 1;
        if (other >= t.size() || !isWord(t, other) || (slash == i + 1 && other == slash + 1)) continue;
        if (!alternatives.contains({key(t[i]), key(t[other])})) continue;
        if (slash == i + 2) t[i + 1].text.clear();
        if (other == slash + 2) t[slash + 1].text.clear();
    }
    // "Hello ,how are you": a comma typed against the next word moves back to the word before.
    for (size_t i = 2; i + 1 < t.size(); ++i) {
        if (t[i].kind != Kind::punct || t[i].text != "," || t[i - 1].text != " " || !isWord(t, i - 2) ||
            !isWord(t, i + 1))
            continue;
        if (t[i - 2].text.size() < 2 || t[i + 1].text.size() < 2 || !isAsciiWord(t[i + 1].text)) continue;
        t[i - 1].text.clear();
        t[i].text = ", ";
    }
}

}  // namespace quillo::cloud::english
