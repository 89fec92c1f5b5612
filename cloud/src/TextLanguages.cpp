#include "TextLanguages.h"

#include "EnglishLexicon.h"
#include "KnownMisspellings.h"
#include "LanguageDictionaries.h"
#include "LanguageIdentification.h"
#include "ScowlLexicon.h"
#include "SpellChecker.h"
#include "SpellingPrecision.h"

namespace quillo::cloud {

namespace {

using Range = std::pair<size_t, size_t>;

std::string textOf(const std::vector<Token> &t, Range r)
{
    std::string out;
    for (size_t i = r.first; i < r.second; ++i)
        if (t[i].kind != Kind::shielded) out += t[i].text;
    return out;
}

size_t wordsIn(const std::vector<Token> &t, Range r)
{
    size_t n = 0;
    for (size_t i = r.first; i < r.second; ++i) n += t[i].kind == Kind::word;
    return n;
}

// Whether more than `share` of the lower-case words are English words, contractions or known
// misspellings.
bool readsAsEnglish(const std::vector<Token> &t, Range r, SpellChecker &english, double share)
{
    auto known = [&](const std::string &w) { return english.isKnown(w); };
    size_t words = 0, english_ = 0;
    for (size_t i = r.first; i < r.second; ++i) {
        // Names say nothing about the language around them.
        if (t[i].kind != Kind::word || startsUpper(t[i].text)) continue;
        ++words;
        if (!isAsciiWord(t[i].text)) continue;
        std::string w = t[i].text;
        replaceAll(w, "\xE2\x80\x99", "'");
        std::string l = lower(w);
        // Only misspellings people are known to make count: a suggestion search finds an
        // English look-alike for most foreign words ("prepara" -> "prepare").
        if (english.isKnown(w) || (l != w && english.isKnown(l)) || SpellingPrecision::isChatForm(l) ||
            SpellingPrecision::contractionFor(l, known, ScowlLexicon::shared()) ||
            KnownMisspellings::shared().correction(l) || l == "alot" ||
            EnglishLexicon::shared().properAdjective(l))  // "italian": English, missing its capital
            ++english_;
    }
    return words == 0 || static_cast<double>(english_) > share * static_cast<double>(words);
}

const LanguageConventions *decide(const std::vector<Token> &t, Range r, SpellChecker &english,
                                  const LanguageConventions *fallback)
{
    if (wordsIn(t, r) == 0) return fallback;
    LanguageGuess guess = identifyLanguage(textOf(t, r));
    // CLD2 answers "en" for text too short to place, and takes some short Dutch or Italian for
    // English: English text must also read as English.
    const LanguageConventions *en = LanguageDictionaries::conventions("en");
    if (guess.code.empty() || guess.code == "en") return readsAsEnglish(t, r, english, 0.5) ? en : nullptr;
    // Misspelt English is sometimes taken for another language ("recieve teh letter").
    if (readsAsEnglish(t, r, english, 0.75)) return en;
    return guess.reliable ? LanguageDictionaries::conventions(guess.code) : nullptr;
}

void mark(std::vector<Token> &t, Range r, const LanguageConventions *language)
{
    for (size_t i = r.first; i < r.second; ++i) t[i].language = language;
}

// Sentences of a line: ranges ending after . ! ? followed by a blank or the line's end.
std::vector<Range> sentencesOf(const std::vector<Token> &t, Range line)
{
    std::vector<Range> out;
    size_t start = line.first;
    for (size_t i = line.first; i < line.second; ++i) {
        bool end = t[i].kind == Kind::punct && (t[i].text == "." || t[i].text == "!" || t[i].text == "?") &&
                   (i + 1 == line.second || t[i + 1].kind == Kind::space || t[i + 1].kind == Kind::otherSpace);
        if (end) {
            out.emplace_back(start, i + 1);
            start = i + 1;
        }
    }
    if (start < line.second) out.emplace_back(start, line.second);
    return out;
}

}  // namespace

bool isEnglish(const Token &token) { return token.language && token.language->code == "en"; }

void assignLanguages(std::vector<Token> &t, SpellChecker &english)
{
    const LanguageConventions *en = LanguageDictionaries::conventions("en");
    size_t start = 0;
    for (size_t i = 0; i <= t.size(); ++i) {
        if (i < t.size() && t[i].kind != Kind::newline) continue;
        Range line{start, i};
        const LanguageConventions *language = decide(t, line, english, en);
        mark(t, line, language);
        auto sentences = sentencesOf(t, line);
        if (language && sentences.size() > 1) {
            for (Range s : sentences) {
                if (wordsIn(t, s) < 3) continue;
                LanguageGuess guess = identifyLanguage(textOf(t, s));
                if (guess.reliable && guess.code != language->code)
                    mark(t, s, LanguageDictionaries::conventions(guess.code));
            }
        }
        if (i < t.size()) t[i].language = language;  // the line break itself
        start = i + 1;
    }
}

}  // namespace quillo::cloud
