#pragma once
// The rows of a server's records that a soak's audit reads: the ledger in the order it was
// written, the accounts and the stored corrections. Read after every server stopped, from the
// SQLite file of one server or the PostgreSQL database that several share.
#include <QString>
#include <vector>

namespace quillo::soak {

struct SoakLedgerRows {
    struct Step {
        QString account;
        qint64 deltaMicro = 0;
        QString reason, reference;
    };
    struct Account {
        QString id;
        qint64 balanceMicro = 0, reservedMicro = 0;
    };
    struct Correction {
        QString id, state;
        qint64 chargedMicro = 0;
    };

    std::vector<Step> ledger;
    std::vector<Account> accounts;
    std::vector<Correction> corrections;
    QString error; // why the rows could not be read; empty when they were

    static SoakLedgerRows fromSqlite(const QString& path);
    // `url` as the server takes it (postgresql://ROLE@HOST:PORT/DB), its password in a file.
    static SoakLedgerRows fromPostgres(const QString& url, const QString& passwordFile);
};

} // namespace quillo::soak
