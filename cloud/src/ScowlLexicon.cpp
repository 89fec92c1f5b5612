#include "ScowlLexicon.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <unordered_map>

namespace quillo::cloud {

namespace {
std::string lowered(std::string_view w)
{
    std::string out(w);
    for (auto &c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// "british_variant_1-words.70" -> 70; -1 for files that are not size lists.
int listSize(const std::string &name)
{
    auto dot = name.rfind('.');
    if (dot == std::string::npos || dot + 1 >= name.size()) return -1;
    int size = 0;
    for (size_t i = dot + 1; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return -1;
        size = size * 10 + (name[i] - '0');
    }
    return size;
}
}  // namespace

ScowlLexicon ScowlLexicon::load(const std::string &directory)
{
    ScowlLexicon out;
    std::unordered_map<std::string, uint8_t> levels;
    std::unordered_map<std::string, bool> onlyProper;  // listed, and only among proper names
    std::error_code ec;
    if (std::filesystem::is_directory(directory, ec)) {
        for (auto &entry : std::filesystem::directory_iterator(directory, ec)) {
            std::string name = entry.path().filename().string();
            int size = listSize(name);
            // Size 95 also lists common misspellings ("wierd", "dont"): it stops at 80. The
            // hacker jargon and numeral lists are real words, however rare.
            bool special = name.rfind("special-", 0) == 0;
            bool proper = name.find("-proper-names.") != std::string::npos;
            if (size < 0 || (size > 80 && !special)) continue;
            if (special) size = 90;
            std::ifstream in(entry.path());
            for (std::string word; std::getline(in, word);) {
                if (!word.empty() && word.back() == '\r') word.pop_back();
                if (word.empty()) continue;
                std::string key = lowered(word);
                bool wordList = name.find("-words.") != std::string::npos;
                if (wordList && size <= 60 && word.size() > 1 && std::islower(static_cast<unsigned char>(word[0])) &&
                    std::islower(static_cast<unsigned char>(word[1])) && word[0] <= 'z' && word[1] <= 'z')
                    out.onsets_[static_cast<size_t>(word[0] - 'a') * 26 + static_cast<size_t>(word[1] - 'a')] = true;
                auto [it, inserted] = levels.emplace(key, static_cast<uint8_t>(size));
                if (!inserted) it->second = std::min(it->second, static_cast<uint8_t>(size));
                auto [p, fresh] = onlyProper.emplace(std::move(key), proper);
                if (!fresh) p->second = p->second && proper;
            }
        }
    }
    std::vector<std::pair<std::string, uint8_t>> sorted(levels.begin(), levels.end());
    levels.clear();
    std::sort(sorted.begin(), sorted.end());
    out.offsets_.reserve(sorted.size());
    for (auto &[word, level] : sorted) {
        out.offsets_.push_back(static_cast<uint32_t>(out.blob_.size()));
        out.blob_ += word;
        out.blob_ += '\0';
        out.blob_ += static_cast<char>(level | (onlyProper[word] ? kProperNameBit : 0));
    }
    out.blob_.shrink_to_fit();
    return out;
}

const ScowlLexicon &ScowlLexicon::shared()
{
    static const ScowlLexicon lexicon = load(kDefaultDirectory);
    return lexicon;
}

std::string_view ScowlLexicon::wordAt(uint32_t offset) const
{
    size_t end = blob_.find('\0', offset);
    return std::string_view(blob_.data() + offset, end - offset);
}

std::vector<uint32_t>::const_iterator ScowlLexicon::firstFrom(const std::string &key) const
{
    return std::lower_bound(offsets_.begin(), offsets_.end(), key,
                            [&](uint32_t offset, const std::string &k) { return wordAt(offset) < k; });
}

uint8_t ScowlLexicon::entry(std::string_view word) const
{
    std::string key = lowered(word);
    auto it = firstFrom(key);
    if (it == offsets_.end() || wordAt(*it) != key) return kUnlisted;
    return static_cast<uint8_t>(blob_[*it + key.size() + 1]);
}

uint8_t ScowlLexicon::level(std::string_view word) const
{
    uint8_t entry = this->entry(word);
    return entry == kUnlisted ? kUnlisted : static_cast<uint8_t>(entry & ~kProperNameBit);
}

bool ScowlLexicon::onlyProperName(std::string_view word) const
{
    uint8_t entry = this->entry(word);
    return entry != kUnlisted && (entry & kProperNameBit) != 0;
}

bool ScowlLexicon::commonOnset(std::string_view lower) const
{
    if (lower.size() < 2 || lower[0] < 'a' || lower[0] > 'z' || lower[1] < 'a' || lower[1] > 'z') return true;
    return onsets_[static_cast<size_t>(lower[0] - 'a') * 26 + static_cast<size_t>(lower[1] - 'a')];
}

bool ScowlLexicon::beginsWord(std::string_view prefix, size_t extraLetters, uint8_t maxLevel,
                              const std::function<bool(const std::string &)> &accept) const
{
    std::string key = lowered(prefix);
    for (auto it = firstFrom(key); it != offsets_.end(); ++it) {
        std::string_view word = wordAt(*it);
        if (!word.starts_with(key)) break;
        uint8_t level = static_cast<uint8_t>(blob_[*it + word.size() + 1]) & ~kProperNameBit;
        if (word.size() >= key.size() + extraLetters && level <= maxLevel && accept(std::string(word))) return true;
    }
    return false;
}

void ScowlLexicon::forEachWord(uint8_t maxLevel, const std::function<void(std::string_view)> &visit) const
{
    for (uint32_t offset : offsets_) {
        std::string_view word = wordAt(offset);
        uint8_t entry = static_cast<uint8_t>(blob_[offset + word.size() + 1]);
        if ((entry & kProperNameBit) == 0 && (entry & ~kProperNameBit) <= maxLevel) visit(word);
    }
}

}  // namespace quillo::cloud
