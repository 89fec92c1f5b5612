#include "SoakLedgerRows.h"

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
    ReadOnlyDatabase(const ReadOnlyDatabase&) = delete;
    ReadOnlyDatabase& operator=(const ReadOnlyDatabase&) = delete;
    bool isOpen() const { return db_ != nullptr; }

    // Calls `row` with the statement positioned on each result row.
    template <typename Row> bool each(const char* sql, Row row) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr) != SQLITE_OK) {
            error = QString::fromUtf8(sqlite3_errmsg(db_));
            return false;
        }
        int rc = SQLITE_OK;
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

SoakLedgerRows SoakLedgerRows::fromSqlite(const QString& path) {
    SoakLedgerRows rows;
    ReadOnlyDatabase db(path);
    if (!db.isOpen()) {
        rows.error = QStringLiteral("the database cannot be opened: %1").arg(db.error);
        return rows;
    }
    bool ok =
        db.each("SELECT account_id, delta_micro, reason, reference FROM ledger ORDER BY id", [&](sqlite3_stmt* s) {
            rows.ledger.push_back({text(s, 0), sqlite3_column_int64(s, 1), text(s, 2), text(s, 3)});
        });
    ok = ok && db.each("SELECT id, balance_micro, reserved_micro FROM accounts", [&](sqlite3_stmt* s) {
        rows.accounts.push_back({text(s, 0), sqlite3_column_int64(s, 1), sqlite3_column_int64(s, 2)});
    });
    ok = ok && db.each("SELECT id, state, charged_micro FROM corrections", [&](sqlite3_stmt* s) {
        rows.corrections.push_back({text(s, 0), text(s, 1), sqlite3_column_int64(s, 2)});
    });
    if (!ok) rows.error = QStringLiteral("the database cannot be read: %1").arg(db.error);
    return rows;
}

} // namespace quillo::soak
