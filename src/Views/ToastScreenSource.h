#pragma once

#include "Views/ToastScreen.h"

#include <QPointF>
#include <optional>
#include <vector>

namespace quillo {

// Where the toast learns about the displays and the pointer.
class ToastScreenSource {
public:
    virtual ~ToastScreenSource() = default;
    virtual std::vector<ToastScreen> screens() const = 0;
    virtual std::optional<std::size_t> mainScreenIndex() const = 0;
    virtual QPointF pointerLocation() const = 0;
};

} // namespace quillo
