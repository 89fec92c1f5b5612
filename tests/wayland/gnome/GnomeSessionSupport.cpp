#include "GnomeSessionSupport.h"

#include "DesktopTestSupport.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QUuid>

#include <linux/input-event-codes.h>

namespace quillo::gnometest {

namespace {

const QString mutter = QStringLiteral("org.gnome.Mutter.RemoteDesktop");
const QString mediaKeys = QStringLiteral("org.gnome.settings-daemon.plugins.media-keys");
const QString keybindingFolder = QStringLiteral("/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/");

QString sessionTool() { return QStringLiteral(QUILLO_GNOME_SESSION_TOOL); }

bool gsettings(const QStringList& arguments, QString* output = nullptr) {
    QProcess process;
    process.start(QStringLiteral("gsettings"), arguments);
    if (!process.waitForFinished(10000) || process.exitCode() != 0) return false;
    if (output) *output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    return true;
}

QString quoted(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

} // namespace

bool inGnomeSession() {
    return qEnvironmentVariable("XDG_CURRENT_DESKTOP") == QLatin1String("GNOME") &&
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

SessionKeyboard::~SessionKeyboard() {
    if (session_.isEmpty()) return;
    QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(mutter, session_, mutter + QStringLiteral(".Session"), QStringLiteral("Stop")));
}

bool SessionKeyboard::open() {
    if (!session_.isEmpty()) return true;
    const QDBusReply<QDBusObjectPath> created = QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
        mutter, QStringLiteral("/org/gnome/Mutter/RemoteDesktop"), mutter, QStringLiteral("CreateSession")));
    if (!created.isValid()) return false;
    const QString path = created.value().path();
    const QDBusMessage started = QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(mutter, path, mutter + QStringLiteral(".Session"), QStringLiteral("Start")));
    if (started.type() != QDBusMessage::ReplyMessage) return false;
    session_ = path;
    return true;
}

bool SessionKeyboard::key(quint32 code, bool down) {
    if (!open()) return false;
    QDBusMessage message = QDBusMessage::createMethodCall(mutter, session_, mutter + QStringLiteral(".Session"),
                                                          QStringLiteral("NotifyKeyboardKeycode"));
    message << code << down;
    return QDBusConnection::sessionBus().call(message).type() == QDBusMessage::ReplyMessage;
}

bool SessionKeyboard::press(quint32 code) { return key(code, true) && key(code, false); }

bool SessionKeyboard::with(quint32 modifier, quint32 code) {
    const bool pressed = key(modifier, true) && press(code);
    return key(modifier, false) && pressed;
}

bool SessionKeyboard::control(quint32 code) { return with(KEY_LEFTCTRL, code); }

bool SessionKeyboard::shifted(quint32 code) { return with(KEY_LEFTSHIFT, code); }

bool setCustomKeybindings(const QList<std::pair<QString, QString>>& acceleratorsAndCommands) {
    QStringList paths;
    for (qsizetype index = 0; index < acceleratorsAndCommands.size(); ++index) {
        const QString path = keybindingFolder + QStringLiteral("test%1/").arg(index);
        const QString schema = mediaKeys + QStringLiteral(".custom-keybinding:") + path;
        const auto& [accelerator, command] = acceleratorsAndCommands[index];
        if (!gsettings({QStringLiteral("set"), schema, QStringLiteral("name"), QStringLiteral("Quillo test")}) ||
            !gsettings({QStringLiteral("set"), schema, QStringLiteral("command"), command}) ||
            !gsettings({QStringLiteral("set"), schema, QStringLiteral("binding"), accelerator}))
            return false;
        paths.append(quoted(path));
    }
    return gsettings({QStringLiteral("set"), mediaKeys, QStringLiteral("custom-keybindings"),
                      QLatin1Char('[') + paths.join(QStringLiteral(", ")) + QLatin1Char(']')});
}

QString customKeybindingsSetting() {
    QString output;
    gsettings({QStringLiteral("get"), mediaKeys, QStringLiteral("custom-keybindings")}, &output);
    return output;
}

bool triggerCommandRunning() {
    const QByteArray executable = QByteArrayLiteral(QUILLO_EXECUTABLE);
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!file.open(QIODevice::ReadOnly)) continue;
        const QList<QByteArray> arguments = file.readAll().split('\0');
        if (arguments.value(0) == executable && arguments.contains(QByteArrayLiteral("--trigger"))) return true;
    }
    return false;
}

ConsentAnswer::ConsentAnswer(Choice choice) {
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(sessionTool(), {QStringLiteral("answer-consent"),
                                   choice == Choice::allow ? QStringLiteral("allow") : QStringLiteral("deny")});
}

ConsentAnswer::~ConsentAnswer() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.kill();
    process_.waitForFinished(5000);
}

bool ConsentAnswer::answered(int timeoutMs) {
    return desktoptest::waitUntil([&] { return process_.state() == QProcess::NotRunning; }, timeoutMs) &&
           process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
}

ClipboardOwner::~ClipboardOwner() {
    if (process_.state() != QProcess::NotRunning) {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(5000)) process_.kill();
        process_.waitForFinished(5000);
    }
    for (const QString& file : files_) QFile::remove(file);
}

bool ClipboardOwner::start(const QList<std::pair<QString, QByteArray>>& contents) {
    QStringList arguments{QStringLiteral("own-clipboard")};
    for (const auto& [type, bytes] : contents) {
        const QString path = QDir::temp().filePath(QStringLiteral("quillo-clipboard-") +
                                                   QUuid::createUuid().toString(QUuid::WithoutBraces));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return false;
        files_.append(path);
        arguments.append(type + QLatin1Char('=') + path);
    }
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(sessionTool(), arguments);
    if (!desktoptest::waitUntil([&] { return process_.canReadLine() || process_.state() == QProcess::NotRunning; },
                                10000))
        return false;
    return process_.readLine().trimmed() == "ready";
}

std::optional<QByteArray> clipboardBytes(const QString& type) {
    QProcess reader;
    reader.start(sessionTool(), {QStringLiteral("read-clipboard"), type});
    if (!desktoptest::waitUntil([&] { return reader.state() == QProcess::NotRunning; }, 10000)) {
        reader.kill();
        reader.waitForFinished(5000);
        return std::nullopt;
    }
    if (reader.exitStatus() != QProcess::NormalExit || reader.exitCode() != 0) return std::nullopt;
    return reader.readAllStandardOutput();
}

} // namespace quillo::gnometest
