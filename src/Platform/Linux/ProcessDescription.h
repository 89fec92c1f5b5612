#pragma once

#include "Platform/Workspace.h"

#include <QString>
#include <QStringList>

namespace quillo {

class DesktopEntryIndex;

// What the Linux workspaces (X11, sway) say of an application's process, whatever told them
// which window has the focus.
namespace ProcessDescription {

// The process's command name (/proc/PID/comm); empty when it is gone.
QString commandName(qint32 processIdentifier);
// The window's class names as given (duplicates and blanks dropped), then the process's
// executable and command names; the categories of the desktop entries that name any of them.
ApplicationDescription describe(const DesktopEntryIndex& entries, qint32 processIdentifier,
                                const QStringList& windowClassNames);
// Whether the process has exited (as opposed to one we may not signal).
bool isTerminated(qint32 processIdentifier);

} // namespace ProcessDescription

} // namespace quillo
