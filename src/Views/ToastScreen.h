#pragma once

#include <QPointF>
#include <QRectF>
#include <optional>

namespace quillo {

// What the toast needs to know of one display, in device-independent pixels with the origin
// at the top left (y grows downwards). `visibleFrame` excludes panels and docks. A display
// with a camera housing reports its top inset and the two strips beside the housing.
struct ToastScreen {
    QRectF frame;
    QRectF visibleFrame;
    double topSafeAreaInset = 0.0;
    std::optional<QRectF> auxiliaryTopLeftArea;
    std::optional<QRectF> auxiliaryTopRightArea;

    bool operator==(const ToastScreen&) const = default;
};

} // namespace quillo
