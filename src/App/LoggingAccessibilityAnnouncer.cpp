#include "App/LoggingAccessibilityAnnouncer.h"

#include "Support/Logging.h"

namespace quillo {

void LoggingAccessibilityAnnouncer::announce(const QString& text, Priority priority) {
    // Announcements are fixed product sentences, never user text.
    qCInfo(lcApp, "Announcement (%d): %s", int(priority), qUtf8Printable(text));
}

} // namespace quillo
