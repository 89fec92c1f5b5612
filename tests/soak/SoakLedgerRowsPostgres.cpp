#include "SoakLedgerRows.h"

#include <QFile>
#include <QUrl>
#include <libpq-fe.h>
#include <memory>

namespace quillo::soak {

namespace {

struct ConnectionCloser {
    void operator()(PGconn* c) const { PQfinish(c); }
};
struct ResultClearer {
    void operator()(PGresult* r) const { PQclear(r); }
};

QString cell(PGresult* r, int row, int column) { return QString::fromUtf8(PQgetvalue(r, row, column)); }
qint64 number(PGresult* r, int row, int column) { return QByteArray(PQgetvalue(r, row, column)).toLongLong(); }

} // namespace

SoakLedgerRows SoakLedgerRows::fromPostgres(const QString& url, const QString& passwordFile) {
    SoakLedgerRows rows;
    QFile file(passwordFile);
    if (!file.open(QIODevice::ReadOnly)) {
        rows.error = QStringLiteral("the database password cannot be read from %1").arg(passwordFile);
        return rows;
    }
    const QByteArray password = file.readLine().trimmed();
    const QUrl parsed(url);
    const QByteArray host = parsed.host().toUtf8(), port = QByteArray::number(parsed.port(5432)),
                     user = parsed.userName().toUtf8(), dbname = parsed.path().mid(1).toUtf8();
    const char* keys[] = {"host", "port", "user", "dbname", "password", "connect_timeout", nullptr};
    const char* values[] = {
        host.constData(), port.constData(), user.constData(), dbname.constData(), password.constData(), "10", nullptr};
    const std::unique_ptr<PGconn, ConnectionCloser> connection(PQconnectdbParams(keys, values, 0));
    if (PQstatus(connection.get()) != CONNECTION_OK) {
        rows.error = QStringLiteral("the database cannot be opened: %1")
                         .arg(QString::fromUtf8(PQerrorMessage(connection.get())).trimmed());
        return rows;
    }
    auto query = [&](const char* sql) {
        std::unique_ptr<PGresult, ResultClearer> result(PQexec(connection.get(), sql));
        if (PQresultStatus(result.get()) != PGRES_TUPLES_OK) {
            rows.error = QStringLiteral("the database cannot be read: %1")
                             .arg(QString::fromUtf8(PQresultErrorMessage(result.get())).trimmed());
            result.reset();
        }
        return result;
    };
    // One snapshot for the three reads, although every server has stopped by now.
    PQclear(PQexec(connection.get(), "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"));
    if (auto r = query("SELECT account_id, delta_micro, reason, reference FROM ledger ORDER BY id")) {
        for (int i = 0; i < PQntuples(r.get()); ++i)
            rows.ledger.push_back(
                {cell(r.get(), i, 0), number(r.get(), i, 1), cell(r.get(), i, 2), cell(r.get(), i, 3)});
    } else {
        return rows;
    }
    if (auto r = query("SELECT id, balance_micro, reserved_micro FROM accounts")) {
        for (int i = 0; i < PQntuples(r.get()); ++i)
            rows.accounts.push_back({cell(r.get(), i, 0), number(r.get(), i, 1), number(r.get(), i, 2)});
    } else {
        return rows;
    }
    if (auto r = query("SELECT id, state, charged_micro FROM corrections")) {
        for (int i = 0; i < PQntuples(r.get()); ++i)
            rows.corrections.push_back({cell(r.get(), i, 0), cell(r.get(), i, 1), number(r.get(), i, 2)});
    }
    return rows;
}

} // namespace quillo::soak
