// Capitals after an opening phrase's comma and question tags: fixed where the sentence is plain,
// left where a title, a name, quoted speech or the writer's own new sentence may be meant.
#include "HunspellProofread.h"

#include <gtest/gtest.h>

using namespace quillo::cloud;

TEST(EngineClauseEdges, ACapitalAfterAnOpeningPhraseGoesOnlyInAPlainSentence) {
    EXPECT_EQ(proofread("Likewise, The answer holds."), "Likewise, the answer holds.");
    EXPECT_EQ(proofread("It rained. For example, When I left it poured."),
              "It rained. For example, when I left it poured.");
    // Nor after a conjunction, where no sentence starts.
    EXPECT_EQ(proofread("So It will be good."), "So it will be good.");
    EXPECT_EQ(proofread("I left because If I stayed I would cry."), "I left because if I stayed I would cry.");
    for (const char* text : {
             "In 2010, The Times said so.",              // a name: the next word has its capital
             "I read Dune, The Hobbit and Emma.",        // a list of titles
             "He said, The end is near.",                // speech quoted without marks
             "We were young and tired, They went home.", // a sentence the writer began after a comma
             "One, two, The rest is silence.",           // not the sentence's first comma
             "However, You may copy it.",                // a contract's defined term
             "I read it and The Times too.",             // a name after a conjunction
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineClauseEdges, AQuestionTagEndsWithAQuestionMark) {
    EXPECT_EQ(proofread("It is cold, isn't it."), "It is cold, isn't it?");
    EXPECT_EQ(proofread("It is cold, isn’t it.\nYes."), "It is cold, isn’t it?\nYes.");
    for (const char* text : {
             "It is cold, isn't it.txt the file?", // not the sentence's end
             "I know it isn't it.",                // no comma: no tag
             "Call me, don't you dare.",           // no pronoun after the auxiliary
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineClauseEdges, EachAndEveryCountOneAtATime) {
    EXPECT_EQ(proofread("Each students has a desk."), "Each student has a desk.");
    EXPECT_EQ(proofread("Every children likes it."), "Every child likes it.");
    for (const char* text : {
             "We meet every two weeks.",     // a number between
             "They cost a pound each.",      //
             "They help each others' kids.", // the pronoun
             "Each means has its cost.",     // a plural of its own
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineClauseEdges, EspeciallyTakesACommaOnlyAfterAFinishedPhrase) {
    EXPECT_EQ(proofread("Trains are cheap especially in Spain."), "Trains are cheap, especially in Spain.");
    for (const char* text : {
             "I especially like tea.",           // qualifies the verb
             "It is especially good.",           // qualifies the adjective
             "We talked especially about you.",  // after a verb
             "Note especially the following:",   // a verb that is also a noun
             "It is hard, especially for kids.", // the writer's comma
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineClauseEdges, WhatWhichOrWhoAddsAboutANameIsSetApart) {
    EXPECT_EQ(proofread("The place I went was Kyoto which is very old."),
              "The place I went was Kyoto, which is very old.");
    EXPECT_EQ(proofread("We wrote to Maria who answered at once."), "We wrote to Maria, who answered at once.");
    for (const char* text : {
             "Many Muslims who fast eat late.",           // a group the clause narrows
             "I asked Maria which one she liked.",        // a name a verb asks about
             "It is the Python which ships with Debian.", // a name used as a common noun
             "We wrote to Maria, who answered.",          // the writer's comma
             "He moved to Paris which one?",              // not a clause
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineClauseEdges, APairedComparisonIsSplitOnlyBetweenTwoHalves) {
    EXPECT_EQ(proofread("This means the more you read the better you write."),
              "This means the more you read, the better you write.");
    for (const char* text : {
             "The bigger the better.",                              // too short
             "The older houses on the street are the better ones.", // one clause
             "The older trees we planted shade the larger lawns.",  // no second subject
             "The more time we spend, the better.",                 // the writer's comma
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineClauseEdges, APluralSubjectTakesThePlainVerbOnlyWhereTheWordIsAVerb) {
    EXPECT_EQ(proofread("When the young students wants help, they ask."),
              "When the young students want help, they ask.");
    for (const char* text : {
             "The sports shows on TV are popular.",                     // a compound noun before the verb
             "My sons landscapes for corporations and earns a living.", // a second verb says one person
             "Between the two houses runs a narrow path.",              // the subject comes after the verb
             "The Beatles plays tonight.",                              // a name
             "The students want to learn.",                             //
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineClauseEdges, OnlyARealQuestionPutsBeBeforeItsSubject) {
    for (const char* text : {
             "Where you are is fine.",              // a clause as the subject
             "Who you are matters.",                //
             "How you are doing it, I don't know?", // another clause before the mark
             "I know where you are?",               // not opening the sentence
             "When he was young, what did he do?",  //
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineClauseEdges, ShortPhraseRulesLeaveEveryOtherReadingAlone) {
    for (const char* text : {
             "A two car garage is big.",         // a number qualifying a noun
             "A three year old boy ran.",        //
             "Chapter two describes it.",        //
             "A number of people are here.",     // many people
             "They visited each others houses.", // the possessive is the writer's to mend
             "It's a one of a kind piece.",      // "one of a kind"
             "A news report came out.",          // "news" qualifies a noun
             "It was a good news story.",        //
             "She is a great deal of help.",     //
             "He will wait her turn.",           // "her" owns the turn
             "We waited them out.",              // "wait out"
             "If you wait you win.",             // "you" opens a clause
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineClauseEdges, APastTimeTakesThePastOnlyInItsOwnClause) {
    for (const char* text : {
             "I think yesterday was fine.",      // the phrase is a subject
             "I know what you did last summer.", // another clause's time
             "They play every day last year.",   // a habit
             "You see him yesterday?",           // a question
             "I last saw him yesterday.",        // already past
             "I have a meeting yesterday.",      // an auxiliary as often
             "Yesterday I put it there.",        // a past spelt as its verb
             "Last summer I travel to Spain.",   // "traveled" or "travelled": the writer's country
             "We will visit him last week.",     //
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineClauseEdges, AWordTakenForItsLookAlikeStaysWhereItReadsAsWritten) {
    for (const char* text : {
             "It is quiet here.",                 // a second description
             "The room was quiet and dark.",      //
             "As is his wont.",                   // the noun
             "The latter is better.",             //
             "In latter years, he wrote less.",   //
             "We passed the ball.",               // no motion before it
             "I know weather patterns well.",     // the weather itself
             "He lets go of the rope.",           // the verb
             "That's mean.",                      // an adjective too
             "This gift is for you guys.",        //
             "Listen to advice the doctor gave.", // the noun
             "I'd prefer more than that.",        //
             "Were evening classes full?",        // a question
             "Were they leaving?",                //
             "Ill health is common.",             // the adjective
             "Ill temper is bad.",                //
             "She told that story well.",         // "that" before its noun
             "I was told that he left.",          // told by someone
             "If I would have time, I would go.", // no past
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineClauseEdges, SpokenFormsAreMendedOnlyWhereWrittenEnglishHasNoSuchReading) {
    for (const char* text : {
             "I have seen it.",               // a participle after its auxiliary
             "What's done is done.",          //
             "I don't hardly know.",          // the tense would move
             "Whom did you call?",            // the object
             "The hens are laying eggs.",     // laying something
             "She was laying down the law.",  //
             "Lay down your arms.",           //
             "Each of the team has a car.",   //
             "They're friends.",              // they are
             "Is your the best?",             // not opening its clause
             "The team which won.",           // no person
             "The man, which was odd, left.", // the whole clause
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineClauseEdges, UsageRulesLeaveTitlesCompoundsAndPlacesAlone) {
    for (const char* text : {
             "She is president of the club.",          // a title
             "He is head of sales.",                   //
             "She is expert.",                         // a noun that describes too
             "He speaks the English language.",        // the language named
             "She speaks the English of Shakespeare.", //
             "They play the football match today.",    // the game qualifies a noun
             "He plays the piano.",                    // an instrument
             "He arrived at the station.",             // no place name
             "I am married with two kids.",            // a family
             "Things discussed on the mailing list.",  // where, not what
             "A weather-beaten face.",                 // a compound
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineClauseEdges, AVerbsPatternIsMendedOnlyWhereNoOtherReadingFits) {
    EXPECT_EQ(proofread("I want go home."), "I want to go home.");
    EXPECT_EQ(proofread("We have been here since 3 days."), "We have been here for 3 days.");
    for (const char* text : {
             "I want help with this.",                      // a noun
             "We want clean water.",                        // an adjective
             "She has 20 years of experience.",             // no age
             "It has been raining since 1990.",             // a point in time
             "Everyone have fun!",                          // whom the writer addresses
             "Does everyone have a pen?",                   // a question
             "You and everyone have my thanks.",            // joined subjects
             "We arrived to find the door open.",           // "to" before a verb
             "I borrowed them a book from the library.",    // borrowed for them
             "It is their practice to give raises.",        // a noun before "to"
             "She is interesting in many ways.",            // praise
             "Open the home page and go to home settings.", // "home" qualifies a noun
             "Much thanks for your help.",                  //
             "He can saw the wood.",                        // a verb of its own after a modal
             "We don't lay the table on Sundays.",          //
             "He explained her problem to us.",             // "her" as the owner
             "He is married with two kids.",                // with a family
             "We will go to overseas markets.",             // "overseas" qualifies a noun
             "The plan, considered as a whole, works.",     // "as a whole"
             "We considered as many options as we could.",  // a comparison
             "They consider him as well as her.",           //
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineClauseEdges, ASuperlativeBeforeItsNounTakesThe) {
    EXPECT_EQ(proofread("Oslo is most beautiful city in Norway."), "Oslo is the most beautiful city in Norway.");
    for (const char* text : {
             "He is most kind.",             // "most" as "very"
             "They are most big cities.",    // a plural after "be": the majority
             "This is most likely true.",    // an adverb
             "It is a most beautiful city.", // the writer's article
             "Most people agree.",           //
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineClauseEdges, LotOfAfterAVerbOrPrepositionTakesA) {
    EXPECT_EQ(proofread("I spent lot of time on it."), "I spent a lot of time on it.");
    EXPECT_EQ(proofread("We faced failures and lot of struggles."), "We faced failures and a lot of struggles.");
    for (const char* text : {
             "The parking lot of the mall is full.", // a piece of land
             "The whole lot of them left.",          //
             "He bid on the lot of ten coins.",      //
             "I spent Lot of time on it.",           // a capital: a name or a title
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineClauseEdges, AWordThePhraseCannotDoWithoutIsAdded) {
    EXPECT_EQ(proofread("If you want be a doctor, study."), "If you want to be a doctor, study.");
    EXPECT_EQ(proofread("It so expensive that few buy it."), "It is so expensive that few buy it.");
    EXPECT_EQ(proofread("We stayed for long time."), "We stayed for a long time.");
    EXPECT_EQ(proofread("Sadly we cant stay and I wont go."), "Sadly we can't stay and I won't go.");
    EXPECT_EQ(proofread("Besides of their work, they sing."), "Besides their work, they sing.");
    EXPECT_EQ(proofread("Also, most of people agree."), "Also, most people agree.");
    EXPECT_EQ(proofread("Most of them agree."), "Most of them agree.");
    EXPECT_EQ(proofread("Most of Europe agrees."), "Most of Europe agrees.");
    EXPECT_EQ(proofread("Later we will able to do it."), "Later we will be able to do it.");
    EXPECT_EQ(proofread("This will the proof."), "This will be the proof.");
    EXPECT_EQ(proofread("I agree the statement."), "I agree with the statement.");
    EXPECT_EQ(proofread("So he took upon himself to fix it."), "So he took it upon himself to fix it.");
    EXPECT_EQ(proofread("The government also should try it."), "The government should also try it.");
    EXPECT_EQ(proofread("They are similar each other in many ways."), "They are similar to each other in many ways.");
    for (const char* text : {
             "It so happens that I know.",            // a verb after "so"
             "It very much depends on you.",          //
             "I think it so good.",                   // not opening its clause
             "We waited for long hours.",             //
             "His cant was hard to bear.",            // the noun
             "As he was wont to say, no.",            // the adjective
             "Besides of course the cost, none.",     // "of course" is a phrase of its own
             "Things want being fixed.",              //
             "What will the teacher say?",            // a question: the modal comes first
             "So will the others.",                   //
             "They agreed the price in May.",         // settled, not agreed with
             "She takes upon herself the blame.",     // the object follows
             "They also can't come.",                 // before a negation
             "Also should we go?",                    // a question
             "They connected each other with wires.", // active: "each other" is the object
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineClauseEdges, GoingToAPlaceTakesTo) {
    EXPECT_EQ(proofread("When I traveled France and Italy, I met him."),
              "When I traveled to France and Italy, I met him.");
    EXPECT_EQ(proofread("My classmates and I travelled for China."), "My classmates and I travelled to China.");
    EXPECT_EQ(proofread("We went Paris last year."), "We went to Paris last year.");
    for (const char* text : {
             "They go Dutch on dinners.",    // no place
             "She went Paris Hilton style.", // a longer name
             "We traveled for work.",        // no place at all
             "He came Tuesday.",             //
             "Went Paris, the ad said.",     // no subject: a note, kept as written
             "They went TOKYO-bound.",       // capitals are the writer's own
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineClauseEdges, AnArticleBeforeAPluralThatEndsItsPhraseGoes) {
    EXPECT_EQ(proofread("They make a products and sell them."), "They make products and sell them.");
    EXPECT_EQ(proofread("It may cause a slow movements."), "It may cause slow movements.");
    for (const char* text : {
             "He drives a sports car.",        // the plural qualifies the next noun
             "Open a savings account.",        //
             "It is a means to an end.",       // a plural read as one thing
             "A few friends came.",            //
             "We met a great many people.",    //
             "She found a series of letters.", //
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineClauseEdges, ANounThereIsOneOfTakesThe) {
    EXPECT_EQ(proofread("People all over world, they know it."), "People all over the world, they know it.");
    EXPECT_EQ(proofread("I read it on internet and we must protect environment."),
              "I read it on the internet and we must protect the environment.");
    EXPECT_EQ(proofread("In near future we will see."), "In the near future we will see.");
    EXPECT_EQ(proofread("In past, people walked."), "In the past, people walked.");
    for (const char* text : {
             "We used internet access.",   // the noun qualifies the next one
             "The world war ended.",       //
             "In past years it rained.",   //
             "In future, we will see.",    // British usage
             "What on earth is that?",     // an idiom
             "They came from World Bank.", // a name
             "He used past tense here.",   // "past" only after "in"
             "Life in the world goes on.", // already there
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineClauseEdges, AVerbOfThinkingTakesItsClauseWithoutAComma) {
    EXPECT_EQ(proofread("I believe, that the quality is good."), "I believe that the quality is good.");
    EXPECT_EQ(proofread("We think, this number is rising."), "We think this number is rising.");
    for (const char* text : {
             "I think, however, that it works.", // an aside between
             "I know, that is why I came.",      // "that" for what was said
             "I think, they say, it works.",     //
             "Think, that is all I ask.",        // no subject before the verb
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineClauseEdges, MakeLetAndModalsTakeTheBareVerb) {
    EXPECT_EQ(proofread("Ads make me to buy things."), "Ads make me buy things.");
    EXPECT_EQ(proofread("They know what they can't to do."), "They know what they can't do.");
    for (const char* text : {
             "We made it to the finals.",   // "make it to": arrive
             "Did you make it to work?",    //
             "She has the will to win.",    // the noun
             "Help them to get there.",     // "help" takes either
             "We make them to order.",      // made as asked
             "We made them to last.",       // made so
             "It can to some extent work.", //
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineClauseEdges, ThereAndToStayWhereTheyReadAsWritten) {
    for (const char* text : {
             "I lived there years ago.",                // a time after the adverb
             "Put the box in there quickly.",           //
             "Is anyone in there?",                     //
             "This method looks to significant gains.", // "looks to": towards
             "She looks to him for advice.",            //
             "It seems to work.",                       //
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineClauseEdges, AnOpeningPhraseWithByEndsBeforeItsClause) {
    EXPECT_EQ(proofread("By all accounts they were happy."), "By all accounts, they were happy.");
    EXPECT_EQ(proofread("By avoiding this it will help."), "By avoiding this, it will help.");
    EXPECT_EQ(proofread("By then we knew."), "By then, we knew.");
    EXPECT_EQ(proofread("By the time we arrived the shop was closed."), "By the time we arrived the shop was closed.");
}

TEST(EngineClauseEdges, AWordTakesItsOwnPreposition) {
    EXPECT_EQ(proofread("People are dependent of others."), "People are dependent on others.");
    EXPECT_EQ(proofread("Critics focus in three points."), "Critics focus on three points.");
    EXPECT_EQ(proofread("She is interested about art."), "She is interested in art.");
    EXPECT_EQ(proofread("We listen music at night."), "We listen to music at night.");
    EXPECT_EQ(proofread("It was easy to me to see why."), "It was easy for me to see why.");
    EXPECT_EQ(proofread("It was important to me."), "It was important to me.");
    for (const char* text : {
             "It depends in part on you.",          // a phrase of its own
             "Let us focus in on the details.",     //
             "They are similar with respect to X.", //
             "He has been interested for years.",   //
             "It is independent of the rest.",      //
         })
        EXPECT_EQ(proofread(text), text);
}

TEST(EngineClauseEdges, ToMuchClosingItsClauseIsTooMuch) {
    EXPECT_EQ(proofread("It will not affect them to much."), "It will not affect them too much.");
    EXPECT_EQ(proofread("He ate to much, and slept."), "He ate too much, and slept.");
    for (const char* text : {"It belongs to much of Europe.", "We owe it to many.", "It does not amount to much."})
        EXPECT_EQ(proofread(text), text);
}
