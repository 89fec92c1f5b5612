#include "EnglishSetPhrases.h"

#include "EnglishWords.h"

#include <map>

namespace quillo::cloud {

namespace {

using namespace english;

// Written as typed, or with the capital of a sentence start; anything else ("InCase",
// "ASWELL") is a name or an identifier.
bool plainCase(const std::string &text, const std::string &k) { return text == k || text == capitalized(k); }

std::string withCaseOf(const std::string &typed, const std::string &word)
{
    return startsUpper(typed) ? capitalized(word) : word;
}

// Splits run-together words, and words holding a space, into words and spaces.
void splitWords(std::vector<Token> &t)
{
    static const std::map<std::string, std::string, std::less<>> joined = {
        {"inorder", "in order"},       {"aswell", "as well"},
        {"infront", "in front"},       {"incase", "in case"},
        {"thankyou", "thank you"},     {"alittle", "a little"},
        {"ofcourse", "of course"},     {"highschool", "high school"},
        {"eventhough", "even though"}, {"infact", "in fact"},
        {"atleast", "at least"},       {"eachother", "each other"},
        {"forexample", "for example"}, {"forinstance", "for instance"},
        {"everytime", "every time"},   {"noone", "no one"},
        {"inspite", "in spite"},       {"ontop", "on top"},
        {"inbetween", "in between"},   {"atlast", "at last"}};
    std::vector<Token> out;
    out.reserve(t.size());
    for (auto &tok : t) {
        std::string text = tok.text;
        if (tok.kind == Kind::word && isEnglish(tok)) {
            if (auto f = joined.find(key(tok)); f != joined.end() && plainCase(tok.text, key(tok)))
                text = withCaseOf(tok.text, f->second);
        }
        if (tok.kind != Kind::word || text.find(' ') == std::string::npos) {
            out.push_back(std::move(tok));
            continue;
        }
        size_t from = 0;
        for (size_t at; (at = text.find(' ', from)) != std::string::npos; from = at + 1) {
            out.push_back({Kind::word, text.substr(from, at - from), tok.language});
            out.push_back({Kind::space, " ", tok.language});
        }
        out.push_back({Kind::word, text.substr(from), tok.language});
    }
    t = std::move(out);
}

// Joins word i with the words after it into one, keeping the first one's capital.
void join(std::vector<Token> &t, size_t i, size_t last, const std::string &word)
{
    t[i].text = withCaseOf(t[i].text, word);
    for (size_t k = i + 1; k <= last; ++k) t[k].text.clear();
}

bool endsHere(const std::vector<Token> &t, size_t i)
{
    return i + 1 >= t.size() || t[i + 1].kind == Kind::newline ||
           (t[i + 1].kind == Kind::punct && !t[i + 1].text.starts_with('-') && t[i + 1].text != "'");
}

void joinWords(std::vector<Token> &t)
{
    static const std::vector<std::pair<std::vector<std::string>, std::string>> phrases = {
        {{"now", "a", "days"}, "nowadays"},
        {{"there", "fore"}, "therefore"},
        {{"whole", "heartedly"}, "wholeheartedly"},
        {{"never", "the", "less"}, "nevertheless"},
        {{"him", "self"}, "himself"},
        {{"them", "selves"}, "themselves"},
        {{"our", "selves"}, "ourselves"},
        {{"your", "selves"}, "yourselves"},
        {{"my", "self"}, "myself"},
        {{"your", "self"}, "yourself"},
        {{"her", "self"}, "herself"},
        {{"it", "self"}, "itself"},
        {{"his", "self"}, "himself"},
        {{"their", "selves"}, "themselves"},
        {{"some", "one"}, "someone"},
        {{"some", "thing"}, "something"},
        {{"some", "body"}, "somebody"},
        {{"any", "thing"}, "anything"},
        {{"every", "body"}, "everybody"},
        {{"i", "m"}, "i'm"},
        {{"home", "work"}, "homework"},
        {{"in", "deed"}, "indeed"},
        {{"further", "more"}, "furthermore"},
        {{"green", "house"}, "greenhouse"},
        {{"some", "times"}, "sometimes"},
        {{"harm", "full"}, "harmful"},
        {{"help", "full"}, "helpful"},
        {{"success", "full"}, "successful"},
        {{"power", "full"}, "powerful"},
        {{"meaning", "full"}, "meaningful"},
        {{"care", "full"}, "careful"}};
    // "some one of them", "any body of water": before "of" the words stand apart.
    static const Words pronounParts = {"one", "thing", "body"};
    // "my self", "his self", "their selves" may open a noun phrase ("your self esteem"); they
    // are joined only before the end of a clause or a word that cannot go on one.
    static const Words possessive = {"my", "your", "her", "his", "their"};
    static const Words after = {"and", "to",   "in",   "on",    "at",    "for",     "with", "from",  "that",
                                "as",  "but",  "or",   "if",    "when",  "because", "too",  "again", "alone",
                                "up",  "down", "out",  "into",  "about", "more",    "very", "so",    "a",
                                "the", "an",   "is",   "am",    "was",   "will",    "can",  "first", "now",
                                "why", "how",  "what", "where", "who",   "whether", "by",   "off",   "over"};
    for (size_t i = 0; i < t.size(); ++i) {
        if (!isWord(t, i)) continue;
        std::string first = keyAt(t, i);
        if (!plainCase(t[i].text, first)) continue;
        for (const auto &[words, joined] : phrases) {
            if (words[0] != first) continue;
            size_t k = i;
            bool match = true;
            for (size_t w = 0; w < words.size() && match; ++w) {
                if (w > 0) k = nextWord(t, k);
                match = k != npos && keyAt(t, k) == words[w] && (w == 0 || t[k].text == words[w]);
            }
            if (!match) continue;
            size_t n = nextWord(t, k);
            bool closes = endsHere(t, k) || (n != npos && after.contains(keyAt(t, n)));
            // "him self-..." is a compound; "my self esteem" a noun phrase.
            if (k + 1 < t.size() && t[k + 1].kind != Kind::space && t[k + 1].text.starts_with('-')) break;
            if (possessive.contains(words[0]) && !closes) break;
            if (pronounParts.contains(words.back()) && keyAt(t, n) == "of") break;
            // "my home work" is the homework; "at home work is" two words.
            static const Words homeworkOwners = {"my", "your", "his", "her", "our", "their", "the", "of", "do", "did"};
            if (words.back() == "work" && !homeworkOwners.contains(keyAt(t, prevWord(t, i)))) break;
            // "the green house effect"; "a green house" may be painted green.
            static const Words greenhouseOf = {"effect", "effects", "gas", "gases", "emissions"};
            if (words[0] == "green" && !greenhouseOf.contains(keyAt(t, n))) break;
            // "Further more, ..." opens a sentence; "further more work" stays.
            if (words[0] == "further" && prevWord(t, i) != npos) break;
            // "In deed, ..." opens with "indeed"; "in word and in deed" stays.
            if (words.back() == "deed" && !(k + 1 < t.size() && t[k + 1].text == ",")) break;
            // "Books some times have", "Some times we go": how often, before the verb or its subject;
            // "I went there some times" counts occasions.
            static const Words oftenBefore = {"have", "has", "are", "is",  "was",  "were", "can", "will", "do",
                                              "does", "i",   "we",  "you", "they", "he",   "she", "it"};
            static const Words subjects = {"i", "we", "you", "they", "he", "she", "it"};
            bool opening = prevWord(t, i) == npos || startsUpper(t[i].text);  // "Some times are hard"
            if (words.back() == "times" &&
                !(opening ? subjects.contains(keyAt(t, n)) : oftenBefore.contains(keyAt(t, n))))
                break;
            // "is very harm full": only where an adjective is wanted ("help full members" stays).
            static const Words describing = {"is", "are", "was",  "were", "be",     "been",  "very",
                                             "so", "too", "more", "most", "really", "quite", "extremely"};
            if (words.back() == "full" && !describing.contains(keyAt(t, prevWord(t, i)))) break;
            join(t, i, k, joined);
            break;
        }
    }
}

}  // namespace

void fixEnglishSetPhrases(std::vector<Token> &t)
{
    splitWords(t);
    joinWords(t);
    std::erase_if(t, [](const Token &tok) { return tok.text.empty(); });
}

}  // namespace quillo::cloud
