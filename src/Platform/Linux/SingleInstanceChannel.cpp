#include "Platform/Linux/SingleInstanceChannel.h"

#include "Support/Logging.h"
#include "Support/QuilloAppEnvironment.h"
#include "Support/SharedResult.h"

#include <QLocalSocket>
#include <QPointer>
#include <unistd.h>

namespace quillo {

namespace {

// Waits on the clock for `socket` to reach `done`, to fail, or for the timeout.
QCoro::Task<bool> connectWithin(QLocalSocket& socket, const QString& name, Clock& clock, double seconds) {
    auto result = std::make_shared<SharedResult<bool>>();
    QObject guard;
    QObject::connect(&socket, &QLocalSocket::connected, &guard, [result] { result->set(true); });
    QObject::connect(&socket, &QLocalSocket::errorOccurred, &guard, [result](QLocalSocket::LocalSocketError) { result->set(false); });
    const Clock::TimerId timer = clock.schedule(seconds, [result] { result->set(false); });
    socket.connectToServer(name);
    if (socket.state() == QLocalSocket::ConnectedState) result->set(true);
    else if (socket.state() == QLocalSocket::UnconnectedState) result->set(false);
    const bool connected = co_await result->wait();
    clock.cancelScheduled(timer);
    co_return connected;
}

// Reads one acknowledgement line, within the timeout.
QCoro::Task<bool> acknowledged(QLocalSocket& socket, Clock& clock, double seconds) {
    auto result = std::make_shared<SharedResult<bool>>();
    QObject guard;
    const auto check = [&socket, result] {
        if (!socket.canReadLine()) return;
        result->set(socket.readLine().trimmed() == "ok");
    };
    QObject::connect(&socket, &QLocalSocket::readyRead, &guard, check);
    QObject::connect(&socket, &QLocalSocket::disconnected, &guard, [result] { result->set(false); });
    QObject::connect(&socket, &QLocalSocket::errorOccurred, &guard, [result](QLocalSocket::LocalSocketError) { result->set(false); });
    const Clock::TimerId timer = clock.schedule(seconds, [result] { result->set(false); });
    check();
    const bool ok = co_await result->wait();
    clock.cancelScheduled(timer);
    co_return ok;
}

} // namespace

SingleInstanceChannel::SingleInstanceChannel(QString name, Clock& clock, QObject* parent)
    : QObject(parent), name_(std::move(name)), clock_(clock) {}

SingleInstanceChannel::~SingleInstanceChannel() = default;

QString SingleInstanceChannel::defaultName() {
    return QuilloAppEnvironment::current().bundleIdentifier + QStringLiteral("-") + QString::number(::getuid());
}

bool SingleInstanceChannel::isListening() const { return server_ && server_->isListening(); }

QCoro::Task<SingleInstanceChannel::Role> SingleInstanceChannel::start(QStringList messagesForRunningInstance) {
    {
        QLocalSocket probe;
        if (co_await connectWithin(probe, name_, clock_, connectTimeoutSeconds)) {
            probe.disconnectFromServer();
            const bool delivered = co_await send(name_, messagesForRunningInstance, clock_);
            if (!delivered) qCWarning(lcApp) << "The running instance did not take the messages";
            co_return Role::secondary;
        }
    }
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(name_)) {
        // Nobody answered, so the socket is a crashed instance's leftover.
        QLocalServer::removeServer(name_);
        if (!server->listen(name_)) {
            qCWarning(lcApp).noquote() << "Single-instance channel unavailable:" << server->errorString();
            co_return Role::unavailable;
        }
    }
    server_ = std::move(server);
    connect(server_.get(), &QLocalServer::newConnection, this, &SingleInstanceChannel::acceptConnections);
    co_return Role::primary;
}

void SingleInstanceChannel::acceptConnections() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QPointer<SingleInstanceChannel> self(this);
        connect(socket, &QLocalSocket::readyRead, this, [self, socket] {
            while (socket->canReadLine()) {
                const QByteArray line = socket->readLine(maximumMessageBytes + 2);
                if (!line.endsWith('\n')) break;
                socket->write("ok\n");
                const QString message = QString::fromUtf8(line.chopped(1)).trimmed();
                if (self && !message.isEmpty()) emit self->messageReceived(message);
            }
            // A line longer than any message we take is not from our own launcher.
            if (socket->bytesAvailable() > maximumMessageBytes) socket->abort();
        });
    }
}

QCoro::Task<bool> SingleInstanceChannel::send(QString name, QStringList messages, Clock& clock) {
    QLocalSocket socket;
    if (!co_await connectWithin(socket, name, clock, connectTimeoutSeconds)) co_return false;
    for (const QString& message : messages) {
        QByteArray line = message.toUtf8();
        line.replace('\n', ' ');
        if (line.size() > maximumMessageBytes) co_return false;
        socket.write(line + '\n');
        socket.flush();
        if (!co_await acknowledged(socket, clock, connectTimeoutSeconds)) co_return false;
    }
    socket.disconnectFromServer();
    co_return true;
}

} // namespace quillo
