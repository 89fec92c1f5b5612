#include "TypoCost.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace quillo::cloud::TypoCost {

namespace {

constexpr double kEdit = 1.0;
constexpr double kNeighbourKey = 0.65;
constexpr double kVowelForVowel = 0.8;
constexpr double kSwap = kCheapestSlip;
constexpr double kDoubling = 0.6;  // a letter typed twice, or a double letter typed once

struct KeyPosition {
    int row = -1;
    double column = 0;
};

KeyPosition position(char c)
{
    static const char *rows[] = {"qwertyuiop", "asdfghjkl", "zxcvbnm"};
    static const double offsets[] = {0, 0.25, 0.75};  // staggered rows
    for (int r = 0; r < 3; ++r)
        if (const char *p = std::strchr(rows[r], c); p && c) return {r, offsets[r] + static_cast<double>(p - rows[r])};
    return {};
}

bool isVowel(char c) { return c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u'; }

double substitution(char from, char to)
{
    if (from == to) return 0;
    if (adjacentKeys(from, to)) return kNeighbourKey;
    if (isVowel(from) && isVowel(to)) return kVowelForVowel;
    return kEdit;
}

}  // namespace

bool adjacentKeys(char a, char b)
{
    static const auto table = [] {
        std::array<std::array<bool, 26>, 26> t{};
        for (char x = 'a'; x <= 'z'; ++x)
            for (char y = 'a'; y <= 'z'; ++y) {
                KeyPosition px = position(x), py = position(y);
                int rows = std::abs(px.row - py.row);
                double columns = std::abs(px.column - py.column);
                t[x - 'a'][y - 'a'] = x != y && ((rows == 0 && columns <= 1.0) || (rows == 1 && columns <= 0.8));
            }
        return t;
    }();
    if (a < 'a' || a > 'z' || b < 'a' || b > 'z') return false;
    return table[a - 'a'][b - 'a'];
}

int editDistance(std::string_view a, std::string_view b, int limit)
{
    const size_t n = a.size(), m = b.size();
    if (static_cast<int>(n > m ? n - m : m - n) > limit) return limit + 1;
    // Three rolling rows (the swap case looks two rows back), on the stack for ordinary words.
    constexpr size_t kStack = 64;
    std::array<int, 3 * (kStack + 1)> stack;  // not cleared: every cell is written before it is read
    std::vector<int> heap;
    int *base = stack.data();
    if (m > kStack) {
        heap.resize(3 * (m + 1));
        base = heap.data();
    }
    int *back2 = base, *back1 = base + (m + 1), *row = base + 2 * (m + 1);
    for (size_t j = 0; j <= m; ++j) back1[j] = static_cast<int>(j);
    for (size_t i = 1; i <= n; ++i) {
        row[0] = static_cast<int>(i);
        int best = row[0];
        for (size_t j = 1; j <= m; ++j) {
            int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            int v = std::min({back1[j] + 1, row[j - 1] + 1, back1[j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) v = std::min(v, back2[j - 2] + 1);
            row[j] = v;
            best = std::min(best, v);
        }
        if (best > limit) return limit + 1;
        int *oldest = back2;
        back2 = back1;
        back1 = row;
        row = oldest;
    }
    return std::min(back1[m], limit + 1);
}

double weighted(std::string_view typo, std::string_view word)
{
    const size_t n = typo.size(), m = word.size();
    std::vector<double> d((n + 1) * (m + 1));
    auto at = [&](size_t i, size_t j) -> double & { return d[i * (m + 1) + j]; };
    // Dropping typo[i-1] (an extra key) is cheap when it repeats its neighbour or sits next to it.
    auto extra = [&](size_t i) {
        char c = typo[i - 1];
        if ((i > 1 && typo[i - 2] == c) || (i < n && typo[i] == c)) return kDoubling;
        if ((i > 1 && adjacentKeys(typo[i - 2], c)) || (i < n && adjacentKeys(typo[i], c))) return 0.9;
        return kEdit;
    };
    // Adding word[j-1] (a missed key) is cheap when it is the second of a double letter.
    auto missing = [&](size_t j) {
        char c = word[j - 1];
        if ((j > 1 && word[j - 2] == c) || (j < m && word[j] == c)) return kDoubling;
        return kEdit;
    };
    at(0, 0) = 0;
    for (size_t i = 1; i <= n; ++i) at(i, 0) = at(i - 1, 0) + extra(i);
    for (size_t j = 1; j <= m; ++j) at(0, j) = at(0, j - 1) + missing(j);
    for (size_t i = 1; i <= n; ++i) {
        for (size_t j = 1; j <= m; ++j) {
            double v = std::min({at(i - 1, j) + extra(i), at(i, j - 1) + missing(j),
                                 at(i - 1, j - 1) + substitution(typo[i - 1], word[j - 1])});
            if (i > 1 && j > 1 && typo[i - 1] == word[j - 2] && typo[i - 2] == word[j - 1] &&
                typo[i - 1] != typo[i - 2])
                v = std::min(v, at(i - 2, j - 2) + kSwap);
            at(i, j) = v;
        }
    }
    return at(n, m);
}

}  // namespace quillo::cloud::TypoCost
