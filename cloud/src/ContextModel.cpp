#include "ContextModel.h"

#include <sphinxbase/err.h>
#include <sphinxbase/logmath.h>
#include <sphinxbase/ngram_model.h>

#include <algorithm>
#include <filesystem>

namespace quillo::cloud {

std::unique_ptr<ContextModel> ContextModel::open(const std::string &path)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return nullptr;
    err_set_logfp(nullptr);  // the library logs every step of its loading to stderr
    logmath_t *math = logmath_init(1.0001, 0, 0);
    if (!math) return nullptr;
    ngram_model_t *model = ngram_model_read(nullptr, path.c_str(), NGRAM_AUTO, math);
    if (!model) {
        logmath_free(math);
        return nullptr;
    }
    return std::unique_ptr<ContextModel>(new ContextModel(model, math));
}

const ContextModel *ContextModel::shared()
{
    static const std::unique_ptr<ContextModel> model = open(kDefaultPath);
    return model.get();
}

ContextModel::~ContextModel()
{
    ngram_model_free(model_);
    logmath_free(math_);
}

bool ContextModel::isInVocabulary(const std::string &word) const
{
    std::lock_guard lock(mutex_);
    return knows(word);
}

bool ContextModel::knows(const std::string &word) const
{
    return ngram_wid(model_, word.c_str()) != ngram_unknown_wid(model_);
}

double ContextModel::logProb(const std::vector<std::string> &words, size_t from) const
{
    double sum = 0;
    for (size_t i = from; i < words.size(); ++i) {
        const char *w = words[i].c_str();
        int32 p = i >= 2   ? ngram_probv(model_, w, words[i - 1].c_str(), words[i - 2].c_str(), nullptr)
                  : i == 1 ? ngram_probv(model_, w, words[0].c_str(), nullptr)
                           : ngram_probv(model_, w, nullptr);
        sum += logmath_log_to_log10(math_, p);
    }
    return sum;
}

std::optional<std::string> ContextModel::choose(const std::vector<std::string> &before,
                                                const std::vector<std::string> &candidates,
                                                const std::vector<std::string> &after, const std::string &typed) const
{
    if (candidates.size() < 2) return std::nullopt;
    std::vector<std::pair<double, const std::string *>> scored;
    std::lock_guard lock(mutex_);
    for (const std::string &c : candidates) {
        std::vector<std::string> words = before;
        for (size_t start = 0; start <= c.size();) {
            size_t end = std::min(c.find(' ', start), c.size());
            words.push_back(c.substr(start, end - start));
            if (!knows(words.back())) return std::nullopt;
            start = end + 1;
        }
        words.insert(words.end(), after.begin(), after.end());
        scored.emplace_back(logProb(words, before.size()), &c);
    }
    std::ranges::sort(scored, [](auto &a, auto &b) { return a.first > b.first; });
    // Two words are the typed word read apart ("back end"): never a replacement of its own.
    auto split = [](const std::string &w) { return w.find(' ') != std::string::npos; };
    double confirmed = typed.size() >= kLongTypoLetters ? kConfirmedLongChoiceMargin : kConfirmedChoiceMargin;
    double margin = *scored[0].second == candidates.front() ? confirmed : kChoiceMargin;
    if (split(*scored[0].second) || scored[0].first - scored[1].first < margin) return std::nullopt;
    for (auto &[score, word] : scored) {
        double lead = scored[0].first - score;
        if ((*word == typed && lead < kOverTypedMargin) || (split(*word) && lead < kOverSplitMargin))
            return std::nullopt;
    }
    return *scored[0].second;
}

std::optional<double> ContextModel::lead(const std::vector<std::string> &before, const std::string &first,
                                         const std::string &second, const std::vector<std::string> &after) const
{
    return lead(before, std::vector{first}, std::vector{second}, after);
}

std::optional<double> ContextModel::lead(const std::vector<std::string> &before, const std::vector<std::string> &first,
                                         const std::vector<std::string> &second,
                                         const std::vector<std::string> &after) const
{
    std::lock_guard lock(mutex_);
    auto known = [&](const std::vector<std::string> &run) {
        return std::ranges::all_of(run, [&](const std::string &w) { return knows(w); });
    };
    if (!known(first) || !known(second)) return std::nullopt;
    auto score = [&](const std::vector<std::string> &run) {
        std::vector<std::string> words = before;
        words.insert(words.end(), run.begin(), run.end());
        words.insert(words.end(), after.begin(), after.end());
        return logProb(words, before.size());
    };
    return score(first) - score(second);
}

}  // namespace quillo::cloud
