#pragma once
// Checks a soak's outcome against the servers' own records, read after they stopped. The ledger is the truth about money; the client's calls say what was asked
// and what was delivered.
#include "SoakCall.h"
#include "SoakLedgerRows.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace quillo::soak {

struct SoakLedgerFigures {
    qint64 chargedCorrections = 0;   // ledger rows of corrections
    qint64 chargedMicro = 0;         // what they took, in total
    qint64 deliveredAndCharged = 0;  // client successes, each matched to its charge
    qint64 chargedButAnswerLost = 0; // charged, while the client's call failed
    qint64 doubleCharges = 0;        // correction ids with more than one charge
    qint64 unknownCharges = 0;       // charges for ids the client never sent
    qint64 unmatchedSuccesses = 0;   // successes without exactly one matching charge
    qint64 negativeSteps = 0;        // ledger steps that left an account below zero
    qint64 lowestBalanceMicro = 0;   // lowest running balance of any account
    qint64 ledgerMismatches = 0;     // accounts whose balance is not their ledger's sum
    qint64 reservedLeft = 0;         // micro-credits still reserved at the end
    qint64 processingLeft = 0;       // corrections still "processing" at the end
    qint64 balanceSets = 0;          // top-ups and resets of the accounts near zero
};

struct SoakLedgerAudit {
    SoakLedgerFigures figures;
    QStringList problems; // one line per broken rule, empty when all hold
    bool readable = false;

    // From the SQLite database of one server.
    static SoakLedgerAudit run(const QString& databasePath, const std::vector<SoakCall>& calls);
    static SoakLedgerAudit check(const SoakLedgerRows& rows, const std::vector<SoakCall>& calls);
};

} // namespace quillo::soak
