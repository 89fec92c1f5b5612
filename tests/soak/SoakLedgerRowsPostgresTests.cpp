// The audit reads a PostgreSQL ledger as it reads a SQLite one: every row, in the order the ledger
// wrote them, with money as 64-bit integers; and a database it cannot open is a problem, not a pass.
// Runs under tests/cloud/with-postgres, which names the database in the environment.
#include "SoakLedgerAudit.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <libpq-fe.h>

using namespace quillo;
using namespace quillo::soak;

namespace {

class PostgresLedgerFixture : public ::testing::Test {
protected:
    void SetUp() override {
        url = qEnvironmentVariable("QUILLO_TEST_DATABASE_URL");
        passwordFile = qEnvironmentVariable("QUILLO_TEST_DATABASE_PASSWORD_FILE");
        if (url.isEmpty()) GTEST_SKIP() << "no QUILLO_TEST_DATABASE_URL (run under tests/cloud/with-postgres)";
        QFile file(passwordFile);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray password = file.readLine().trimmed();
        const QByteArray conninfo = url.toUtf8();
        const char* keys[] = {"dbname", "password", nullptr};
        const char* values[] = {conninfo.constData(), password.constData(), nullptr};
        db = PQconnectdbParams(keys, values, 1);
        ASSERT_EQ(PQstatus(db), CONNECTION_OK) << PQerrorMessage(db);
        exec("DROP TABLE IF EXISTS accounts, ledger, corrections;"
             "CREATE TABLE accounts (id TEXT PRIMARY KEY, balance_micro BIGINT, reserved_micro BIGINT);"
             "CREATE TABLE ledger (id BIGINT PRIMARY KEY, account_id TEXT, delta_micro BIGINT, reason TEXT,"
             "  reference TEXT);"
             "CREATE TABLE corrections (id TEXT PRIMARY KEY, state TEXT, charged_micro BIGINT);");
    }
    void TearDown() override {
        if (db) exec("DROP TABLE IF EXISTS accounts, ledger, corrections");
        PQfinish(db);
    }
    void exec(const std::string& sql) {
        PGresult* result = PQexec(db, sql.c_str());
        const ExecStatusType status = PQresultStatus(result);
        PQclear(result);
        ASSERT_TRUE(status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) << PQerrorMessage(db);
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

    QString url, passwordFile;
    PGconn* db = nullptr;
};

TEST_F(PostgresLedgerFixture, TheLedgerIsReadInItsOwnOrderWithBalancesBeyond32Bits) {
    // Rows inserted out of order: the running balance only stays at or above zero in id order.
    exec("INSERT INTO accounts VALUES ('big', 5000000000000, 0), ('low', 10000, 0);"
         "INSERT INTO ledger VALUES (3, 'low', -10000, 'correction', 'c2'),"
         "  (1, 'big', 5000000010000, 'signup_grant', ''), (2, 'low', 20000, 'balance_set', ''),"
         "  (4, 'big', -10000, 'correction', 'c1');"
         "INSERT INTO corrections VALUES ('c1', 'done', 10000), ('c2', 'done', 10000);");
    const SoakLedgerAudit result = SoakLedgerAudit::check(
        SoakLedgerRows::fromPostgres(url, passwordFile),
        {delivered(QStringLiteral("c1"), 120, 0.01), delivered(QStringLiteral("c2"), 120, 0.01)});
    EXPECT_TRUE(result.readable);
    EXPECT_TRUE(result.problems.isEmpty()) << result.problems.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(result.figures.deliveredAndCharged, 2);
    EXPECT_EQ(result.figures.negativeSteps, 0);
    EXPECT_EQ(result.figures.balanceSets, 1);
}

TEST_F(PostgresLedgerFixture, AChargeTwiceByTwoInstancesAndAStrandedReservationAreFound) {
    exec("INSERT INTO accounts VALUES ('a', 980000, 7000);"
         "INSERT INTO ledger VALUES (1, 'a', 1000000, 'signup_grant', ''), (2, 'a', -10000, 'correction', 'c1'),"
         "  (3, 'a', -10000, 'correction', 'c1');"
         "INSERT INTO corrections VALUES ('c1', 'done', 10000), ('c2', 'processing', 0);");
    const SoakLedgerAudit result = SoakLedgerAudit::check(SoakLedgerRows::fromPostgres(url, passwordFile),
                                                          {delivered(QStringLiteral("c1"), 120, 0.01)});
    EXPECT_EQ(result.figures.doubleCharges, 1);
    EXPECT_EQ(result.figures.unmatchedSuccesses, 1);
    EXPECT_EQ(result.figures.reservedLeft, 7000);
    EXPECT_EQ(result.figures.processingLeft, 1);
    EXPECT_EQ(result.figures.ledgerMismatches, 0);
}

TEST_F(PostgresLedgerFixture, ADatabaseThatCannotBeReadFailsTheAudit) {
    QTemporaryDir dir;
    const QString wrong = dir.filePath(QStringLiteral("password"));
    QFile file(wrong);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not-the-password\n");
    file.close();
    const SoakLedgerAudit refused = SoakLedgerAudit::check(SoakLedgerRows::fromPostgres(url, wrong), {});
    EXPECT_FALSE(refused.readable);
    EXPECT_FALSE(refused.problems.isEmpty());

    exec("DROP TABLE corrections");
    const SoakLedgerAudit missing = SoakLedgerAudit::check(SoakLedgerRows::fromPostgres(url, passwordFile), {});
    EXPECT_FALSE(missing.readable);
    EXPECT_FALSE(missing.problems.isEmpty());
}

} // namespace
