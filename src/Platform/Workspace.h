#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

namespace quillo {

// A running application as the workspace names it. `bundleIdentifier` is the application's
// identifier: a reverse-DNS bundle or desktop-file id, or a window class name (WM_CLASS);
// empty when unknown.
struct RunningApplication {
    qint32 processIdentifier = 0;
    QString bundleIdentifier;
    bool operator==(const RunningApplication&) const = default;
};

// What the desktop knows of an application besides its identifier: all its names (window class
// instance and class, the executable's name...) and the categories of its desktop entry
// ("TerminalEmulator", "WebBrowser"...). Used only to recognise applications that must get no
// keystroke.
struct ApplicationDescription {
    QStringList identifiers;
    QStringList categories;
    bool operator==(const ApplicationDescription&) const = default;
};

// The desktop's applications and the operations the core asks of it.
class Workspace : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Workspace() override = default;

    // The application receiving keyboard input; none when there is none.
    virtual std::optional<RunningApplication> frontmostApplication() const = 0;
    // Whether the process has ended.
    virtual bool isTerminated(qint32 processIdentifier) const = 0;
    // This program's own process identifier.
    virtual qint32 currentProcessIdentifier() const = 0;
    // Opens a URL with the desktop's handler; false when nothing could open it.
    virtual bool openUrl(const QUrl& url) = 0;
    // Everything known of a running application; at least its identifier.
    virtual ApplicationDescription describe(const RunningApplication& application) const {
        ApplicationDescription description;
        if (!application.bundleIdentifier.isEmpty()) description.identifiers.append(application.bundleIdentifier);
        return description;
    }

signals:
    // Another application became the frontmost one.
    void applicationActivated(const quillo::RunningApplication& application);
};

} // namespace quillo
