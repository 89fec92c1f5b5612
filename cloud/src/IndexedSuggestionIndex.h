#pragma once
// Suggestions from a SymmetricDeleteIndex over every form of the Hunspell dictionary, with
// Hunspell (the authority) deciding which words are correct and answering, within a time
// budget, the words the index has no candidate for.
//
// The index is built on a thread of its own (or read from a cache file, keyed on the size and
// SHA-256 of the dictionary and word-list files it was built from), so a server stays usable
// meanwhile: until it is ready every suggestion comes from the bounded fallback, and such
// answers are marked unsettled so that nobody caches them.
#include "SuggestionIndex.h"
#include "SymmetricDeleteIndex.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace quillo::cloud {

class IndexedSuggestionIndex : public SuggestionIndex {
public:
    struct Options {
        std::string affPath, dicPath;
        std::string commonnessDirectory;  // SCOWL lists; empty or missing: no commonness
        std::string cachePath;            // empty: build every time
        std::chrono::milliseconds fallbackBudget{40};
        size_t fallbackQueueLimit = 32;  // more pending fallback searches are refused
        // Whether a ready index still asks Hunspell for words it has no candidate for. Such
        // words are more than two edits from any word, too far for the engine to trust a
        // suggestion, so the server does not spend the time.
        bool fallbackOnceReady = true;
        bool holdBuild = false;  // the build waits for releaseBuild() (tests)
        // False: no index; every answer is Hunspell's, bounded by the budgets, and kept when in time.
        bool buildIndex = true;
    };
    enum class State { waiting, building, ready, failed };
    struct BuildReport {
        State state = State::waiting;
        bool fromCache = false;
        double seconds = 0;
        size_t words = 0, deletes = 0, bytes = 0, formsRejected = 0;
        std::string error;
    };

    // Caps the fallback time of all words looked up on this thread while it lives (one text),
    // on top of each word's own budget: a text full of unknown words still answers in time.
    class TextBudget {
    public:
        explicit TextBudget(std::chrono::milliseconds total);
        ~TextBudget();
        TextBudget(const TextBudget &) = delete;
        TextBudget &operator=(const TextBudget &) = delete;

    private:
        std::optional<std::chrono::steady_clock::time_point> previous_;
    };

    IndexedSuggestionIndex(std::shared_ptr<SuggestionIndex> authority, Options options);
    ~IndexedSuggestionIndex() override;

    void start();  // begins building (or loading) in the background; once
    void releaseBuild();
    bool waitUntilReady(std::chrono::milliseconds timeout);  // true when ready
    BuildReport report() const;
    void waitForFallbacks();  // until no fallback search is queued or running
    State state() const { return state_.load(); }
    const SymmetricDeleteIndex *readyIndex() const { return ready_.load(); }  // null until ready

    bool isKnown(const std::string &word) override;
    std::vector<std::string> suggestions(const std::string &word) override { return answer(word).words; }
    Answer answer(const std::string &word) override;

    // The key a cache file must carry to be used for these options' files.
    static std::string cacheKey(const Options &options);

private:
    struct Job {
        std::string word;
        bool done = false;
        std::vector<std::string> words;
    };
    void build();
    Answer fallback(const std::string &word);
    void fallbackWorker();

    std::shared_ptr<SuggestionIndex> authority_;
    Options options_;
    std::unique_ptr<SymmetricDeleteIndex> index_;
    std::atomic<const SymmetricDeleteIndex *> ready_{nullptr};
    std::atomic<State> state_{State::waiting};

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool released_ = false;
    int running_ = 0;  // fallback searches in progress
    std::atomic<bool> stopping_{false};
    BuildReport report_;
    std::deque<std::shared_ptr<Job>> queue_;
    std::unordered_map<std::string, std::shared_ptr<Job>> jobs_;  // pending, or finished too late
    std::thread builder_, worker_;
};

}  // namespace quillo::cloud
