#include "TextCorrector.h"

#include "KnownMisspellings.h"
#include "ScowlLexicon.h"
#include "SpellingPrecision.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <set>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quillo::cloud {

namespace {

enum class Kind { word, space, otherSpace, newline, punct, other, shielded };

struct Token {
    Kind kind;
    std::string text;
};

// Decodes one code point at `i` (valid UTF-8 assumed; the wire layer already checked).
uint32_t decodeAt(const std::string &s, size_t i, size_t &length)
{
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
        length = 1;
        return c;
    }
    int n = (c >= 0xF0) ? 4 : (c >= 0xE0) ? 3 : 2;
    if (i + n > s.size()) {
        length = 1;
        return 0xFFFD;
    }
    uint32_t cp = c & (0xFF >> (n + 1));
    for (int k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    length = static_cast<size_t>(n);
    return cp;
}

bool isLetter(uint32_t cp)
{
    if ((cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z')) return true;
    if (cp >= 0xC0 && cp <= 0x24F && cp != 0xD7 && cp != 0xF7) return true;
    if (cp >= 0x370 && cp <= 0x52F) return true;  // Greek, Cyrillic
    return false;
}

bool isApostrophe(uint32_t cp) { return cp == '\'' || cp == 0x2019; }
bool isSentencePunct(char c) { return c == '.' || c == ',' || c == ';' || c == ':' || c == '!' || c == '?'; }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

using Range = std::pair<size_t, size_t>;

// Spans that look like markup, code, addresses or identifiers: never touched.
std::vector<Range> shieldedRanges(const std::string &s)
{
    std::vector<Range> ranges;
    // Fenced and inline code, tags, template braces.
    for (size_t i = 0; i < s.size(); ++i) {
        if (s.compare(i, 3, "```") == 0) {
            size_t end = s.find("```", i + 3);
            end = (end == std::string::npos) ? s.size() : end + 3;
            ranges.emplace_back(i, end);
            i = end - 1;
        } else if (s[i] == '`') {
            size_t end = s.find('`', i + 1);
            size_t nl = s.find('\n', i + 1);
            if (end != std::string::npos && (nl == std::string::npos || end < nl)) {
                ranges.emplace_back(i, end + 1);
                i = end;
            }
        } else if (s[i] == '<' && i + 1 < s.size() &&
                   (std::isalpha(static_cast<unsigned char>(s[i + 1])) || s[i + 1] == '/' || s[i + 1] == '!' ||
                    s[i + 1] == '?')) {
            size_t end = s.find('>', i + 1);
            if (end != std::string::npos && end - i < 2000) {
                ranges.emplace_back(i, end + 1);
                i = end;
            }
        } else if ((s.compare(i, 2, "{{") == 0 || s.compare(i, 2, "{%") == 0)) {
            const char *close = s[i + 1] == '{' ? "}}" : "%}";
            size_t end = s.find(close, i + 2);
            if (end != std::string::npos && end - i < 2000) {
                ranges.emplace_back(i, end + 2);
                i = end + 1;
            }
        }
    }
    // Runs without blanks that are addresses, mentions, tags, paths or identifiers. Markup
    // found above splits runs, so that the text between two tags is still prose.
    std::vector<bool> covered(s.size(), false);
    for (auto &r : ranges)
        for (size_t k = r.first; k < r.second && k < s.size(); ++k) covered[k] = true;
    auto breaks = [&](size_t k) { return isBlank(s[k]) || covered[k]; };
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && breaks(i)) ++i;
        size_t start = i;
        while (i < s.size() && !breaks(i)) ++i;
        if (start == i) continue;
        // Sentence punctuation and closing brackets after an address belong to the sentence.
        size_t end = i;
        while (end > start &&
               (isSentencePunct(s[end - 1]) || s[end - 1] == ')' || s[end - 1] == '"' || s[end - 1] == '\''))
            --end;
        std::string_view core(s.data() + start, end - start);
        bool shield = core.find("://") != std::string_view::npos || core.rfind("www.", 0) == 0 ||
                      core.find('@') != std::string_view::npos ||
                      (core.size() > 1 && core[0] == '#' && std::isalnum(static_cast<unsigned char>(core[1]))) ||
                      core.find('/') != std::string_view::npos || core.find('\\') != std::string_view::npos ||
                      core.find('_') != std::string_view::npos || core.find('=') != std::string_view::npos;
        if (shield && end > start) ranges.emplace_back(start, end);
    }
    std::sort(ranges.begin(), ranges.end());
    std::vector<Range> merged;
    for (auto r : ranges) {
        if (!merged.empty() && r.first < merged.back().second)
            merged.back().second = std::max(merged.back().second, r.second);
        else merged.push_back(r);
    }
    return merged;
}

std::vector<Token> tokenize(const std::string &s)
{
    std::vector<Token> tokens;
    auto shields = shieldedRanges(s);
    size_t shieldIndex = 0;
    size_t i = 0;
    while (i < s.size()) {
        if (shieldIndex < shields.size() && shields[shieldIndex].first == i) {
            tokens.push_back({Kind::shielded, s.substr(i, shields[shieldIndex].second - i)});
            i = shields[shieldIndex].second;
            ++shieldIndex;
            continue;
        }
        size_t limit = shieldIndex < shields.size() ? shields[shieldIndex].first : s.size();
        size_t len = 0;
        uint32_t cp = decodeAt(s, i, len);
        if (isLetter(cp)) {
            size_t j = i + len;
            while (j < limit) {
                size_t l2 = 0;
                uint32_t c2 = decodeAt(s, j, l2);
                if (isLetter(c2)) {
                    j += l2;
                    continue;
                }
                if (isApostrophe(c2) && j + l2 < limit) {
                    size_t l3 = 0;
                    if (isLetter(decodeAt(s, j + l2, l3))) {
                        j += l2;
                        continue;
                    }
                }
                break;
            }
            tokens.push_back({Kind::word, s.substr(i, j - i)});
            i = j;
        } else if (cp == ' ') {
            size_t j = i;
            while (j < limit && s[j] == ' ') ++j;
            tokens.push_back({Kind::space, s.substr(i, j - i)});
            i = j;
        } else if (cp == '\r' && i + 1 < limit && s[i + 1] == '\n') {
            tokens.push_back({Kind::newline, "\r\n"});
            i += 2;
        } else if (cp == '\n' || cp == '\r' || cp == 0x2028 || cp == 0x2029) {
            tokens.push_back({Kind::newline, s.substr(i, len)});
            i += len;
        } else if (cp == '\t' || cp == 0xA0 || cp == 0x3000 || (cp >= 0x2000 && cp <= 0x200B) || cp == 0x202F) {
            tokens.push_back({Kind::otherSpace, s.substr(i, len)});
            i += len;
        } else if (cp < 0x80 && isSentencePunct(static_cast<char>(cp))) {
            tokens.push_back({Kind::punct, s.substr(i, 1)});
            i += 1;
        } else {
            tokens.push_back({Kind::other, s.substr(i, len)});
            i += len;
        }
    }
    return tokens;
}

bool isAsciiWord(const std::string &w)
{
    for (unsigned char c : w)
        if (c >= 0x80) return false;
    return true;
}

std::string lower(std::string w)
{
    for (auto &c : w) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return w;
}

bool startsLower(const std::string &w) { return !w.empty() && w[0] >= 'a' && w[0] <= 'z'; }
bool startsUpper(const std::string &w) { return !w.empty() && w[0] >= 'A' && w[0] <= 'Z'; }

bool allUpper(const std::string &w)
{
    int letters = 0;
    for (unsigned char c : w) {
        if (c >= 'a' && c <= 'z') return false;
        if (c >= 'A' && c <= 'Z') ++letters;
    }
    return letters >= 2;
}

bool hasInnerUpper(const std::string &w)
{
    for (size_t k = 1; k < w.size(); ++k)
        if (w[k] >= 'A' && w[k] <= 'Z') return true;
    return false;
}

std::string capitalized(std::string w)
{
    if (startsLower(w)) w[0] = static_cast<char>(w[0] - 'a' + 'A');
    return w;
}

void replaceAll(std::string &s, std::string_view from, std::string_view to)
{
    for (size_t p = s.find(from); p != std::string::npos; p = s.find(from, p + to.size()))
        s.replace(p, from.size(), to);
}

bool isDigitToken(const Token &t)
{
    return t.kind == Kind::other && t.text.size() == 1 && std::isdigit(static_cast<unsigned char>(t.text[0]));
}

bool attachedIdentifierContext(const std::vector<Token> &t, size_t i)
{
    // Words glued to digits or to a dot that continues into another word ("example.com",
    // "v2beta", "file.txt") are identifiers, not prose.
    if (i > 0 && isDigitToken(t[i - 1])) return true;
    if (i + 1 < t.size() && isDigitToken(t[i + 1])) return true;
    if (i >= 2 && t[i - 1].kind == Kind::punct && t[i - 1].text == "." &&
        (t[i - 2].kind == Kind::word || isDigitToken(t[i - 2])))
        return true;
    if (i + 2 < t.size() && t[i + 1].kind == Kind::punct && t[i + 1].text == "." && t[i + 2].kind == Kind::word)
        return true;
    return false;
}

std::vector<bool> sentenceStarts(const std::vector<Token> &t);

bool isHyphen(const Token &t) { return t.kind == Kind::other && (t.text == "-" || t.text == "\xE2\x80\x90"); }

// Parts of "kube-system" or "long-term": compounds and names, left alone as a whole.
bool hyphenJoined(const std::vector<Token> &t, size_t i)
{
    return (i >= 2 && isHyphen(t[i - 1]) && t[i - 2].kind == Kind::word) ||
           (i + 2 < t.size() && isHyphen(t[i + 1]) && t[i + 2].kind == Kind::word);
}

void fixSpelling(std::vector<Token> &t, SpellChecker &speller)
{
    auto starts = sentenceStarts(t);
    // A word typed twice the same way is meant (a name, a term), not a slip.
    std::unordered_map<std::string, int> seen;
    for (const Token &tok : t)
        if (tok.kind == Kind::word) ++seen[lower(tok.text)];
    auto known = [&](const std::string &w) { return speller.isKnown(w); };
    // A restored apostrophe takes the text's own style.
    bool textCurly = false;
    for (const Token &tok : t) textCurly = textCurly || tok.text.find("\xE2\x80\x99") != std::string::npos;

    for (size_t i = 0; i < t.size(); ++i) {
        Token &tok = t[i];
        if (tok.kind != Kind::word || tok.text.size() < 2) continue;
        bool curly = tok.text.find("\xE2\x80\x99") != std::string::npos;
        std::string lookup = tok.text;
        if (curly) replaceAll(lookup, "\xE2\x80\x99", "'");
        if (!isAsciiWord(lookup) || allUpper(lookup) || hasInnerUpper(lookup)) continue;
        // A capitalised word is looked up in lower case: Hunspell's suggestions for "Teh" are
        // worse than for "teh", and a word known only capitalised ("Paris") comes back as is.
        bool capital = startsUpper(lookup);
        if (capital && speller.isKnown(lookup)) continue;
        if (!capital && speller.isKnown(lookup)) continue;
        if (capital) lookup[0] = static_cast<char>(lookup[0] - 'A' + 'a');
        if (attachedIdentifierContext(t, i) || hyphenJoined(t, i) || SpellingPrecision::isChatForm(lookup)) continue;
        std::optional<std::string> fix = SpellingPrecision::contractionFor(lookup, known, ScowlLexicon::shared());
        // An unknown capitalised word inside a sentence is a name ("Im" is still "I'm").
        if (capital && !starts[i] && !(fix && (*fix)[0] == 'I')) continue;
        if (!fix) {
            if (seen[lower(tok.text)] > 1) continue;
            fix = speller.replacement(lookup);
            if (!fix) continue;
            // A capitalised sentence start may be a name too ("Ilse"): only a known misspelling
            // is fixed there.
            if (capital && !KnownMisspellings::shared().correction(lookup)) continue;
        }
        std::string out = *fix;
        if (capital) out = capitalized(out);
        if (out == tok.text) continue;
        if (curly || textCurly) replaceAll(out, "'", "\xE2\x80\x99");
        tok.text = out;
    }
}

void fixStandaloneI(std::vector<Token> &t)
{
    for (size_t i = 0; i < t.size(); ++i) {
        Token &tok = t[i];
        if (tok.kind != Kind::word || tok.text.empty() || tok.text[0] != 'i') continue;
        std::string rest = tok.text.substr(1);
        bool contraction = false;
        for (const char *tail : {"'m", "'ve", "'ll", "'d",
                                 "\xE2\x80\x99"
                                 "m",
                                 "\xE2\x80\x99"
                                 "ve",
                                 "\xE2\x80\x99"
                                 "ll",
                                 "\xE2\x80\x99"
                                 "d"})
            if (rest == tail) contraction = true;
        if (!rest.empty() && !contraction) continue;
        // "(i)" list markers and "i.e." stay as written.
        if (i > 0 && t[i - 1].text == "(" && i + 1 < t.size() && t[i + 1].text == ")") continue;
        if (i + 2 < t.size() && t[i + 1].text == "." && t[i + 2].kind == Kind::word) continue;
        if (i > 0 && (t[i - 1].text == "." || t[i - 1].text == "-") && i >= 2 && t[i - 2].kind == Kind::word) continue;
        tok.text[0] = 'I';
    }
}

// Indices of the words of a phrase starting at token i, separated by single spaces.
bool matchPhrase(const std::vector<Token> &t, size_t i, const std::vector<std::string> &words, size_t &endExclusive)
{
    size_t k = i;
    for (size_t w = 0; w < words.size(); ++w) {
        if (w > 0) {
            if (k >= t.size() || t[k].kind != Kind::space || t[k].text.size() != 1) return false;
            ++k;
        }
        if (k >= t.size() || t[k].kind != Kind::word || lower(t[k].text) != words[w]) return false;
        ++k;
    }
    // A phrase must end at a word boundary that is not glued to more letters.
    endExclusive = k;
    return true;
}

std::vector<std::string> splitWords(const char *phrase)
{
    std::vector<std::string> out;
    std::string cur;
    for (const char *p = phrase; *p; ++p) {
        if (*p == ' ') {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += *p;
        }
    }
    out.push_back(cur);
    return out;
}

void applyPhrasingRules(std::vector<Token> &t)
{
    static const std::array<std::pair<const char *, const char *>, 17> rules = {{
        {"could of", "could have"},
        {"should of", "should have"},
        {"would of", "would have"},
        {"must of", "must have"},
        {"might of", "might have"},
        {"alot", "a lot"},
        {"irregardless", "regardless"},
        {"in order to", "to"},
        {"due to the fact that", "because"},
        {"at this point in time", "now"},
        {"each and every", "every"},
        {"very unique", "unique"},
        {"off of", "off"},
        {"try and", "try to"},
        {"the reason why is because", "the reason is that"},
        {"completely finished", "finished"},
        {"whether or not", "whether"},
    }};
    static const auto parsed = [] {
        std::vector<std::pair<std::vector<std::string>, std::string>> out;
        out.reserve(rules.size());
        for (auto &[from, to] : rules) out.emplace_back(splitWords(from), to);
        return out;
    }();
    std::vector<Token> out;
    out.reserve(t.size());
    for (size_t i = 0; i < t.size();) {
        bool replaced = false;
        if (t[i].kind == Kind::word) {
            for (auto &[words, to] : parsed) {
                size_t end = 0;
                if (matchPhrase(t, i, words, end)) {
                    std::string text = to;
                    if (startsUpper(t[i].text)) text = capitalized(text);
                    out.push_back({Kind::word, text});
                    i = end;
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) out.push_back(std::move(t[i++]));
    }
    t = std::move(out);
}

void fixArticles(std::vector<Token> &t)
{
    static const std::set<std::string> silentH = {"hour",   "hours",     "honest", "honestly", "honor",
                                                  "honour", "honorable", "heir",   "heirs",    "hourly"};
    static const std::set<std::string> consonantSoundVowel = {"one", "once", "ones", "oneself"};
    for (size_t i = 0; i + 2 < t.size(); ++i) {
        if (t[i].kind != Kind::word || t[i + 1].kind != Kind::space || t[i + 1].text.size() != 1 ||
            t[i + 2].kind != Kind::word)
            continue;
        const std::string article = lower(t[i].text);
        const std::string &next = t[i + 2].text;
        if (next.size() < 2 || !isAsciiWord(next) || allUpper(next)) continue;
        std::string n = lower(next);
        bool vowelSound = (std::strchr("aeio", n[0]) && !consonantSoundVowel.contains(n) && n.rfind("eu", 0) != 0) ||
                          silentH.contains(n);
        bool consonantSound = !std::strchr("aeiou", n[0]) && !silentH.contains(n);
        if (article == "a" && vowelSound) t[i].text = t[i].text == "A" ? "An" : "an";
        else if (article == "an" && consonantSound) t[i].text = t[i].text[0] == 'A' ? "A" : "a";
    }
}

void removeRepeatedWords(std::vector<Token> &t)
{
    static const std::set<std::string> allowed = {"that", "had", "is", "do", "can", "bye", "so", "very", "ha", "no"};
    std::vector<Token> out;
    for (Token &token : t) {
        if (token.kind == Kind::word && out.size() >= 2 && out.back().kind == Kind::space &&
            out.back().text.size() == 1 && out[out.size() - 2].kind == Kind::word &&
            lower(out[out.size() - 2].text) == lower(token.text) && !allowed.contains(lower(token.text)) &&
            !allUpper(token.text)) {
            out.pop_back();
            continue;
        }
        out.push_back(std::move(token));
    }
    t = std::move(out);
}

bool isOpeningMark(const std::string &s)
{
    return s == "\"" || s == "'" || s == "(" || s == "[" || s == "\xE2\x80\x9C" || s == "\xE2\x80\x98" ||
           s == "\xC2\xBF" || s == "\xC2\xA1" || s == "*" || s == "_";
}

// Which tokens are words that begin a sentence.
std::vector<bool> sentenceStarts(const std::vector<Token> &t)
{
    std::vector<bool> starts(t.size(), false);
    static const std::set<std::string> abbreviations = {"e",      "i",  "g",  "etc", "vs",  "mr",  "mrs", "ms", "dr",
                                                        "prof",   "st", "jr", "sr",  "inc", "ltd", "co",  "no", "fig",
                                                        "approx", "ca", "cf", "al",  "ie",  "eg",  "viz"};
    bool start = true;        // the next word begins a sentence
    bool pendingEnd = false;  // saw a sentence end; confirmed by a following blank
    int newlinesInRow = 0;
    for (size_t i = 0; i < t.size(); ++i) {
        const Token &tok = t[i];
        switch (tok.kind) {
        case Kind::word:
            starts[i] = start;
            start = false;
            pendingEnd = false;
            newlinesInRow = 0;
            break;
        case Kind::punct: {
            newlinesInRow = 0;
            char c = tok.text[0];
            if (c == '!' || c == '?') {
                pendingEnd = true;
            } else if (c == '.') {
                bool ellipsis = (i > 0 && t[i - 1].text == ".") || (i + 1 < t.size() && t[i + 1].text == ".");
                bool abbreviation = i > 0 && t[i - 1].kind == Kind::word &&
                                    (t[i - 1].text.size() == 1 || abbreviations.contains(lower(t[i - 1].text)));
                pendingEnd = !ellipsis && !abbreviation;
            } else {
                pendingEnd = false;
            }
            start = false;
            break;
        }
        case Kind::space:
        case Kind::otherSpace:
            if (pendingEnd) start = true;
            break;
        case Kind::newline:
            ++newlinesInRow;
            if (pendingEnd || newlinesInRow >= 2) start = true;
            break;
        case Kind::other:
            newlinesInRow = 0;
            if (isOpeningMark(tok.text) || tok.text == "\"" || tok.text == "\xE2\x80\x9D" || tok.text == ")") {
                // Quotes and brackets sit between a sentence end and the next start, except that
                // a quoted question or exclamation usually goes on: "Why?" she asked.
                if (i > 0 && (t[i - 1].text == "?" || t[i - 1].text == "!")) pendingEnd = false;
                break;
            }
            start = false;
            pendingEnd = false;
            break;
        case Kind::shielded:
            newlinesInRow = 0;
            start = false;
            pendingEnd = false;
            break;
        }
    }
    return starts;
}

void capitaliseSentenceStarts(std::vector<Token> &t)
{
    auto starts = sentenceStarts(t);
    for (size_t i = 0; i < t.size(); ++i)
        if (starts[i] && startsLower(t[i].text) && !hasInnerUpper(t[i].text)) t[i].text = capitalized(t[i].text);
}

void fixSpacing(std::vector<Token> &t)
{
    std::vector<Token> out;
    out.reserve(t.size());
    for (size_t i = 0; i < t.size(); ++i) {
        Token tok = std::move(t[i]);
        if (tok.kind == Kind::space) {
            bool atLineStart = out.empty() || out.back().kind == Kind::newline;
            bool atLineEnd = i + 1 >= t.size() || t[i + 1].kind == Kind::newline;
            bool afterOtherSpace = !out.empty() && out.back().kind == Kind::otherSpace;
            bool beforeOtherSpace = i + 1 < t.size() && t[i + 1].kind == Kind::otherSpace;
            // A space before , . ; : ! ? that closes a word goes away (not before "..." or ".com").
            if (!atLineStart && i + 1 < t.size() && t[i + 1].kind == Kind::punct && !out.empty() &&
                (out.back().kind == Kind::word || out.back().text == ")" || out.back().text == "\"")) {
                bool ellipsis = t[i + 1].text == "." && i + 2 < t.size() && t[i + 2].text == ".";
                bool closes = i + 2 >= t.size() || t[i + 2].kind == Kind::space || t[i + 2].kind == Kind::newline ||
                              t[i + 2].kind == Kind::otherSpace || t[i + 2].kind == Kind::punct ||
                              t[i + 2].text == "\"" || t[i + 2].text == ")" || t[i + 2].text == "\xE2\x80\x9D";
                if (!ellipsis && closes) continue;
            }
            if (!atLineStart && !atLineEnd && !afterOtherSpace && !beforeOtherSpace && tok.text.size() > 1)
                tok.text = " ";
        }
        out.push_back(std::move(tok));
    }
    t = std::move(out);
}

}  // namespace

TextCorrector::TextCorrector(std::shared_ptr<SpellChecker> speller) : speller_(std::move(speller)) {}

std::string TextCorrector::correct(const std::string &text, CorrectionStyle style) const
{
    auto tokens = tokenize(text);
    fixSpelling(tokens, *speller_);
    fixStandaloneI(tokens);
    if (style == CorrectionStyle::contextual) {
        applyPhrasingRules(tokens);
        fixArticles(tokens);
        removeRepeatedWords(tokens);
    }
    capitaliseSentenceStarts(tokens);
    fixSpacing(tokens);
    std::string out;
    out.reserve(text.size() + 16);
    for (auto &tok : tokens) out += tok.text;
    return out;
}

long utf16Length(const std::string &s)
{
    long units = 0;
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int n;
        uint32_t cp;
        if (c < 0x80) {
            n = 1;
            cp = c;
        } else if ((c & 0xE0) == 0xC0) {
            n = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            n = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            n = 4;
            cp = c & 0x07;
        } else return -1;
        if (i + n > s.size()) return -1;
        for (int k = 1; k < n; ++k) {
            unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) return -1;
            cp = (cp << 6) | (d & 0x3F);
        }
        if ((n == 2 && cp < 0x80) || (n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return -1;
        units += cp >= 0x10000 ? 2 : 1;
        i += static_cast<size_t>(n);
    }
    return units;
}

}  // namespace quillo::cloud
