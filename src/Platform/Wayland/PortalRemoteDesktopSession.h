#pragma once

#include "Platform/Wayland/RemoteDesktopChannels.h"

#include <QDBusObjectPath>
#include <QString>
#include <QVariantMap>

namespace quillo {

// The desktop portal's remote desktop (org.freedesktop.portal.RemoteDesktop), keyboard only:
// the public way to type into other applications on GNOME. Starting it shows the desktop's
// "Allow remote interaction" dialog, unless a restore token from an earlier consent is
// accepted; the answer arrives later, as `started` or `refused`. Where the portal also offers
// its Clipboard interface, the same session shares the clipboard.
class PortalRemoteDesktopSession final : public RemoteClipboardChannel, public RemoteKeyChannel {
    Q_OBJECT
public:
    enum class State { idle, starting, running, refused, closed };

    // What the running portal offers, as its interfaces and versions say.
    struct Offer {
        bool remoteDesktop = false;
        // The interface's version: from 2 on the permission can be kept with a restore token.
        uint version = 0;
        bool keyboard = false;
        bool clipboard = false;
        bool canPersist() const { return remoteDesktop && version >= 2; }
        bool operator==(const Offer&) const = default;
    };
    static Offer probe();

    // The portal's device type bit for a keyboard; its persist mode "until revoked".
    static constexpr uint keyboardDevice = 1;
    static constexpr uint persistUntilRevoked = 2;
    // The options of SelectDevices for a keyboard, with the token when the portal keeps
    // permissions.
    static QVariantMap deviceOptions(const Offer& offer, const QString& restoreToken, const QString& handleToken);
    // The object path of the Request a call with `handleToken` makes, for a bus name ":1.42".
    static QString requestPath(const QString& uniqueName, const QString& handleToken);

    explicit PortalRemoteDesktopSession(QObject* parent = nullptr);
    ~PortalRemoteDesktopSession() override;
    PortalRemoteDesktopSession(const PortalRemoteDesktopSession&) = delete;
    PortalRemoteDesktopSession& operator=(const PortalRemoteDesktopSession&) = delete;

    // Asks for a keyboard (and the clipboard with `withClipboard`, where offered). False when
    // the portal does not answer; otherwise the answer comes as a signal.
    bool start(const QString& restoreToken, bool withClipboard);
    State state() const { return state_; }
    void close();

    // RemoteKeyChannel
    bool canSendKeys() const override { return state_ == State::running; }
    bool notifyKeycode(quint32 evdevCode, bool pressed) override;

    // RemoteClipboardChannel
    bool isClipboardEnabled() const override { return state_ == State::running && clipboardEnabled_; }
    bool setSelection(const QStringList& mimeTypes) override;
    std::optional<int> selectionRead(const QString& mimeType) override;
    std::optional<int> selectionWrite(quint32 serial) override;
    void selectionWriteDone(quint32 serial, bool success) override;

signals:
    // The user allowed it (or the token was accepted); a new token to keep, or empty.
    void started(const QString& restoreToken);
    // The user declined, or the portal failed; `cancelled` when the user closed the dialog.
    void refused(bool cancelled);
    // The desktop ended a running session (the user revoked it, or the portal went away).
    void closed();

private slots:
    void response(uint code, const QVariantMap& results);
    void sessionClosed();
    void clipboardOwnerChanged(const QDBusObjectPath& session, const QVariantMap& options);
    void clipboardTransfer(const QDBusObjectPath& session, const QString& mimeType, uint serial);

private: // NOLINT(readability-redundant-access-specifiers): ends the slots section for moc
    enum class Step { none, createSession, selectDevices, start };
    bool request(Step step, const QString& method, QVariantList arguments, QVariantMap options);
    void stopListening();
    void fail(bool cancelled);

    State state_ = State::idle;
    Step step_ = Step::none;
    Offer offer_;
    QString restoreToken_;
    bool withClipboard_ = false;
    bool clipboardEnabled_ = false;
    QString session_;
    QString pendingRequest_;
    uint tokenCounter_ = 0;
};

} // namespace quillo
