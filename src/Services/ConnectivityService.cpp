#include "Services/ConnectivityService.h"

#include "Support/Logging.h"

#include <QCoreApplication>

namespace quillo {

ConnectivityService& ConnectivityService::shared() {
    static ConnectivityService* instance = new ConnectivityService(true);
    return *instance;
}

ConnectivityService::ConnectivityService(bool startMonitoring) {
    if (!startMonitoring) return;
    if (!QNetworkInformation::instance() &&
        !QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)) {
        qCInfo(lcApp, "No network information backend; connectivity is assumed");
        return;
    }
    QNetworkInformation* information = QNetworkInformation::instance();
    auto update = [this, information] {
        PathState state;
        state.reachability = information->reachability();
        state.metered = information->isMetered();
        apply(state);
    };
    connect(information, &QNetworkInformation::reachabilityChanged, this, update);
    connect(information, &QNetworkInformation::isMeteredChanged, this, update);
    // The backend may already know the state; a later report still follows through the signals.
    if (information->reachability() != QNetworkInformation::Reachability::Unknown) update();
}

bool ConnectivityService::isOnline(QNetworkInformation::Reachability reachability, bool previous) {
    switch (reachability) {
    case QNetworkInformation::Reachability::Online:
    case QNetworkInformation::Reachability::Site: return true;
    case QNetworkInformation::Reachability::Disconnected:
    case QNetworkInformation::Reachability::Local: return false;
    case QNetworkInformation::Reachability::Unknown: break;
    }
    return previous;
}

void ConnectivityService::apply(const PathState& state) {
    const bool online = isOnline(state.reachability, isOnline_);
    if (online == isOnline_ && state.metered == isExpensive_) return;
    isOnline_ = online;
    isExpensive_ = state.metered;
    emit changed();
}

} // namespace quillo
