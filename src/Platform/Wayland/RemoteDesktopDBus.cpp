#include "Platform/Wayland/RemoteDesktopDBus.h"

#include "Support/Logging.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <fcntl.h>
#include <unistd.h>

namespace quillo::RemoteDesktopDBus {

QDBusMessage call(const QString& service, const QString& path, const QString& interface, const QString& method,
                  const QVariantList& arguments) {
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    QDBusMessage reply = QDBusConnection::sessionBus().call(message, QDBus::Block, callTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        qCWarning(lcTextInsertion, "%s.%s failed: %s", qUtf8Printable(interface), qUtf8Printable(method),
                  qUtf8Printable(reply.errorName()));
    return reply;
}

bool succeeded(const QDBusMessage& reply) { return reply.type() == QDBusMessage::ReplyMessage; }

QStringList stringList(const QVariant& value) {
    if (value.userType() == qMetaTypeId<QDBusVariant>()) return stringList(value.value<QDBusVariant>().variant());
    if (value.userType() != qMetaTypeId<QDBusArgument>()) return value.toStringList();
    const auto argument = value.value<QDBusArgument>();
    QStringList list;
    if (argument.currentType() == QDBusArgument::StructureType) {
        argument.beginStructure();
        argument >> list;
        argument.endStructure();
    } else if (argument.currentType() == QDBusArgument::ArrayType) {
        argument >> list;
    }
    return list;
}

std::optional<int> takeFileDescriptor(const QDBusMessage& reply) {
    if (!succeeded(reply) || reply.arguments().isEmpty()) return std::nullopt;
    const auto descriptor = reply.arguments().first().value<QDBusUnixFileDescriptor>();
    if (!descriptor.isValid()) return std::nullopt;
    const int fd = ::fcntl(descriptor.fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    return fd >= 0 ? std::optional<int>(fd) : std::nullopt;
}

std::optional<QVariant> property(const QString& service, const QString& path, const QString& interface,
                                 const QString& name) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        service, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    message.setArguments({interface, name});
    const QDBusMessage reply = QDBusConnection::sessionBus().call(message, QDBus::Block, propertyTimeoutMs);
    if (!succeeded(reply) || reply.arguments().isEmpty()) return std::nullopt;
    return reply.arguments().first().value<QDBusVariant>().variant();
}

bool isServiceRegistered(const QString& service) {
    const QDBusConnection session = QDBusConnection::sessionBus();
    return session.isConnected() && session.interface() && session.interface()->isServiceRegistered(service).value();
}

} // namespace quillo::RemoteDesktopDBus
