#pragma once

#include "Platform/Linux/AtSpiBus.h"
#include "Platform/Linux/DesktopEntryIndex.h"
#include "Platform/Workspace.h"

#include <optional>

namespace quillo {

class Clock;

// The applications of a Wayland desktop whose compositor tells a client nothing of other
// windows (KWin without its window list granted): the frontmost application is the one whose
// window the accessibility bus reports active, and focus changes arrive as the toolkits'
// window activation events. An application that does not speak AT-SPI (foot) is never
// frontmost: while it has the focus there is none, and nothing is typed into it.
class AtSpiWorkspace final : public Workspace {
    Q_OBJECT
public:
    explicit AtSpiWorkspace(Clock& clock, QObject* parent = nullptr);

    std::optional<RunningApplication> frontmostApplication() const override;
    bool isTerminated(qint32 processIdentifier) const override;
    qint32 currentProcessIdentifier() const override;
    bool openUrl(const QUrl& url) override;
    // The process's command and executable names, and the categories of the desktop entries
    // that name them.
    ApplicationDescription describe(const RunningApplication& application) const override;

    // A process's names: its command (/proc/PID/comm) and its executable's file name.
    static QString commandName(qint32 processIdentifier);
    static QString executableName(qint32 processIdentifier);

private:
    bool connect() const;
    bool isActive(const AtSpiObjectRef& window) const;
    std::optional<AtSpiObjectRef> findActiveWindow() const;
    std::optional<RunningApplication> application(const AtSpiObjectRef& window) const;

    mutable AtSpiBus bus_;
    DesktopEntryIndex desktopEntries_;
    mutable std::optional<AtSpiObjectRef> active_;
    mutable bool watching_ = false;
};

} // namespace quillo
