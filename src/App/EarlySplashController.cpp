#include "App/EarlySplashController.h"

#include "Views/StartupWindow.h"

#include <algorithm>

namespace quillo {

EarlySplashController::EarlySplashController(Clock& clock, QObject* parent) : QObject(parent), clock_(clock) {}

EarlySplashController::~EarlySplashController() { cancelPendingClose(); }

QWidget* EarlySplashController::window() const { return window_.get(); }

void EarlySplashController::show() {
    if (!window_) {
        view_ = new EarlySplashView;
        window_ = std::make_unique<StartupWindow>(view_, false, true);
    }
    phase_ = EarlySplashPhase::preparing;
    view_->setPhase(phase_);
    window_->show();
    window_->raise();
    shownAt_ = clock_.uptimeSeconds();
}

void EarlySplashController::cancelPendingClose() {
    if (pendingClose_) clock_.cancelScheduled(*pendingClose_);
    pendingClose_.reset();
    completion_ = nullptr;
}

void EarlySplashController::closeAfterMinimumDisplay(bool shouldShowReady, std::function<void()> completion) {
    cancelPendingClose();
    completion_ = std::move(completion);
    const double shown = shownAt_.value_or(clock_.uptimeSeconds());
    const double remaining = std::max(0.0, minimumDisplaySeconds - (clock_.uptimeSeconds() - shown));
    pendingClose_ = clock_.schedule(remaining, [this, shouldShowReady] {
        pendingClose_.reset();
        if (!shouldShowReady) {
            finish();
            return;
        }
        phase_ = EarlySplashPhase::ready;
        if (view_) view_->setPhase(phase_);
        pendingClose_ = clock_.schedule(readyPhaseSeconds, [this] {
            pendingClose_.reset();
            finish();
        });
    });
}

void EarlySplashController::finish() {
    auto completion = std::move(completion_);
    completion_ = nullptr;
    if (completion) completion();
    closeImmediately();
}

void EarlySplashController::closeImmediately() {
    if (window_) {
        window_->hide();
        window_.release()->deleteLater();
        view_ = nullptr;
    }
}

} // namespace quillo
