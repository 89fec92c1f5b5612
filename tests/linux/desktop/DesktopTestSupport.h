#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>

namespace quillo::desktoptest {

// Waits for something another process does, running the event loop meanwhile.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

// Asks the window manager to activate a visible window of the process, as a click would
// (the window manager may refuse to give a new window the focus while keys were just typed).
bool activateWindowOf(qint64 processId);

// Whether the runner script put us in a private desktop session.
bool inDesktopSession();

// Our test editor in its own process, driven line by line.
class TestEditor {
public:
    TestEditor();
    ~TestEditor();
    bool start();
    QJsonObject command(const QString& line, int timeoutMs = 5000);
    qint64 processId() const { return process_.processId(); }

private:
    QProcess process_;
    QByteArray buffer_;
};

// Any other program (Mousepad, xterm), stopped at the end.
class ExternalProgram {
public:
    ExternalProgram(QString program, QStringList arguments);
    ~ExternalProgram();
    // Settings and state of its own (fresh XDG folders), so no earlier run shows through.
    void useFreshProfile();
    bool start();
    qint64 processId() const { return process_.processId(); }

private:
    QString program_;
    QStringList arguments_;
    QProcess process_;
    std::unique_ptr<QTemporaryDir> profile_;
};

} // namespace quillo::desktoptest
