#pragma once

#include "Services/CloudHttpTransport.h"
#include "Support/Clock.h"
#include "Support/SharedResult.h"

#include <QUrl>
#include <limits>
#include <memory>

#include <qcoro/qcorotask.h>

namespace quillo {

// Whether the cloud answers its health action, remembered for a while so frequent cloud-state
// synchronisations do not each send a request. Concurrent checks share one request. No error
// leaves it: a failed or unhealthy check is the answer false, cached like true.
class CloudHealthChecker {
public:
    static constexpr double defaultMinimumInterval = 180.0;
    static constexpr double requestTimeoutSeconds = 5.0;

    CloudHealthChecker(CloudHttpTransport& transport, double minimumInterval = defaultMinimumInterval,
                       Clock& clock = Clock::shared());

    // True when the cloud answered HTTP 200. Unless `force`, an answer younger than the minimum
    // interval is returned without a request; a check in flight is joined either way.
    QCoro::Task<bool> check(QUrl url, bool force);

    double minimumInterval() const { return minimumInterval_; }
    bool lastResult() const { return lastResult_; }
    bool isChecking() const { return static_cast<bool>(inFlight_); }

private:
    QCoro::Task<> run(QUrl url, std::shared_ptr<SharedResult<bool>> result);
    QCoro::Task<bool> request(QUrl url);

    double minimumInterval_;
    CloudHttpTransport& transport_;
    Clock& clock_;
    double lastCheckAt_ = -std::numeric_limits<double>::infinity(); // uptime seconds
    bool lastResult_ = true;
    std::shared_ptr<SharedResult<bool>> inFlight_;
    std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
};

} // namespace quillo
