// Set phrases typed with the wrong spacing: run-together words are split, split words joined,
// and only where the other reading never occurs.
#include "HunspellProofread.h"

#include <gtest/gtest.h>

using namespace quillo::cloud;

TEST(EngineSetPhrases, SplitWordsAreReadAsThePhraseByTheRulesAfter) {
    // Once split, the opening phrase takes its comma like any other.
    EXPECT_EQ(proofread("Infact we knew."), "In fact, we knew.");
    EXPECT_EQ(proofread("Ofcourse we did."), "Of course, we did.");
    EXPECT_EQ(proofread("At least we tried."), "At least we tried.");           // not an opening phrase
    EXPECT_EQ(proofread("ASWELL and InCase stay."), "ASWELL and InCase stay."); // names, identifiers
}

TEST(EngineSetPhrases, WordsJoinOnlyWhereTheyNeverStandApart) {
    EXPECT_EQ(proofread("He did it him self."), "He did it himself.");
    EXPECT_EQ(proofread("They want some thing extra and some one to help."),
              "They want something extra and someone to help.");
    EXPECT_EQ(proofread("Every body knows it."), "Everybody knows it.");
    EXPECT_EQ(proofread("That is why i m here, 5 m away."), "That is why I'm here, 5 m away.");
    for (const char* text : {
             "Some one of them will go.",  // "one of": a number
             "Any body of water will do.", //
             "Your self esteem matters.",  // a possessive before a noun phrase
             "Her self image improved.",
             "He found his true self in music.",
             "His self portrait hangs here.",
             "Let it self-destruct.", // a compound
             "There, fore is the golf call.",
             "There Fore is a brand.",
         })
        EXPECT_EQ(proofread(text), text);
}
