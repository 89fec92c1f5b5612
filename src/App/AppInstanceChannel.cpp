#include "App/AppInstanceChannel.h"

#include "Support/Logging.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <unistd.h>

namespace quillo {

AppInstanceChannel::AppInstanceChannel(QString serverName, QObject* parent)
    : QObject(parent), serverName_(std::move(serverName)) {}

AppInstanceChannel::~AppInstanceChannel() = default;

QString AppInstanceChannel::defaultServerName(const QString& applicationId) {
    return QStringLiteral("quillo-%1-%2").arg(::getuid()).arg(applicationId);
}

QByteArray AppInstanceChannel::encode(const Request& request) {
    if (!request.url) return QByteArrayLiteral("reopen\n");
    return QByteArrayLiteral("open ") + request.url->toEncoded() + '\n';
}

std::optional<AppInstanceChannel::Request> AppInstanceChannel::decode(const QByteArray& line) {
    if (line.size() > maximumMessageBytes) return std::nullopt;
    const QByteArray trimmed = line.trimmed();
    if (trimmed == "reopen") return Request{};
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
