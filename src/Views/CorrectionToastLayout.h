#pragma once

#include "Views/CompactToastPlacement.h"
#include "Views/CorrectionToastStatusKind.h"
#include "Views/ToastScreen.h"

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace quillo {

// Size, padding and notch attachment of one toast.
struct CorrectionToastFrame {
    QSizeF size;
    double topPadding = 0.0;
    bool attachesToNotch = false;
    bool operator==(const CorrectionToastFrame&) const = default;
};

// The text measurements the preview layout needs (the view measures with its font).
struct PreviewTextMetrics {
    double widestLineWidth = 0.0;
    // Height of the text wrapped at the given width.
    std::function<double(double width)> wrappedHeight;
};

// Pure geometry and timing of the correction toast: everything is a function of the screen
// facts and the texts, so it is exercised without a display.
namespace CorrectionToastLayout {

inline constexpr double assumedScreenWidth = 1440.0;
inline constexpr double assumedScreenHeight = 900.0;
inline constexpr double fallbackNotchWidth = 184.0;
inline constexpr double paddingWithoutNotch = 14.0;
inline constexpr int previewScalarLimit = 1200;
inline constexpr double previewFontPointSize = 14.5;
inline constexpr double defaultPreviewDuration = 3.5;
inline constexpr double minimumPreviewDuration = 1.2;
inline constexpr double hoverLeaveDismissDelay = 2.0;
inline constexpr double dismissalCloseSlack = 0.02;
inline constexpr double miniBottomMargin = 24.0;

// The display under the pointer, else the main one, else an assumed 1440 × 900 display.
ToastScreen chooseScreen(const std::vector<ToastScreen>& screens, QPointF pointer,
                         std::optional<std::size_t> mainScreenIndex);

// The camera housing's rectangle at the top of the display; none without one.
std::optional<QRectF> notchRect(const std::optional<ToastScreen>& screen);
double topPadding(const std::optional<QRectF>& notch);

// Trimmed, and cut to 1200 Unicode scalars followed by "..." when longer.
QString previewText(const QString& text);

CorrectionToastFrame previewFrame(const ToastScreen& screen, const PreviewTextMetrics& metrics, bool hasRoutingNotice);
CorrectionToastFrame compactFrame(const CorrectionToastStatusKind& status, CompactToastPlacement placement,
                                  const ToastScreen& screen);

// Top-left origin of a toast of `size`: hanging from the notch (or the top of the visible
// frame), or in the mini case centred 24 points above the bottom of the visible frame.
QPointF notchPlacement(QSizeF size, const ToastScreen& screen);
QPointF miniPlacement(QSizeF size, const ToastScreen& screen);

// +1 slides away upwards (preview and notch), −1 downwards (mini).
int dismissalDirection(std::optional<CompactToastPlacement> compactPlacement);

// The stored "correctionPreviewDuration": 0, negative or absent gives 3.5 s; at least 1.2 s.
double previewDuration(std::optional<double> stored);

} // namespace CorrectionToastLayout

} // namespace quillo
