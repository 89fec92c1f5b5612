#pragma once

#include "App/AppCloudState.h"

namespace quillo {

class QuilloCloudService;
class QuilloSessionProviding;

// The shell's view of the cloud service and the signed-in session.
class QuilloCloudAppState final : public AppCloudState {
    Q_OBJECT
public:
    QuilloCloudAppState(QuilloCloudService& cloud, QuilloSessionProviding& sessions, QObject* parent = nullptr);

    bool isConfigured() const override;
    bool isSignedIn() const override;
    std::optional<double> availableCredits() const override;
    std::optional<QString> errorMessage() const override;
    bool isRefreshing() const override;
    void synchronize(bool force) override;

private:
    QuilloCloudService& cloud_;
    QuilloSessionProviding& sessions_;
};

} // namespace quillo
