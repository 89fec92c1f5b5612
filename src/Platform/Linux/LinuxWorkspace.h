#pragma once

#include "Platform/Linux/DesktopEntryIndex.h"
#include "Platform/Workspace.h"

#include <QHash>

#include <QString>
#include <optional>

struct _XDisplay; // NOLINT(bugprone-reserved-identifier): Xlib's own name for Display
class QSocketNotifier;

namespace quillo {

// The X11 session's applications. The frontmost one is the window manager's active window
// (EWMH _NET_ACTIVE_WINDOW), or the window with the input focus when no window manager keeps
// that property. Its process comes from _NET_WM_PID; its identifier is the class part of
// WM_CLASS ("XTerm", "Mousepad", "firefox"...), else the instance part, else the process's
// command name, which is what the application policies compare (case-insensitively).
class LinuxWorkspace final : public Workspace {
    Q_OBJECT
public:
    explicit LinuxWorkspace(QObject* parent = nullptr);
    ~LinuxWorkspace() override;

    std::optional<RunningApplication> frontmostApplication() const override;
    bool isTerminated(qint32 processIdentifier) const override;
    qint32 currentProcessIdentifier() const override;
    bool openUrl(const QUrl& url) override;
    // The window class's instance and class, the process's command and executable names, and the
    // categories of the desktop entries that name any of them.
    ApplicationDescription describe(const RunningApplication& application) const override;

    bool isConnected() const { return display_ != nullptr; }
    // The identifier from the parts of WM_CLASS, or the command name when both are empty.
    static QString applicationIdentifier(const QString& wmClassInstance, const QString& wmClassClass,
                                         const QString& commandName);

private:
    void processPendingEvents();
    std::optional<RunningApplication> readFrontmostApplication() const;
    std::optional<RunningApplication> applicationOfWindow(unsigned long start) const;

    struct WindowNames {
        QString instance;
        QString wmClass;
    };

    _XDisplay* display_ = nullptr;
    DesktopEntryIndex desktopEntries_;
    // The window class names last seen for each process.
    mutable QHash<qint32, WindowNames> windowNames_;
    unsigned long activeWindowAtom_ = 0;
    unsigned long pidAtom_ = 0;
    QSocketNotifier* notifier_ = nullptr;
    std::optional<RunningApplication> lastActive_;
};

} // namespace quillo
