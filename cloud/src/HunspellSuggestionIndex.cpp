#include "HunspellSuggestionIndex.h"

#include <hunspell/hunspell.hxx>

#include <atomic>
#include <fstream>
#include <stdexcept>

namespace quillo::cloud {

namespace {

std::atomic<uint64_t> g_nextSerial{1};

// Each thread's last verdicts, one a slot by hash: a text asks about the same common words
// again and again, and this answers them without a lock or a trip through the shared maps.
struct RecentVerdict {
    uint64_t owner = 0;
    std::string word;
    bool known = false;
};
constexpr size_t kRecentVerdicts = 4096;
thread_local std::unique_ptr<std::array<RecentVerdict, kRecentVerdicts>> t_recent;

}  // namespace

HunspellSuggestionIndex::HunspellSuggestionIndex(const std::string &affPath, const std::string &dicPath, int instances)
    : serial_(g_nextSerial++)
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
    size_t hash = std::hash<std::string>{}(word);
    if (!t_recent) t_recent = std::make_unique<std::array<RecentVerdict, kRecentVerdicts>>();
    RecentVerdict &recent = (*t_recent)[(hash / kShards + serial_) % kRecentVerdicts];
    if (recent.owner == serial_ && recent.word == word) return recent.known;
    bool known = sharedVerdict(word, hash);
    recent.owner = serial_;
    recent.word = word;
    recent.known = known;
    return known;
}

bool HunspellSuggestionIndex::sharedVerdict(const std::string &word, size_t hash)
{
    KnownShard &shard = known_[hash % kShards];
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
