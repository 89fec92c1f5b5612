#include "EnglishLexicon.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string_view>
#include <vector>

namespace quillo::cloud {

namespace {
void readIndex(const std::string &path, std::unordered_set<std::string> &into, std::unordered_set<std::string> &phrases)
{
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == ' ') continue;  // the licence header
        auto space = line.find(' ');
        std::string lemma = line.substr(0, space);
        if (lemma.find('_') == std::string::npos) into.insert(lemma);
        else
            // Every pair of neighbouring words: "comme_il_faut" gives "comme_il" and "il_faut".
            for (size_t start = 0, mid = lemma.find('_'); mid != std::string::npos;) {
                size_t end = lemma.find('_', mid + 1);
                phrases.insert(lemma.substr(start, end == std::string::npos ? std::string::npos : end - start));
                start = mid + 1;
                mid = end;
            }
    }
}

void readExceptions(const std::string &path, std::unordered_map<std::string, std::string> &into)
{
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        auto space = line.find(' ');
        if (space == std::string::npos) continue;
        std::string form = line.substr(0, space);
        std::string base = line.substr(space + 1);
        base = base.substr(0, base.find(' '));
        if (form.find('_') == std::string::npos) into.emplace(form, base);
    }
}

// Each one-word lemma of an index file with its most frequent sense's synset. A line reads
// "lemma pos synset_cnt p_cnt [pointers] sense_cnt tagsense_cnt offsets...", the offsets in
// order of frequency.
void forEachFirstSense(const std::string &path,
                       const std::function<void(const std::string &lemma, const std::string &offset)> &each)
{
    std::ifstream index(path);
    for (std::string line; std::getline(index, line);) {
        if (line.empty() || line[0] == ' ') continue;  // the licence header
        std::istringstream fields(line);
        std::vector<std::string> f;
        for (std::string w; fields >> w;) f.push_back(w);
        if (f.size() < 4 || f[0].find('_') != std::string::npos) continue;
        size_t synsets = std::strtoul(f[2].c_str(), nullptr, 10);
        if (synsets == 0 || synsets > f.size()) continue;
        each(f[0], f[f.size() - synsets]);
    }
}

bool endsWith(const std::string &w, const char *tail)
{
    std::string t(tail);
    return w.size() > t.size() && w.compare(w.size() - t.size(), t.size(), t) == 0;
}
}  // namespace

EnglishLexicon EnglishLexicon::load(const std::string &dir)
{
    EnglishLexicon out;
    readIndex(dir + "/index.noun", out.nouns_, out.phrases_);
    readIndex(dir + "/index.verb", out.verbs_, out.phrases_);
    readIndex(dir + "/index.adj", out.adjectives_, out.phrases_);
    readIndex(dir + "/index.adv", out.adverbs_, out.phrases_);
    readExceptions(dir + "/verb.exc", out.verbExceptions_);
    readExceptions(dir + "/adj.exc", out.adjectiveExceptions_);
    readExceptions(dir + "/noun.exc", out.nounExceptions_);
    out.readProperAdjectives(dir);
    out.readPersonNouns(dir);
    out.readVerbFrames(dir);
    // A verb listed with exactly two irregular forms has a distinct past and participle; the
    // participle is the one ending in "n" ("gone", "eaten") or with "u" for the past's "a"
    // ("begun", "drunk").
    std::map<std::string, std::vector<std::string>> forms;
    std::ifstream verbs(dir + "/verb.exc");
    for (std::string line; std::getline(verbs, line);) {
        auto space = line.find(' ');
        if (space == std::string::npos) continue;
        std::string form = line.substr(0, space), base = line.substr(space + 1);
        base = base.substr(0, base.find(' '));
        if (!endsWith(form, "ing") && !endsWith(form, "s") && form.find('_') == std::string::npos)
            forms[base].push_back(form);
    }
    for (auto &[base, list] : forms) {
        if (list.size() != 2 || list[0].size() < 2 || list[1].size() < 2) continue;
        auto participleFirst = [](const std::string &a, const std::string &b) {
            auto participleEnd = [](const std::string &f) { return endsWith(f, "n") || endsWith(f, "ne"); };
            if (participleEnd(a) && !participleEnd(b)) return true;
            if (a.size() == b.size()) {
                for (size_t k = 0; k < a.size(); ++k)
                    if (a[k] != b[k]) return a[k] == 'u' && b[k] == 'a' && a.substr(k + 1) == b.substr(k + 1);
            }
            return false;
        };
        if (participleFirst(list[0], list[1])) out.participles_[list[1]] = list[0];
        else if (participleFirst(list[1], list[0])) out.participles_[list[0]] = list[1];
    }
    // One irregular form serves as past and participle ("taught"); with two, the past is the
    // one that has a participle.
    for (auto &[base, list] : forms) {
        bool single = list.size() == 1 && list[0].size() > 2;
        bool pair = list.size() == 2;
        if (single || (pair && out.participles_.contains(list[0]))) out.pasts_[base] = list[0];
        else if (pair && out.participles_.contains(list[1])) out.pasts_[base] = list[1];
    }
    return out;
}

const EnglishLexicon &EnglishLexicon::shared()
{
    static const EnglishLexicon lexicon = load(kDefaultDirectory);
    return lexicon;
}

namespace {
// Calls `each` with every word of every synset line of a WordNet data file, as written.
template <typename Each> void forEachSynsetWord(const std::string &path, Each each)
{
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == ' ') continue;  // the licence header
        std::istringstream fields(line);
        std::string offset, file, pos, count;
        fields >> offset >> file >> pos >> count;
        unsigned long n = std::strtoul(count.c_str(), nullptr, 16);
        for (unsigned long k = 0; k < n; ++k) {
            std::string word, sense;
            fields >> word >> sense;
            if (auto paren = word.find('('); paren != std::string::npos) word.resize(paren);  // "(a)", "(p)"
            each(word, line);
        }
    }
}
}  // namespace

void EnglishLexicon::readProperAdjectives(const std::string &dir)
{
    forEachSynsetWord(dir + "/data.adj", [&](const std::string &w, const std::string &line) {
        if (w.size() < 3 || !std::isupper(static_cast<unsigned char>(w[0]))) return;
        for (size_t k = 1; k < w.size(); ++k)
            if (!std::islower(static_cast<unsigned char>(w[k]))) return;
        auto bar = line.find("| ");
        if (bar == std::string::npos) return;
        std::string_view gloss(line.c_str() + bar + 2);
        for (const char *start : {"of ", "relating ", "pertaining ", "characteristic "})
            if (gloss.starts_with(start)) {
                std::string l = w;
                l[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(l[0])));
                properAdjectives_[l] = w;
                return;
            }
    });
    for (const char *file : {"/data.noun", "/data.verb", "/data.adj", "/data.adv"})
        forEachSynsetWord(dir + file, [&](const std::string &w, const std::string &) {
            if (!w.empty() && std::islower(static_cast<unsigned char>(w[0]))) properAdjectives_.erase(w);
        });
}

void EnglishLexicon::readVerbFrames(const std::string &dir)
{
    // Frames with an object: "Somebody ----s something", "... somebody", "... somebody to INFINITIVE".
    static const std::unordered_set<int> objectFrames = {5,  8,  9,  10, 11, 14, 15, 16, 17,
                                                         18, 19, 20, 21, 24, 25, 30, 31};
    std::unordered_map<std::string, std::unordered_set<std::string>> takers;  // synset -> its words that take one
    std::ifstream data(dir + "/data.verb");
    for (std::string line; std::getline(data, line);) {
        if (line.empty() || line[0] == ' ') continue;  // the licence header
        std::istringstream fields(line.substr(0, line.find('|')));
        std::string offset, file, type, count;
        fields >> offset >> file >> type >> count;
        std::vector<std::string> words(std::strtoul(count.c_str(), nullptr, 16));
        for (auto &w : words) {
            std::string lexId;
            fields >> w >> lexId;
        }
        size_t pointers = 0;
        fields >> pointers;
        for (size_t k = 0; k < pointers; ++k) {
            std::string symbol, target, pos, sourceTarget;
            fields >> symbol >> target >> pos >> sourceTarget;
        }
        size_t frames = 0;
        fields >> frames;
        for (size_t k = 0; k < frames; ++k) {
            std::string plus, frame, word;
            fields >> plus >> frame >> word;
            if (!fields || !objectFrames.contains(std::atoi(frame.c_str()))) continue;
            size_t which = std::strtoul(word.c_str(), nullptr, 16);  // 0: every word of the synset
            for (size_t w = 0; w < words.size(); ++w)
                if (which == 0 || which == w + 1) takers[offset].insert(words[w]);
        }
    }
    // By the verb's most frequent sense: "happen" may mean "find" ("happened upon"), yet a thing
    // happens.
    forEachFirstSense(dir + "/index.verb", [&](const std::string &lemma, const std::string &first) {
        if (auto t = takers.find(first); t != takers.end() && t->second.contains(lemma)) transitive_.insert(lemma);
    });
}

void EnglishLexicon::readPersonNouns(const std::string &dir)
{
    constexpr std::string_view kPersonFile = "18";    // noun.person
    constexpr std::string_view kLocationFile = "15";  // noun.location
    std::unordered_set<std::string> personSynsets, placeSynsets;
    std::ifstream data(dir + "/data.noun");
    for (std::string line; std::getline(data, line);) {
        if (line.empty() || line[0] == ' ') continue;  // the licence header
        auto space = line.find(' ');
        if (space == std::string::npos) continue;
        std::string_view file = std::string_view(line).substr(space + 1, 2);
        if (file == kPersonFile) personSynsets.insert(line.substr(0, space));
        // A place by name: the synset's first word (after offset, file, part of speech and
        // count) is capitalised ("France", not "area").
        if (file != kLocationFile) continue;
        std::istringstream fields(line);
        std::string offset, lexFile, pos, count, word;
        fields >> offset >> lexFile >> pos >> count >> word;
        if (!word.empty() && std::isupper(static_cast<unsigned char>(word[0]))) placeSynsets.insert(offset);
    }
    forEachFirstSense(dir + "/index.noun", [&](const std::string &lemma, const std::string &first) {
        if (personSynsets.contains(first)) persons_.insert(lemma);
        if (placeSynsets.contains(first)) places_.insert(lemma);
    });
}

std::optional<std::string> EnglishLexicon::properAdjective(const std::string &lower) const
{
    auto found = properAdjectives_.find(lower);
    if (found == properAdjectives_.end()) return std::nullopt;
    return found->second;
}

bool EnglishLexicon::isPhrase(const std::string &first, const std::string &second) const
{
    return phrases_.contains(first + "_" + second);
}

bool EnglishLexicon::isLemma(const std::string &w) const
{
    return nouns_.contains(w) || verbs_.contains(w) || adjectives_.contains(w) || adverbs_.contains(w);
}

std::optional<std::string> EnglishLexicon::verbBase(const std::string &w) const
{
    if (auto it = verbExceptions_.find(w); it != verbExceptions_.end()) return it->second;
    return std::nullopt;
}
std::optional<std::string> EnglishLexicon::adjectiveBase(const std::string &w) const
{
    if (auto it = adjectiveExceptions_.find(w); it != adjectiveExceptions_.end()) return it->second;
    return std::nullopt;
}
std::optional<std::string> EnglishLexicon::nounBase(const std::string &w) const
{
    if (auto it = nounExceptions_.find(w); it != nounExceptions_.end()) return it->second;
    return std::nullopt;
}
std::optional<std::string> EnglishLexicon::participleOfPast(const std::string &w) const
{
    if (auto it = participles_.find(w); it != participles_.end()) return it->second;
    return std::nullopt;
}

std::optional<std::string> EnglishLexicon::irregularPast(const std::string &base) const
{
    if (auto it = pasts_.find(base); it != pasts_.end()) return it->second;
    return std::nullopt;
}

std::optional<std::string> EnglishLexicon::pastOfRegularised(const std::string &w) const
{
    if (w.size() < 5 || !endsWith(w, "ed")) return std::nullopt;
    std::string stem = w.substr(0, w.size() - 2);
    std::vector<std::string> bases = {w.substr(0, w.size() - 1), stem};  // "choosed", "teached"
    if (stem.size() > 2 && stem.back() == stem[stem.size() - 2]) bases.push_back(stem.substr(0, stem.size() - 1));
    if (stem.back() == 'i') bases.push_back(stem.substr(0, stem.size() - 1) + "y");  // "flied"
    for (const auto &base : bases)
        if (verbs_.contains(base))
            if (auto past = irregularPast(base)) return past;
    return std::nullopt;
}

bool EnglishLexicon::isPluralNoun(const std::string &w) const
{
    // Nouns in -s that are singular; WordNet lists them as lemmas like plural senses ("hours").
    static const std::unordered_set<std::string> singular = {
        "news",      "physics",    "means",   "species",     "series",    "mathematics", "economics", "politics",
        "athletics", "gymnastics", "ethics",  "linguistics", "measles",   "diabetes",    "lens",      "bus",
        "gas",       "chaos",      "bias",    "atlas",       "canvas",    "alias",       "status",    "analysis",
        "basis",     "crisis",     "thesis",  "yes",         "this",      "has",         "was",       "does",
        "goes",      "its",        "his",     "hers",        "ours",      "yours",       "theirs",    "less",
        "always",    "perhaps",    "towards", "whereas",     "sometimes", "afterwards",  "besides",   "thanks"};
    if (w == "people" || w == "children" || w == "men" || w == "women") return true;
    if (singular.contains(w)) return false;
    if (auto base = nounBase(w); base && *base != w && !nouns_.contains(w)) return true;
    if (!endsWith(w, "s") || endsWith(w, "ss") || endsWith(w, "us") || endsWith(w, "is")) return false;
    if (endsWith(w, "ies") && nouns_.contains(w.substr(0, w.size() - 3) + "y")) return true;
    if (endsWith(w, "es") && nouns_.contains(w.substr(0, w.size() - 2))) return true;
    return nouns_.contains(w.substr(0, w.size() - 1));
}

bool EnglishLexicon::isComparative(const std::string &w) const
{
    if (auto base = adjectiveBase(w); base && endsWith(w, "er")) return true;
    if (w == "better" || w == "worse") return true;
    // Time words compare but go with "then" ("see you later then").
    static const std::unordered_set<std::string> notComparatives = {"later", "sooner", "ever",  "never",   "over",
                                                                    "under", "after",  "other", "whether", "liver"};
    if (!endsWith(w, "er") || notComparatives.contains(w)) return false;
    std::string stem = w.substr(0, w.size() - 2);
    if (adjectives_.contains(stem) || adjectives_.contains(stem + "e")) return true;  // taller, larger
    if (stem.size() > 2 && stem.back() == stem[stem.size() - 2] &&
        adjectives_.contains(stem.substr(0, stem.size() - 1)))
        return true;                                                                            // bigger
    return endsWith(stem, "i") && adjectives_.contains(stem.substr(0, stem.size() - 1) + "y");  // easier
}

std::optional<std::string> EnglishLexicon::baseOfInflectedVerb(const std::string &w, bool allowPast) const
{
    // A past form may be an adjective lemma too ("wanted"), but never a noun or verb lemma
    // ("saw", "left", "found").
    bool pastAdjective =
        allowPast && endsWith(w, "ed") && !nouns_.contains(w) && !verbs_.contains(w) && !adverbs_.contains(w);
    if (isLemma(w) && !pastAdjective) return std::nullopt;
    if (auto base = verbBase(w); base && (allowPast || endsWith(w, "s"))) {
        if (endsWith(w, "ing")) return std::nullopt;
        return base;
    }
    if (endsWith(w, "ies") && verbs_.contains(w.substr(0, w.size() - 3) + "y")) return w.substr(0, w.size() - 3) + "y";
    if (endsWith(w, "es") && verbs_.contains(w.substr(0, w.size() - 2))) return w.substr(0, w.size() - 2);
    if (endsWith(w, "s") && !endsWith(w, "ss") && verbs_.contains(w.substr(0, w.size() - 1)))
        return w.substr(0, w.size() - 1);
    if (!allowPast) return std::nullopt;
    if (endsWith(w, "ied") && verbs_.contains(w.substr(0, w.size() - 3) + "y")) return w.substr(0, w.size() - 3) + "y";
    if (endsWith(w, "ed") && verbs_.contains(w.substr(0, w.size() - 2))) return w.substr(0, w.size() - 2);
    if (endsWith(w, "ed") && verbs_.contains(w.substr(0, w.size() - 1))) return w.substr(0, w.size() - 1);
    return std::nullopt;
}

}  // namespace quillo::cloud
