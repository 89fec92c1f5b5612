#pragma once
// Misspellings with one known correction, from codespell's dictionary (Debian's package
// codespell): "recieve" -> "receive", "teh" -> "the". People really make these slips, so a
// word listed there is fixed with more confidence than a suggestion search could give; an
// entry with several corrections ("abord" -> "abort, aboard") is ambiguous and left out.
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace quillo::cloud {

class KnownMisspellings {
public:
    static constexpr const char *kDefaultFile = "/usr/lib/python3/dist-packages/codespell_lib/data/dictionary.txt";

    static KnownMisspellings load(const std::string &file);  // empty when the file is missing
    static const KnownMisspellings &shared();                // kDefaultFile, read on first call

    std::optional<std::string> correction(const std::string &lower) const;
    // Whether codespell lists the word at all, with one correction or several ("alot").
    bool listed(const std::string &lower) const { return corrections_.contains(lower) || ambiguous_.contains(lower); }
    // The several corrections of an ambiguous entry ("ther": "there", "their", "the", "other").
    const std::vector<std::string> *readings(const std::string &lower) const
    {
        auto it = ambiguous_.find(lower);
        return it == ambiguous_.end() ? nullptr : &it->second;
    }
    size_t size() const { return corrections_.size(); }

private:
    std::unordered_map<std::string, std::string> corrections_;
    std::unordered_map<std::string, std::vector<std::string>> ambiguous_;
};

}  // namespace quillo::cloud
