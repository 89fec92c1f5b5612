#include "Views/MenuBarStatusIndicator.h"

namespace quillo {

MenuBarStatusIndicator::MenuBarStatusIndicator(Clock& clock, QObject* parent) : QObject(parent), clock_(clock) {}

MenuBarStatusIndicator::~MenuBarStatusIndicator() {
    if (resetTimer_) clock_.cancelScheduled(*resetTimer_);
}

void MenuBarStatusIndicator::updateStatusIcon(CorrectionStatus status) {
    // A newer status always wins over an older pending return to idle.
    if (resetTimer_) clock_.cancelScheduled(*resetTimer_);
    resetTimer_.reset();
    status_ = status;
    if (const auto after = MenuBarStatusIcon::appearance(status).returnToIdleAfter) scheduleStatusReset(*after);
    emit changed();
}

void MenuBarStatusIndicator::scheduleStatusReset(double seconds) {
    resetTimer_ = clock_.schedule(seconds, [this] {
        resetTimer_.reset();
        updateStatusIcon(CorrectionStatus::idle);
    });
}

void MenuBarStatusIndicator::setAvailableUpdate(std::optional<QString> version) {
    if (availableUpdate_ == version) return;
    availableUpdate_ = std::move(version);
    emit changed();
}

QString MenuBarStatusIndicator::toolTip() const {
    if (availableUpdate_) return MenuBarUpdateBadge::toolTip(availableUpdate_);
    return appearance().accessibilityDescription;
}

} // namespace quillo
