#pragma once

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QHash>
#include <QObject>
#include <QString>
#include <QVariant>
#include <optional>

namespace quillo {

class Clock;

// The address of one accessible object on the accessibility bus.
struct AtSpiObjectRef {
    QString service;
    QDBusObjectPath path;

    bool isNull() const { return service.isEmpty() || path.path().isEmpty() || path.path() == nullPath(); }
    bool operator==(const AtSpiObjectRef& other) const { return service == other.service && path == other.path; }
    static QString nullPath() { return QStringLiteral("/org/a11y/atspi/null"); }
    static QString rootPath() { return QStringLiteral("/org/a11y/atspi/accessible/root"); }
};

QDBusArgument& operator<<(QDBusArgument& argument, const AtSpiObjectRef& ref);
const QDBusArgument& operator>>(const QDBusArgument& argument, AtSpiObjectRef& ref);

// How one call on the accessibility bus ended.
enum class AtSpiCallStatus { success, failure, timedOut, notConnected };

struct AtSpiReply {
    AtSpiCallStatus status = AtSpiCallStatus::notConnected;
    QList<QVariant> arguments;
    bool ok() const { return status == AtSpiCallStatus::success; }
};

// A call sent and not yet answered: several may be on their way at once, so that independent
// reads cost one wait rather than one each. Its reply is taken once, with AtSpiBus::finish.
class AtSpiPendingCall {
private:
    friend class AtSpiBus;
    QString service_;
    std::optional<QDBusPendingCall> call_;
    AtSpiReply settled_; // the outcome when nothing was sent
};

// The AT-SPI2 accessibility bus over QtDBus. QtDBus rather than libatspi: the calls we need are
// few, QtDBus is already part of the Qt we link, every call gets its own explicit timeout
// without a GLib main loop running beside Qt's, and no cache of another application's tree can
// answer with stale roles or states.
//
// Every call blocks for at most `callTimeoutMs`. An application that lets a call time out is
// treated as unresponsive for `unresponsiveSeconds`: further calls to it fail at once, so a
// hung application makes one inspection report "unknown" in about one timeout, not hang it.
//
// It also follows the focus: it asks the registry for focus events and remembers the last
// object that reported gaining the focus.
class AtSpiBus : public QObject {
    Q_OBJECT
public:
    static constexpr int defaultCallTimeoutMs = 300;
    static constexpr double unresponsiveSeconds = 5.0;

    explicit AtSpiBus(Clock& clock, QObject* parent = nullptr);
    ~AtSpiBus() override;

    // Finds the bus through the session bus (org.a11y.Bus) and connects; true when connected.
    bool connectToBus();
    bool isConnected() const { return connected_; }
    // Whether the desktop's accessibility is switched on (org.a11y.Status IsEnabled).
    static std::optional<bool> isAccessibilityEnabled();
    // Switches it on, so that toolkits (Qt, Chromium, Electron, Firefox) expose their trees.
    static bool enableAccessibility();

    AtSpiReply call(const QString& service, const QString& path, const QString& interface, const QString& method,
                    const QList<QVariant>& arguments = {}) const;
    AtSpiReply property(const QString& service, const QString& path, const QString& interface,
                        const QString& name) const;
    // The same in two halves: the call goes out at once, its reply is waited for in finish().
    AtSpiPendingCall start(const QString& service, const QString& path, const QString& interface, const QString& method,
                           const QList<QVariant>& arguments = {}) const;
    AtSpiPendingCall startProperty(const QString& service, const QString& path, const QString& interface,
                                   const QString& name) const;
    AtSpiReply finish(AtSpiPendingCall& pending) const;
    // The value inside a property's reply.
    static AtSpiReply propertyValue(AtSpiReply reply);
    std::optional<qint32> processIdentifier(const QString& service) const;
    // The applications registered on the bus (the registry root's children).
    QList<AtSpiObjectRef> applications() const;

    std::optional<AtSpiObjectRef> lastFocused() const { return lastFocused_; }
    // Asks the toolkits for window activation events, passed on as the signals below; for a
    // desktop whose window manager tells us nothing (Wayland). False when not connected.
    bool watchWindowActivation();
    void setCallTimeoutMs(int milliseconds) { callTimeoutMs_ = milliseconds; }
    bool isUnresponsive(const QString& service) const;

signals:
    void windowActivated(const quillo::AtSpiObjectRef& window);
    void windowDeactivated(const quillo::AtSpiObjectRef& window);

private slots:
    void onStateChanged(const QDBusMessage& message);
    void onFocus(const QDBusMessage& message);
    void onWindowEvent(const QDBusMessage& message);

private: // NOLINT(readability-redundant-access-specifiers): ends the slots section for moc
    void registerForFocusEvents();
    void registerForEvent(const QString& event);

    Clock& clock_;
    QString connectionName_;
    bool connected_ = false;
    int callTimeoutMs_ = defaultCallTimeoutMs;
    std::optional<AtSpiObjectRef> lastFocused_;
    mutable QHash<QString, double> unresponsiveSince_;
    mutable QHash<QString, qint32> pids_;
};

} // namespace quillo

Q_DECLARE_METATYPE(quillo::AtSpiObjectRef)
