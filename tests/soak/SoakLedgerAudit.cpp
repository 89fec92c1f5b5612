#include "SoakLedgerAudit.h"

#include "SoakCorpus.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <sqlite3.h>

namespace quillo::soak {

namespace {

class ReadOnlyDatabase {
public:
    explicit ReadOnlyDatabase(const QString& path) {
        if (sqlite3_open_v2(path.toUtf8().constData(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            error = QString::fromUtf8(sqlite3_errmsg(db_));
            sqlite3_close(db_);
            db_ = nullptr;
        }
    }
    ~ReadOnlyDatabase() { sqlite3_close(db_); }
    bool isOpen() const { return db_ != nullptr; }

    // Calls `row` with the statement positioned on each result row.
    template <typename Row> bool each(const char* sql, Row row) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr) != SQLITE_OK) {
            error = QString::fromUtf8(sqlite3_errmsg(db_));
            return false;
        }
        int rc;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) row(statement);
        sqlite3_finalize(statement);
        if (rc != SQLITE_DONE) error = QString::fromUtf8(sqlite3_errmsg(db_));
        return rc == SQLITE_DONE;
    }

    QString error;

private:
    sqlite3* db_ = nullptr;
};

QString text(sqlite3_stmt* s, int column) {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
    return bytes ? QString::fromUtf8(bytes) : QString();
}

} // namespace

SoakLedgerAudit SoakLedgerAudit::run(const QString& databasePath, const std::vector<SoakCall>& calls) {
    SoakLedgerAudit audit;
    SoakLedgerFigures& f = audit.figures;
    ReadOnlyDatabase db(databasePath);
    if (!db.isOpen()) {
        audit.problems << QStringLiteral("the database cannot be opened: %1").arg(db.error);
        return audit;
    }

    struct Charge {
        QString account;
        qint64 micro = 0;
        int count = 0;
    };
    QHash<QString, Charge> charges; // by correction id
    QHash<QString, qint64> running; // by account
    f.lowestBalanceMicro = 0;
    bool anyStep = false;
    bool ok =
        db.each("SELECT account_id, delta_micro, reason, reference FROM ledger ORDER BY id", [&](sqlite3_stmt* s) {
            const QString account = text(s, 0);
            const qint64 delta = sqlite3_column_int64(s, 1);
            const QString reason = text(s, 2);
            qint64& balance = running[account];
            balance += delta;
            if (balance < 0) ++f.negativeSteps;
            f.lowestBalanceMicro = anyStep ? std::min(f.lowestBalanceMicro, balance) : balance;
            anyStep = true;
            if (reason == QLatin1String("balance_set")) ++f.balanceSets;
            if (reason != QLatin1String("correction")) return;
            Charge& c = charges[text(s, 3)];
            c.account = account;
            c.micro -= delta;
            ++c.count;
            ++f.chargedCorrections;
            f.chargedMicro -= delta;
        });
    ok = ok && db.each("SELECT id, balance_micro, reserved_micro FROM accounts", [&](sqlite3_stmt* s) {
        if (running.value(text(s, 0)) != sqlite3_column_int64(s, 1)) ++f.ledgerMismatches;
        f.reservedLeft += sqlite3_column_int64(s, 2);
    });
    QHash<QString, qint64> storedCharges; // done corrections by id
    ok = ok && db.each("SELECT id, state, charged_micro FROM corrections", [&](sqlite3_stmt* s) {
        const QString state = text(s, 1);
        if (state == QLatin1String("processing")) ++f.processingLeft;
        if (state == QLatin1String("done")) storedCharges.insert(text(s, 0), sqlite3_column_int64(s, 2));
    });
    if (!ok) {
        audit.problems << QStringLiteral("the database cannot be read: %1").arg(db.error);
        return audit;
    }
    audit.readable = true;

    QSet<QString> sent;
    for (const SoakCall& call : calls) {
        if (!call.correctionId) continue;
        sent.insert(*call.correctionId);
        const auto charge = charges.constFind(*call.correctionId);
        if (!call.succeeded) {
            if (charge != charges.cend()) ++f.chargedButAnswerLost;
            continue;
        }
        const bool veryVeryFast = call.billedModel.value_or(call.model) == CloudCorrectionModel::veryVeryFast;
        const qint64 price = SoakCorpus::costMicro(call.units, veryVeryFast);
        const qint64 told = call.chargedCredits ? std::llround(*call.chargedCredits * 1e6) : -1;
        if (charge == charges.cend() || charge->count != 1 || charge->micro != price || told != price) {
            ++f.unmatchedSuccesses;
            if (f.unmatchedSuccesses <= 5)
                audit.problems
                    << QStringLiteral(
                           "correction %1: delivered as %2 micro-credits, priced %3, charged %4 time(s) for %5")
                           .arg(*call.correctionId)
                           .arg(told)
                           .arg(price)
                           .arg(charge == charges.cend() ? 0 : charge->count)
                           .arg(charge == charges.cend() ? 0 : charge->micro);
        } else {
            ++f.deliveredAndCharged;
        }
    }
    for (auto it = charges.cbegin(); it != charges.cend(); ++it) {
        if (it->count > 1) ++f.doubleCharges;
        if (!sent.contains(it.key())) ++f.unknownCharges;
        if (storedCharges.value(it.key(), -1) != it->micro)
            audit.problems << QStringLiteral("correction %1: the ledger took %2, the stored correction says %3")
                                  .arg(it.key())
                                  .arg(it->micro)
                                  .arg(storedCharges.value(it.key(), -1));
    }
    for (auto it = storedCharges.cbegin(); it != storedCharges.cend(); ++it)
        if (it.value() > 0 && !charges.contains(it.key()))
            audit.problems << QStringLiteral("correction %1 is done and priced %2 but the ledger never charged it")
                                  .arg(it.key())
                                  .arg(it.value());

    if (f.doubleCharges)
        audit.problems << QStringLiteral("%1 correction(s) charged more than once").arg(f.doubleCharges);
    if (f.unknownCharges)
        audit.problems << QStringLiteral("%1 charge(s) for corrections the client never sent").arg(f.unknownCharges);
    if (f.unmatchedSuccesses)
        audit.problems << QStringLiteral("%1 delivered correction(s) without exactly one charge of their price")
                              .arg(f.unmatchedSuccesses);
    if (f.negativeSteps) audit.problems << QStringLiteral("a balance went below zero %1 time(s)").arg(f.negativeSteps);
    if (f.ledgerMismatches)
        audit.problems << QStringLiteral("%1 account balance(s) differ from their ledger").arg(f.ledgerMismatches);
    if (f.reservedLeft)
        audit.problems << QStringLiteral("%1 micro-credits still reserved at the end").arg(f.reservedLeft);
    if (f.processingLeft) audit.problems << QStringLiteral("%1 correction(s) left processing").arg(f.processingLeft);
    return audit;
}

} // namespace quillo::soak
