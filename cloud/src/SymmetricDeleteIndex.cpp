#include "SymmetricDeleteIndex.h"

#include "SuggestionRanking.h"
#include "TypoCost.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <unistd.h>

namespace quillo::cloud {

namespace {

constexpr char kMagic[8] = {'Q', 'S', 'D', 'X', 'I', 'D', 'X', '1'};
constexpr size_t kBuckets = 1 << 16;

uint32_t hashOf(std::string_view s)
{
    uint32_t h = 2166136261u;  // FNV-1a
    for (unsigned char c : s) {
        h ^= c;
        h *= 16777619u;
    }
    h ^= static_cast<uint32_t>(s.size()) * 0x9E3779B1u;
    return h;
}

std::string lowered(std::string_view s)
{
    std::string out(s);
    for (auto &c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// Hashes of `s` and of every string made by deleting up to `depth` of its characters.
void deleteHashes(std::string_view s, int depth, std::vector<uint32_t> &out)
{
    out.push_back(hashOf(s));
    if (depth == 0 || s.size() <= 1) return;
    std::string buffer;
    for (size_t i = 0; i < s.size(); ++i) {
        if (i > 0 && s[i] == s[i - 1]) continue;  // same result as deleting the previous one
        buffer.assign(s.substr(0, i));
        buffer.append(s.substr(i + 1));
        deleteHashes(buffer, depth - 1, out);
    }
}

template <class T> void writeVector(std::ofstream &out, const std::vector<T> &v)
{
    uint64_t n = v.size();
    out.write(reinterpret_cast<const char *>(&n), sizeof n);
    out.write(reinterpret_cast<const char *>(v.data()), static_cast<std::streamsize>(n * sizeof(T)));
}

template <class T>
bool readVector(std::ifstream &in, std::vector<T> &v, uint64_t maxCount, const std::function<bool()> &stopped)
{
    uint64_t n = 0;
    if (!in.read(reinterpret_cast<char *>(&n), sizeof n) || n > maxCount) return false;
    v.resize(n);
    constexpr uint64_t kSlice = uint64_t{1} << 22;
    char *data = reinterpret_cast<char *>(v.data());
    for (uint64_t done = 0, total = n * sizeof(T); done < total; done += kSlice) {
        if (stopped && stopped()) return false;
        if (!in.read(data + done, static_cast<std::streamsize>(std::min(kSlice, total - done)))) return false;
    }
    return true;
}

}  // namespace

SymmetricDeleteIndex SymmetricDeleteIndex::build(std::vector<Entry> entries)
{
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) { return a.word < b.word; });
    entries.erase(
        std::unique(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) { return a.word == b.word; }),
        entries.end());
    SymmetricDeleteIndex index;
    index.offsets_.reserve(entries.size() + 1);
    index.levels_.reserve(entries.size());
    index.offsets_.push_back(0);
    std::vector<uint32_t> hashes;
    index.deletes_.reserve(entries.size() * 24);
    for (uint32_t id = 0; id < entries.size(); ++id) {
        const Entry &e = entries[id];
        index.chars_ += e.word;
        index.offsets_.push_back(static_cast<uint32_t>(index.chars_.size()));
        index.levels_.push_back(e.level);
        std::string key = lowered(e.word).substr(0, kPrefix);
        hashes.clear();
        deleteHashes(key, kMaxDistance, hashes);
        std::sort(hashes.begin(), hashes.end());
        hashes.erase(std::unique(hashes.begin(), hashes.end()), hashes.end());
        for (uint32_t h : hashes) index.deletes_.push_back((static_cast<uint64_t>(h) << 32) | id);
    }
    std::sort(index.deletes_.begin(), index.deletes_.end());
    index.deletes_.shrink_to_fit();
    index.buckets_.assign(kBuckets + 1, 0);
    for (uint64_t d : index.deletes_) ++index.buckets_[(d >> 48) + 1];
    for (size_t b = 1; b <= kBuckets; ++b) index.buckets_[b] += index.buckets_[b - 1];
    return index;
}

std::string_view SymmetricDeleteIndex::word(uint32_t id) const
{
    return std::string_view(chars_).substr(offsets_[id], offsets_[id + 1] - offsets_[id]);
}

std::vector<SymmetricDeleteIndex::Candidate> SymmetricDeleteIndex::lookup(std::string_view typo, size_t limit) const
{
    std::vector<Candidate> out;
    if (typo.empty() || deletes_.empty()) return out;
    const std::string query = lowered(typo);
    const int maxDistance = query.size() <= 3 ? 1 : kMaxDistance;
    std::vector<uint32_t> hashes;
    deleteHashes(std::string_view(query).substr(0, kPrefix), maxDistance, hashes);
    std::sort(hashes.begin(), hashes.end());
    hashes.erase(std::unique(hashes.begin(), hashes.end()), hashes.end());

    std::vector<uint32_t> ids;
    ids.reserve(1024);
    for (uint32_t h : hashes) {
        uint64_t lo = static_cast<uint64_t>(h) << 32, hi = lo | 0xFFFFFFFFu;
        auto first = deletes_.begin() + buckets_[h >> 16], last = deletes_.begin() + buckets_[(h >> 16) + 1];
        for (auto it = std::lower_bound(first, last, lo); it != last && *it <= hi; ++it)
            ids.push_back(static_cast<uint32_t>(*it));
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());

    // Cheap filters first (length, then the plain distance); the weighted score only for
    // candidates whose lower bound can still reach the best `limit`.
    struct Match {
        uint32_t id;
        int distance;
        double bound;
    };
    std::vector<Match> matches;
    // Most dictionary words are lower case already: only the others are copied to lower them.
    std::string lowerCopy;
    auto lowerOf = [&](std::string_view w) -> std::string_view {
        if (std::none_of(w.begin(), w.end(), [](char c) { return c >= 'A' && c <= 'Z'; })) return w;
        lowerCopy.assign(w);
        for (auto &c : lowerCopy)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return lowerCopy;
    };
    for (uint32_t id : ids) {
        std::string_view w = word(id);
        size_t gap = w.size() > query.size() ? w.size() - query.size() : query.size() - w.size();
        if (gap > static_cast<size_t>(maxDistance)) continue;
        std::string_view candidateLower = lowerOf(w);
        int distance = TypoCost::editDistance(query, candidateLower, maxDistance);
        if (distance > maxDistance) continue;
        matches.push_back(
            {id, distance, SuggestionRanking::lowerBound(query, candidateLower, w, levels_[id], distance)});
    }
    std::sort(matches.begin(), matches.end(), [](const Match &a, const Match &b) { return a.bound < b.bound; });
    std::vector<double> best;  // the `limit` lowest scores so far, sorted
    for (const Match &m : matches) {
        if (best.size() >= limit && m.bound > best.back()) break;
        std::string_view w = word(m.id);
        double score = SuggestionRanking::score(query, lowerOf(w), w, levels_[m.id]);
        out.push_back({std::string(w), m.distance, score});
        best.insert(std::upper_bound(best.begin(), best.end(), score), score);
        if (best.size() > limit) best.pop_back();
    }
    std::sort(out.begin(), out.end(), [](const Candidate &a, const Candidate &b) {
        if (a.score != b.score) return a.score < b.score;
        if (a.distance != b.distance) return a.distance < b.distance;
        return a.word < b.word;
    });
    if (out.size() > limit) out.resize(limit);
    return out;
}

size_t SymmetricDeleteIndex::memoryBytes() const
{
    return chars_.capacity() + offsets_.capacity() * sizeof(uint32_t) + levels_.capacity() +
           deletes_.capacity() * sizeof(uint64_t) + buckets_.capacity() * sizeof(uint32_t);
}

bool SymmetricDeleteIndex::save(const std::string &path, const std::string &key) const
{
    // A private temporary, renamed into place: concurrent writers and readers never see half a file.
    std::string temp = path + ".tmp." + std::to_string(::getpid()) + "." +
                       std::to_string(std::hash<std::thread::id>{}(std::this_thread::get_id()));
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(kMagic, sizeof kMagic);
        std::vector<char> keyBytes(key.begin(), key.end());
        writeVector(out, keyBytes);
        std::vector<char> chars(chars_.begin(), chars_.end());
        writeVector(out, chars);
        writeVector(out, offsets_);
        writeVector(out, levels_);
        writeVector(out, deletes_);
        writeVector(out, buckets_);
        out.write(kMagic, sizeof kMagic);  // trailer: a cut-short file does not load
        if (!out.flush()) return false;
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) std::filesystem::remove(temp, ec);
    return !ec;
}

std::optional<SymmetricDeleteIndex> SymmetricDeleteIndex::load(const std::string &path, const std::string &key,
                                                               const std::function<bool()> &stopped)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    char magic[sizeof kMagic];
    if (!in.read(magic, sizeof magic) || std::memcmp(magic, kMagic, sizeof kMagic) != 0) return std::nullopt;
    std::vector<char> keyBytes, chars;
    if (!readVector(in, keyBytes, 1 << 16, stopped) || std::string(keyBytes.begin(), keyBytes.end()) != key)
        return std::nullopt;
    SymmetricDeleteIndex index;
    constexpr uint64_t kLimit = 1ull << 32;
    if (!readVector(in, chars, kLimit, stopped) || !readVector(in, index.offsets_, kLimit, stopped) ||
        !readVector(in, index.levels_, kLimit, stopped) || !readVector(in, index.deletes_, kLimit, stopped) ||
        !readVector(in, index.buckets_, kBuckets + 1, stopped))
        return std::nullopt;
    if (!in.read(magic, sizeof magic) || std::memcmp(magic, kMagic, sizeof kMagic) != 0) return std::nullopt;
    index.chars_.assign(chars.begin(), chars.end());
    // Everything lookup() indexes with must be consistent, or the file is not ours.
    const size_t words = index.levels_.size();
    if (index.offsets_.size() != words + 1 || index.offsets_.front() != 0 ||
        index.offsets_.back() != index.chars_.size() || !std::is_sorted(index.offsets_.begin(), index.offsets_.end()) ||
        index.buckets_.size() != kBuckets + 1 || index.buckets_.back() != index.deletes_.size() ||
        !std::is_sorted(index.buckets_.begin(), index.buckets_.end()))
        return std::nullopt;
    for (size_t i = 0; i < index.deletes_.size(); ++i) {
        if (i % (size_t{1} << 20) == 0 && stopped && stopped()) return std::nullopt;
        if (static_cast<uint32_t>(index.deletes_[i]) >= words) return std::nullopt;
    }
    return index;
}

}  // namespace quillo::cloud
