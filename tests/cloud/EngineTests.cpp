// In-process tests of the server's engine: the corrector with the real en_US dictionary, the
// suggestion cache, the crypto helpers and the credit rules of the store.
#include "Crypto.h"
#include "HunspellSuggestionIndex.h"
#include "Pricing.h"
#include "SpellChecker.h"
#include "SqliteDatabase.h"
#include "Store.h"
#include "TextCorrector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <vector>

using namespace quillo::cloud;

namespace {

std::shared_ptr<SpellChecker> sharedSpeller() {
    static auto speller = std::make_shared<SpellChecker>(
        std::make_shared<HunspellSuggestionIndex>("/usr/share/hunspell/en_US.aff", "/usr/share/hunspell/en_US.dic", 1));
    return speller;
}

std::string proofread(const std::string& text) {
    return TextCorrector(sharedSpeller()).correct(text, CorrectionStyle::proofread);
}
std::string contextual(const std::string& text) {
    return TextCorrector(sharedSpeller()).correct(text, CorrectionStyle::contextual);
}

TEST(Corrector, FixesMisspellingsKeepingTheWordsCase) {
    EXPECT_EQ(proofread("teh recieve"), "the receive"); // a phrase keeps its first letter
    EXPECT_EQ(proofread("Teh word, I said."), "The word, I said.");
    EXPECT_EQ(proofread("I said Teh word."), "I said Teh word."); // capitalised mid-sentence: a name
    EXPECT_EQ(proofread("the NASA and TEH acronyms."), "The NASA and TEH acronyms."); // all caps untouched
    EXPECT_EQ(proofread("an iPhone and macOS."), "An iPhone and macOS.");             // inner capitals untouched
    EXPECT_EQ(proofread("it doesn’t recieve."), "It doesn’t receive.");               // curly apostrophe kept
}

TEST(Corrector, KeepsLineBreaksIndentationAndTabs) {
    EXPECT_EQ(proofread("first line.\n    indented  teh line\n\tTab\r\nend"),
              "First line.\n    Indented the line\n\tTab\r\nend");
    EXPECT_EQ(proofread("para one\n\npara two"), "Para one\n\nPara two");
    EXPECT_EQ(proofread("  leading and trailing.  "), "  Leading and trailing.  ");
    EXPECT_EQ(proofread("  leading and trailing  "), "  leading and trailing  "); // a phrase
}

TEST(Corrector, CapitalisesSentenceStartsAndAStandaloneI) {
    EXPECT_EQ(proofread("hello. how are you? fine! yes"), "Hello. How are you? Fine! Yes");
    EXPECT_EQ(proofread("so i think i'm right and i’ll go."), "So I think I'm right and I’ll go.");
    EXPECT_EQ(proofread("see e.g. this and Mr. smith"), "See e.g. this and Mr. smith");
    EXPECT_EQ(proofread("wait... then go"), "Wait... then go");
    EXPECT_EQ(proofread("he said \"yes.\" then left. \"why?\" she asked."),
              "He said \"yes.\" Then left. \"Why?\" she asked.");
    EXPECT_EQ(proofread("list (i) one."), "List (i) one.");
}

TEST(Corrector, FixesDoubledSpacesAndSpacesBeforePunctuation) {
    EXPECT_EQ(proofread("one  two   three."), "One two three.");
    EXPECT_EQ(proofread("wait , what ? yes ; no : maybe !"), "Wait, what? Yes; no: maybe!");
    EXPECT_EQ(proofread("the end ."), "The end.");
    EXPECT_EQ(proofread("visit .NET and wait ..."), "Visit .NET and wait ...");
}

TEST(Corrector, DropsAStopTypedTwiceButKeepsEllipsesAndPaths) {
    EXPECT_EQ(proofread("We won!. Then we left."), "We won! Then we left.");
    EXPECT_EQ(proofread("Pens, paper, etc.."), "Pens, paper, etc.");
    EXPECT_EQ(proofread("Really?... I doubt it."), "Really?... I doubt it.");
    EXPECT_EQ(proofread("ok.. see you"), "ok.. see you");
    EXPECT_EQ(proofread("Run it from ../bin, not from ../lib.."), "Run it from ../bin, not from ../lib..");
    EXPECT_EQ(proofread("He said \"go!\". Then left."), "He said \"go!\". Then left.");
}

TEST(Corrector, LeavesMarkupAddressesAndCodeAlone) {
    EXPECT_EQ(proofread("see https://exampel.com/teh?x=1 and www.teh.org."),
              "See https://exampel.com/teh?x=1 and www.teh.org.");
    EXPECT_EQ(proofread("mail teh@exampel.com or @tehuser #tehtag."), "Mail teh@exampel.com or @tehuser #tehtag.");
    EXPECT_EQ(proofread("<div class=\"teh\">teh</div>"), "<div class=\"teh\">the</div>");
    EXPECT_EQ(proofread("run `teh  --flag` now."), "Run `teh  --flag` now.");
    EXPECT_EQ(proofread("```\nteh  code\n```"), "```\nteh  code\n```");
    EXPECT_EQ(proofread("the file_name and path/to/teh."), "The file_name and path/to/teh.");
    // An identifier, a command or a function opening a sentence keeps its case.
    EXPECT_EQ(proofread("version2 and v1.2teh"), "version2 and v1.2teh");
    EXPECT_EQ(proofread("It is fast. gzip packs it. cdiff.pl shows it. wait() ends it. adduser adds one."),
              "It is fast. gzip packs it. cdiff.pl shows it. wait() ends it. adduser adds one.");
    EXPECT_EQ(proofread("It runs on i386 and i586. Run codespell -i 3 and i will see."),
              "It runs on i386 and i586. Run codespell -i 3 and I will see.");
    EXPECT_EQ(proofread("it works. then we left."), "It works. Then we left.");
    // A name made of one word twice is no word typed twice.
    EXPECT_EQ(proofread("Copyright 2023 Antonio Diaz Diaz."), "Copyright 2023 Antonio Diaz Diaz.");
    EXPECT_EQ(proofread("The the plan is set."), "The plan is set.");
}

TEST(Corrector, ContextualAddsPhrasingRulesThatProofreadLeavesOut) {
    EXPECT_EQ(contextual("we could of gone in order to see."), "We could have gone to see.");
    EXPECT_EQ(proofread("we could of gone in order to see."), "We could have gone in order to see.");
    EXPECT_EQ(contextual("a apple and an banana, an hour, a one."), "An apple and a banana, an hour, a one.");
    EXPECT_EQ(contextual("the the end."), "The end.");
    EXPECT_EQ(contextual("Could of been"), "Could have been");
    EXPECT_EQ(contextual("that that is fine."), "That that is fine.");
}

TEST(Corrector, EmptyAndBlankTextsStayAsTheyAre) {
    EXPECT_EQ(proofread(""), "");
    EXPECT_EQ(proofread("  \n\t "), "  \n\t ");
    EXPECT_EQ(proofread("12345 678"), "12345 678");
    EXPECT_EQ(proofread("日本語のテキスト"), "日本語のテキスト");
}

TEST(Corrector, CountsUtf16UnitsAndRejectsBrokenUtf8) {
    EXPECT_EQ(utf16Length("abc"), 3);
    EXPECT_EQ(utf16Length("é"), 1);
    EXPECT_EQ(utf16Length("\xF0\x9F\x98\x80"), 2);
    EXPECT_EQ(utf16Length("\xff"), -1);
    EXPECT_EQ(utf16Length("\xC0\x80"), -1);     // overlong
    EXPECT_EQ(utf16Length("\xED\xA0\x80"), -1); // surrogate
}

class CountingIndex : public SuggestionIndex {
public:
    bool isKnown(const std::string& w) override {
        ++known;
        return w == "good";
    }
    std::vector<std::string> suggestions(const std::string& w) override {
        ++suggested;
        return {"bad"};
    }
    int known = 0, suggested = 0;
};

TEST(SpellCheckerCache, AnswersRepeatsFromTheCacheAndEvictsTheLeastRecent) {
    auto index = std::make_shared<CountingIndex>();
    SpellChecker speller(index, 2);
    EXPECT_EQ(speller.replacement("bda"), "bad");
    EXPECT_EQ(speller.replacement("bda"), "bad");
    EXPECT_EQ(index->suggested, 1);
    EXPECT_EQ(speller.replacement("good"), std::nullopt);
    speller.replacement("bda"); // most recent now
    speller.replacement("xyz"); // evicts "good"
    speller.replacement("good");
    EXPECT_EQ(index->known, 4);
    EXPECT_EQ(speller.stats().size, 2u);
}

TEST(Crypto, TotpMatchesTheReferenceVectors) {
    // RFC 6238 SHA-1 secret "12345678901234567890"; the six-digit codes are the last digits.
    std::string secret = crypto::base32Encode("12345678901234567890");
    EXPECT_EQ(crypto::totpCode(secret, 59), "287082");
    EXPECT_EQ(crypto::totpCode(secret, 1111111109), "081804");
    EXPECT_EQ(crypto::totpCode(secret, 1234567890), "005924");
    EXPECT_TRUE(crypto::verifyTotp(secret, "287082", 59 + 30)); // one step of drift
    EXPECT_FALSE(crypto::verifyTotp(secret, "287082", 59 + 90));
}

TEST(Crypto, PasswordHashesVerifyAndNeverHoldThePassword) {
    std::string hash = crypto::hashPassword("correct horse", 1024);
    EXPECT_EQ(hash.find("correct horse"), std::string::npos);
    EXPECT_EQ(hash.rfind("scrypt$1024$8$1$", 0), 0u);
    EXPECT_TRUE(crypto::verifyPassword("correct horse", hash));
    EXPECT_FALSE(crypto::verifyPassword("correct horsE", hash));
    EXPECT_FALSE(crypto::verifyPassword("x", "scrypt$99999999$8$1$AA$AA"));
    EXPECT_FALSE(crypto::verifyPassword("x", "plain"));
    EXPECT_NE(crypto::hashPassword("same", 1024), crypto::hashPassword("same", 1024)); // salted
}

TEST(Crypto, EncodingsRoundTrip) {
    for (const std::string& s :
         std::vector<std::string>{"", "f", "fo", "foo", "foob", std::string("\xff\x00\x10", 3)}) {
        EXPECT_EQ(crypto::base64UrlDecode(crypto::base64UrlEncode(s)), s);
        EXPECT_EQ(crypto::base32Decode(crypto::base32Encode(s)), s);
    }
    EXPECT_EQ(crypto::base64UrlEncode(std::string(32, '\0')).size(), 43u);
    EXPECT_TRUE(crypto::isLowerUuid(crypto::randomUuid()));
}

TEST(Pricing, ChargesPerStartedBlock) {
    EXPECT_EQ(correctionCostMicro(0, Speed::fast), 0);
    EXPECT_EQ(correctionCostMicro(1, Speed::fast), 10000);
    EXPECT_EQ(correctionCostMicro(500, Speed::fast), 10000);
    EXPECT_EQ(correctionCostMicro(501, Speed::fast), 20000);
    EXPECT_EQ(correctionCostMicro(9000, Speed::veryVeryFast), 18 * 18500);
    EXPECT_EQ(kVeryVeryFastMicroPerBlock * 100, kFastMicroPerBlock * 185);
}

// Keeps the pauses the store asks for instead of spending them.
class PauseRecordingClock : public ServerClock {
public:
    void pause(std::chrono::microseconds duration) const override { pauses.push_back(duration); }
    mutable std::vector<std::chrono::microseconds> pauses;
};

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() / ("quillo-store-" + crypto::randomToken(6));
        std::filesystem::create_directories(dir);
        db = std::make_unique<SqliteDatabase>((dir / "db.sqlite3").string());
        store = std::make_unique<Store>(*db, clock);
        store->migrate();
    }
    void TearDown() override {
        store.reset();
        db.reset();
        std::filesystem::remove_all(dir);
    }
    std::filesystem::path dir;
    PauseRecordingClock clock;
    std::unique_ptr<Database> db;
    std::unique_ptr<Store> store;
};

TEST_F(StoreTest, TheSchemaRefusesANegativeBalance) {
    Account a = store->createAccount("s@example.com", std::nullopt, "email", true, 100);
    auto c = db->lease();
    EXPECT_THROW(c->exec("UPDATE accounts SET balance_micro = -1 WHERE id = '" + a.id + "'"), DatabaseError);
    EXPECT_THROW(c->exec("UPDATE accounts SET reserved_micro = 101 WHERE id = '" + a.id + "'"), DatabaseError);
    EXPECT_EQ(store->balance(a.id).balance, 100);
}

TEST_F(StoreTest, ReservationHoldsCreditsUntilFinishedOrAbandoned) {
    Account a = store->createAccount("s@example.com", std::nullopt, "email", true, 30000);
    std::string key = crypto::sha256Hex("k");
    EXPECT_EQ(store->beginCorrection(a.id, "c1", key, "h1", 20000).kind, CorrectionStart::fresh);
    EXPECT_EQ(store->balance(a.id).available(), 10000);
    auto second = store->beginCorrection(a.id, "c2", key, "h2", 20000);
    EXPECT_EQ(second.kind, CorrectionStart::insufficient);
    EXPECT_EQ(second.available, 10000);
    EXPECT_EQ(store->beginCorrection(a.id, "c1", key, "h1", 20000).kind, CorrectionStart::inProgress);
    store->abandonCorrection(a.id, "c1");
    EXPECT_EQ(store->balance(a.id).reserved, 0);
    EXPECT_EQ(store->beginCorrection(a.id, "c1", key, "h1", 20000).kind, CorrectionStart::fresh); // retried
    Balance b = store->finishCorrection(a.id, "c1", 20000, "{\"correction\":\"x\"}");
    EXPECT_EQ(b.balance, 10000);
    EXPECT_EQ(b.reserved, 0);
    auto replay = store->beginCorrection(a.id, "c1", key, "h1", 20000);
    EXPECT_EQ(replay.kind, CorrectionStart::replay);
    EXPECT_EQ(replay.storedResponse, "{\"correction\":\"x\"}");
    EXPECT_EQ(store->beginCorrection(a.id, "c1", crypto::sha256Hex("other"), "h1", 1).kind,
              CorrectionStart::keyMismatch);
    EXPECT_EQ(store->beginCorrection(a.id, "c1", key, "other", 1).kind, CorrectionStart::conflict);
}

TEST_F(StoreTest, ATransactionThatLostARaceRunsAgainAfterAPauseOnTheServerClock) {
    db->injectedConflicts = 2;
    Account a = store->createAccount("s@example.com", std::nullopt, "email", true, 100);
    EXPECT_EQ(store->retries.load(), 2);
    ASSERT_EQ(clock.pauses.size(), 2u);
    EXPECT_EQ(store->balance(a.id).balance, 100);
}

TEST_F(StoreTest, ATransactionThatKeepsLosingGivesUpAfterTwelveGrowingPauses) {
    db->injectedConflicts = 100;
    EXPECT_THROW(store->createAccount("s@example.com", std::nullopt, "email", true, 100), DatabaseError);
    ASSERT_EQ(clock.pauses.size(), 12u);
    for (size_t attempt = 0; attempt < clock.pauses.size(); ++attempt) {
        EXPECT_GE(clock.pauses[attempt].count(), 500);
        EXPECT_LE(clock.pauses[attempt].count(), 500 << std::min<size_t>(attempt, 6));
    }
    db->injectedConflicts = 0;
    EXPECT_FALSE(store->accountByEmail("s@example.com"));
}

TEST_F(StoreTest, OnlyATakenAddressCountsAsAUniqueViolation) {
    store->createAccount("s@example.com", std::nullopt, "email", true, 100);
    try {
        store->createAccount("S@example.com", std::nullopt, "email", true, 100);
        ADD_FAILURE() << "a second account on the address";
    } catch (const DatabaseError& e) {
        EXPECT_TRUE(e.isUniqueViolation()) << e.what();
    }
    try {
        store->createAccount("t@example.com", std::nullopt, "email", true, -1); // refused by a CHECK
        ADD_FAILURE() << "an account with a negative balance";
    } catch (const DatabaseError& e) {
        EXPECT_FALSE(e.isUniqueViolation()) << e.what();
    }
}

TEST_F(StoreTest, RestartReleasesReservationsOfInterruptedCorrections) {
    Account a = store->createAccount("s@example.com", std::nullopt, "email", true, 30000);
    store->beginCorrection(a.id, "c1", "k", "h", 20000);
    store->recoverInterruptedCorrections();
    EXPECT_EQ(store->balance(a.id).reserved, 0);
    EXPECT_EQ(store->balance(a.id).balance, 30000);
}

TEST_F(StoreTest, MigrationIsIdempotentAndKeepsTheSigningKey) {
    std::string key = store->signingKey();
    Store again(*db, clock);
    again.migrate();
    EXPECT_EQ(again.signingKey(), key);
}

int userVersion(Database& db) {
    auto c = db.lease();
    auto q = c->query("PRAGMA user_version");
    return q.step() ? static_cast<int>(q.integer(0)) : -1;
}

TEST_F(StoreTest, MigrationRunsOnlyTheStepsAnOlderDatabaseLacks) {
    std::string key = store->signingKey();
    int latest = userVersion(*db);
    {
        // As a server of the version before the attempts table left it.
        auto c = db->lease();
        c->exec("DROP TABLE attempts");
        c->exec("PRAGMA user_version = " + std::to_string(latest - 1));
    }
    Store again(*db, clock);
    again.migrate();
    EXPECT_EQ(userVersion(*db), latest);
    EXPECT_EQ(again.signingKey(), key);
    again.recordAttempt("sign-in", "s@example.com", clock.nowSeconds(), 3600);
    EXPECT_EQ(again.attempts("sign-in", "s@example.com").failures, 1);
}

TEST_F(StoreTest, MigrationRefusesADatabaseOfANewerServer) {
    int newer = userVersion(*db) + 1;
    db->lease()->exec("PRAGMA user_version = " + std::to_string(newer));
    Store again(*db, clock);
    EXPECT_THROW(again.migrate(), std::runtime_error);
    EXPECT_EQ(userVersion(*db), newer);
}

} // namespace
