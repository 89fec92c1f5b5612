#pragma once

#include "Platform/AccessibilityAnnouncer.h"
#include "Views/ToastScreenSource.h"

#include <QList>
#include <QPair>

namespace quillo::testing {

// Displays and a pointer the test sets.
class FakeToastScreens final : public ToastScreenSource {
public:
    std::vector<ToastScreen> list{
        ToastScreen{QRectF(0, 0, 1440, 900), QRectF(0, 32, 1440, 868), 0.0, std::nullopt, std::nullopt}};
    std::optional<std::size_t> main = 0;
    QPointF pointer{100, 100};

    std::vector<ToastScreen> screens() const override { return list; }
    std::optional<std::size_t> mainScreenIndex() const override { return main; }
    QPointF pointerLocation() const override { return pointer; }
};

class RecordingAnnouncer final : public AccessibilityAnnouncer {
public:
    QList<QPair<QString, Priority>> announcements;
    void announce(const QString& text, Priority priority) override { announcements.append({text, priority}); }
};

} // namespace quillo::testing
