#pragma once
// Arms one of the server's faults every few hundred milliseconds, chosen at random: connections
// dropped before the work, while it runs (the repeat then meets "still processing" answers) or
// after the charge; 502/503/504 marked safe, before or after the charge; runs of 425; slow
// answers and slow work; a speed busy (rerouted and billed at the other) or both (429).
// With several instances each fault goes to one of those running, at random. The servers count
// what they actually applied; this counts what was armed.
#include <QHash>
#include <QJsonObject>
#include <QString>
#include <cstdint>
#include <random>
#include <vector>

#include <qcoro/qcorotask.h>

namespace quillo::soak {

class SoakServer;

class SoakFaultSchedule {
public:
    SoakFaultSchedule(std::vector<SoakServer*> servers, std::uint32_t seed);

    QCoro::Task<> run();
    void stop() { stopping_ = true; }

    const QHash<QString, qint64>& armed() const { return armed_; }

private:
    struct Fault {
        QString name, control;
        QJsonObject body;
        double busySeconds = 0; // a busy flag is cleared again after this long
    };
    Fault pick();
    static QJsonObject notBusy();
    QCoro::Task<> armOne();

    std::vector<SoakServer*> servers_;
    std::mt19937 rng_;
    bool stopping_ = false;
    QHash<QString, qint64> armed_;
};

} // namespace quillo::soak
