#include "SoakLedgerAudit.h"

#include "SoakCorpus.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <cmath>

namespace quillo::soak {

SoakLedgerAudit SoakLedgerAudit::run(const QString& databasePath, const std::vector<SoakCall>& calls) {
    return check(SoakLedgerRows::fromSqlite(databasePath), calls);
}

SoakLedgerAudit SoakLedgerAudit::check(const SoakLedgerRows& rows, const std::vector<SoakCall>& calls) {
    SoakLedgerAudit audit;
    SoakLedgerFigures& f = audit.figures;
    if (!rows.error.isEmpty()) {
        audit.problems << rows.error;
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
    for (const SoakLedgerRows::Step& step : rows.ledger) {
        qint64& balance = running[step.account];
        balance += step.deltaMicro;
        if (balance < 0) ++f.negativeSteps;
        f.lowestBalanceMicro = anyStep ? std::min(f.lowestBalanceMicro, balance) : balance;
        anyStep = true;
        if (step.reason == QLatin1String("balance_set")) ++f.balanceSets;
        if (step.reason != QLatin1String("correction")) continue;
        Charge& c = charges[step.reference];
        c.account = step.account;
        c.micro -= step.deltaMicro;
        ++c.count;
        ++f.chargedCorrections;
        f.chargedMicro -= step.deltaMicro;
    }
    for (const SoakLedgerRows::Account& account : rows.accounts) {
        if (running.value(account.id) != account.balanceMicro) ++f.ledgerMismatches;
        f.reservedLeft += account.reservedMicro;
    }
    QHash<QString, qint64> storedCharges; // done corrections by id
    for (const SoakLedgerRows::Correction& correction : rows.corrections) {
        if (correction.state == QLatin1String("processing")) ++f.processingLeft;
        if (correction.state == QLatin1String("done")) storedCharges.insert(correction.id, correction.chargedMicro);
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
