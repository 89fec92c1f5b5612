#include "App/AppInstanceChannel.h"

#include "Support/Logging.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include <sys/stat.h>
#include <unistd.h>

namespace quillo {

AppInstanceChannel::AppInstanceChannel(QString serverName, QObject* parent)
    : QObject(parent), serverName_(std::move(serverName)) {}

AppInstanceChannel::~AppInstanceChannel() = default;

bool AppInstanceChannel::isPrivateDirectory(const QString& path, unsigned int uid) {
    if (path.isEmpty() || !QDir::isAbsolutePath(path)) return false;
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) return false;
    return S_ISDIR(info.st_mode) && info.st_uid == uid && (info.st_mode & 077) == 0;
}

std::optional<QString> AppInstanceChannel::privateRuntimeDirectory() {
    const unsigned int uid = ::getuid();
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (isPrivateDirectory(runtime, uid)) return runtime;
    // No session folder (a login without systemd): one of our own, checked the same way, since
    // someone else may have made it first.
    const QString fallback = QDir::tempPath() + QStringLiteral("/quillo-%1").arg(uid);
    ::mkdir(QFile::encodeName(fallback).constData(), 0700);
    if (isPrivateDirectory(fallback, uid)) return fallback;
    qCWarning(lcApp, "No private folder for the session channel: $XDG_RUNTIME_DIR and %s are not this user's own",
              qUtf8Printable(fallback));
    return std::nullopt;
}

std::optional<QString> AppInstanceChannel::defaultServerName(const QString& applicationId) {
    const auto directory = privateRuntimeDirectory();
    if (!directory) return std::nullopt;
    return *directory + QStringLiteral("/quillo-%1.socket").arg(applicationId);
}

QByteArray AppInstanceChannel::encode(const Request& request) {
    if (request.trigger) return QByteArrayLiteral("trigger\n");
    if (!request.url) return QByteArrayLiteral("reopen\n");
    return QByteArrayLiteral("open ") + request.url->toEncoded() + '\n';
}

std::optional<AppInstanceChannel::Request> AppInstanceChannel::decode(const QByteArray& line) {
    if (line.size() > maximumMessageBytes) return std::nullopt;
    const QByteArray trimmed = line.trimmed();
    if (trimmed == "reopen") return Request{};
    if (trimmed == "trigger") return Request::correctionTrigger();
    if (!trimmed.startsWith("open ")) return std::nullopt;
    const QUrl url = QUrl::fromEncoded(trimmed.mid(5), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty()) return std::nullopt;
    return Request{url};
}

bool AppInstanceChannel::listen() {
    if (server_) return true;
    // Ask first: listening with access options replaces an existing socket file, which would
    // silently steal the name from a running instance.
    if (isAnswering(300)) return false;
    // Whatever is left under the name belongs to an instance that crashed.
    QLocalServer::removeServer(serverName_);
    auto* server = new QLocalServer(this);
    // Only this user may connect.
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(serverName_)) {
        qCWarning(lcApp, "Cannot listen for other launches: %s", qUtf8Printable(server->errorString()));
        delete server;
        return false;
    }
    server_ = server;
    connect(server_, &QLocalServer::newConnection, this, &AppInstanceChannel::acceptConnections);
    return true;
}

void AppInstanceChannel::acceptConnections() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QPointer<QLocalSocket> guard(socket);
        connect(socket, &QLocalSocket::readyRead, this, [this, guard] {
            if (!guard) return;
            if (guard->bytesAvailable() > maximumMessageBytes && !guard->canReadLine()) {
                qCWarning(lcApp, "Ignoring an oversized message from another launch");
                guard->abort();
                return;
            }
            while (guard->canReadLine()) {
                const QByteArray line = guard->readLine(maximumMessageBytes + 1);
                if (const auto request = decode(line)) emit requestReceived(*request);
                else qCWarning(lcApp, "Ignoring a malformed message from another launch");
            }
        });
    }
}

bool AppInstanceChannel::isAnswering(int timeoutMilliseconds) const {
    QLocalSocket socket;
    socket.connectToServer(serverName_);
    return socket.waitForConnected(timeoutMilliseconds);
}

bool AppInstanceChannel::sendToRunningInstance(const Request& request, int timeoutMilliseconds) const {
    QLocalSocket socket;
    socket.connectToServer(serverName_);
    // Blocking waits bounded by the timeout: this runs once, before the event loop, in a
    // launch that is about to exit.
    if (!socket.waitForConnected(timeoutMilliseconds)) return false;
    socket.write(encode(request));
    if (!socket.waitForBytesWritten(timeoutMilliseconds)) return false;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMilliseconds);
    return true;
}

} // namespace quillo
