#include "Platform/Wayland/MutterRemoteDesktopSession.h"

#include "Platform/Wayland/RemoteDesktopDBus.h"
#include "Support/Logging.h"

#include <QDBusConnection>
#include <QDBusObjectPath>

namespace quillo {

namespace {

const QString rootPath = QStringLiteral("/org/gnome/Mutter/RemoteDesktop");
const QString rootInterface = QStringLiteral("org.gnome.Mutter.RemoteDesktop");
const QString sessionInterface = QStringLiteral("org.gnome.Mutter.RemoteDesktop.Session");

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
    return RemoteDesktopDBus::takeFileDescriptor(callSession(QStringLiteral("SelectionRead"), {mimeType}));
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
