#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <optional>

class QLocalServer;

namespace quillo {

// One running Quillo per user session. The first instance listens on a local socket named after
// the user and the application identifier; a later launch hands it its URL (the browser's
// sign-in callback) or, without one, asks it to show the popover, and exits.
class AppInstanceChannel : public QObject {
    Q_OBJECT
public:
    // What a second launch asks for.
    struct Request {
        std::optional<QUrl> url; // none: reopen (show the popover)
        bool operator==(const Request&) const = default;
    };

    static constexpr int maximumMessageBytes = 8192;

    explicit AppInstanceChannel(QString serverName, QObject* parent = nullptr);
    ~AppInstanceChannel() override;

    // "quillo-<uid>-<application id>".
    static QString defaultServerName(const QString& applicationId);

    // Becomes the listening instance; false when another instance already answers.
    bool listen();
    // Delivers `request` to the running instance; false when none answers.
    bool sendToRunningInstance(const Request& request, int timeoutMilliseconds = 1000) const;

    static QByteArray encode(const Request& request);
    // None for anything malformed or oversized.
    static std::optional<Request> decode(const QByteArray& line);

signals:
    void requestReceived(const quillo::AppInstanceChannel::Request& request);

private:
    void acceptConnections();
    bool isAnswering(int timeoutMilliseconds) const;

    QString serverName_;
    QLocalServer* server_ = nullptr;
};

} // namespace quillo
