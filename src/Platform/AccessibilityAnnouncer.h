#pragma once

#include <QString>

namespace quillo {

// Spoken announcements for assistive technologies.
class AccessibilityAnnouncer {
public:
    enum class Priority { low, medium, high };
    virtual ~AccessibilityAnnouncer() = default;
    virtual void announce(const QString& text, Priority priority) = 0;
};

} // namespace quillo
