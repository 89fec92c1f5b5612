#pragma once

#include "Models/CorrectionModels.h"
#include "Support/Clock.h"
#include "Views/MenuBarStatusIcon.h"

#include <QObject>
#include <optional>

namespace quillo {

// The tray item's state: the correction status shown, its return to idle, and the update
// badge. Kept apart from the tray icon so that it works (and is tested) without a tray host.
class MenuBarStatusIndicator : public QObject {
    Q_OBJECT
public:
    explicit MenuBarStatusIndicator(Clock& clock = Clock::shared(), QObject* parent = nullptr);
    ~MenuBarStatusIndicator() override;

    void updateStatusIcon(CorrectionStatus status);
    void setAvailableUpdate(std::optional<QString> version);

    CorrectionStatus status() const { return status_; }
    MenuBarStatusAppearance appearance() const { return MenuBarStatusIcon::appearance(status_); }
    bool showsUpdateBadge() const { return availableUpdate_.has_value(); }
    QString toolTip() const;
    bool hasPendingReset() const { return resetTimer_.has_value(); }

signals:
    void changed();

private:
    void scheduleStatusReset(double seconds);

    Clock& clock_;
    CorrectionStatus status_ = CorrectionStatus::idle;
    std::optional<QString> availableUpdate_;
    std::optional<Clock::TimerId> resetTimer_;
};

} // namespace quillo
