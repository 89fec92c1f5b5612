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
    // Only the band |i - j| <= limit can hold a distance within the limit (a cell off the
    // diagonal by d costs at least d), so each row computes just that band and reads cells
    // outside it as limit + 1: the answer is the same, for a fraction of the cells.
    const int over = limit + 1;
    const size_t band = static_cast<size_t>(std::max(limit, 0));
    // Three rolling rows (the swap case looks two rows back), on the stack for ordinary words.
    constexpr size_t kStack = 64;
    std::array<int, 3 * (kStack + 1)> stack;  // cells are written before they are read
    std::vector<int> heap;
    int *base = stack.data();
    if (m > kStack) {
        heap.resize(3 * (m + 1));
        base = heap.data();
    }
    int *back2 = base, *back1 = base + (m + 1), *row = base + 2 * (m + 1);
    for (size_t j = 0; j <= m; ++j) back1[j] = std::min(static_cast<int>(j), over);
    for (size_t i = 1; i <= n; ++i) {
        const size_t from = i > band ? i - band : 1, to = std::min(m, i + band);
        // The cells just outside the band, read by the next row or by this one's first cell.
        if (from > 1) row[from - 1] = over;
        else row[0] = std::min(static_cast<int>(i), over);
        if (to < m) row[to + 1] = over;
        int best = from > 1 ? over : row[0];
        for (size_t j = from; j <= to; ++j) {
            int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            int v = std::min({back1[j] + 1, row[j - 1] + 1, back1[j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) v = std::min(v, back2[j - 2] + 1);
            v = std::min(v, over);
            row[j] = v;
            best = std::min(best, v);
        }
        if (best > limit) return over;
        int *oldest = back2;
        back2 = back1;
        back1 = row;
        row = oldest;
    }
    return std::min(back1[m], over);
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
