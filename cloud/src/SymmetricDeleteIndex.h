#pragma once
// Symmetric-delete lookup of the dictionary words within two edits of a typo. At build time
// every word's first kPrefix letters (lower case) are stored under each string made by
// deleting up to two of them; a query deletes up to two letters of its own prefix and looks
// those up. Any word within two edits (insertions, deletions, substitutions, adjacent swaps)
// shares at least one such string with the typo, so the matches are a superset; each is then
// checked with the true edit distance on the whole word and ranked (SuggestionRanking).
//
// Storage is flat so that it can be written to and read from disk as is: the words in one
// buffer, and the deletes as sorted 64-bit (32-bit hash, word id) pairs with a first-level
// table over the top 16 hash bits. Hash collisions only add matches that the check drops.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillo::cloud {

class SymmetricDeleteIndex {
public:
    static constexpr size_t kPrefix = 7;
    static constexpr int kMaxDistance = 2;

    struct Entry {
        std::string word;    // as the dictionary spells it
        uint8_t level = 99;  // WordCommonness level
    };
    struct Candidate {
        std::string word;
        int distance = 0;
        double score = 0;
    };

    SymmetricDeleteIndex() = default;
    static SymmetricDeleteIndex build(std::vector<Entry> entries);

    // Ranked candidates within kMaxDistance of `typo` (any case; compared in lower case), at
    // most `limit`. Words of three letters or fewer only get one-edit candidates: at two
    // edits nearly every short word matches and none is a useful guess.
    std::vector<Candidate> lookup(std::string_view typo, size_t limit = 5) const;

    size_t wordCount() const { return offsets_.empty() ? 0 : offsets_.size() - 1; }
    size_t deleteCount() const { return deletes_.size(); }
    size_t memoryBytes() const;
    std::string_view word(uint32_t id) const;
    uint8_t level(uint32_t id) const { return levels_[id]; }

    // Binary form, with the caller's key (what the index was built from) in its header.
    bool save(const std::string &path, const std::string &key) const;
    // `stopped` is asked between slices of the work: a server told to stop does not wait for a load.
    static std::optional<SymmetricDeleteIndex> load(const std::string &path, const std::string &key,
                                                    const std::function<bool()> &stopped = {});

private:
    std::string chars_;
    std::vector<uint32_t> offsets_;
    std::vector<uint8_t> levels_;
    std::vector<uint64_t> deletes_;  // (hash << 32) | word id, sorted
    std::vector<uint32_t> buckets_;  // 65537 starts into deletes_ by the hash's top 16 bits
};

}  // namespace quillo::cloud
