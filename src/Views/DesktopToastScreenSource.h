#pragma once

#include "Views/ToastScreenSource.h"

namespace quillo {

// The application's screens. X11 and Wayland report no camera housing, so the top inset is 0.
class DesktopToastScreenSource final : public ToastScreenSource {
public:
    std::vector<ToastScreen> screens() const override;
    std::optional<std::size_t> mainScreenIndex() const override;
    QPointF pointerLocation() const override;
};

} // namespace quillo
