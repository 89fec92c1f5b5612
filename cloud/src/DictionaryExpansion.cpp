#include "DictionaryExpansion.h"

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

namespace quillo::cloud::DictionaryExpansion {

namespace {

struct Rule {
    std::string strip, add;
    std::vector<std::string> condition;  // one character class per position, "" = any
};

struct Affix {
    bool prefix = false;
    bool cross = false;
    std::vector<Rule> rules;
};

// "[^aeiou]y" -> {"^aeiou", "y"}; "." -> {""}.
std::vector<std::string> parseCondition(const std::string &text)
{
    std::vector<std::string> out;
    if (text == ".") return out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '[') {
            size_t end = text.find(']', i);
            if (end == std::string::npos) end = text.size();
            out.push_back(text.substr(i + 1, end - i - 1));
            i = end;
        } else if (text[i] == '.') {
            out.emplace_back();
        } else {
            out.emplace_back(1, text[i]);
        }
    }
    return out;
}

bool classMatches(const std::string &cls, char c)
{
    if (cls.empty()) return true;
    if (cls[0] == '^') return cls.find(c, 1) == std::string::npos;
    return cls.find(c) != std::string::npos;
}

bool conditionHolds(const Rule &r, const std::string &word, bool prefix)
{
    const auto &cond = r.condition;
    if (cond.size() > word.size()) return false;
    size_t start = prefix ? 0 : word.size() - cond.size();
    for (size_t k = 0; k < cond.size(); ++k)
        if (!classMatches(cond[k], word[start + k])) return false;
    return true;
}

bool apply(const Rule &r, const std::string &word, bool prefix, std::string &out)
{
    if (!conditionHolds(r, word, prefix)) return false;
    if (prefix) {
        if (word.compare(0, r.strip.size(), r.strip) != 0) return false;
        out = r.add + word.substr(r.strip.size());
    } else {
        if (word.size() < r.strip.size() || word.compare(word.size() - r.strip.size(), r.strip.size(), r.strip) != 0)
            return false;
        out = word.substr(0, word.size() - r.strip.size()) + r.add;
    }
    return !out.empty();
}

}  // namespace

Forms expand(const std::string &affText, const std::string &dicText)
{
    std::map<char, Affix> affixes;
    std::set<char> excluded;
    std::istringstream aff(affText);
    for (std::string line; std::getline(aff, line);) {
        std::istringstream fields(line);
        std::string kind;
        fields >> kind;
        if (kind == "NOSUGGEST" || kind == "ONLYINCOMPOUND" || kind == "FORBIDDENWORD" || kind == "NEEDAFFIX") {
            std::string flag;
            if (fields >> flag && !flag.empty()) excluded.insert(flag[0]);
            continue;
        }
        if (kind != "PFX" && kind != "SFX") continue;
        std::string flag, a, b, c;
        if (!(fields >> flag >> a >> b) || flag.empty()) continue;
        Affix &affix = affixes[flag[0]];
        affix.prefix = kind == "PFX";
        if (fields >> c) {  // a rule: flag strip add condition
            Rule r;
            r.strip = a == "0" ? "" : a;
            r.add = b == "0" ? "" : b.substr(0, b.find('/'));
            r.condition = parseCondition(c);
            affix.rules.push_back(std::move(r));
        } else {  // a header: flag cross count
            affix.cross = a == "Y";
        }
    }

    Forms forms;
    std::istringstream dic(dicText);
    std::string line;
    std::getline(dic, line);  // the stem count
    std::vector<std::string> words;
    words.reserve(200000);
    while (std::getline(dic, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        line = line.substr(0, line.find_first_of(" \t"));
        if (line.empty()) continue;
        size_t slash = line.find('/');
        std::string stem = line.substr(0, slash);
        std::string flags = slash == std::string::npos ? "" : line.substr(slash + 1);
        if (stem.empty() || std::any_of(stem.begin(), stem.end(), [](char ch) { return ch >= '0' && ch <= '9'; }))
            continue;
        if (std::any_of(flags.begin(), flags.end(), [&](char f) { return excluded.contains(f); })) continue;
        ++forms.stems;
        words.push_back(stem);
        std::vector<std::string> suffixed;
        std::string out;
        for (char f : flags) {
            auto it = affixes.find(f);
            if (it == affixes.end() || it->second.prefix) continue;
            for (const Rule &r : it->second.rules)
                if (apply(r, stem, false, out)) {
                    words.push_back(out);
                    if (it->second.cross) suffixed.push_back(out);
                }
        }
        for (char f : flags) {
            auto it = affixes.find(f);
            if (it == affixes.end() || !it->second.prefix) continue;
            for (const Rule &r : it->second.rules) {
                if (apply(r, stem, true, out)) words.push_back(out);
                if (!it->second.cross) continue;
                for (const std::string &s : suffixed)
                    if (apply(r, s, true, out)) words.push_back(out);
            }
        }
    }
    std::sort(words.begin(), words.end());
    words.erase(std::unique(words.begin(), words.end()), words.end());
    forms.words = std::move(words);
    return forms;
}

}  // namespace quillo::cloud::DictionaryExpansion
