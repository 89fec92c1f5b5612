#include "Platform/Wayland/SwayIpc.h"

#include "Support/Logging.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QLocalSocket>
#include <QtEndian>

#include <cstring>

namespace quillo {

namespace {
constexpr char magic[] = "i3-ipc";
constexpr qsizetype magicSize = 6;
constexpr qsizetype headerSize = magicSize + 8;
} // namespace

SwayIpc::SwayIpc(QString socketPath, QObject* parent) : QObject(parent), socketPath_(std::move(socketPath)) {}

SwayIpc::~SwayIpc() = default;

QString SwayIpc::sessionSocketPath() { return qEnvironmentVariable("SWAYSOCK"); }

QByteArray SwayIpc::frame(quint32 type, const QByteArray& payload) {
    QByteArray message(magic, magicSize);
    const auto length = static_cast<quint32>(payload.size());
    message.append(reinterpret_cast<const char*>(&length), 4);
    message.append(reinterpret_cast<const char*>(&type), 4);
    message.append(payload);
    return message;
}

std::optional<std::pair<quint32, QByteArray>> SwayIpc::takeMessage(QByteArray& buffer) {
    if (buffer.size() < headerSize) return std::nullopt;
    if (std::memcmp(buffer.constData(), magic, magicSize) != 0) {
        // Not sway talking: nothing in it can be trusted.
        buffer.clear();
        return std::nullopt;
    }
    quint32 length = 0, type = 0;
    std::memcpy(&length, buffer.constData() + magicSize, 4);
    std::memcpy(&type, buffer.constData() + magicSize + 4, 4);
    if (buffer.size() < headerSize + static_cast<qsizetype>(length)) return std::nullopt;
    QByteArray payload = buffer.mid(headerSize, length);
    buffer.remove(0, headerSize + length);
    return std::pair{type, payload};
}

std::optional<QJsonDocument> SwayIpc::request(MessageType type, const QByteArray& payload) const {
    if (socketPath_.isEmpty()) return std::nullopt;
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    const QDeadlineTimer deadline(answerTimeLimitMilliseconds);
    if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) return std::nullopt;
    socket.write(frame(type, payload));
    QByteArray buffer;
    while (!deadline.hasExpired()) {
        if (!socket.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())))) break;
        buffer.append(socket.readAll());
        if (auto message = takeMessage(buffer)) {
            if (message->first != type) continue;
            return QJsonDocument::fromJson(message->second);
        }
    }
    qCWarning(lcInputMonitoring, "sway did not answer an IPC request of type %u in time", type);
    return std::nullopt;
}

bool SwayIpc::command(const QString& commands) const {
    const auto answer = request(runCommand, commands.toUtf8());
    if (!answer || !answer->isArray()) return false;
    bool all = !answer->array().isEmpty();
    for (const auto& result : answer->array()) {
        if (result.toObject().value(QStringLiteral("success")).toBool()) continue;
        all = false;
        qCWarning(lcInputMonitoring, "sway refused a command: %s",
                  qUtf8Printable(result.toObject().value(QStringLiteral("error")).toString()));
    }
    return all;
}

bool SwayIpc::subscribeToWindows() {
    if (socketPath_.isEmpty()) return false;
    if (events_) return true;
    events_ = new QLocalSocket(this);
    events_->connectToServer(socketPath_);
    if (!events_->waitForConnected(answerTimeLimitMilliseconds)) {
        delete events_;
        events_ = nullptr;
        return false;
    }
    connect(events_, &QLocalSocket::readyRead, this, &SwayIpc::readEvents);
    events_->write(frame(subscribe, QByteArrayLiteral("[\"window\"]")));
    events_->flush();
    return true;
}

void SwayIpc::readEvents() {
    eventBuffer_.append(events_->readAll());
    while (auto message = takeMessage(eventBuffer_)) {
        if (message->first != windowEvent) continue;
        emit windowChanged(QJsonDocument::fromJson(message->second).object());
    }
}

} // namespace quillo
