#include "Platform/Wayland/SwayWorkspace.h"

#include "Platform/Wayland/SwayIpc.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace quillo {

namespace {

QString commandName(qint32 pid) {
    if (pid <= 0) return {};
    QFile file(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).trimmed();
}

QString executableName(qint32 pid) {
    if (pid <= 0) return {};
    return QFileInfo(QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget()).fileName();
}

void appendName(QStringList& names, const QString& name) {
    const QString trimmed = name.trimmed();
    if (!trimmed.isEmpty() && !names.contains(trimmed, Qt::CaseInsensitive)) names.append(trimmed);
}

std::optional<QJsonObject> focusedNode(const QJsonObject& node) {
    if (node.value(QStringLiteral("focused")).toBool()) return node;
    for (const QString& children : {QStringLiteral("nodes"), QStringLiteral("floating_nodes")})
        for (const auto& child : node.value(children).toArray())
            if (auto found = focusedNode(child.toObject())) return found;
    return std::nullopt;
}

} // namespace

SwayWorkspace::SwayWorkspace(SwayIpc& ipc, QObject* parent) : Workspace(parent), ipc_(ipc) {
    connect(&ipc_, &SwayIpc::windowChanged, this, &SwayWorkspace::windowChanged);
    ipc_.subscribeToWindows();
}

SwayWorkspace::Window SwayWorkspace::window(const QJsonObject& node) {
    Window window;
    window.processIdentifier = node.value(QStringLiteral("pid")).toInt();
    window.appId = node.value(QStringLiteral("app_id")).toString();
    const QJsonObject properties = node.value(QStringLiteral("window_properties")).toObject();
    window.wmClass = properties.value(QStringLiteral("class")).toString();
    window.instance = properties.value(QStringLiteral("instance")).toString();
    return window;
}

std::optional<SwayWorkspace::Window> SwayWorkspace::focusedWindow(const QJsonObject& tree) {
    const auto node = focusedNode(tree);
    // Focus on an output or a workspace (an empty one) is no application's.
    if (!node || node->value(QStringLiteral("pid")).toInt() <= 0) return std::nullopt;
    return window(*node);
}

RunningApplication SwayWorkspace::application(const Window& window) {
    QString identifier = window.appId;
    if (identifier.isEmpty()) identifier = window.wmClass;
    if (identifier.isEmpty()) identifier = window.instance;
    if (identifier.isEmpty()) identifier = commandName(window.processIdentifier);
    return RunningApplication{window.processIdentifier, identifier};
}

std::optional<RunningApplication> SwayWorkspace::frontmostApplication() const {
    const auto tree = ipc_.request(SwayIpc::getTree);
    if (!tree) return std::nullopt;
    const auto focused = focusedWindow(tree->object());
    if (!focused) return std::nullopt;
    windows_.insert(focused->processIdentifier, *focused);
    return application(*focused);
}

void SwayWorkspace::windowChanged(const QJsonObject& event) {
    if (event.value(QStringLiteral("change")).toString() != QLatin1String("focus")) return;
    const Window focused = window(event.value(QStringLiteral("container")).toObject());
    if (focused.processIdentifier <= 0) return;
    windows_.insert(focused.processIdentifier, focused);
    emit applicationActivated(application(focused));
}

ApplicationDescription SwayWorkspace::describe(const RunningApplication& application) const {
    const qint32 pid = application.processIdentifier;
    QStringList classNames;
    appendName(classNames, application.bundleIdentifier);
    if (const auto known = windows_.constFind(pid); known != windows_.constEnd()) {
        appendName(classNames, known->appId);
        appendName(classNames, known->wmClass);
        appendName(classNames, known->instance);
    }
    QStringList programs;
    appendName(programs, executableName(pid));
    appendName(programs, commandName(pid));

    ApplicationDescription description;
    description.identifiers = classNames;
    for (const QString& program : programs) appendName(description.identifiers, program);
    description.categories = desktopEntries_.categories(classNames, programs);
    return description;
}

bool SwayWorkspace::isTerminated(qint32 processIdentifier) const {
    if (processIdentifier <= 0) return false;
    if (::kill(processIdentifier, 0) == 0) return false;
    return errno == ESRCH;
}

qint32 SwayWorkspace::currentProcessIdentifier() const { return static_cast<qint32>(::getpid()); }

bool SwayWorkspace::openUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

} // namespace quillo
