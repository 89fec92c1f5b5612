#include "IndexedSuggestionIndex.h"

#include "Crypto.h"
#include "DictionaryExpansion.h"
#include "Log.h"
#include "WordCommonness.h"

#include <fstream>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <sstream>
#include <stdexcept>

namespace quillo::cloud {

namespace {

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Size and content digest: an edited file always differs, a touched or reinstalled
// identical one does not (mtimes say nothing either way).
std::string fingerprint(const std::string &path)
{
    std::string content = readFile(path);
    return std::to_string(content.size()) + ":" + crypto::sha256Hex(content);
}

constexpr size_t kJobsKept = 4096;

thread_local std::optional<std::chrono::steady_clock::time_point> t_textDeadline;

}  // namespace

IndexedSuggestionIndex::TextBudget::TextBudget(std::chrono::milliseconds total) : previous_(t_textDeadline)
{
    auto deadline = std::chrono::steady_clock::now() + total;
    if (!t_textDeadline || deadline < *t_textDeadline) t_textDeadline = deadline;
}

IndexedSuggestionIndex::TextBudget::~TextBudget() { t_textDeadline = previous_; }

IndexedSuggestionIndex::IndexedSuggestionIndex(std::shared_ptr<SuggestionIndex> authority, Options options)
    : authority_(std::move(authority)), options_(std::move(options))
{
    worker_ = std::thread([this] { fallbackWorker(); });
}

IndexedSuggestionIndex::~IndexedSuggestionIndex()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        released_ = true;
    }
    changed_.notify_all();
    if (builder_.joinable()) builder_.join();
    if (worker_.joinable()) worker_.join();
}

std::string IndexedSuggestionIndex::cacheKey(const Options &options)
{
    std::string key = "symmetric-delete/" + std::to_string(SymmetricDeleteIndex::kPrefix) + "/" +
                      std::to_string(SymmetricDeleteIndex::kMaxDistance) + "/ranking-2";
    key += "|aff=" + fingerprint(options.affPath);
    key += "|dic=" + fingerprint(options.dicPath);
    if (!options.commonnessDirectory.empty())
        for (const auto &file : WordCommonness::listFiles(options.commonnessDirectory))
            key += "|" + file.substr(file.find_last_of('/') + 1) + "=" + fingerprint(file);
    return key;
}

void IndexedSuggestionIndex::start()
{
    std::lock_guard lock(mutex_);
    if (builder_.joinable() || !options_.buildIndex) return;
    builder_ = std::thread([this] { build(); });
}

void IndexedSuggestionIndex::releaseBuild()
{
    {
        std::lock_guard lock(mutex_);
        released_ = true;
    }
    changed_.notify_all();
}

bool IndexedSuggestionIndex::waitUntilReady(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return state_ == State::ready || state_ == State::failed; });
    return state_ == State::ready;
}

IndexedSuggestionIndex::BuildReport IndexedSuggestionIndex::report() const
{
    std::lock_guard lock(mutex_);
    BuildReport r = report_;
    r.state = state_.load();
    return r;
}

void IndexedSuggestionIndex::waitForFallbacks()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stopping_ || (queue_.empty() && running_ == 0); });
}

void IndexedSuggestionIndex::build()
{
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !options_.holdBuild || released_; });
        if (stopping_) return;
    }
    state_ = State::building;
    auto started = std::chrono::steady_clock::now();
    BuildReport r;
    try {
        std::string key = cacheKey(options_);
        std::optional<SymmetricDeleteIndex> index;
        if (!options_.cachePath.empty())
            index = SymmetricDeleteIndex::load(options_.cachePath, key, [this] { return stopping_.load(); });
        if (stopping_) return;
        r.fromCache = index.has_value();
        if (!index) {
            auto forms = DictionaryExpansion::expand(readFile(options_.affPath), readFile(options_.dicPath));
            WordCommonness commonness;
            if (!options_.commonnessDirectory.empty()) commonness = WordCommonness::load(options_.commonnessDirectory);
            std::vector<SymmetricDeleteIndex::Entry> entries;
            entries.reserve(forms.words.size());
            for (auto &word : forms.words) {
                if (stopping_) return;
                // Hunspell decides: a form our expansion got wrong is never suggested.
                if (!authority_->isKnown(word)) {
                    ++r.formsRejected;
                    continue;
                }
                entries.push_back({word, commonness.level(word)});
            }
            index = SymmetricDeleteIndex::build(std::move(entries));
            if (!options_.cachePath.empty() && !index->save(options_.cachePath, key))
                log::warn("suggestion_cache_unwritable");
        }
        r.words = index->wordCount();
        r.deletes = index->deleteCount();
        r.bytes = index->memoryBytes();
        index_ = std::make_unique<SymmetricDeleteIndex>(std::move(*index));
        ready_ = index_.get();
        r.state = State::ready;
    } catch (const std::exception &e) {
        r.state = State::failed;
        r.error = e.what();
    }
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
#ifdef __GLIBC__
    malloc_trim(0);  // the build's scratch (forms, word lists, unsorted deletes) goes back to the system
#endif
    {
        std::lock_guard lock(mutex_);
        report_ = r;
        state_ = r.state;
    }
    changed_.notify_all();
    if (r.state == State::ready)
        log::info("suggestion_index_ready", {{"seconds", r.seconds},
                                             {"fromCache", r.fromCache},
                                             {"words", r.words},
                                             {"deletes", r.deletes},
                                             {"bytes", r.bytes},
                                             {"formsRejected", r.formsRejected}});
    else log::error("suggestion_index_failed", {{"reason", r.error}});
}

bool IndexedSuggestionIndex::isKnown(const std::string &word) { return authority_->isKnown(word); }

SuggestionIndex::Answer IndexedSuggestionIndex::answer(const std::string &word)
{
    if (!options_.buildIndex) return fallback(word);
    if (const SymmetricDeleteIndex *index = ready_.load()) {
        auto candidates = index->lookup(word);
        if (!candidates.empty()) {
            Answer a;
            for (auto &c : candidates) a.words.push_back(std::move(c.word));
            return a;
        }
        if (!options_.fallbackOnceReady) return {};
        return fallback(word);
    }
    Answer a = fallback(word);
    a.settled = false;  // the index may well answer differently once it is ready
    return a;
}

SuggestionIndex::Answer IndexedSuggestionIndex::fallback(const std::string &word)
{
    std::unique_lock lock(mutex_);
    std::shared_ptr<Job> job;
    if (auto it = jobs_.find(word); it != jobs_.end()) {
        job = it->second;
    } else {
        if (queue_.size() >= options_.fallbackQueueLimit || stopping_) return {{}, false};
        if (jobs_.size() >= kJobsKept)
            for (auto i = jobs_.begin(); i != jobs_.end();) i = i->second->done ? jobs_.erase(i) : std::next(i);
        job = std::make_shared<Job>();
        job->word = word;
        jobs_[word] = job;
        queue_.push_back(job);
        changed_.notify_all();
    }
    auto until = std::chrono::steady_clock::now() + options_.fallbackBudget;
    if (t_textDeadline && *t_textDeadline < until) until = *t_textDeadline;
    if (!changed_.wait_until(lock, until, [&] { return job->done; })) return {{}, false};
    jobs_.erase(word);
    return {job->words, true};
}

void IndexedSuggestionIndex::fallbackWorker()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
        if (stopping_) return;
        auto job = queue_.front();
        queue_.pop_front();
        ++running_;
        lock.unlock();
        std::vector<std::string> words;
        try {
            words = authority_->suggestions(job->word);
        } catch (const std::exception &) {
        }
        lock.lock();
        job->words = std::move(words);
        job->done = true;
        --running_;
        changed_.notify_all();
    }
}

}  // namespace quillo::cloud
