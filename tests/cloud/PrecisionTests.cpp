// The engine's precision: names, jargon, chat forms and identifiers come back untouched, and
// the preservation set in data/ comes back byte for byte. Uses the production suggestion index.
#include "HunspellSuggestionIndex.h"
#include "IndexedSuggestionIndex.h"
#include "SpellChecker.h"
#include "TextCorrector.h"
#include "WordCommonness.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace quillo::cloud;

namespace {

std::shared_ptr<SpellChecker> indexedSpeller() {
    static auto speller = [] {
        auto hunspell = std::make_shared<HunspellSuggestionIndex>("/usr/share/hunspell/en_US.aff",
                                                                  "/usr/share/hunspell/en_US.dic", 1);
        IndexedSuggestionIndex::Options o;
        o.affPath = "/usr/share/hunspell/en_US.aff";
        o.dicPath = "/usr/share/hunspell/en_US.dic";
        o.commonnessDirectory = WordCommonness::kDefaultDirectory;
        o.cachePath = QUILLO_TEST_SUGGESTION_CACHE;
        o.fallbackBudget = std::chrono::seconds(10); // answers must not depend on the machine's speed
        auto index = std::make_shared<IndexedSuggestionIndex>(hunspell, o);
        index->start();
        index->waitUntilReady(std::chrono::minutes(5));
        return std::make_shared<SpellChecker>(index);
    }();
    return speller;
}

std::string proofread(const std::string& text) {
    return TextCorrector(indexedSpeller()).correct(text, CorrectionStyle::proofread);
}
std::string contextual(const std::string& text) {
    return TextCorrector(indexedSpeller()).correct(text, CorrectionStyle::contextual);
}

std::vector<std::string> sentences(const std::string& file) {
    std::ifstream in(std::string(QUILLO_TEST_DATA_DIR) + "/" + file);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#') out.push_back(line);
    return out;
}

// Share of the sentences that come back byte for byte; prints the ones that do not.
double untouchedShare(const std::vector<std::string>& set, CorrectionStyle style) {
    int same = 0;
    for (const auto& s : set) {
        std::string out = TextCorrector(indexedSpeller()).correct(s, style);
        if (out == s) ++same;
        else std::cout << "  changed: " << s << "\n       to: " << out << "\n";
    }
    return set.empty() ? 0 : double(same) / double(set.size());
}

} // namespace

TEST(Precision, EnglishPreservationSetComesBackByteForByte) {
    auto set = sentences("preservation-en.txt");
    ASSERT_GE(set.size(), 200u);
    EXPECT_GE(untouchedShare(set, CorrectionStyle::proofread), 0.99);
    EXPECT_GE(untouchedShare(set, CorrectionStyle::contextual), 0.99);
}

TEST(Precision, LeavesNamesJargonAndChatFormsAlone) {
    for (const char* text : {
             "Ask Siobhan about the Grafana board.",       // capitalised mid-sentence: names
             "Then run kubectl in the cluster.",           // unknown lower-case jargon, far from any word
             "Check the kube-system namespace.",           // hyphen-joined parts
             "The Figma mockups are ready.",               // a candidate that changes the first letter
             "Tbh the build is fine, imo.",                // chat forms
             "We met Deloitte twice.",                     //
             "The nginx logs and the nginx config agree.", // a word typed twice the same way is meant
             "Our GraphQL API and the ACMEv2 flow work.",  // inner capitals, digits
             "She wore a colour I liked.",                 // another variety's spelling is a real word
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(Precision, RestoresContractionsTypedWithoutTheirApostrophe) {
    EXPECT_EQ(proofread("I dont know why it isnt here."), "I don't know why it isn't here.");
    EXPECT_EQ(proofread("Im sure youre right, ive seen it."), "I'm sure you're right, I've seen it.");
    EXPECT_EQ(proofread("So Im late and thats fine."), "So I'm late and that's fine.");
    EXPECT_EQ(proofread("I cant and I wont."), "I cant and I wont."); // real words: left alone
    EXPECT_EQ(proofread("They didn’t know, she didnt either."), "They didn’t know, she didn’t either.");
}

TEST(Precision, StillFixesClearSlips) {
    EXPECT_EQ(proofread("I will recieve teh letter becuase it was sent."),
              "I will receive the letter because it was sent.");
    EXPECT_EQ(proofread("It was definately a wierd day."), "It was definitely a weird day.");
    EXPECT_EQ(contextual("We shoudl meet tomorow."), "We should meet tomorrow.");
}
