#include "TextTokens.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <utility>

namespace quillo::cloud {

namespace {

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

bool isOpeningMark(const std::string &s)
{
    return s == "\"" || s == "'" || s == "(" || s == "[" || s == "\xE2\x80\x9C" || s == "\xE2\x80\x98" ||
           s == "\xC2\xBF" || s == "\xC2\xA1" || s == "*" || s == "_";
}

}  // namespace

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
    // ASCII only, as std::tolower in the "C" locale the server runs in, without a call a letter.
    for (auto &c : w)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
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

}  // namespace quillo::cloud
