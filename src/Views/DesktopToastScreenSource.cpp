#include "Views/DesktopToastScreenSource.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace quillo {

std::vector<ToastScreen> DesktopToastScreenSource::screens() const {
    std::vector<ToastScreen> result;
    for (QScreen* screen : QGuiApplication::screens())
        result.push_back(ToastScreen{QRectF(screen->geometry()), QRectF(screen->availableGeometry()), 0.0, std::nullopt,
                                     std::nullopt});
    return result;
}

std::optional<std::size_t> DesktopToastScreenSource::mainScreenIndex() const {
    const auto all = QGuiApplication::screens();
    const qsizetype index = all.indexOf(QGuiApplication::primaryScreen());
    if (index < 0) return std::nullopt;
    return static_cast<std::size_t>(index);
}

QPointF DesktopToastScreenSource::pointerLocation() const { return QPointF(QCursor::pos()); }

} // namespace quillo
