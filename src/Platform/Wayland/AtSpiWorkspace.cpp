#include "Platform/Wayland/AtSpiWorkspace.h"

#include "Platform/Linux/AtSpiRoleMapping.h"

#include <QDBusArgument>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace quillo {

namespace {

const QString accessibleInterface = QStringLiteral("org.a11y.atspi.Accessible");

void appendName(QStringList& names, const QString& name) {
    const QString trimmed = name.trimmed();
    if (!trimmed.isEmpty() && !names.contains(trimmed, Qt::CaseInsensitive)) names.append(trimmed);
}

} // namespace

AtSpiWorkspace::AtSpiWorkspace(Clock& clock, QObject* parent) : Workspace(parent), bus_(clock) {
    QObject::connect(&bus_, &AtSpiBus::windowActivated, this, [this](const AtSpiObjectRef& window) {
        active_ = window;
        if (const auto activated = application(window)) emit applicationActivated(*activated);
    });
    QObject::connect(&bus_, &AtSpiBus::windowDeactivated, this, [this](const AtSpiObjectRef& window) {
        if (active_ == window) active_.reset();
    });
    connect();
}

bool AtSpiWorkspace::connect() const {
    // Joined on first use and again later if the bus was not there yet.
    if (!bus_.isConnected() && !bus_.connectToBus()) return false;
    if (!watching_) watching_ = bus_.watchWindowActivation();
    return true;
}

QString AtSpiWorkspace::commandName(qint32 processIdentifier) {
    if (processIdentifier <= 0) return {};
    QFile file(QStringLiteral("/proc/%1/comm").arg(processIdentifier));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).trimmed();
}

QString AtSpiWorkspace::executableName(qint32 processIdentifier) {
    if (processIdentifier <= 0) return {};
    return QFileInfo(QFileInfo(QStringLiteral("/proc/%1/exe").arg(processIdentifier)).symLinkTarget()).fileName();
}

bool AtSpiWorkspace::isActive(const AtSpiObjectRef& window) const {
    const AtSpiReply reply =
        bus_.call(window.service, window.path.path(), accessibleInterface, QStringLiteral("GetState"));
    if (!reply.ok() || reply.arguments.isEmpty()) return false;
    QList<uint> words;
    reply.arguments.first().value<QDBusArgument>() >> words;
    const uint first = words.value(0);
    return (first & (1U << AtSpiState::active)) != 0 && (first & (1U << AtSpiState::defunct)) == 0;
}

std::optional<AtSpiObjectRef> AtSpiWorkspace::findActiveWindow() const {
    for (const AtSpiObjectRef& app : bus_.applications()) {
        if (app.isNull() || bus_.isUnresponsive(app.service)) continue;
        const AtSpiReply windows =
            bus_.call(app.service, app.path.path(), accessibleInterface, QStringLiteral("GetChildren"));
        if (!windows.ok() || windows.arguments.isEmpty()) continue;
        QList<AtSpiObjectRef> children;
        windows.arguments.first().value<QDBusArgument>() >> children;
        for (const AtSpiObjectRef& window : children)
            if (!window.isNull() && isActive(window)) return window;
    }
    return std::nullopt;
}

std::optional<RunningApplication> AtSpiWorkspace::application(const AtSpiObjectRef& window) const {
    const auto pid = bus_.processIdentifier(window.service);
    if (!pid || *pid <= 0) return std::nullopt;
    QString identifier = executableName(*pid);
    if (identifier.isEmpty()) identifier = commandName(*pid);
    return RunningApplication{*pid, identifier};
}

std::optional<RunningApplication> AtSpiWorkspace::frontmostApplication() const {
    if (!connect()) return std::nullopt;
    // The last activation event, while its window still says it is active; else a look at
    // every application's windows (focus given before we listened, or a missed event).
    if (!active_ || !isActive(*active_)) active_ = findActiveWindow();
    if (!active_) return std::nullopt;
    return application(*active_);
}

ApplicationDescription AtSpiWorkspace::describe(const RunningApplication& application) const {
    const qint32 pid = application.processIdentifier;
    QStringList programs;
    appendName(programs, application.bundleIdentifier);
    appendName(programs, executableName(pid));
    appendName(programs, commandName(pid));
    ApplicationDescription description;
    description.identifiers = programs;
    description.categories = desktopEntries_.categories(programs, programs);
    return description;
}

bool AtSpiWorkspace::isTerminated(qint32 processIdentifier) const {
    if (processIdentifier <= 0) return false;
    if (::kill(processIdentifier, 0) == 0) return false;
    return errno == ESRCH;
}

qint32 AtSpiWorkspace::currentProcessIdentifier() const { return static_cast<qint32>(::getpid()); }

bool AtSpiWorkspace::openUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

} // namespace quillo
