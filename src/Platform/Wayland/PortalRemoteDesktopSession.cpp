#include "Platform/Wayland/PortalRemoteDesktopSession.h"

#include "Platform/Wayland/RemoteDesktopDBus.h"
#include "Support/Logging.h"

#include <QDBusConnection>

namespace quillo {

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString remoteDesktopInterface = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
const QString clipboardInterface = QStringLiteral("org.freedesktop.portal.Clipboard");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");

// The portal's Response codes.
constexpr uint responseSuccess = 0;
constexpr uint responseCancelled = 1;

} // namespace

PortalRemoteDesktopSession::Offer PortalRemoteDesktopSession::probe() {
    Offer offer;
    const auto version =
        RemoteDesktopDBus::property(portalService, portalPath, remoteDesktopInterface, QStringLiteral("version"));
    if (!version) return offer;
    offer.remoteDesktop = true;
    offer.version = version->toUInt();
    const auto devices = RemoteDesktopDBus::property(portalService, portalPath, remoteDesktopInterface,
                                                     QStringLiteral("AvailableDeviceTypes"));
    offer.keyboard = devices && (devices->toUInt() & keyboardDevice) != 0;
    offer.clipboard =
        RemoteDesktopDBus::property(portalService, portalPath, clipboardInterface, QStringLiteral("version"))
            .has_value();
    return offer;
}

QVariantMap PortalRemoteDesktopSession::deviceOptions(const Offer& offer, const QString& restoreToken,
                                                      const QString& handleToken) {
    QVariantMap options;
    options.insert(QStringLiteral("handle_token"), handleToken);
    options.insert(QStringLiteral("types"), keyboardDevice);
    if (offer.canPersist()) {
        options.insert(QStringLiteral("persist_mode"), persistUntilRevoked);
        if (!restoreToken.isEmpty()) options.insert(QStringLiteral("restore_token"), restoreToken);
    }
    return options;
}

QString PortalRemoteDesktopSession::requestPath(const QString& uniqueName, const QString& handleToken) {
    QString sender = uniqueName.startsWith(QLatin1Char(':')) ? uniqueName.mid(1) : uniqueName;
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, handleToken);
}

PortalRemoteDesktopSession::PortalRemoteDesktopSession(QObject* parent) : RemoteClipboardChannel(parent) {}

PortalRemoteDesktopSession::~PortalRemoteDesktopSession() { close(); }

bool PortalRemoteDesktopSession::start(const QString& restoreToken, bool withClipboard) {
    if (state_ == State::starting || state_ == State::running) return true;
    offer_ = probe();
    if (!offer_.remoteDesktop || !offer_.keyboard) return false;
    restoreToken_ = restoreToken;
    withClipboard_ = withClipboard && offer_.clipboard;
    clipboardEnabled_ = false;
    state_ = State::starting;
    QVariantMap options;
    options.insert(QStringLiteral("session_handle_token"), QStringLiteral("quillo%1").arg(++tokenCounter_));
    if (!request(Step::createSession, QStringLiteral("CreateSession"), {}, options)) {
        state_ = State::idle;
        return false;
    }
    return true;
}

bool PortalRemoteDesktopSession::request(Step step, const QString& method, QVariantList arguments,
                                         QVariantMap options) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString token = QStringLiteral("quillo_request%1").arg(++tokenCounter_);
    if (!options.contains(QStringLiteral("handle_token"))) options.insert(QStringLiteral("handle_token"), token);
    const QString handle = options.value(QStringLiteral("handle_token")).toString();
    // Listen before asking: the answer may come before the call returns.
    stopListening();
    pendingRequest_ = requestPath(bus.baseService(), handle);
    bus.connect(portalService, pendingRequest_, requestInterface, QStringLiteral("Response"), this,
                SLOT(response(uint, QVariantMap)));
    step_ = step;
    arguments.append(options);
    const QDBusMessage reply =
        RemoteDesktopDBus::call(portalService, portalPath, remoteDesktopInterface, method, arguments);
    if (!RemoteDesktopDBus::succeeded(reply)) {
        stopListening();
        return false;
    }
    const QString returned = reply.arguments().value(0).value<QDBusObjectPath>().path();
    if (!returned.isEmpty() && returned != pendingRequest_) {
        // An older portal names the request itself.
        bus.disconnect(portalService, pendingRequest_, requestInterface, QStringLiteral("Response"), this,
                       SLOT(response(uint, QVariantMap)));
        pendingRequest_ = returned;
        bus.connect(portalService, pendingRequest_, requestInterface, QStringLiteral("Response"), this,
                    SLOT(response(uint, QVariantMap)));
    }
    return true;
}

void PortalRemoteDesktopSession::stopListening() {
    if (pendingRequest_.isEmpty()) return;
    QDBusConnection::sessionBus().disconnect(portalService, pendingRequest_, requestInterface,
                                             QStringLiteral("Response"), this, SLOT(response(uint, QVariantMap)));
    pendingRequest_.clear();
}

void PortalRemoteDesktopSession::response(uint code, const QVariantMap& results) {
    const Step step = std::exchange(step_, Step::none);
    stopListening();
    if (code != responseSuccess) {
        fail(code == responseCancelled);
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    switch (step) {
    case Step::none: return;
    case Step::createSession: {
        const QVariant handle = results.value(QStringLiteral("session_handle"));
        session_ = handle.userType() == qMetaTypeId<QDBusObjectPath>() ? handle.value<QDBusObjectPath>().path()
                                                                       : handle.toString();
        if (session_.isEmpty()) {
            fail(false);
            return;
        }
        bus.connect(portalService, session_, sessionInterface, QStringLiteral("Closed"), this, SLOT(sessionClosed()));
        const QString token = QStringLiteral("quillo_request%1").arg(++tokenCounter_);
        if (!request(Step::selectDevices, QStringLiteral("SelectDevices"),
                     {QVariant::fromValue(QDBusObjectPath(session_))}, deviceOptions(offer_, restoreToken_, token)))
            fail(false);
        return;
    }
    case Step::selectDevices:
        // The clipboard is asked for between choosing the devices and starting.
        if (withClipboard_ && !RemoteDesktopDBus::succeeded(RemoteDesktopDBus::call(
                                  portalService, portalPath, clipboardInterface, QStringLiteral("RequestClipboard"),
                                  {QVariant::fromValue(QDBusObjectPath(session_)), QVariantMap()})))
            withClipboard_ = false;
        qCInfo(lcPermissions, "Asking the desktop to allow remote interaction (clipboard: %s)",
               withClipboard_ ? "yes" : "no");
        if (!request(Step::start, QStringLiteral("Start"), {QVariant::fromValue(QDBusObjectPath(session_)), QString()},
                     {}))
            fail(false);
        return;
    case Step::start: {
        if ((results.value(QStringLiteral("devices")).toUInt() & keyboardDevice) == 0) {
            qCWarning(lcPermissions, "The desktop started remote interaction without a keyboard");
            fail(false);
            return;
        }
        clipboardEnabled_ = withClipboard_ && results.value(QStringLiteral("clipboard_enabled")).toBool();
        if (clipboardEnabled_) {
            bus.connect(portalService, portalPath, clipboardInterface, QStringLiteral("SelectionOwnerChanged"), this,
                        SLOT(clipboardOwnerChanged(QDBusObjectPath, QVariantMap)));
            bus.connect(portalService, portalPath, clipboardInterface, QStringLiteral("SelectionTransfer"), this,
                        SLOT(clipboardTransfer(QDBusObjectPath, QString, uint)));
        }
        state_ = State::running;
        qCInfo(lcPermissions, "The desktop allowed remote interaction (clipboard: %s)",
               clipboardEnabled_ ? "yes" : "no");
        emit started(results.value(QStringLiteral("restore_token")).toString());
        return;
    }
    }
}

void PortalRemoteDesktopSession::fail(bool cancelled) {
    const bool wasStarting = state_ == State::starting;
    close();
    state_ = State::refused;
    qCWarning(lcPermissions, "Remote interaction was %s", cancelled ? "declined" : "not started by the desktop");
    if (wasStarting) emit refused(cancelled);
}

void PortalRemoteDesktopSession::close() {
    stopListening();
    step_ = Step::none;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!session_.isEmpty()) {
        bus.disconnect(portalService, session_, sessionInterface, QStringLiteral("Closed"), this,
                       SLOT(sessionClosed()));
        if (state_ == State::running || state_ == State::starting)
            RemoteDesktopDBus::call(portalService, session_, sessionInterface, QStringLiteral("Close"));
    }
    if (clipboardEnabled_) {
        bus.disconnect(portalService, portalPath, clipboardInterface, QStringLiteral("SelectionOwnerChanged"), this,
                       SLOT(clipboardOwnerChanged(QDBusObjectPath, QVariantMap)));
        bus.disconnect(portalService, portalPath, clipboardInterface, QStringLiteral("SelectionTransfer"), this,
                       SLOT(clipboardTransfer(QDBusObjectPath, QString, uint)));
    }
    session_.clear();
    clipboardEnabled_ = false;
    if (state_ != State::refused) state_ = State::idle;
}

void PortalRemoteDesktopSession::sessionClosed() {
    if (state_ != State::running && state_ != State::starting) return;
    const bool wasRunning = state_ == State::running;
    session_.clear(); // already gone: nothing to close
    close();
    state_ = State::closed;
    qCWarning(lcPermissions, "The desktop ended remote interaction");
    if (wasRunning) emit closed();
    else emit refused(false);
}

bool PortalRemoteDesktopSession::notifyKeycode(quint32 evdevCode, bool pressed) {
    if (state_ != State::running) return false;
    return RemoteDesktopDBus::succeeded(RemoteDesktopDBus::call(
        portalService, portalPath, remoteDesktopInterface, QStringLiteral("NotifyKeyboardKeycode"),
        {QVariant::fromValue(QDBusObjectPath(session_)), QVariantMap(), static_cast<int>(evdevCode),
         static_cast<uint>(pressed ? 1 : 0)}));
}

bool PortalRemoteDesktopSession::setSelection(const QStringList& mimeTypes) {
    if (!isClipboardEnabled()) return false;
    QVariantMap options;
    options.insert(QStringLiteral("mime_types"), mimeTypes);
    return RemoteDesktopDBus::succeeded(
        RemoteDesktopDBus::call(portalService, portalPath, clipboardInterface, QStringLiteral("SetSelection"),
                                {QVariant::fromValue(QDBusObjectPath(session_)), options}));
}

std::optional<int> PortalRemoteDesktopSession::selectionRead(const QString& mimeType) {
    if (!isClipboardEnabled()) return std::nullopt;
    return RemoteDesktopDBus::takeFileDescriptor(
        RemoteDesktopDBus::call(portalService, portalPath, clipboardInterface, QStringLiteral("SelectionRead"),
                                {QVariant::fromValue(QDBusObjectPath(session_)), mimeType}));
}

std::optional<int> PortalRemoteDesktopSession::selectionWrite(quint32 serial) {
    if (!isClipboardEnabled()) return std::nullopt;
    return RemoteDesktopDBus::takeFileDescriptor(
        RemoteDesktopDBus::call(portalService, portalPath, clipboardInterface, QStringLiteral("SelectionWrite"),
                                {QVariant::fromValue(QDBusObjectPath(session_)), serial}));
}

void PortalRemoteDesktopSession::selectionWriteDone(quint32 serial, bool success) {
    if (!isClipboardEnabled()) return;
    RemoteDesktopDBus::call(portalService, portalPath, clipboardInterface, QStringLiteral("SelectionWriteDone"),
                            {QVariant::fromValue(QDBusObjectPath(session_)), serial, success});
}

void PortalRemoteDesktopSession::clipboardOwnerChanged(const QDBusObjectPath& session, const QVariantMap& options) {
    if (session.path() != session_) return;
    emit selectionOwnerChanged(RemoteDesktopDBus::stringList(options.value(QStringLiteral("mime_types"))),
                               options.value(QStringLiteral("session_is_owner")).toBool());
}

void PortalRemoteDesktopSession::clipboardTransfer(const QDBusObjectPath& session, const QString& mimeType,
                                                   uint serial) {
    if (session.path() == session_) emit selectionTransfer(mimeType, serial);
}

} // namespace quillo
