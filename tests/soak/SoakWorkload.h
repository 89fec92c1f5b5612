#pragma once
// The clients of a soak: several workers, each its own QuilloCloudService over its own Qt
// transport and session (as separate copies of the app would be), correcting texts of the
// corpus back to back until told to stop. Most share one account with a large balance; the
// others share accounts kept near zero, so refusals for credit and the never-negative rule are
// met all the time.
#include "SoakCall.h"
#include "SoakCorpus.h"

#include "Services/FixedSessionProvider.h"
#include "Services/QtCloudHttpTransport.h"
#include "Services/QuilloCloudService.h"

#include <QString>
#include <memory>
#include <random>
#include <vector>

#include <qcoro/qcorotask.h>

namespace quillo::soak {

class SoakWorkload {
public:
    struct Account {
        QString email, password;
        double startCredits = 0;
        bool low = false;
    };

    SoakWorkload(QString endpoint, QString caFile, std::vector<SoakText> texts, int workers, std::uint32_t seed);
    ~SoakWorkload();

    const std::vector<Account>& accounts() const { return accounts_; }
    std::vector<Account> lowAccounts() const;

    // Signs every worker in; throws what the sign-in threw.
    QCoro::Task<> signIn();
    // Runs every worker until stop() and returns when the last call has ended.
    QCoro::Task<> run();
    void stop() { stopping_ = true; }

    const std::vector<SoakCall>& calls() const { return calls_; }
    const std::vector<SoakText>& texts() const { return texts_; }

private:
    struct Worker;
    QCoro::Task<> runWorker(Worker& worker);

    QString endpoint_, caFile_;
    std::vector<SoakText> texts_;
    std::vector<Account> accounts_;
    std::vector<std::unique_ptr<Worker>> workers_;
    std::vector<SoakCall> calls_;
    bool stopping_ = false;
};

} // namespace quillo::soak
