#pragma once
#include "SuggestionIndex.h"

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

class Hunspell;

namespace quillo::cloud {

// A few Hunspell instances (each is single-threaded), handed out to callers in turn. Verdicts
// on words are remembered: Hunspell's check was most of a correction's time, and texts repeat
// their words.
class HunspellSuggestionIndex : public SuggestionIndex {
public:
    HunspellSuggestionIndex(const std::string &affPath, const std::string &dicPath, int instances);
    ~HunspellSuggestionIndex() override;

    bool isKnown(const std::string &word) override;
    std::vector<std::string> suggestions(const std::string &word) override;

private:
    struct Slot {
        std::mutex mutex;
        std::unique_ptr<Hunspell> speller;
    };
    template <class F> auto withSpeller(F &&f);
    bool sharedVerdict(const std::string &word, size_t hash);
    std::vector<std::unique_ptr<Slot>> slots_;

    // Sharded so that threads seldom wait for each other. A full shard starts a new generation
    // and keeps the last one, from which words still asked for move over: one-off strings (new
    // typos, the parts a compound check tries) age out, the words texts are made of stay.
    static constexpr size_t kShards = 16, kShardCapacity = 8192;
    struct KnownShard {
        std::mutex mutex;
        std::unordered_map<std::string, bool> known, older;
    };
    std::array<KnownShard, kShards> known_;
    // Tells this instance's entries in the threads' own small caches of recent verdicts (see
    // isKnown) from those of an earlier instance at the same address.
    const uint64_t serial_;
};

}  // namespace quillo::cloud
