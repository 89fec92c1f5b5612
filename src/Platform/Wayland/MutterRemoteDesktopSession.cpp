#include "Platform/Wayland/MutterRemoteDesktopSession.h"

#include "Platform/Wayland/RemoteDesktopDBus.h"
#include "Support/Logging.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDeadlineTimer>
#include <poll.h>

namespace quillo {

namespace {

const QString rootPath = QStringLiteral("/org/gnome/Mutter/RemoteDesktop");
const QString rootInterface = QStringLiteral("org.gnome.Mutter.RemoteDesktop");
const QString sessionInterface = QStringLiteral("org.gnome.Mutter.RemoteDesktop.Session");
constexpr int readRetryLimitMs = 500;
constexpr int readRetryIntervalMs = 5;

} // namespace

MutterRemoteDesktopSession::MutterRemoteDesktopSession(QObject* parent) : RemoteClipboardChannel(parent) {}

MutterRemoteDesktopSession::~MutterRemoteDesktopSession() {
    if (running_) callSession(QStringLiteral("Stop"));
    forget();
}

bool MutterRemoteDesktopSession::isOffered() { return RemoteDesktopDBus::isServiceRegistered(serviceName); }

QDBusMessage MutterRemoteDesktopSession::callSession(const QString& method, const QVariantList& arguments) const {
    return RemoteDesktopDBus::call(serviceName, path_, sessionInterface, method, arguments);
}

bool MutterRemoteDesktopSession::start() {
    if (running_) return true;
    if (!isOffered()) return false;
    const QDBusMessage created =
        RemoteDesktopDBus::call(serviceName, rootPath, rootInterface, QStringLiteral("CreateSession"));
    if (!RemoteDesktopDBus::succeeded(created) || created.arguments().isEmpty()) return false;
    path_ = created.arguments().first().value<QDBusObjectPath>().path();
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.connect(serviceName, path_, sessionInterface, QStringLiteral("Closed"), this, SLOT(sessionClosed()));
    bus.connect(serviceName, path_, sessionInterface, QStringLiteral("SelectionOwnerChanged"), this,
                SLOT(ownerChanged(QVariantMap)));
    bus.connect(serviceName, path_, sessionInterface, QStringLiteral("SelectionTransfer"), this,
                SLOT(transferRequested(QString, uint)));
    if (!RemoteDesktopDBus::succeeded(callSession(QStringLiteral("Start")))) {
        forget();
        return false;
    }
    running_ = true;
    qCInfo(lcTextInsertion, "Mutter's remote desktop session started");
    return true;
}

bool MutterRemoteDesktopSession::enableClipboard() {
    if (clipboardEnabled_) return true;
    if (!start()) return false;
    clipboardEnabled_ = RemoteDesktopDBus::succeeded(callSession(QStringLiteral("EnableClipboard"), {QVariantMap()}));
    return clipboardEnabled_;
}

bool MutterRemoteDesktopSession::notifyKeycode(quint32 evdevCode, bool pressed) {
    if (!running_) return false;
    return RemoteDesktopDBus::succeeded(callSession(QStringLiteral("NotifyKeyboardKeycode"), {evdevCode, pressed}));
}

bool MutterRemoteDesktopSession::setSelection(const QStringList& mimeTypes) {
    if (!clipboardEnabled_) return false;
    QVariantMap options;
    options.insert(QStringLiteral("mime-types"), mimeTypes);
    return RemoteDesktopDBus::succeeded(callSession(QStringLiteral("SetSelection"), {options}));
}

std::optional<int> MutterRemoteDesktopSession::selectionRead(const QString& mimeType) {
    if (!clipboardEnabled_) return std::nullopt;
    // Mutter serves one read at a time and counts the last one done only once its own loop has
    // finished it, after our end of the pipe saw all of it: a read right after another is
    // refused for a moment, so it is asked again, within a bound.
    const QDeadlineTimer deadline(readRetryLimitMs);
    while (true) {
        QDBusMessage message =
            QDBusMessage::createMethodCall(serviceName, path_, sessionInterface, QStringLiteral("SelectionRead"));
        message.setArguments({mimeType});
        const QDBusMessage reply =
            QDBusConnection::sessionBus().call(message, QDBus::Block, RemoteDesktopDBus::callTimeoutMs);
        if (RemoteDesktopDBus::succeeded(reply)) return RemoteDesktopDBus::takeFileDescriptor(reply);
        if (reply.errorName() != QLatin1String("org.freedesktop.DBus.Error.LimitsExceeded") || deadline.hasExpired()) {
            qCWarning(lcTextInsertion, "Mutter refused to read the clipboard: %s", qUtf8Printable(reply.errorName()));
            return std::nullopt;
        }
        ::poll(nullptr, 0, readRetryIntervalMs);
    }
}

std::optional<int> MutterRemoteDesktopSession::selectionWrite(quint32 serial) {
    if (!clipboardEnabled_) return std::nullopt;
    return RemoteDesktopDBus::takeFileDescriptor(callSession(QStringLiteral("SelectionWrite"), {serial}));
}

void MutterRemoteDesktopSession::selectionWriteDone(quint32 serial, bool success) {
    if (clipboardEnabled_) callSession(QStringLiteral("SelectionWriteDone"), {serial, success});
}

void MutterRemoteDesktopSession::ownerChanged(const QVariantMap& options) {
    emit selectionOwnerChanged(RemoteDesktopDBus::stringList(options.value(QStringLiteral("mime-types"))),
                               options.value(QStringLiteral("session-is-owner")).toBool());
}

void MutterRemoteDesktopSession::transferRequested(const QString& mimeType, uint serial) {
    emit selectionTransfer(mimeType, serial);
}

void MutterRemoteDesktopSession::sessionClosed() {
    qCWarning(lcTextInsertion, "The desktop closed Mutter's remote desktop session");
    forget();
    emit closed();
}

void MutterRemoteDesktopSession::forget() {
    if (!path_.isEmpty()) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.disconnect(serviceName, path_, sessionInterface, QStringLiteral("Closed"), this, SLOT(sessionClosed()));
        bus.disconnect(serviceName, path_, sessionInterface, QStringLiteral("SelectionOwnerChanged"), this,
                       SLOT(ownerChanged(QVariantMap)));
        bus.disconnect(serviceName, path_, sessionInterface, QStringLiteral("SelectionTransfer"), this,
                       SLOT(transferRequested(QString, uint)));
    }
    path_.clear();
    running_ = false;
    clipboardEnabled_ = false;
}

} // namespace quillo
