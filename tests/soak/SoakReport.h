#pragma once
// A soak's figures and verdict: the calls as the client saw them, the faults armed and applied,
// the ledger audit and the server's memory over the run.
#include "SoakCall.h"
#include "SoakLedgerAudit.h"

#include <QHash>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <vector>

namespace quillo::soak {

struct SoakMemorySample {
    double seconds = 0; // since the load started
    qint64 kib = 0;
};

struct SoakReport {
    struct Inputs {
        double seconds = 0;
        int clients = 0;
        quint32 seed = 0;
        const std::vector<SoakCall>* calls = nullptr;
        QHash<QString, qint64> clientRetries, faultsArmed, faultsApplied;
        SoakLedgerAudit audit;
        std::vector<SoakMemorySample> memory;
        double warmUpSeconds = 0;
        double memoryGrowthLimitMiB = 0;
        qint64 clientKiBStart = 0, clientKiBEnd = 0;
        bool serverStoppedCleanly = false;
        QStringList setup; // the servers and what was done to them, printed below the first line
    };

    QStringList lines;    // the printed summary
    QJsonObject json;     // the same figures for machines
    QStringList problems; // every broken rule
    bool passed() const { return problems.isEmpty(); }

    static SoakReport make(const Inputs& inputs);
};

} // namespace quillo::soak
