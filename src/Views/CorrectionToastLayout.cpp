#include "Views/CorrectionToastLayout.h"

#include <QStringView>
#include <algorithm>
#include <cmath>

namespace quillo {

namespace CorrectionToastLayout {

namespace {

double clamp(double value, double low, double high) { return std::max(low, std::min(value, high)); }

} // namespace

ToastScreen chooseScreen(const std::vector<ToastScreen>& screens, QPointF pointer,
                         std::optional<std::size_t> mainScreenIndex) {
    for (const auto& screen : screens) {
        // Closed on the right and bottom edges too: a pointer parked on the last pixel row
        // belongs to that screen.
        const QRectF& f = screen.frame;
        if (pointer.x() >= f.left() && pointer.x() <= f.right() && pointer.y() >= f.top() && pointer.y() <= f.bottom())
            return screen;
    }
    if (mainScreenIndex && *mainScreenIndex < screens.size()) return screens[*mainScreenIndex];
    if (!screens.empty()) return screens.front();
    const QRectF assumed(0, 0, assumedScreenWidth, assumedScreenHeight);
    return ToastScreen{assumed, assumed, 0.0, std::nullopt, std::nullopt};
}

std::optional<QRectF> notchRect(const std::optional<ToastScreen>& screen) {
    if (!screen || screen->topSafeAreaInset <= 0.0) return std::nullopt;
    const QRectF& frame = screen->frame;
    const double inset = screen->topSafeAreaInset;
    const auto& left = screen->auxiliaryTopLeftArea;
    const auto& right = screen->auxiliaryTopRightArea;
    if (left && right && left->right() < right->left())
        return QRectF(left->right(), frame.top(), right->left() - left->right(), inset);
    const double middle = frame.left() + frame.width() / 2.0;
    return QRectF(middle - fallbackNotchWidth / 2.0, frame.top(), fallbackNotchWidth, inset);
}

double topPadding(const std::optional<QRectF>& notch) {
    if (!notch) return paddingWithoutNotch;
    return clamp(notch->height() + 10.0, 48.0, 68.0);
}

QString previewText(const QString& text) {
    QString trimmed = text.trimmed();
    int scalars = 0;
    qsizetype i = 0;
    const qsizetype n = trimmed.size();
    while (i < n) {
        if (scalars == previewScalarLimit) return trimmed.left(i) + QStringLiteral("...");
        const bool pair = QChar::isHighSurrogate(trimmed.at(i).unicode()) && i + 1 < n &&
                          QChar::isLowSurrogate(trimmed.at(i + 1).unicode());
        i += pair ? 2 : 1;
        ++scalars;
    }
    return trimmed;
}

CorrectionToastFrame previewFrame(const ToastScreen& screen, const PreviewTextMetrics& metrics, bool hasRoutingNotice) {
    const auto notch = notchRect(screen);
    const double padding = topPadding(notch);
    const QRectF& visible = screen.visibleFrame;

    const double maxWidth = clamp(visible.width() - 96.0, 360.0, 820.0);
    const double width = clamp(std::ceil(metrics.widestLineWidth + 56.0), 360.0, maxWidth);
    const double wrapWidth = std::max(width - 48.0, 220.0);
    const double measured = metrics.wrappedHeight ? metrics.wrappedHeight(wrapWidth) : 0.0;
    const double textHeight = clamp(std::ceil(measured) + 6.0, 24.0, 220.0);

    double height = textHeight + padding + 22.0 + (hasRoutingNotice ? 13.0 : 0.0) + 10.0 + 14.0;
    const double cap = clamp(0.45 * visible.height(), 180.0, 360.0);
    height = std::min(std::max(height, padding + 78.0), cap);
    return {QSizeF(width, height), padding, notch.has_value()};
}

CorrectionToastFrame compactFrame(const CorrectionToastStatusKind& status, CompactToastPlacement placement,
                                  const ToastScreen& screen) {
    const bool notchPlacement = placement == CompactToastPlacement::notch;
    double width = 0.0;
    double height = 0.0;
    switch (status.kind) {
    case CorrectionToastStatusKind::Kind::processing:
        width = notchPlacement ? 170.0 : 156.0;
        height = notchPlacement ? 42.0 : 38.0;
        break;
    case CorrectionToastStatusKind::Kind::success:
        if (status.hasRoutingNotice()) {
            width = notchPlacement ? 180.0 : 260.0;
            height = notchPlacement ? 58.0 : 54.0;
        } else {
            width = notchPlacement ? 180.0 : 164.0;
            height = notchPlacement ? 42.0 : 38.0;
        }
        break;
    case CorrectionToastStatusKind::Kind::error:
        width = notchPlacement ? 390.0 : clamp(screen.visibleFrame.width() - 48.0, 240.0, 360.0);
        height = notchPlacement ? 84.0 : 80.0;
        break;
    }
    if (!notchPlacement) return {QSizeF(width, height), 0.0, false};

    const auto notch = notchRect(screen);
    const double padding = topPadding(notch);
    if (notch) width = std::max(width, 360.0);
    return {QSizeF(width, height + padding), padding, notch.has_value()};
}

QPointF notchPlacement(QSizeF size, const ToastScreen& screen) {
    if (const auto notch = notchRect(screen)) return {notch->center().x() - size.width() / 2.0, screen.frame.top()};
    const QRectF& visible = screen.visibleFrame;
    return {visible.center().x() - size.width() / 2.0, visible.top()};
}

QPointF miniPlacement(QSizeF size, const ToastScreen& screen) {
    const QRectF& visible = screen.visibleFrame;
    return {visible.center().x() - size.width() / 2.0, visible.bottom() - miniBottomMargin - size.height()};
}

int dismissalDirection(std::optional<CompactToastPlacement> compactPlacement) {
    return compactPlacement == CompactToastPlacement::mini ? -1 : 1;
}

double previewDuration(std::optional<double> stored) {
    if (!stored || !std::isfinite(*stored) || *stored <= 0.0) return defaultPreviewDuration;
    return std::max(*stored, minimumPreviewDuration);
}

} // namespace CorrectionToastLayout

} // namespace quillo
