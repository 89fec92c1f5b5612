#pragma once

#include "Support/Clock.h"

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

#include <qcoro/qcorotask.h>

namespace quillo {

// Makes one process the running instance of the application and lets later launches hand it
// their messages (the "quillo://" addresses the desktop opened them with) before they exit.
// The channel is a local socket only the same user can reach; a message is one UTF-8 line,
// acknowledged with "ok".
class SingleInstanceChannel : public QObject {
    Q_OBJECT
public:
    enum class Role { primary, secondary, unavailable };

    static constexpr qsizetype maximumMessageBytes = 8192;
    static constexpr double connectTimeoutSeconds = 2.0;

    explicit SingleInstanceChannel(QString name = defaultName(), Clock& clock = Clock::shared(), QObject* parent = nullptr);
    ~SingleInstanceChannel() override;

    // Hands `messages` to a running instance and reports `secondary`; or, when none answers,
    // becomes the running instance (a socket left by a crashed one is replaced) and reports
    // `primary`; `unavailable` when neither worked.
    QCoro::Task<Role> start(QStringList messagesForRunningInstance);

    // Sends `messages` to the instance listening under `name`; true once each was acknowledged.
    static QCoro::Task<bool> send(QString name, QStringList messages, Clock& clock = Clock::shared());

    bool isListening() const;
    const QString& name() const { return name_; }

    // "<application id>-<user id>": one running instance per user.
    static QString defaultName();

signals:
    void messageReceived(const QString& message);

private:
    void acceptConnections();

    QString name_;
    Clock& clock_;
    std::unique_ptr<QLocalServer> server_;
};

} // namespace quillo
