// Number agreement and doubled determiners in the engine's English rules: they fire where the
// subject or the noun phrase is plain from the words, and leave every other reading alone.
#include "HunspellProofread.h"

#include <gtest/gtest.h>

using namespace quillo::cloud;

TEST(EngineNumber, APluralNounOpeningAClauseTakesAPluralVerb) {
    EXPECT_EQ(proofread("My friends is here."), "My friends are here.");
    EXPECT_EQ(proofread("And tickets is what we need."), "And tickets are what we need.");
    EXPECT_EQ(proofread("I know that young people doesn't care."), "I know that young people don't care.");
    EXPECT_EQ(proofread("SOME PEOPLE IS LOUD."), "SOME PEOPLE IS LOUD."); // shouting stays
    // "there is" agrees with a noun made plural by the rule after it.
    EXPECT_EQ(proofread("There is many way to do it."), "There are many ways to do it.");
    EXPECT_EQ(proofread("There's several reason for it."), "There are several reasons for it.");
    EXPECT_EQ(proofread("There is a lot of critics."), "There are a lot of critics.");
    EXPECT_EQ(proofread("There was lots of cars."), "There were lots of cars.");
    EXPECT_EQ(proofread("There is also people who agree."), "There are also people who agree.");
    for (const char* text : {
             "There's lots of time.", "There is lots of time.", // no plural after "of"
             "There is a lot of news.",                         // a plural read as one thing
             "There is a lot of Smiths here.",                  // a name
             "There is a lot to do.",                           //
             "There is also news.",                             //
             "There was also years of work.",                   //
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineNumber, AQuantifierStandingForPeopleKeepsItsVerb) {
    for (const char* text : {"Few know it.", "Many try to fix it.", "Several want the job.", "Many think so."})
        EXPECT_EQ(proofread(text), text);
    EXPECT_EQ(proofread("There are many reason to go."), "There are many reasons to go.");
    // A noun that is also an adjective, where English text clearly favours the plural.
    EXPECT_EQ(proofread("Several subject were covered."), "Several subjects were covered.");
    for (const char* text : {"Many present agreed.", "Both square and round pegs fit."})
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineNumber, AQuantifierBeforeAnAdjectiveAndANounCountsTheNoun) {
    EXPECT_EQ(proofread("We look after many new employee every year."), "We look after many new employees every year.");
    EXPECT_EQ(proofread("But some driver make trouble."), "But some drivers make trouble.");
    EXPECT_EQ(proofread("They need money for these purpose they have."),
              "They need money for these purposes they have.");
    for (const char* text : {
             "Several young deer crossed the road.", // counts without an ending
             "These bacteria reproduce fast.",       //
             "Many consumer packages use it.",       // the noun qualifies the next one
             "Libpng comes in several distribution formats.",
             "These work the same way.",  // a verb with its object
             "These change every day.",   // "change" read as the verb
             "Many young people came.",   // already plural
             "Some guy called me.",       // one unknown person
             "Some time passed.",         //
             "Many other options exist.", //
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineNumber, TheLastOfTwoJoinedSubjectsKeepsTheirPluralVerb) {
    for (const char* text : {"He and I are good friends.", "Tom and she are here.", "You or I are wrong."})
        EXPECT_EQ(proofread(text), text);
    EXPECT_EQ(proofread("I are tired and he are too."), "I am tired and he is too.");
}

TEST(EngineNumber, SubjectsThatAreNotPlainPluralsStay) {
    for (const char* text : {
             "The price of apples is high.",          // the noun closes a longer subject
             "What matters to our children is love.", // after a preposition
             "In both cases is said the same thing.",
             "All that matters is the result.", // a verb after "that"
             "The one thing that the public wants is calm.",
             "The news is good.", // plurals read as one thing
             "Statistics is my favourite subject.",
             "Ten years is a long time.",
             "The data is clean.",
             "The Beatles is my favourite band.", // a name
             "I think that Williams is right.",
             "Wales is a small country.",          // a capital, even at the start
             "And darts is popular in pubs.",      // a game
             "Since it rains, shops is the word.", // a bare plural that is also a verb
             "Each of the sources is listed.",     // "of" before the plural
             "We saw the series which is new.",    // a plural that is a noun of its own
             "One of the tools which is free was used.",
         })
        EXPECT_EQ(proofread(text), text);
    // A sentence typed in lower case may be the tail of a longer one: only its capital is added.
    EXPECT_EQ(proofread("entries is what the list holds."), "Entries is what the list holds.");
}

TEST(EngineNumber, AnArticleBeforeADeterminerGoes) {
    EXPECT_EQ(proofread("We left in the these cases."), "We left in these cases.");
    EXPECT_EQ(proofread("The another one is red."), "Another one is red.");
    for (const char* text : {
             "She gave me the her old bike.", // "her" may be the object: left to the writer
             "We watched The This Old House show.",
             "I saw THE THESE words in capitals.",
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineNumber, ALotOfPeopleArePlural) {
    EXPECT_EQ(proofread("We hired a lot of scientist this year."), "We hired a lot of scientists this year.");
    EXPECT_EQ(proofread("A lot of child play here."), "A lot of children play here.");
    for (const char* text : {
             "A lot of work remains.",               // not a person: may be a mass noun
             "A lot of paper was used.",             //
             "There is plenty of teacher training.", // the noun qualifies the next one
             "I spent a lot of time there.",         //
             "Lots of police were there.",           // a plural of its own
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineNumber, WhatALotOrMostOfCountsIsPluralWhereEnglishFavoursIt) {
    EXPECT_EQ(proofread("We went to a lot of place such as clubs."), "We went to a lot of places such as clubs.");
    EXPECT_EQ(proofread("Most of the kid knew it."), "Most of the kids knew it.");
    EXPECT_EQ(proofread("I had lots of problem about studying."), "I had lots of problems about studying.");
    for (const char* text : {
             "A lot of time was spent.",                   // a mass noun
             "Most of the work is done.",                  //
             "It gives us a lot of opportunity to think.", // either reads well
             "Most of the car owners agree.",              // the noun qualifies the next one
             "Most of the kid's toys are here.",           // a possessive
             "Some of the Smith family came.",             // a name
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineNumber, ABareNounOpeningAClauseBeforeAPluralVerbIsPlural) {
    EXPECT_EQ(proofread("Recently scientist have found a new planet."), "Recently scientists have found a new planet.");
    EXPECT_EQ(proofread("Even so, scientist assume that it is warm."), "Even so, scientists assume that it is warm.");
    for (const char* text : {
             "As we saw, cats and dog are friends.", // joined subjects
             "If you want, staff do the rest.",      // a group
             "Since then we have done it.",          // no noun
         })
        EXPECT_EQ(proofread(text), text);
    // One who teaches the class, not many teachers.
    EXPECT_EQ(proofread("When teacher ask a question, we answer."), "When the teacher asks a question, we answer.");
    // A mass noun: the verb is wrong, not the noun.
    EXPECT_EQ(proofread("In the end, money make people lazy."), "In the end, money makes people lazy.");
}

TEST(EngineNumber, OneOfTheBestCountsAPluralPastItsAdjective) {
    EXPECT_EQ(proofread("This is one of my favorite place to visit."), "This is one of my favorite places to visit.");
    EXPECT_EQ(proofread("It is one of the most important thing in life."),
              "It is one of the most important things in life.");
    for (const char* text : {"One of the best known artists is here.", "He is one of the old car owners."})
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineNumber, AnotherBeforeAPluralIsOther) {
    EXPECT_EQ(proofread("He visited another countries."), "He visited other countries.");
    for (const char* text : {"We need another species here.", "Wait another two days.", "Another means exists."})
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineNumber, ASingularNounAfterThisOrEachTakesTheVerbsSForm) {
    EXPECT_EQ(proofread("This point affect the environment."), "This point affects the environment.");
    EXPECT_EQ(proofread("Each student learn a concept."), "Each student learns a concept.");
    EXPECT_EQ(proofread("I see why he always bring it."), "I see why he always brings it.");
    EXPECT_EQ(proofread("When I went, the employer ask me questions."), "When I went, the employer asks me questions.");
    // One person needs only English text not against it.
    EXPECT_EQ(proofread("If the teacher teach them that, they will go."),
              "If the teacher teaches them that, they will go.");
    for (const char* text : {
             "The fish swim in the lake.",      // counts without a plural ending
             "The staff work hard.",            // a group
             "If the police arrive, we leave.", //
             "I suggest that the boy go home.", // a subjunctive
             "This will help them.",            // a modal, which WordNet also lists as a noun
             "This time try again.",            // a time opens an imperative
             "This software update fixed it.",  // a compound noun
             "I think this point matters.",     // already agrees
             "Each day bring one book.",        //
         })
        EXPECT_EQ(proofread(text), text);
}
