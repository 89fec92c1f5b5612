#include "App/QuilloCloudAppState.h"

#include "Services/QuilloCloudService.h"
#include "Services/QuilloSessionProviding.h"

namespace quillo {

QuilloCloudAppState::QuilloCloudAppState(QuilloCloudService& cloud, QuilloSessionProviding& sessions, QObject* parent)
    : AppCloudState(parent), cloud_(cloud), sessions_(sessions) {
    for (auto signal : {&QuilloCloudService::loadingErrorChanged, &QuilloCloudService::accountChanged,
                        &QuilloCloudService::isRefreshingAccountChanged})
        connect(&cloud_, signal, this, &AppCloudState::changed);
    connect(&sessions_, &QuilloSessionProviding::sessionChanged, this, &AppCloudState::signedInChanged);
}

bool QuilloCloudAppState::isConfigured() const { return QuilloCloudService::isConfigured(cloud_.endpointInUse()); }

bool QuilloCloudAppState::isSignedIn() const { return sessions_.currentSession().has_value(); }

std::optional<double> QuilloCloudAppState::availableCredits() const {
    if (const auto& account = cloud_.account()) return account->availableCredits;
    return std::nullopt;
}

std::optional<QString> QuilloCloudAppState::errorMessage() const { return cloud_.loadingError(); }

bool QuilloCloudAppState::isRefreshing() const { return cloud_.isRefreshingAccount(); }

void QuilloCloudAppState::synchronize(bool force) {
    auto task = cloud_.synchronizeCloudState(force);
    Q_UNUSED(task); // detached; the service guards its own state
}

} // namespace quillo
