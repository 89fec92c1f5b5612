#include "Platform/Wayland/KGlobalAccelBinding.h"

#include "Platform/Wayland/SwayTriggerBinding.h"
#include "Support/Logging.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QKeySequence>

namespace quillo {

namespace {

const QString service = QStringLiteral("org.kde.kglobalaccel");
const QString path = QStringLiteral("/kglobalaccel");
const QString interface = QStringLiteral("org.kde.KGlobalAccel");
const QString componentInterface = QStringLiteral("org.kde.kglobalaccel.Component");
constexpr int callTimeoutMs = 2000;

// kglobalaccel's setShortcut flags.
constexpr uint isDefault = 1;
constexpr uint setPresent = 2;
constexpr uint noAutoloading = 4;

QDBusMessage call(const QString& method, const QList<QVariant>& arguments) {
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(message, QDBus::Block, callTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        qCWarning(lcInputMonitoring, "kglobalaccel %s failed: %s", qUtf8Printable(method),
                  qUtf8Printable(reply.errorName()));
    return reply;
}

} // namespace

KGlobalAccelBinding::KGlobalAccelBinding(QObject* parent) : EventTap(parent) { qDBusRegisterMetaType<QList<int>>(); }

KGlobalAccelBinding::~KGlobalAccelBinding() { destroy(); }

QStringList KGlobalAccelBinding::actionId() {
    // Unique component, unique action, then the names System Settings shows.
    return {componentName, actionName, QStringLiteral("Quillo"), QStringLiteral("Correct the focused text")};
}

bool KGlobalAccelBinding::isServiceAvailable() {
    const QDBusConnection session = QDBusConnection::sessionBus();
    return session.isConnected() && session.interface() && session.interface()->isServiceRegistered(service).value();
}

bool KGlobalAccelBinding::create() {
    if (created_) return true;
    if (!isServiceAvailable()) return false;
    if (call(QStringLiteral("doRegister"), {actionId()}).type() != QDBusMessage::ReplyMessage) return false;
    const QDBusMessage component = call(QStringLiteral("getComponent"), {componentName});
    if (component.type() != QDBusMessage::ReplyMessage || component.arguments().isEmpty()) return false;
    componentPath_ = component.arguments().first().value<QDBusObjectPath>().path();
    created_ = QDBusConnection::sessionBus().connect(service, componentPath_, componentInterface,
                                                     QStringLiteral("globalShortcutPressed"), this,
                                                     SLOT(shortcutPressed(QString, QString, qlonglong)));
    return created_;
}

std::optional<int> KGlobalAccelBinding::qtKey(quint16 virtualKeyCode) {
    const auto name = SwayTriggerBinding::keyName(virtualKeyCode);
    if (!name) return std::nullopt;
    // XKB's names and Qt's agree for the keys a trigger can be, but for these.
    QString qtName = *name;
    if (qtName == QLatin1String("Scroll_Lock")) qtName = QStringLiteral("ScrollLock");
    else if (qtName == QLatin1String("Caps_Lock")) return std::nullopt;
    else if (qtName == QLatin1String("Num_Lock")) qtName = QStringLiteral("NumLock");
    const QKeySequence sequence = QKeySequence::fromString(qtName, QKeySequence::PortableText);
    if (sequence.count() != 1) return std::nullopt;
    const int key = sequence[0].toCombined();
    return key != Qt::Key_unknown ? std::optional<int>(key) : std::nullopt;
}

bool KGlobalAccelBinding::setKeys(const QList<int>& keys, bool replaceUserChoice) {
    const QVariant keyList = QVariant::fromValue(keys);
    if (call(QStringLiteral("setShortcut"), {actionId(), keyList, isDefault}).type() != QDBusMessage::ReplyMessage)
        return false;
    const uint flags = setPresent | (replaceUserChoice ? noAutoloading : 0U);
    const QDBusMessage reply = call(QStringLiteral("setShortcut"), {actionId(), keyList, flags});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
    active_ = qdbus_cast<QList<int>>(reply.arguments().first());
    if (active_.isEmpty())
        qCWarning(lcInputMonitoring, "kglobalaccel gave the trigger no key (another action holds it?)");
    return !active_.isEmpty();
}

void KGlobalAccelBinding::release() {
    if (!registered_ || active_.isEmpty()) return;
    // Inactive keeps the user's choice for the next start and frees the key meanwhile.
    call(QStringLiteral("setInactive"), {actionId()});
    active_.clear();
}

bool KGlobalAccelBinding::setConsumedKey(std::optional<quint16> virtualKeyCode) {
    if (!created_) return !virtualKeyCode;
    const auto key = virtualKeyCode ? qtKey(*virtualKeyCode) : std::nullopt;
    if (!key) {
        if (virtualKeyCode)
            qCWarning(lcInputMonitoring, "The trigger key cannot be a KDE shortcut; bind the command yourself");
        // The old key is freed; the action stays listed, inactive, with the user's choice.
        release();
        return !virtualKeyCode;
    }
    if (registered_ == key && !active_.isEmpty()) return true;
    if (call(QStringLiteral("doRegister"), {actionId()}).type() != QDBusMessage::ReplyMessage) return false;
    // A trigger chosen in Quillo replaces the key; at start the user's choice in System
    // Settings, if any, stays.
    const bool ok = setKeys({*key}, registered_.has_value() && registered_ != key);
    registered_ = key;
    return ok;
}

void KGlobalAccelBinding::setEnabled(bool enabled) {
    if (!created_ || enabled_ == enabled) return;
    enabled_ = enabled;
    if (!registered_) return;
    if (enabled_) setKeys({*registered_}, false);
    else release();
}

void KGlobalAccelBinding::destroy() {
    if (!created_) return;
    release();
    QDBusConnection::sessionBus().disconnect(service, componentPath_, componentInterface,
                                             QStringLiteral("globalShortcutPressed"), this,
                                             SLOT(shortcutPressed(QString, QString, qlonglong)));
    created_ = false;
    enabled_ = false;
}

void KGlobalAccelBinding::shortcutPressed(const QString& component, const QString& action, qlonglong) {
    if (component != componentName || action != actionName) return;
    if (!enabled_ || active_.isEmpty()) return;
    emit triggered();
}

} // namespace quillo
