#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QObject>
#include <QString>
#include <optional>

class QLocalSocket;

namespace quillo {

// sway's IPC socket ($SWAYSOCK): i3's framing ("i3-ipc", payload length, message type, in the
// machine's byte order), JSON payloads. Requests wait for their answer within a time limit;
// window events arrive through a subscription of their own on the event loop.
class SwayIpc final : public QObject {
    Q_OBJECT
public:
    enum MessageType : quint32 { runCommand = 0, subscribe = 2, getTree = 4, getInputs = 100 };
    static constexpr quint32 windowEvent = 0x80000003;
    static constexpr int answerTimeLimitMilliseconds = 1000;

    explicit SwayIpc(QString socketPath, QObject* parent = nullptr);
    ~SwayIpc() override;
    // The socket sway announced to this session; empty when it announced none.
    static QString sessionSocketPath();

    bool isAvailable() const { return !socketPath_.isEmpty(); }
    // The answer's JSON; none when sway did not answer in time.
    std::optional<QJsonDocument> request(MessageType type, const QByteArray& payload = {}) const;
    // Runs sway commands; true when every one succeeded.
    bool command(const QString& commands) const;
    // Starts listening for window events (focus changes).
    bool subscribeToWindows();

    static QByteArray frame(quint32 type, const QByteArray& payload);
    // One whole message off the front of `buffer` (removed from it); none while incomplete.
    static std::optional<std::pair<quint32, QByteArray>> takeMessage(QByteArray& buffer);

signals:
    void windowChanged(const QJsonObject& event);

private:
    void readEvents();

    QString socketPath_;
    QLocalSocket* events_ = nullptr;
    QByteArray eventBuffer_;
};

} // namespace quillo
