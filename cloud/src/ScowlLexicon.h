#pragma once
// Every word the SCOWL lists in Debian's package scowl hold, in every spelling variety
// (American, British, Canadian, Australian and their variants, proper names, abbreviations,
// contractions, hacker jargon) up to size 80, with the smallest size that lists it. The
// Hunspell dictionaries stop at size 60, so a word they reject but SCOWL lists is a real word
// (a rarity, a name, another variety's spelling) that the engine must not "correct".
//
// Stored as one sorted blob of lower-case words with offsets (about 8 MB)
// rather than a hash map, and read once per process on first use.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillo::cloud {

class ScowlLexicon {
public:
    static constexpr uint8_t kUnlisted = 99;
    static constexpr const char *kDefaultDirectory = "/usr/share/dict/scowl";

    static ScowlLexicon load(const std::string &directory);
    // The process-wide lexicon from kDefaultDirectory, read on first call (thread-safe).
    static const ScowlLexicon &shared();

    bool contains(std::string_view word) const { return level(word) != kUnlisted; }  // any case
    uint8_t level(std::string_view word) const;  // smallest SCOWL size; kUnlisted when absent
    // Listed only among SCOWL's proper names (people, companies, products: "Redis", "Yong"),
    // not among its capitalised common words (places, days, peoples: "Paris", "Monday").
    bool onlyProperName(std::string_view word) const;
    size_t size() const { return offsets_.size(); }
    // Whether some common word (SCOWL's word lists up to size 60) starts with the two letters
    // this word starts with: "ld" and "dg" start none, so "ldap" and "dgit" are names.
    bool commonOnset(std::string_view lower) const;
    // Whether a word of at most `maxLevel`, at least `extraLetters` letters longer and
    // accepted by `accept` begins with `prefix` ("struct": "structure").
    bool beginsWord(std::string_view prefix, size_t extraLetters, uint8_t maxLevel,
                    const std::function<bool(const std::string &)> &accept) const;

    // Every plain lower-case word of at most `maxLevel`, in order.
    void forEachWord(uint8_t maxLevel, const std::function<void(std::string_view)> &visit) const;

private:
    static constexpr uint8_t kProperNameBit = 0x80;  // beside the size in a word's level byte
    uint8_t entry(std::string_view word) const;      // the level byte; kUnlisted when absent
    std::string_view wordAt(uint32_t offset) const;
    // The first stored word not before `key` (lower case).
    std::vector<uint32_t>::const_iterator firstFrom(const std::string &key) const;

    std::vector<bool> onsets_ = std::vector<bool>(size_t{26} * 26);  // first two letters of common words
    std::string blob_;                                               // words, each followed by a NUL and its level byte
    std::vector<uint32_t> offsets_;                                  // start of each word, sorted by word
};

}  // namespace quillo::cloud
