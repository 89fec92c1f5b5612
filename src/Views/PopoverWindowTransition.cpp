#include "Views/PopoverWindowTransition.h"

namespace quillo {

void PopoverWindowTransition::presentAfterClosing(std::function<void()> action) {
    pending_ = std::move(action);
    if (isClosing_) return;
    if (!popover_.isShown || !popover_.isShown()) {
        auto run = std::move(pending_);
        pending_ = nullptr;
        if (run) run();
        return;
    }
    if (popover_.close) popover_.close();
}

void PopoverWindowTransition::popoverDidClose() {
    isClosing_ = false;
    auto run = std::move(pending_);
    pending_ = nullptr;
    if (run) run();
}

} // namespace quillo
