#pragma once
#include "SuggestionIndex.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

class Hunspell;

namespace quillo::cloud {

// A few Hunspell instances (each is single-threaded), handed out to callers in turn.
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
    std::vector<std::unique_ptr<Slot>> slots_;
};

}  // namespace quillo::cloud
