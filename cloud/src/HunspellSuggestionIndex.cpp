#include "HunspellSuggestionIndex.h"

#include <hunspell/hunspell.hxx>

#include <atomic>
#include <fstream>
#include <stdexcept>

namespace quillo::cloud {

HunspellSuggestionIndex::HunspellSuggestionIndex(const std::string &affPath, const std::string &dicPath, int instances)
{
    if (!std::ifstream(affPath) || !std::ifstream(dicPath)) throw std::runtime_error("dictionary files are missing");
    for (int i = 0; i < std::max(1, instances); ++i) {
        auto slot = std::make_unique<Slot>();
        slot->speller = std::make_unique<Hunspell>(affPath.c_str(), dicPath.c_str());
        slots_.push_back(std::move(slot));
    }
}

HunspellSuggestionIndex::~HunspellSuggestionIndex() = default;

template <class F> auto HunspellSuggestionIndex::withSpeller(F &&f)
{
    static std::atomic<size_t> next{0};
    size_t start = next++;
    for (size_t i = 0; i < slots_.size(); ++i) {
        Slot &slot = *slots_[(start + i) % slots_.size()];
        std::unique_lock lock(slot.mutex, std::try_to_lock);
        if (lock.owns_lock()) return f(*slot.speller);
    }
    Slot &slot = *slots_[start % slots_.size()];
    std::lock_guard lock(slot.mutex);
    return f(*slot.speller);
}

bool HunspellSuggestionIndex::isKnown(const std::string &word)
{
    KnownShard &shard = known_[std::hash<std::string>{}(word) % kShards];
    auto remember = [&](bool known) {
        if (shard.known.size() >= kShardCapacity) {
            shard.older = std::move(shard.known);
            shard.known = {};
            shard.known.reserve(kShardCapacity);
        }
        shard.known.emplace(word, known);
    };
    {
        std::lock_guard lock(shard.mutex);
        if (auto it = shard.known.find(word); it != shard.known.end()) return it->second;
        if (auto it = shard.older.find(word); it != shard.older.end()) {
            bool known = it->second;
            remember(known);
            return known;
        }
    }
    bool known = withSpeller([&](Hunspell &h) { return h.spell(word); });
    std::lock_guard lock(shard.mutex);
    remember(known);
    return known;
}

std::vector<std::string> HunspellSuggestionIndex::suggestions(const std::string &word)
{
    return withSpeller([&](Hunspell &h) { return h.suggest(word); });
}

}  // namespace quillo::cloud
