#pragma once

#include "Platform/AccessibilityAnnouncer.h"

namespace quillo {

// Qt 6.4 has no announcement event for screen readers; the toast's own accessible names carry
// the outcome, and the announcement goes to the log.
class LoggingAccessibilityAnnouncer final : public AccessibilityAnnouncer {
public:
    void announce(const QString& text, Priority priority) override;
};

} // namespace quillo
