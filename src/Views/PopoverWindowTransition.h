#pragma once

#include <functional>

namespace quillo {

// Windows open only once the popover has left the screen: an action asked for while the
// popover is up waits for its "did close" and then runs exactly once.
class PopoverWindowTransition {
public:
    struct Popover {
        std::function<bool()> isShown;
        std::function<void()> close;
    };

    explicit PopoverWindowTransition(Popover popover) : popover_(std::move(popover)) {}

    void presentAfterClosing(std::function<void()> action);
    void popoverWillClose() { isClosing_ = true; }
    void popoverDidClose();

    bool isClosing() const { return isClosing_; }
    bool hasPendingPresentation() const { return static_cast<bool>(pending_); }

private:
    Popover popover_;
    bool isClosing_ = false;
    std::function<void()> pending_;
};

} // namespace quillo
