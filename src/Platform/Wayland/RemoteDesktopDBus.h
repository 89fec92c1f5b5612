#pragma once

#include <QDBusMessage>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <optional>

namespace quillo::RemoteDesktopDBus {

// A blocking call on the session bus that fails rather than hang: the desktop answers these at
// once or not at all.
constexpr int callTimeoutMs = 3000;
QDBusMessage call(const QString& service, const QString& path, const QString& interface, const QString& method,
                  const QVariantList& arguments = {});
bool succeeded(const QDBusMessage& reply);

// A string list as desktops put it in a{sv} options: a plain "as", or Mutter's "(as)".
QStringList stringList(const QVariant& value);
// A duplicate of the file descriptor the reply's first argument carries; none without one.
std::optional<int> takeFileDescriptor(const QDBusMessage& reply);
// A property of an interface, read through org.freedesktop.DBus.Properties; none when the
// service or the interface is not there. The first read may start the service (the portal is
// started on demand), hence its own, longer time limit.
constexpr int propertyTimeoutMs = 10000;
std::optional<QVariant> property(const QString& service, const QString& path, const QString& interface,
                                 const QString& name);
// Whether a name is owned on the session bus now.
bool isServiceRegistered(const QString& service);

} // namespace quillo::RemoteDesktopDBus
