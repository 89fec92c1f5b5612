#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <optional>

class QLocalServer;

namespace quillo {

// One running Quillo per user session. The first instance listens on a local socket in the
// user's private runtime folder, named after the application identifier; a later launch hands
// it its URL (the browser's sign-in callback) or, without one, asks it to show the popover, and
// exits. `quillo --trigger`, which the desktop's own shortcut settings run, hands it a trigger
// the same way. A shared folder would let another user take the name first and receive the
// callbacks.
class AppInstanceChannel : public QObject {
    Q_OBJECT
public:
    // What a second launch asks for.
    struct Request {
        std::optional<QUrl> url; // none: reopen (show the popover), unless a trigger
        bool trigger = false;    // start a correction, as the trigger key would
        bool operator==(const Request&) const = default;
        static Request correctionTrigger() { return Request{std::nullopt, true}; }
    };

    static constexpr int maximumMessageBytes = 8192;

    explicit AppInstanceChannel(QString serverName, QObject* parent = nullptr);
    ~AppInstanceChannel() override;

    // "<private folder>/quillo-<application id>.socket"; none without a private folder.
    static std::optional<QString> defaultServerName(const QString& applicationId);
    // $XDG_RUNTIME_DIR when it is a folder of this user closed to everyone else, else a folder
    // "quillo-<uid>" made (or found, with the same checks) in the temporary folder; none when
    // neither holds.
    static std::optional<QString> privateRuntimeDirectory();
    // Whether `path` is a real folder (not a link) owned by `uid` with no access for others.
    static bool isPrivateDirectory(const QString& path, unsigned int uid);

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
