#include "DesktopTestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QProcess>
#include <QTimer>

namespace quillo::desktoptest {

bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        // The event loop keeps running between looks: code under test in this process is never
        // held up by the wait (a sleep here would delay its timers and the X events it waits for).
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

bool activateWindowOf(qint64 processId) {
    QProcess search;
    search.start(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                             QStringLiteral("--pid"), QString::number(processId)});
    if (!search.waitForFinished(5000)) return false;
    const QList<QByteArray> windows = search.readAllStandardOutput().split('\n');
    for (const QByteArray& window : windows) {
        if (window.trimmed().isEmpty()) continue;
        if (QProcess::execute(QStringLiteral("xdotool"),
                              {QStringLiteral("windowactivate"), QString::fromLatin1(window.trimmed())}) == 0)
            return true;
    }
    return false;
}

bool inDesktopSession() { return qEnvironmentVariableIsSet("QUILLO_DESKTOP_SESSION"); }

TestEditor::TestEditor() = default;

TestEditor::~TestEditor() {
    if (process_.state() != QProcess::NotRunning) {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(2000)) {
            process_.kill();
            process_.waitForFinished(2000);
        }
    }
}

bool TestEditor::start() {
    process_.setProgram(QStringLiteral(QUILLO_TEST_EDITOR_BINARY));
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start();
    if (!process_.waitForStarted(5000)) return false;
    // The first line says the window is up.
    QJsonObject hello;
    if (!waitUntil([&] { return process_.canReadLine() || !buffer_.isEmpty(); }, 10000)) return false;
    buffer_.clear();
    process_.readLine();
    return true;
}

QJsonObject TestEditor::command(const QString& line, int timeoutMs) {
    process_.write(line.toUtf8() + '\n');
    process_.waitForBytesWritten(1000);
    QJsonObject reply;
    waitUntil(
        [&] {
            if (!process_.canReadLine()) return false;
            reply = QJsonDocument::fromJson(process_.readLine()).object();
            return true;
        },
        timeoutMs);
    return reply;
}

ExternalProgram::ExternalProgram(QString program, QStringList arguments)
    : program_(std::move(program)), arguments_(std::move(arguments)) {}

ExternalProgram::~ExternalProgram() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(2000)) {
            process_.kill();
            process_.waitForFinished(2000);
        }
    }
}

void ExternalProgram::useFreshProfile() {
    profile_ = std::make_unique<QTemporaryDir>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
        environment.insert(QString::fromLatin1(name), profile_->filePath(QString::fromLatin1(name).toLower()));
    process_.setProcessEnvironment(environment);
}

bool ExternalProgram::start() {
    process_.setProgram(program_);
    process_.setArguments(arguments_);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.start();
    return process_.waitForStarted(5000);
}

} // namespace quillo::desktoptest
