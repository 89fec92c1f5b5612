#include "Platform/Linux/LinuxWorkspace.h"

#include "Platform/Linux/ProcessDescription.h"
#include "Support/Logging.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QSocketNotifier>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <unistd.h>

namespace quillo {

namespace {

// Ignore errors of requests about windows that vanished meanwhile; Xlib would exit otherwise.
int ignoreXErrors(Display*, XErrorEvent*) { return 0; }

std::optional<unsigned long> windowProperty(Display* display, Window window, Atom property, Atom type) {
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, 1, False, type, &actualType, &format, &count, &remaining,
                           &data) != Success)
        return std::nullopt;
    std::optional<unsigned long> value;
    if (data && count == 1 && format == 32) value = *reinterpret_cast<unsigned long*>(data);
    if (data) XFree(data);
    return value;
}

} // namespace

LinuxWorkspace::LinuxWorkspace(QObject* parent) : Workspace(parent) {
    XSetErrorHandler(ignoreXErrors);
    display_ = XOpenDisplay(nullptr);
    if (!display_) {
        qCWarning(lcInputMonitoring) << "No X display: the frontmost application cannot be known";
        return;
    }
    activeWindowAtom_ = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
    pidAtom_ = XInternAtom(display_, "_NET_WM_PID", False);
    XSelectInput(display_, DefaultRootWindow(display_), PropertyChangeMask);
    XFlush(display_);
    lastActive_ = readFrontmostApplication();
    notifier_ = new QSocketNotifier(ConnectionNumber(display_), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &LinuxWorkspace::processPendingEvents);
    // Our own requests read events off the socket into Xlib's queue, where the notifier
    // cannot see them: look at the queue whenever the event loop is about to wait.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &LinuxWorkspace::processPendingEvents);
}

LinuxWorkspace::~LinuxWorkspace() {
    delete notifier_;
    if (display_) XCloseDisplay(display_);
}

QString LinuxWorkspace::applicationIdentifier(const QString& instance, const QString& wmClass, const QString& command) {
    if (!wmClass.trimmed().isEmpty()) return wmClass.trimmed();
    if (!instance.trimmed().isEmpty()) return instance.trimmed();
    return command.trimmed();
}

std::optional<RunningApplication> LinuxWorkspace::applicationOfWindow(unsigned long start) const {
    // The focus may sit on a child of the client window (or, without a window manager, on a
    // frame around it): walk up to the first window that names its process or class.
    Window window = start;
    for (int depth = 0; depth < 16 && window != 0; ++depth) {
        const auto pid = windowProperty(display_, window, pidAtom_, XA_CARDINAL);
        XClassHint hint{nullptr, nullptr};
        const bool hasClass = XGetClassHint(display_, window, &hint) != 0;
        const QString instance = hasClass && hint.res_name ? QString::fromLocal8Bit(hint.res_name) : QString();
        const QString wmClass = hasClass && hint.res_class ? QString::fromLocal8Bit(hint.res_class) : QString();
        if (hint.res_name) XFree(hint.res_name);
        if (hint.res_class) XFree(hint.res_class);
        if (pid || hasClass) {
            const qint32 processIdentifier = pid ? static_cast<qint32>(*pid) : 0;
            if (processIdentifier > 0) windowNames_.insert(processIdentifier, WindowNames{instance, wmClass});
            return RunningApplication{
                processIdentifier,
                applicationIdentifier(instance, wmClass, ProcessDescription::commandName(processIdentifier))};
        }
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display_, window, &root, &parent, &children, &count)) break;
        if (children) XFree(children);
        if (parent == root) break;
        window = parent;
    }
    return std::nullopt;
}

std::optional<RunningApplication> LinuxWorkspace::frontmostApplication() const {
    if (!display_) return std::nullopt;
    auto result = readFrontmostApplication();
    // The round trips may have pulled activation events into Xlib's queue, where the socket
    // notifier no longer sees them: handle them from the event loop.
    if (XEventsQueued(display_, QueuedAlready) > 0)
        QMetaObject::invokeMethod(const_cast<LinuxWorkspace*>(this), &LinuxWorkspace::processPendingEvents,
                                  Qt::QueuedConnection);
    return result;
}

std::optional<RunningApplication> LinuxWorkspace::readFrontmostApplication() const {
    const auto active = windowProperty(display_, DefaultRootWindow(display_), activeWindowAtom_, XA_WINDOW);
    if (active && *active != 0) {
        if (auto app = applicationOfWindow(*active)) return app;
    }
    // No window manager (or none that says): the window with the input focus.
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    if (focus == None || focus == PointerRoot || focus == DefaultRootWindow(display_)) return std::nullopt;
    return applicationOfWindow(focus);
}

ApplicationDescription LinuxWorkspace::describe(const RunningApplication& application) const {
    QStringList classNames{application.bundleIdentifier};
    if (const auto names = windowNames_.constFind(application.processIdentifier); names != windowNames_.constEnd())
        classNames << names->instance << names->wmClass;
    return ProcessDescription::describe(desktopEntries_, application.processIdentifier, classNames);
}

bool LinuxWorkspace::isTerminated(qint32 processIdentifier) const {
    return ProcessDescription::isTerminated(processIdentifier);
}

qint32 LinuxWorkspace::currentProcessIdentifier() const { return static_cast<qint32>(::getpid()); }

bool LinuxWorkspace::openUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

void LinuxWorkspace::processPendingEvents() {
    if (!display_) return;
    bool activeChanged = false;
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == PropertyNotify && event.xproperty.atom == activeWindowAtom_) activeChanged = true;
    }
    if (!activeChanged) return;
    const auto now = readFrontmostApplication();
    if (now && (!lastActive_ || lastActive_->processIdentifier != now->processIdentifier ||
                lastActive_->bundleIdentifier != now->bundleIdentifier)) {
        lastActive_ = now;
        emit applicationActivated(*now);
    } else if (!now) {
        lastActive_.reset();
    }
}

} // namespace quillo
