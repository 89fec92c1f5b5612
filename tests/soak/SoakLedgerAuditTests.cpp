// The ledger audit finds what it exists to find: a second charge, a charge nobody asked for, a
// delivered correction charged at the wrong price or not at all, a balance that dipped below
// zero or disagrees with its ledger, and work left reserved.
#include "SoakLedgerAudit.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace quillo;
using namespace quillo::soak;

namespace {

class LedgerFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("cloud.sqlite3"));
        ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
        exec("CREATE TABLE accounts (id TEXT PRIMARY KEY, balance_micro INTEGER, reserved_micro INTEGER);"
             "CREATE TABLE ledger (id INTEGER PRIMARY KEY AUTOINCREMENT, account_id TEXT, delta_micro INTEGER,"
             "  reason TEXT, reference TEXT, created_at INTEGER);"
             "CREATE TABLE corrections (id TEXT PRIMARY KEY, state TEXT, charged_micro INTEGER);"
             "INSERT INTO accounts VALUES ('a', 1000000, 0);"
             "INSERT INTO ledger (account_id, delta_micro, reason, reference, created_at) VALUES ('a', 1000000, "
             "'signup_grant', '', 0);");
    }
    void TearDown() override { sqlite3_close(db); }

    void exec(const std::string& sql) {
        char* error = nullptr;
        ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    }
    // A correction charged in the ledger and stored as done, the account's balance following.
    void charge(const std::string& id, qint64 micro, int times = 1) {
        for (int i = 0; i < times; ++i)
            exec("INSERT INTO ledger (account_id, delta_micro, reason, reference, created_at) VALUES ('a', " +
                 std::to_string(-micro) + ", 'correction', '" + id +
                 "', 0);"
                 "UPDATE accounts SET balance_micro = balance_micro - " +
                 std::to_string(micro) + ";");
        exec("INSERT OR REPLACE INTO corrections VALUES ('" + id + "', 'done', " + std::to_string(micro) + ");");
    }
    static SoakCall delivered(const QString& id, qsizetype units, double credits) {
        SoakCall call;
        call.correctionId = id;
        call.units = units;
        call.succeeded = true;
        call.chargedCredits = credits;
        call.billedModel = CloudCorrectionModel::fast;
        return call;
    }
    SoakLedgerAudit audit(const std::vector<SoakCall>& calls) {
        sqlite3_close(db);
        db = nullptr;
        SoakLedgerAudit result = SoakLedgerAudit::run(path, calls);
        sqlite3_open(path.toUtf8().constData(), &db);
        return result;
    }

    QTemporaryDir dir;
    QString path;
    sqlite3* db = nullptr;
};

TEST_F(LedgerFixture, ACleanRunPassesAndCountsAnAnswerLostAfterItsCharge) {
    charge("c1", 10000);
    charge("c2", 20000);
    SoakCall lost;
    lost.correctionId = QStringLiteral("c2");
    lost.failure = QStringLiteral("http_503");
    const SoakLedgerAudit result = audit({delivered(QStringLiteral("c1"), 120, 0.01), lost});
    EXPECT_TRUE(result.problems.isEmpty()) << result.problems.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(result.figures.deliveredAndCharged, 1);
    EXPECT_EQ(result.figures.chargedButAnswerLost, 1);
    EXPECT_EQ(result.figures.chargedMicro, 30000);
}

TEST_F(LedgerFixture, ChargingTwiceOrForAnUnknownIdIsFound) {
    charge("c1", 10000, 2);
    charge("stranger", 10000);
    const SoakLedgerAudit result = audit({delivered(QStringLiteral("c1"), 120, 0.01)});
    EXPECT_EQ(result.figures.doubleCharges, 1);
    EXPECT_EQ(result.figures.unknownCharges, 1);
    EXPECT_EQ(result.figures.unmatchedSuccesses, 1);
    EXPECT_FALSE(result.problems.isEmpty());
}

TEST_F(LedgerFixture, ADeliveredCorrectionMustBeChargedItsPriceAndToldSo) {
    charge("wrong-price", 10000); // 501 units are two blocks: 20000 at Fast
    charge("wrong-told", 10000);
    const SoakLedgerAudit result =
        audit({delivered(QStringLiteral("wrong-price"), 501, 0.01), delivered(QStringLiteral("wrong-told"), 100, 0.02),
               delivered(QStringLiteral("never-charged"), 100, 0.01)});
    EXPECT_EQ(result.figures.unmatchedSuccesses, 3);
    EXPECT_EQ(result.figures.deliveredAndCharged, 0);
}

TEST_F(LedgerFixture, ABalanceBelowZeroOrApartFromItsLedgerAndLeftoversAreFound) {
    exec("INSERT INTO ledger (account_id, delta_micro, reason, reference, created_at) VALUES ('a', -1500000, "
         "'balance_set', '', 0);"
         "INSERT INTO ledger (account_id, delta_micro, reason, reference, created_at) VALUES ('a', 600000, "
         "'balance_set', '', 0);"
         "UPDATE accounts SET balance_micro = 100001, reserved_micro = 5000;"
         "INSERT INTO corrections VALUES ('busy', 'processing', 0);");
    const SoakLedgerAudit result = audit({});
    EXPECT_EQ(result.figures.negativeSteps, 1);
    EXPECT_EQ(result.figures.lowestBalanceMicro, -500000);
    EXPECT_EQ(result.figures.ledgerMismatches, 1);
    EXPECT_EQ(result.figures.reservedLeft, 5000);
    EXPECT_EQ(result.figures.processingLeft, 1);
    EXPECT_EQ(result.problems.size(), 4);
}

TEST_F(LedgerFixture, AStoredChargeTheLedgerLacksIsFound) {
    exec("INSERT INTO corrections VALUES ('silent', 'done', 10000);");
    EXPECT_EQ(audit({}).problems.size(), 1);
}

} // namespace
