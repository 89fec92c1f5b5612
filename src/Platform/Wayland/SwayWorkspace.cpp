#include "Platform/Wayland/SwayWorkspace.h"

#include "Platform/Linux/ProcessDescription.h"
#include "Platform/Wayland/SwayIpc.h"

#include <QDesktopServices>
#include <QJsonArray>

#include <unistd.h>

namespace quillo {

namespace {

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
    if (identifier.isEmpty()) identifier = ProcessDescription::commandName(window.processIdentifier);
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
    QStringList classNames{application.bundleIdentifier};
    if (const auto known = windows_.constFind(application.processIdentifier); known != windows_.constEnd())
        classNames << known->appId << known->wmClass << known->instance;
    return ProcessDescription::describe(desktopEntries_, application.processIdentifier, classNames);
}

bool SwayWorkspace::isTerminated(qint32 processIdentifier) const {
    return ProcessDescription::isTerminated(processIdentifier);
}

qint32 SwayWorkspace::currentProcessIdentifier() const { return static_cast<qint32>(::getpid()); }

bool SwayWorkspace::openUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

} // namespace quillo
