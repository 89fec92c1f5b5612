#pragma once

#include "Platform/Linux/DesktopEntryIndex.h"
#include "Platform/Workspace.h"

#include <QHash>
#include <QJsonObject>

namespace quillo {

class SwayIpc;

// The applications of a sway session: the frontmost one is the focused window of sway's tree
// (its process and its app_id, or for an X11 window under XWayland its class), and focus
// changes arrive as sway's window events.
class SwayWorkspace final : public Workspace {
    Q_OBJECT
public:
    struct Window {
        qint32 processIdentifier = 0;
        QString appId;    // Wayland windows
        QString wmClass;  // XWayland windows
        QString instance; // XWayland windows
        bool operator==(const Window&) const = default;
    };

    explicit SwayWorkspace(SwayIpc& ipc, QObject* parent = nullptr);

    std::optional<RunningApplication> frontmostApplication() const override;
    bool isTerminated(qint32 processIdentifier) const override;
    qint32 currentProcessIdentifier() const override;
    bool openUrl(const QUrl& url) override;
    // The app_id or window class names, the process's command and executable names, and the
    // categories of the desktop entries that name any of them.
    ApplicationDescription describe(const RunningApplication& application) const override;

    // The focused window of a get_tree answer; none when no window has the focus.
    static std::optional<Window> focusedWindow(const QJsonObject& tree);
    // A window as a get_tree node or a window event's container describes it.
    static Window window(const QJsonObject& node);
    static RunningApplication application(const Window& window);

private:
    void windowChanged(const QJsonObject& event);

    SwayIpc& ipc_;
    DesktopEntryIndex desktopEntries_;
    mutable QHash<qint32, Window> windows_;
};

} // namespace quillo
