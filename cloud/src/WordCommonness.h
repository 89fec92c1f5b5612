#pragma once
// How common a word is, from the SCOWL size lists that Debian ships (package scowl, the same
// upstream and release as hunspell-en-us). SCOWL sorts its words into sizes 10..95 by how
// common they are: size 10 holds the few thousand words everyone uses, size 60 is where the
// en_US Hunspell dictionary stops, larger sizes hold rarities. A word's level is the smallest
// size that lists it. Without the lists every word counts as equally common.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace quillo::cloud {

class WordCommonness {
public:
    static constexpr uint8_t kUnlisted = 99;
    static constexpr const char *kDefaultDirectory = "/usr/share/dict/scowl";

    // The American and common English lists in `directory`, sorted; none when it is missing.
    static std::vector<std::string> listFiles(const std::string &directory);
    // Reads those lists; empty when there are none.
    static WordCommonness load(const std::string &directory);

    uint8_t level(const std::string &word) const;  // as spelt, then in lower case
    bool empty() const { return levels_.empty(); }
    size_t size() const { return levels_.size(); }
    // Fingerprint of the lists read, for keying caches built from them.
    const std::string &signature() const { return signature_; }

private:
    std::unordered_map<std::string, uint8_t> levels_;
    std::string signature_;
};

}  // namespace quillo::cloud
