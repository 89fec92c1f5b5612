#pragma once

#include "Platform/Wayland/RemoteDesktopChannels.h"

#include <QDBusMessage>
#include <QString>
#include <QVariantMap>

namespace quillo {

// Mutter's own remote-desktop D-Bus interface (org.gnome.Mutter.RemoteDesktop): a session that
// types keys and shares the clipboard with no dialog. It is GNOME's private interface, used for
// what the public portal lacks (the clipboard before the portal's Clipboard interface) and for
// keys only where no portal offers remote desktop. The session lives as long as our bus
// connection, or until the desktop closes it.
class MutterRemoteDesktopSession final : public RemoteClipboardChannel, public RemoteKeyChannel {
    Q_OBJECT
public:
    static inline const QString serviceName = QStringLiteral("org.gnome.Mutter.RemoteDesktop");

    explicit MutterRemoteDesktopSession(QObject* parent = nullptr);
    ~MutterRemoteDesktopSession() override;
    MutterRemoteDesktopSession(const MutterRemoteDesktopSession&) = delete;
    MutterRemoteDesktopSession& operator=(const MutterRemoteDesktopSession&) = delete;

    // Whether Mutter offers the interface on the session bus now.
    static bool isOffered();

    // Creates and starts the session; true when it runs (also when it already did).
    bool start();
    bool isRunning() const { return running_; }
    // Shares the clipboard from now on; starts the session first.
    bool enableClipboard();

    // RemoteKeyChannel
    bool canSendKeys() const override { return running_; }
    bool notifyKeycode(quint32 evdevCode, bool pressed) override;

    // RemoteClipboardChannel
    bool isClipboardEnabled() const override { return clipboardEnabled_; }
    bool setSelection(const QStringList& mimeTypes) override;
    std::optional<int> selectionRead(const QString& mimeType) override;
    std::optional<int> selectionWrite(quint32 serial) override;
    void selectionWriteDone(quint32 serial, bool success) override;

signals:
    // Mutter ended the session (the desktop stopped it, or Mutter went away).
    void closed();

private slots:
    void sessionClosed();
    void ownerChanged(const QVariantMap& options);
    void transferRequested(const QString& mimeType, uint serial);

private: // NOLINT(readability-redundant-access-specifiers): ends the slots section for moc
    QDBusMessage callSession(const QString& method, const QVariantList& arguments = {}) const;
    void forget();

    QString path_;
    bool running_ = false;
    bool clipboardEnabled_ = false;
};

} // namespace quillo
