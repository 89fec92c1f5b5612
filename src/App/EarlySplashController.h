#pragma once

#include "Support/Clock.h"
#include "Views/EarlySplashView.h"

#include <QObject>
#include <functional>
#include <memory>
#include <optional>

namespace quillo {

class StartupWindow;

// The splash shown from the first moment: at least 2.0 s on screen, then, when start-up is
// ready, 0.65 s of its ready phase before it hands over.
class EarlySplashController : public QObject {
    Q_OBJECT
public:
    static constexpr double minimumDisplaySeconds = 2.0;
    static constexpr double readyPhaseSeconds = 0.65;

    explicit EarlySplashController(Clock& clock, QObject* parent = nullptr);
    ~EarlySplashController() override;

    void show();
    void closeAfterMinimumDisplay(bool shouldShowReady, std::function<void()> completion);
    void closeImmediately();
    void cancelPendingClose();

    EarlySplashPhase phase() const { return phase_; }
    bool isShown() const { return window_ != nullptr; }
    QWidget* window() const;
    std::optional<double> shownAtUptime() const { return shownAt_; }

private:
    void finish();

    Clock& clock_;
    EarlySplashPhase phase_ = EarlySplashPhase::preparing;
    std::unique_ptr<StartupWindow> window_;
    EarlySplashView* view_ = nullptr;
    std::optional<double> shownAt_;
    std::optional<Clock::TimerId> pendingClose_;
    std::function<void()> completion_;
};

} // namespace quillo
