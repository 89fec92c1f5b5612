#include "Platform/Linux/AtSpiBus.h"

#include "Support/Clock.h"
#include "Support/Logging.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusReply>
#include <QDBusVariant>

#include <atomic>

namespace quillo {

QDBusArgument& operator<<(QDBusArgument& argument, const AtSpiObjectRef& ref) {
    argument.beginStructure();
    argument << ref.service << ref.path;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, AtSpiObjectRef& ref) {
    argument.beginStructure();
    argument >> ref.service >> ref.path;
    argument.endStructure();
    return argument;
}

namespace {

const QString busService = QStringLiteral("org.a11y.Bus");
const QString busPath = QStringLiteral("/org/a11y/bus");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
constexpr int sessionBusTimeoutMs = 1000;

void registerTypes() {
    static bool done = false;
    if (done) return;
    done = true;
    qDBusRegisterMetaType<AtSpiObjectRef>();
    qDBusRegisterMetaType<QList<AtSpiObjectRef>>();
}

} // namespace

AtSpiBus::AtSpiBus(Clock& clock, QObject* parent) : QObject(parent), clock_(clock) {
    static std::atomic<int> counter{0};
    connectionName_ = QStringLiteral("quillo-a11y-%1").arg(++counter);
    registerTypes();
}

AtSpiBus::~AtSpiBus() {
    if (connected_) QDBusConnection::disconnectFromBus(connectionName_);
}

std::optional<bool> AtSpiBus::isAccessibilityEnabled() {
    QDBusConnection session = QDBusConnection::sessionBus();
    if (!session.isConnected()) return std::nullopt;
    QDBusMessage message =
        QDBusMessage::createMethodCall(busService, busPath, propertiesInterface, QStringLiteral("Get"));
    message << QStringLiteral("org.a11y.Status") << QStringLiteral("IsEnabled");
    const QDBusMessage reply = session.call(message, QDBus::Block, sessionBusTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return std::nullopt;
    return reply.arguments().first().value<QDBusVariant>().variant().toBool();
}

bool AtSpiBus::enableAccessibility() {
    QDBusConnection session = QDBusConnection::sessionBus();
    if (!session.isConnected()) return false;
    QDBusMessage message =
        QDBusMessage::createMethodCall(busService, busPath, propertiesInterface, QStringLiteral("Set"));
    message << QStringLiteral("org.a11y.Status") << QStringLiteral("IsEnabled")
            << QVariant::fromValue(QDBusVariant(true));
    const QDBusMessage reply = session.call(message, QDBus::Block, sessionBusTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

bool AtSpiBus::connectToBus() {
    if (connected_) return true;
    QDBusConnection session = QDBusConnection::sessionBus();
    if (!session.isConnected()) return false;
    const QDBusMessage request = QDBusMessage::createMethodCall(busService, busPath, QStringLiteral("org.a11y.Bus"),
                                                                QStringLiteral("GetAddress"));
    const QDBusMessage reply = session.call(request, QDBus::Block, sessionBusTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
    const QString address = reply.arguments().first().toString();
    if (address.isEmpty()) return false;
    QDBusConnection bus = QDBusConnection::connectToBus(address, connectionName_);
    if (!bus.isConnected()) {
        QDBusConnection::disconnectFromBus(connectionName_);
        return false;
    }
    connected_ = true;
    bus.connect(QString(), QString(), QStringLiteral("org.a11y.atspi.Event.Object"), QStringLiteral("StateChanged"),
                this, SLOT(onStateChanged(QDBusMessage)));
    bus.connect(QString(), QString(), QStringLiteral("org.a11y.atspi.Event.Focus"), QStringLiteral("Focus"), this,
                SLOT(onFocus(QDBusMessage)));
    registerForFocusEvents();
    return true;
}

void AtSpiBus::registerForFocusEvents() {
    for (const QString& event : {QStringLiteral("object:state-changed:focused"), QStringLiteral("focus:")})
        registerForEvent(event);
}

void AtSpiBus::registerForEvent(const QString& event) {
    // Toolkits only send the events some listener registered for. The method's signature grew
    // over releases; the newest form is tried first.
    const QString registry = QStringLiteral("org.a11y.atspi.Registry");
    const QString path = QStringLiteral("/org/a11y/atspi/registry");
    const QList<QList<QVariant>> forms{
        {event, QStringList(), QString()},
        {event, QStringList()},
        {event},
    };
    for (const auto& arguments : forms) {
        if (call(registry, path, registry, QStringLiteral("RegisterEvent"), arguments).ok()) break;
    }
}

bool AtSpiBus::watchWindowActivation() {
    if (!connected_) return false;
    QDBusConnection bus(connectionName_);
    for (const QString& member : {QStringLiteral("Activate"), QStringLiteral("Deactivate")})
        bus.connect(QString(), QString(), QStringLiteral("org.a11y.atspi.Event.Window"), member, this,
                    SLOT(onWindowEvent(QDBusMessage)));
    registerForEvent(QStringLiteral("window:activate"));
    registerForEvent(QStringLiteral("window:deactivate"));
    return true;
}

void AtSpiBus::onWindowEvent(const QDBusMessage& message) {
    const AtSpiObjectRef window{message.service(), QDBusObjectPath(message.path())};
    if (message.member() == QLatin1String("Activate")) emit windowActivated(window);
    else emit windowDeactivated(window);
}

bool AtSpiBus::isUnresponsive(const QString& service) const {
    const auto it = unresponsiveSince_.constFind(service);
    if (it == unresponsiveSince_.constEnd()) return false;
    if (clock_.uptimeSeconds() - *it < unresponsiveSeconds) return true;
    unresponsiveSince_.remove(service);
    return false;
}

AtSpiReply AtSpiBus::call(const QString& service, const QString& path, const QString& interface, const QString& method,
                          const QList<QVariant>& arguments) const {
    AtSpiPendingCall pending = start(service, path, interface, method, arguments);
    return finish(pending);
}

AtSpiPendingCall AtSpiBus::start(const QString& service, const QString& path, const QString& interface,
                                 const QString& method, const QList<QVariant>& arguments) const {
    AtSpiPendingCall pending;
    pending.service_ = service;
    if (!connected_) {
        pending.settled_ = {AtSpiCallStatus::notConnected, {}};
        return pending;
    }
    if (isUnresponsive(service)) {
        pending.settled_ = {AtSpiCallStatus::timedOut, {}};
        return pending;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    QDBusConnection bus(connectionName_);
    pending.call_ = bus.asyncCall(message, callTimeoutMs_);
    return pending;
}

AtSpiPendingCall AtSpiBus::startProperty(const QString& service, const QString& path, const QString& interface,
                                         const QString& name) const {
    return start(service, path, propertiesInterface, QStringLiteral("Get"), {interface, name});
}

AtSpiReply AtSpiBus::finish(AtSpiPendingCall& pending) const {
    if (!pending.call_) return pending.settled_;
    QDBusPendingCall call = *pending.call_;
    pending.call_.reset();
    call.waitForFinished();
    const QDBusMessage reply = call.reply();
    if (reply.type() == QDBusMessage::ReplyMessage)
        return pending.settled_ = {AtSpiCallStatus::success, reply.arguments()};
    const QString error = reply.errorName();
    if (error == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
        error == QLatin1String("org.freedesktop.DBus.Error.Timeout")) {
        // Calls sent together time out together: the application is marked once.
        if (!isUnresponsive(pending.service_)) {
            qCWarning(lcTextInputInspection).noquote()
                << QStringLiteral("Accessibility call timed out; treating the application as unresponsive");
            unresponsiveSince_.insert(pending.service_, clock_.uptimeSeconds());
        }
        return pending.settled_ = {AtSpiCallStatus::timedOut, {}};
    }
    return pending.settled_ = {AtSpiCallStatus::failure, {}};
}

AtSpiReply AtSpiBus::propertyValue(AtSpiReply reply) {
    if (reply.ok() && !reply.arguments.isEmpty())
        reply.arguments = {reply.arguments.first().value<QDBusVariant>().variant()};
    return reply;
}

AtSpiReply AtSpiBus::property(const QString& service, const QString& path, const QString& interface,
                              const QString& name) const {
    return propertyValue(call(service, path, propertiesInterface, QStringLiteral("Get"), {interface, name}));
}

std::optional<qint32> AtSpiBus::processIdentifier(const QString& service) const {
    if (!connected_ || service.isEmpty()) return std::nullopt;
    const auto cached = pids_.constFind(service);
    if (cached != pids_.constEnd()) return *cached;
    const AtSpiReply reply =
        call(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
             QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionUnixProcessID"), {service});
    if (!reply.ok() || reply.arguments.isEmpty()) return std::nullopt;
    const qint32 pid = static_cast<qint32>(reply.arguments.first().toUInt());
    pids_.insert(service, pid);
    return pid;
}

QList<AtSpiObjectRef> AtSpiBus::applications() const {
    const AtSpiReply reply = call(QStringLiteral("org.a11y.atspi.Registry"), AtSpiObjectRef::rootPath(),
                                  QStringLiteral("org.a11y.atspi.Accessible"), QStringLiteral("GetChildren"));
    if (!reply.ok() || reply.arguments.isEmpty()) return {};
    QList<AtSpiObjectRef> children;
    reply.arguments.first().value<QDBusArgument>() >> children;
    return children;
}

void AtSpiBus::onStateChanged(const QDBusMessage& message) {
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2) return;
    if (arguments.at(0).toString() != QLatin1String("focused")) return;
    const AtSpiObjectRef ref{message.service(), QDBusObjectPath(message.path())};
    if (arguments.at(1).toInt() == 1) {
        lastFocused_ = ref;
    } else if (lastFocused_ && *lastFocused_ == ref) {
        lastFocused_.reset();
    }
}

void AtSpiBus::onFocus(const QDBusMessage& message) {
    lastFocused_ = AtSpiObjectRef{message.service(), QDBusObjectPath(message.path())};
}

} // namespace quillo
