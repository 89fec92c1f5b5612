#pragma once
// A trigram model of English word sequences (CMU Sphinx's general US English model, Debian's
// pocketsphinx-en-us): it decides between spellings that are equally close to a typo by the
// words around them ("peole" is "people" in "many peole think", "pole" in "the peole vault").
//
// Lower-case words without punctuation, as the model was built. Without the model's file the
// engine simply does without (every question answers "unsure").
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct ngram_model_s;
struct logmath_s;

namespace quillo::cloud {

class ContextModel {
public:
    static constexpr const char *kDefaultPath = "/usr/share/pocketsphinx/model/en-us/en-us.lm.bin";
    // How much likelier (log10) the chosen word must make its context than every rival: 2 is
    // a hundred times likelier. Tuned on synthetic typos in WordNet's example sentences: at 2,
    // about one pick in ten is wrong; at 1, one in six.
    static constexpr double kChoiceMargin = 2.0;
    // Where the words around agree with the typo itself, choosing the candidate listed first (the
    // closest and commonest): thirty times likelier. On the same typos this fixes one in
    // twenty-five of those left at kChoiceMargin, and one of its picks in fifteen is wrong.
    static constexpr double kConfirmedChoiceMargin = 1.5;
    // The same for a typo of five letters or more, which has fewer readings to confuse: ten times
    // likelier. On the typo corpora of two seeds this fixes one in thirty-five of the typos left
    // at kConfirmedChoiceMargin, with as many wrong picks as before; a short term ("egd" beside
    // "end") stays on the stricter margin.
    static constexpr double kConfirmedLongChoiceMargin = 1.0;
    static constexpr size_t kLongTypoLetters = 5;
    // Over the word as typed when it may be a name ("I met yong", "our yong people"): ten
    // thousand times likelier.
    static constexpr double kOverTypedMargin = 4.0;
    // Over the typed word read as two ("import and" for "importand"): a blend written on
    // purpose ("automagic" against "auto magic") comes near ten thousand.
    static constexpr double kOverSplitMargin = 5.0;

    static std::unique_ptr<ContextModel> open(const std::string &path);
    bool isInVocabulary(const std::string &word) const;
    // The process-wide model from kDefaultPath, read on first call; nullptr when absent.
    static const ContextModel *shared();
    ~ContextModel();

    // The one of `candidates` that makes `before` + candidate + `after` likeliest by at least
    // kChoiceMargin (kConfirmedChoiceMargin for the first candidate), or nullopt. Every
    // candidate must be known to the model. When `typed` is among the candidates, the choice
    // must also beat it by kOverTypedMargin, and a candidate of two words (the typed word read
    // apart, never chosen itself) by kOverSplitMargin.
    std::optional<std::string> choose(const std::vector<std::string> &before,
                                      const std::vector<std::string> &candidates, const std::vector<std::string> &after,
                                      const std::string &typed = {}) const;

    // How much likelier (log10) `first` makes `before` + word + `after` than `second`, or nullopt
    // when the model knows either not.
    std::optional<double> lead(const std::vector<std::string> &before, const std::string &first,
                               const std::string &second, const std::vector<std::string> &after) const;
    // The same for two runs of words in one place ("scientists have" against "scientist has").
    std::optional<double> lead(const std::vector<std::string> &before, const std::vector<std::string> &first,
                               const std::vector<std::string> &second, const std::vector<std::string> &after) const;

private:
    ContextModel(ngram_model_s *model, logmath_s *math) : model_(model), math_(math) {}
    // Both with mutex_ held. log10 P(words[from..]) given the words before `from` (at most two
    // count); "<s>" marks a sentence start.
    bool knows(const std::string &word) const;
    double logProb(const std::vector<std::string> &words, size_t from) const;
    ngram_model_s *model_;
    logmath_s *math_;
    mutable std::mutex mutex_;  // the model keeps scratch state per query
};

}  // namespace quillo::cloud
