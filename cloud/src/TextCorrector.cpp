#include "TextCorrector.h"

#include "EnglishGrammar.h"
#include "EnglishLexicon.h"
#include "EnglishWords.h"
#include "LanguageDictionaries.h"
#include "TextLanguages.h"
#include "TextTokens.h"

#include "ContextModel.h"
#include "KnownMisspellings.h"
#include "ScowlLexicon.h"
#include "SpellingPrecision.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quillo::cloud {

namespace {

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

bool isHyphen(const Token &t) { return t.kind == Kind::other && (t.text == "-" || t.text == "\xE2\x80\x90"); }

// Parts of "kube-system" or "long-term": compounds and names, left alone as a whole.
bool hyphenJoined(const std::vector<Token> &t, size_t i)
{
    return (i >= 2 && isHyphen(t[i - 1]) && t[i - 2].kind == Kind::word) ||
           (i + 2 < t.size() && isHyphen(t[i + 1]) && t[i + 2].kind == Kind::word);
}

// The spell checker for a token's language, and whether any of the language's dictionaries
// (en_US and en_GB, pt_BR and pt_PT) knows a word.
struct LanguageSpeller {
    SpellChecker *main = nullptr;
    std::vector<SpellChecker *> others;
    bool varietyChosen = false;
    bool isKnown(const std::string &w) const
    {
        if (main->isKnown(w)) return true;
        for (auto *o : others)
            if (o->isKnown(w)) return true;
        return false;
    }
};

LanguageSpeller spellerFor(const LanguageConventions &language, SpellChecker &english)
{
    LanguageSpeller out;
    auto &dictionaries = LanguageDictionaries::shared();
    for (size_t k = 0; k < language.dictionaries.size(); ++k) {
        SpellChecker *s =
            language.code == "en" && k == 0 ? &english : dictionaries.speller(language.dictionaries[k]).get();
        if (!s) continue;
        if (!out.main) out.main = s;
        else out.others.push_back(s);
    }
    return out;
}

// A language with two varieties (en_US and en_GB, pt_BR and pt_PT) suggests from the one the
// text's own spellings belong to ("colour", "facto"); without such evidence, from the first.
void preferVariety(LanguageSpeller &speller, const std::vector<Token> &t, const LanguageConventions *language)
{
    speller.varietyChosen = true;
    if (speller.others.empty()) return;
    SpellChecker *second = speller.others.front();
    int firstOnly = 0, secondOnly = 0;
    for (const Token &tok : t) {
        if (tok.kind != Kind::word || tok.language != language || tok.text.size() < 3 || !startsLower(tok.text))
            continue;
        bool inFirst = speller.main->isKnown(tok.text), inSecond = second->isKnown(tok.text);
        firstOnly += inFirst && !inSecond;
        secondOnly += inSecond && !inFirst;
    }
    if (secondOnly > firstOnly) {
        speller.others.front() = speller.main;
        speller.main = second;
    }
}

// Up to two words each side of token i, lower case, for the word-sequence model: commas are
// skipped (the model has none), a sentence's edges are its "<s>" and "</s>", and anything else
// (a line break, a bracket, code) ends the context there.
std::optional<std::string> choiceInContext(const std::vector<Token> &t, const std::vector<bool> &starts, size_t i,
                                           const std::vector<std::string> &candidates)
{
    const ContextModel *model = ContextModel::shared();
    if (!model) return std::nullopt;
    auto passable = [&](size_t k) { return t[k].kind == Kind::space || t[k].text == ","; };
    std::vector<std::string> before;
    bool sentenceEdge = starts[i];
    for (size_t k = i; !sentenceEdge && k-- > 0 && before.size() < 2;) {
        if (passable(k)) continue;
        if (t[k].kind != Kind::word) break;
        before.insert(before.begin(), lower(t[k].text));
        sentenceEdge = starts[k];
    }
    if (sentenceEdge && before.size() < 2) before.insert(before.begin(), "<s>");
    std::vector<std::string> after;
    for (size_t k = i + 1; k < t.size() && after.size() < 2; ++k) {
        if (passable(k)) continue;
        if (t[k].kind == Kind::word) {
            if (starts[k]) break;
            after.push_back(lower(t[k].text));
            continue;
        }
        if (t[k].text == "." || t[k].text == "!" || t[k].text == "?") after.emplace_back("</s>");
        break;
    }
    // A reading that repeats its neighbour ("taht tahy" -> "that that") is no reading.
    std::vector<std::string> readings;
    // A rare word the model never saw ("rasher" beside "rather", "anon" beside "alone") cannot
    // be weighed, and is seldom the one meant; a typo of three letters has too many readings to
    // leave one out, one of four only the rarer.
    bool longTypo = t[i].text.size() >= SpellingPrecision::kCommonReadingLetters;
    std::optional<uint8_t> unweighable;
    if (longTypo) unweighable = SpellingPrecision::kFamiliarLevel;
    else if (t[i].text.size() > 3) unweighable = SpellingPrecision::kCommonLevel - 1;
    bool unseenSplit = false;
    for (const std::string &c : candidates) {
        if ((!before.empty() && before.back() == c) || (!after.empty() && after.front() == c)) continue;
        if (unweighable && c.find(' ') == std::string::npos && !model->isInVocabulary(c) &&
            ScowlLexicon::shared().level(c) > *unweighable)
            continue;
        // Nor can the typed word read apart into words it never saw ("class metes").
        if (size_t space = c.find(' '); space != std::string::npos && (!model->isInVocabulary(c.substr(0, space)) ||
                                                                       !model->isInVocabulary(c.substr(space + 1)))) {
            unseenSplit = true;
            continue;
        }
        readings.push_back(c);
    }
    // A long typo whose only rival was such a reading is the word the writer meant.
    if (longTypo && unseenSplit && readings.size() == 1 && readings.front() == candidates.front() &&
        model->isInVocabulary(readings.front()))
        return readings.front();
    // The word as typed, when among the readings (a name), stays unless clearly outweighed.
    return model->choose(before, readings, after, lower(t[i].text));
}

// "viva voce", "comme il faut", "ex cathedra": a phrase English borrowed whole, which WordNet
// lists though the dictionary knows its words not.
bool inBorrowedPhrase(const std::vector<Token> &t, size_t i)
{
    const auto &lexicon = EnglishLexicon::shared();
    std::string w = lower(t[i].text);
    size_t p = english::prevWord(t, i), n = english::nextWord(t, i);
    return (p != english::npos && lexicon.isPhrase(lower(t[p].text), w)) ||
           (n != english::npos && lexicon.isPhrase(w, lower(t[n].text)));
}

// "in NIce who", "MOdel": the shift key held a letter too long over a word the dictionary
// knows. Not a word of three letters ("IDs", "PCs"), nor one of a run of capitalised words,
// which spells a name its own way ("Bourne Again SHell").
bool heldShift(const std::vector<Token> &t, const std::vector<bool> &starts, size_t i,
               const std::function<bool(const std::string &)> &known)
{
    const std::string &w = t[i].text;
    if (w.size() < 4 || !std::isupper(static_cast<unsigned char>(w[0])) ||
        !std::isupper(static_cast<unsigned char>(w[1])) ||
        !std::all_of(w.begin() + 2, w.end(), [](char ch) { return ch >= 'a' && ch <= 'z'; }))
        return false;
    // Only over a word most writers use weekly: "GLib" and "OSes" are names spelt so, not "glib"
    // or "oses" shouted.
    if (ScowlLexicon::shared().level(lower(w)) > SpellingPrecision::kFamiliarLevel ||
        (!known(capitalized(lower(w))) && !known(lower(w))))
        return false;
    for (size_t k : {english::prevWord(t, i), english::nextWord(t, i)})
        if (k != english::npos && startsUpper(t[k].text) && !starts[k]) return false;
    return true;
}

void fixSpelling(std::vector<Token> &t, SpellChecker &english)
{
    auto starts = sentenceStarts(t);
    // A word typed twice the same way is meant (a name, a term), not a slip.
    std::unordered_map<std::string, int> seen;
    for (const Token &tok : t)
        if (tok.kind == Kind::word) ++seen[lower(tok.text)];
    std::map<const LanguageConventions *, LanguageSpeller> spellers;
    // A restored apostrophe takes the text's own style.
    bool textCurly = false;
    for (const Token &tok : t) textCurly = textCurly || tok.text.find("\xE2\x80\x99") != std::string::npos;

    for (size_t i = 0; i < t.size(); ++i) {
        Token &tok = t[i];
        if (tok.kind != Kind::word || tok.text.size() < 2 || !tok.language) continue;
        bool en = isEnglish(tok);
        auto found = spellers.find(tok.language);
        if (found == spellers.end()) found = spellers.emplace(tok.language, spellerFor(*tok.language, english)).first;
        LanguageSpeller &speller = found->second;
        if (!speller.main) continue;
        auto known = [&](const std::string &w) { return speller.isKnown(w); };
        bool curly = tok.text.find("\xE2\x80\x99") != std::string::npos;
        std::string lookup = tok.text;
        if (curly) replaceAll(lookup, "\xE2\x80\x99", "'");
        // Other languages' words may carry accents, but not their first letter ("Élise").
        if ((en ? !isAsciiWord(lookup) : static_cast<unsigned char>(lookup[0]) >= 0x80) || allUpper(lookup)) continue;
        if (hasInnerUpper(lookup)) {
            if (en && heldShift(t, starts, i, known)) tok.text = capitalized(lower(tok.text));
            continue;
        }
        // A capitalised word is looked up in lower case: Hunspell's suggestions for "Teh" are
        // worse than for "teh", and a word known only capitalised ("Paris") comes back as is.
        bool capital = startsUpper(lookup);
        // A known word may still be a contraction typed without its apostrophe ("whats", and
        // "Ive" at a sentence start); a capitalised one inside a sentence is a name.
        bool knownAsIs = speller.isKnown(lookup);
        if (knownAsIs && !(en && (!capital || starts[i]))) continue;
        if (capital) lookup[0] = static_cast<char>(lookup[0] - 'A' + 'a');
        if (attachedIdentifierContext(t, i) || hyphenJoined(t, i) || SpellingPrecision::isChatForm(lookup)) continue;
        if (en && inBorrowedPhrase(t, i)) continue;
        std::optional<std::string> fix;
        if (en) fix = SpellingPrecision::contractionFor(lookup, known, ScowlLexicon::shared());
        // An unknown capitalised word inside a sentence is a name ("Im" is still "I'm").
        if (capital && !starts[i] && !(fix && (*fix)[0] == 'I')) continue;
        if (knownAsIs && !fix) continue;
        // A regular "-ed" on an irregular verb ("choosed") is that verb's past.
        if (en && !fix && !knownAsIs)
            if (auto past = EnglishLexicon::shared().pastOfRegularised(lookup); past && known(*past)) fix = past;
        if (!fix) {
            // A slip codespell lists, even with several readings ("ther"), is no term however often typed.
            if (seen[lower(tok.text)] > 1 && !KnownMisspellings::shared().listed(lookup)) continue;
            if (!speller.varietyChosen) preferVariety(speller, t, tok.language);  // only when suggesting
            auto verdict = speller.main->verdict(lookup);
            fix = verdict.fix;
            // A person's name written in lower case names a tool more often than the person
            // ("kafka", "prometheus"): only places, languages, days, adjectives made of names
            // ("olympian") and the like get their capital.
            if (en && fix && *fix != lookup && lower(*fix) == lookup && EnglishLexicon::shared().isPersonNoun(lookup) &&
                !EnglishLexicon::shared().isAdjective(lookup))
                continue;
            bool byContext = false;
            if (en && !verdict.tied.empty())
                if (auto chosen = choiceInContext(t, starts, i, verdict.tied)) {
                    fix = chosen;
                    byContext = true;
                }
            if (!fix) continue;
            if (!en && !speller.isKnown(*fix)) continue;
            // A capitalised sentence start may be a name too ("Ilse"): only a known misspelling,
            // a plain slip or a word everyone writes that the words after it pick ("Afther that")
            // is fixed there.
            if (capital && !KnownMisspellings::shared().correction(lookup) &&
                !SpellingPrecision::fixableAtSentenceStart(lookup, *fix, ScowlLexicon::shared()) &&
                !(byContext && ScowlLexicon::shared().level(*fix) <= SpellingPrecision::kEveryoneLevel))
                continue;
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
        if (tok.kind != Kind::word || tok.text.empty() || tok.text[0] != 'i' || !isEnglish(tok)) continue;
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
        // "-i" is an option, "i386" a name.
        if ((i > 0 && t[i - 1].text == "-") || attachedIdentifierContext(t, i)) continue;
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
        if (t[i].kind == Kind::word && isEnglish(t[i])) {
            for (auto &[words, to] : parsed) {
                size_t end = 0;
                if (matchPhrase(t, i, words, end)) {
                    std::string text = to;
                    if (startsUpper(t[i].text)) text = capitalized(text);
                    out.push_back({Kind::word, text, t[i].language});
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

// Whether a text that begins with a lower-case word may begin mid-sentence: a selected phrase
// ("recieve teh letter yesterday") has no sentence end at all, and a chunk cut from a longer
// text often starts with a word that continues a sentence. Its first letter then stays.
bool startsAsFragment(const std::vector<Token> &t)
{
    // Words that continue a sentence and practically never begin one.
    static const std::set<std::string> continuing = {"than", "of", "respectively", "etc", "whereby", "wherein"};
    size_t first = 0;
    while (first < t.size() && t[first].kind != Kind::word) ++first;
    if (first == t.size() || !startsLower(t[first].text)) return false;
    if (continuing.contains(lower(t[first].text))) return true;
    for (const Token &tok : t)
        if (tok.kind == Kind::punct && (tok.text == "." || tok.text == "!" || tok.text == "?")) return false;
    for (const Token &tok : t)
        if (tok.kind == Kind::newline) return false;
    return true;
}

// A command, a function or another identifier opening a sentence keeps its case: "gzip",
// "cdiff.pl", "wait()", or any English word the dictionary does not know and the speller left.
bool identifierAt(const std::vector<Token> &t, size_t i, const std::function<bool(const std::string &)> &isKnown)
{
    if (attachedIdentifierContext(t, i) || hyphenJoined(t, i)) return true;
    if (i + 1 < t.size() && (t[i + 1].text == "(" || t[i + 1].text == "_")) return true;
    // Rules may have added a comma ("therefore,") or a word ("a lot") to the token.
    std::string word = t[i].text.substr(0, t[i].text.find_first_of(" ,"));
    return isEnglish(t[i]) && !isKnown(word) && !isKnown(capitalized(word));
}

void capitaliseSentenceStarts(std::vector<Token> &t, const std::function<bool(const std::string &)> &isKnown)
{
    auto starts = sentenceStarts(t);
    if (startsAsFragment(t))
        for (size_t i = 0; i < t.size(); ++i)
            if (t[i].kind == Kind::word) {
                starts[i] = false;
                break;
            }
    for (size_t i = 0; i < t.size(); ++i)
        if (starts[i] && t[i].language && startsLower(t[i].text) && !hasInnerUpper(t[i].text) &&
            !identifierAt(t, i, isKnown))
            t[i].text = capitalized(t[i].text);
}

// A stop after "!" or "?" ("sleep!.") or a second one after "etc" ("etc..") is typed twice;
// three dots or more are an ellipsis and stay.
void fixDoubledStops(std::vector<Token> &t)
{
    auto stop = [&](size_t k) { return k < t.size() && t[k].kind == Kind::punct && t[k].text == "."; };
    for (size_t i = 1; i + 1 < t.size(); ++i) {
        if (t[i].kind != Kind::punct || !stop(i + 1) || stop(i + 2)) continue;
        const Token &before = t[i - 1];
        if (before.kind != Kind::word || !before.language) continue;
        bool tall = t[i].text == "!" || t[i].text == "?";
        bool etc = t[i].text == "." && lower(before.text) == "etc";
        if (tall || etc) t.erase(t.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    }
}

void fixSpacing(std::vector<Token> &t)
{
    std::vector<Token> out;
    out.reserve(t.size());
    for (size_t i = 0; i < t.size(); ++i) {
        Token tok = std::move(t[i]);
        if (tok.kind == Kind::space && tok.language) {
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
                // French sets ; : ! ? apart with a space.
                bool typography =
                    tok.language->spaceBeforeTallPunctuation && t[i + 1].text != "," && t[i + 1].text != ".";
                if (!ellipsis && closes && !typography) continue;
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
    assignLanguages(tokens, *speller_);
    fixSpelling(tokens, *speller_);
    fixStandaloneI(tokens);
    applyEnglishGrammar(tokens, [this](const std::string &w) { return speller_->isKnown(w); });
    if (style == CorrectionStyle::contextual) applyPhrasingRules(tokens);
    capitaliseSentenceStarts(tokens, [this](const std::string &w) { return speller_->isKnown(w); });
    fixDoubledStops(tokens);
    fixSpacing(tokens);
    std::string out;
    out.reserve(text.size() + 16);
    for (auto &tok : tokens) out += tok.text;
    return out;
}

void TextCorrector::warmUp() const
{
    EnglishLexicon::shared();
    ScowlLexicon::shared();
    KnownMisspellings::shared();
    for (const char *code : {"en", "de", "fr", "es", "it", "pt", "nl"})
        if (const auto *language = LanguageDictionaries::conventions(code))
            for (const auto &dictionary : language->dictionaries)
                if (dictionary != "en_US") LanguageDictionaries::shared().speller(dictionary);
    correct("Its a short text to warm up teh engine, isnt it?", CorrectionStyle::proofread);
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
