#pragma once

#include <QString>
#include <QUuid>

namespace quillo {

// What the running cloud-state synchronisation was started for.
struct CloudStateSynchronizationRequest {
    QUuid id;
    QString authorization;
    bool force = false; // it had to bypass the health check's minimum interval
    bool operator==(const CloudStateSynchronizationRequest&) const = default;
};

} // namespace quillo
