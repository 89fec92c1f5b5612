#pragma once
// A reproducible corpus of typos of dictionary words: each is one or two slips (deletion,
// insertion, substitution, adjacent swap, neighbouring key) applied to a word drawn with a
// fixed seed. Only std::mt19937_64's raw output is used, which the standard fixes, so the
// corpus is the same on every platform for the same word list and seed.
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace quillo::cloud::bench {

struct Typo {
    std::string typo, word, edits;
};

inline std::vector<Typo> makeTypoCorpus(const std::vector<std::string> &words, size_t count, uint64_t seed,
                                        const std::function<bool(const std::string &)> &isKnown)
{
    static const char *letters = "abcdefghijklmnopqrstuvwxyz";
    static const char *rows[] = {"qwertyuiop", "asdfghjkl", "zxcvbnm"};
    std::mt19937_64 rng(seed);
    auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
    auto neighbour = [&](char c) {
        std::string options;
        for (int r = 0; r < 3; ++r) {
            std::string row = rows[r];
            size_t at = row.find(c);
            if (at == std::string::npos) continue;
            if (at > 0) options += row[at - 1];
            if (at + 1 < row.size()) options += row[at + 1];
            for (int other : {r - 1, r + 1}) {
                if (other < 0 || other > 2) continue;
                std::string o = rows[other];
                // Staggered rows: the keys above-right/below-left share an edge.
                int shift = other < r ? 0 : -1;
                for (int d : {shift, shift + 1}) {
                    int k = static_cast<int>(at) + d;
                    if (k >= 0 && k < static_cast<int>(o.size())) options += o[static_cast<size_t>(k)];
                }
            }
        }
        return options.empty() ? c : options[pick(options.size())];
    };
    auto slip = [&](std::string &w) -> std::string {
        size_t i = pick(w.size());
        switch (pick(5)) {
        case 0: w.erase(i, 1); return "deletion";
        case 1: w.insert(w.begin() + static_cast<long>(pick(w.size() + 1)), letters[pick(26)]); return "insertion";
        case 2: {
            char c = w[i];
            while (c == w[i]) c = letters[pick(26)];
            w[i] = c;
            return "substitution";
        }
        case 3:
            if (w.size() < 2) return "none";
            i = pick(w.size() - 1);
            if (w[i] == w[i + 1]) return "none";
            std::swap(w[i], w[i + 1]);
            return "transposition";
        default: w[i] = neighbour(w[i]); return "neighbour";
        }
    };
    std::vector<Typo> out;
    if (words.empty()) return out;
    while (out.size() < count) {
        const std::string &word = words[pick(words.size())];
        std::string typo = word;
        bool twice = pick(10) < 3;
        std::string edits = slip(typo);
        if (twice) edits += "+" + slip(typo);
        if (edits.find("none") != std::string::npos || typo == word || typo.size() < 2 || isKnown(typo)) continue;
        out.push_back({typo, word, edits});
    }
    return out;
}

}  // namespace quillo::cloud::bench
