#include "Platform/Linux/LinuxAccessibility.h"

#include "Platform/Linux/AtSpiRoleMapping.h"
#include "Support/AccessibilitySupport.h"
#include "Support/Clock.h"

#include <QDBusArgument>

#include <deque>
#include <vector>

namespace quillo {

namespace {

const QString accessibleInterface = QStringLiteral("org.a11y.atspi.Accessible");
const QString textInterface = QStringLiteral("org.a11y.atspi.Text");
const QString registryService = QStringLiteral("org.a11y.atspi.Registry");

AccessibilityStatus statusOf(const AtSpiReply& reply) {
    switch (reply.status) {
    case AtSpiCallStatus::success: return AccessibilityStatus::success;
    case AtSpiCallStatus::timedOut: return AccessibilityStatus::cannotComplete;
    case AtSpiCallStatus::notConnected: return AccessibilityStatus::notTrusted;
    case AtSpiCallStatus::failure: return AccessibilityStatus::failure;
    }
    return AccessibilityStatus::failure;
}

QList<uint> unsignedList(const QVariant& value) {
    QList<uint> list;
    if (value.canConvert<QDBusArgument>()) value.value<QDBusArgument>() >> list;
    else list = value.value<QList<uint>>();
    return list;
}

QList<AtSpiObjectRef> refList(const QVariant& value) {
    QList<AtSpiObjectRef> list;
    if (value.canConvert<QDBusArgument>()) value.value<QDBusArgument>() >> list;
    return list;
}

std::optional<AtSpiObjectRef> refOf(const QVariant& value) {
    if (!value.canConvert<QDBusArgument>()) return std::nullopt;
    AtSpiObjectRef ref;
    value.value<QDBusArgument>() >> ref;
    return ref;
}

// The states of several objects, asked all at once and taken in order.
std::vector<AtSpiPendingCall> startStates(const AtSpiBus& bus, const QList<AtSpiObjectRef>& refs) {
    std::vector<AtSpiPendingCall> calls;
    calls.reserve(refs.size());
    for (const AtSpiObjectRef& ref : refs)
        calls.push_back(bus.start(ref.service, ref.path.path(), accessibleInterface, QStringLiteral("GetState")));
    return calls;
}

std::optional<quint64> statesOf(const AtSpiBus& bus, AtSpiPendingCall& call, AccessibilityStatus* status) {
    const AtSpiReply reply = bus.finish(call);
    if (!reply.ok() || reply.arguments.isEmpty()) {
        if (status) *status = reply.ok() ? AccessibilityStatus::failure : statusOf(reply);
        return std::nullopt;
    }
    const QList<uint> words = unsignedList(reply.arguments.first());
    return AtSpiState::fromWords(words.value(0), words.value(1));
}

} // namespace

AtSpiAccessibleElement::AtSpiAccessibleElement(std::shared_ptr<AtSpiBus> bus, AtSpiObjectRef ref, Kind kind)
    : bus_(std::move(bus)), ref_(std::move(ref)), kind_(kind) {}

AccessibilityElementRef AtSpiAccessibleElement::make(const AtSpiObjectRef& ref, Kind kind) const {
    return std::make_shared<AtSpiAccessibleElement>(bus_, ref, kind);
}

void AtSpiAccessibleElement::start(Call call) const {
    auto& started = started_[static_cast<std::size_t>(call)];
    if (started || replies_[static_cast<std::size_t>(call)]) return;
    const QString path = ref_.path.path();
    switch (call) {
    case Call::parent:
        started = bus_->startProperty(ref_.service, path, accessibleInterface, QStringLiteral("Parent"));
        break;
    case Call::role: started = bus_->start(ref_.service, path, accessibleInterface, QStringLiteral("GetRole")); break;
    case Call::states:
        started = bus_->start(ref_.service, path, accessibleInterface, QStringLiteral("GetState"));
        break;
    case Call::interfaces:
        started = bus_->start(ref_.service, path, accessibleInterface, QStringLiteral("GetInterfaces"));
        break;
    case Call::selectionCount:
        started = bus_->start(ref_.service, path, textInterface, QStringLiteral("GetNSelections"));
        break;
    case Call::caretOffset:
        started = bus_->startProperty(ref_.service, path, textInterface, QStringLiteral("CaretOffset"));
        break;
    case Call::count: break;
    }
}

const AtSpiReply& AtSpiAccessibleElement::reply(Call call) const {
    const auto index = static_cast<std::size_t>(call);
    auto& reply = replies_[index];
    if (reply) return *reply;
    start(call);
    AtSpiReply answer = bus_->finish(*started_[index]);
    started_[index].reset();
    if (call == Call::parent || call == Call::caretOffset) answer = AtSpiBus::propertyValue(std::move(answer));
    reply = std::move(answer);
    return *reply;
}

void AtSpiAccessibleElement::prefetch() const {
    if (kind_ == Kind::desktop) return;
    prefetching_ = true;
    // The parent first: a walk up the tree waits for it before anything else.
    if (kind_ == Kind::object) start(Call::parent);
    start(Call::role);
    start(Call::states);
    start(Call::interfaces);
}

std::optional<quint64> AtSpiAccessibleElement::states(AccessibilityStatus* status) const {
    const AtSpiReply& reply = this->reply(Call::states);
    if (!reply.ok() || reply.arguments.isEmpty()) {
        if (status) *status = reply.ok() ? AccessibilityStatus::failure : statusOf(reply);
        return std::nullopt;
    }
    const QList<uint> words = unsignedList(reply.arguments.first());
    return AtSpiState::fromWords(words.value(0), words.value(1));
}

const AtSpiAccessibleElement::Info& AtSpiAccessibleElement::info() const {
    if (info_) return *info_;
    Info info;
    if (kind_ == Kind::desktop) {
        info.roleName = QStringLiteral("desktop frame");
        info_ = info;
        return *info_;
    }
    const AtSpiReply& role = reply(Call::role);
    if (!role.ok() || role.arguments.isEmpty()) {
        info.status = role.ok() ? AccessibilityStatus::failure : statusOf(role);
        info_ = info;
        return *info_;
    }
    if (const auto known = AtSpiRoleMapping::roleName(role.arguments.first().toUInt())) {
        info.roleName = *known;
    } else {
        const AtSpiReply name =
            bus_->call(ref_.service, ref_.path.path(), accessibleInterface, QStringLiteral("GetRoleName"));
        if (name.ok() && !name.arguments.isEmpty()) info.roleName = name.arguments.first().toString();
    }
    AccessibilityStatus status = AccessibilityStatus::success;
    const auto states = this->states(&status);
    if (!states) {
        info.status = status;
        info_ = info;
        return *info_;
    }
    info.states = *states;
    const AtSpiReply& interfaces = reply(Call::interfaces);
    if (interfaces.ok() && !interfaces.arguments.isEmpty())
        info.interfaces = interfaces.arguments.first().toStringList();
    // An inspection reads the selection of every text object it classifies.
    if (prefetching_ && info.interfaces.contains(textInterface)) {
        start(Call::selectionCount);
        start(Call::caretOffset);
    }
    info_ = info;
    return *info_;
}

AccessibilityValue AtSpiAccessibleElement::attributeValue(const QString& name) const {
    namespace A = AccessibilityAttributes;
    if (name == A::focusedUIElement) {
        if (kind_ == Kind::object) return AccessibilityValue::failed(AccessibilityStatus::attributeUnsupported);
        return focusedElement();
    }
    if (kind_ == Kind::desktop) return AccessibilityValue::failed(AccessibilityStatus::attributeUnsupported);
    if (name == A::parent) return parent();
    if (name == A::selectedTextRange) return selectedTextRange();
    if (name == A::value || name == A::selectedText) {
        // Present for text objects, but text is never read through accessibility.
        if (!info().interfaces.contains(textInterface))
            return AccessibilityValue::failed(AccessibilityStatus::attributeUnsupported);
        return AccessibilityValue::of(AccessibilityValue::Other{});
    }
    const Info& i = info();
    if (i.status != AccessibilityStatus::success) return AccessibilityValue::failed(i.status);
    if (name == A::role) return AccessibilityValue::of(AtSpiRoleMapping::role(i.roleName, i.states));
    if (name == A::subrole) {
        const auto subrole = AtSpiRoleMapping::subrole(i.roleName, i.states);
        if (!subrole) return AccessibilityValue::failed(AccessibilityStatus::noValue);
        return AccessibilityValue::of(*subrole);
    }
    if (name == A::isEditable) return AccessibilityValue::of(AtSpiRoleMapping::isEditable(i.states));
    return AccessibilityValue::failed(AccessibilityStatus::attributeUnsupported);
}

std::optional<QStringList> AtSpiAccessibleElement::attributeNames() const {
    namespace A = AccessibilityAttributes;
    if (kind_ == Kind::desktop) return QStringList{A::focusedUIElement};
    const Info& i = info();
    if (i.status != AccessibilityStatus::success) return std::nullopt;
    QStringList names{A::role, A::parent, A::isEditable};
    if (AtSpiRoleMapping::subrole(i.roleName, i.states)) names.append(A::subrole);
    if (i.interfaces.contains(textInterface)) names << A::value << A::selectedText << A::selectedTextRange;
    if (kind_ == Kind::application) names << A::focusedUIElement << A::enhancedUserInterface;
    return names;
}

std::optional<bool> AtSpiAccessibleElement::isAttributeSettable(const QString& name) const {
    if (kind_ == Kind::desktop) return false;
    if (name == AccessibilityAttributes::enhancedUserInterface) return kind_ == Kind::application;
    const Info& i = info();
    if (i.status != AccessibilityStatus::success) return std::nullopt;
    if (name == AccessibilityAttributes::selectedTextRange)
        return AtSpiRoleMapping::selectedTextRangeSettable(i.interfaces.contains(textInterface), i.states);
    return false;
}

AccessibilityStatus AtSpiAccessibleElement::setBooleanAttribute(const QString& name, bool value) {
    // The browsers' "enhanced user interface" is, on this desktop, the session's accessibility
    // switch: Chromium, Electron and Firefox build their trees once it is on.
    if (name != AccessibilityAttributes::enhancedUserInterface || kind_ != Kind::application)
        return AccessibilityStatus::attributeUnsupported;
    if (!value) return AccessibilityStatus::success;
    const bool enabled = AtSpiBus::enableAccessibility();
    // Chromium keeps its tree to a bare window until an assistive client reads the application
    // object itself (its attributes and properties): then it builds the tree of its window and page.
    const QString path = ref_.path.path();
    const AtSpiReply attributes = bus_->call(ref_.service, path, accessibleInterface, QStringLiteral("GetAttributes"));
    const AtSpiReply properties = bus_->call(ref_.service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                             QStringLiteral("GetAll"), {accessibleInterface});
    return enabled && (attributes.ok() || properties.ok()) ? AccessibilityStatus::success
                                                           : AccessibilityStatus::failure;
}

std::optional<qint32> AtSpiAccessibleElement::processIdentifier() const {
    if (kind_ == Kind::desktop) return std::nullopt;
    return bus_->processIdentifier(ref_.service);
}

bool AtSpiAccessibleElement::isSameElement(const AccessibilityElement& other) const {
    const auto* o = dynamic_cast<const AtSpiAccessibleElement*>(&other);
    return o && o->kind_ == kind_ && o->ref_ == ref_;
}

AccessibilityValue AtSpiAccessibleElement::parent() const {
    if (kind_ == Kind::application) return AccessibilityValue::failed(AccessibilityStatus::noValue);
    const AtSpiReply& reply = this->reply(Call::parent);
    if (!reply.ok() || reply.arguments.isEmpty())
        return AccessibilityValue::failed(reply.ok() ? AccessibilityStatus::failure : statusOf(reply));
    const auto parentRef = refOf(reply.arguments.first());
    if (!parentRef || parentRef->isNull() || parentRef->service == registryService)
        return AccessibilityValue::failed(AccessibilityStatus::noValue);
    const Kind kind = parentRef->path.path() == AtSpiObjectRef::rootPath() ? Kind::application : Kind::object;
    return AccessibilityValue::of(make(*parentRef, kind));
}

AccessibilityValue AtSpiAccessibleElement::selectedTextRange() const {
    const Info& i = info();
    if (i.status != AccessibilityStatus::success) return AccessibilityValue::failed(i.status);
    if (!i.interfaces.contains(textInterface))
        return AccessibilityValue::failed(AccessibilityStatus::attributeUnsupported);
    const QString path = ref_.path.path();
    const AtSpiReply& count = reply(Call::selectionCount);
    if (!count.ok() || count.arguments.isEmpty())
        return AccessibilityValue::failed(count.ok() ? AccessibilityStatus::failure : statusOf(count));
    if (count.arguments.first().toInt() > 0) {
        const AtSpiReply selection = bus_->call(ref_.service, path, textInterface, QStringLiteral("GetSelection"), {0});
        if (!selection.ok() || selection.arguments.size() < 2)
            return AccessibilityValue::failed(selection.ok() ? AccessibilityStatus::failure : statusOf(selection));
        const qint64 start = selection.arguments.at(0).toLongLong();
        const qint64 end = selection.arguments.at(1).toLongLong();
        return AccessibilityValue::of(AccessibilityRange{qMin(start, end), qAbs(end - start)});
    }
    const AtSpiReply& caret = reply(Call::caretOffset);
    if (!caret.ok() || caret.arguments.isEmpty())
        return AccessibilityValue::failed(caret.ok() ? AccessibilityStatus::failure : statusOf(caret));
    return AccessibilityValue::of(AccessibilityRange{qMax<qint64>(0, caret.arguments.first().toLongLong()), 0});
}

AccessibilityValue AtSpiAccessibleElement::focusedElement() const {
    // What a focus event told, while that object still says it has the focus.
    if (const auto focused = bus_->lastFocused()) {
        if (kind_ == Kind::desktop || focused->service == ref_.service) {
            // Whoever asks for the focused object reads it next: its calls go with the check.
            auto element = std::make_shared<AtSpiAccessibleElement>(bus_, *focused, Kind::object);
            element->prefetch();
            AccessibilityStatus status = AccessibilityStatus::success;
            const auto states = element->states(&status);
            if (!states && status == AccessibilityStatus::cannotComplete) return AccessibilityValue::failed(status);
            if (states && AtSpiState::has(*states, AtSpiState::focused)) return AccessibilityValue::of(element);
        }
    }
    if (kind_ == Kind::desktop) return AccessibilityValue::failed(AccessibilityStatus::noValue);

    // Otherwise a bounded search of the application's windows, active ones first.
    const QString service = ref_.service;
    const AtSpiReply windows =
        bus_->call(service, ref_.path.path(), accessibleInterface, QStringLiteral("GetChildren"));
    if (!windows.ok() || windows.arguments.isEmpty())
        return AccessibilityValue::failed(windows.ok() ? AccessibilityStatus::failure : statusOf(windows));
    std::deque<std::pair<AtSpiObjectRef, int>> pending;
    QList<AtSpiObjectRef> inactive;
    const QList<AtSpiObjectRef> windowList = refList(windows.arguments.first());
    std::vector<AtSpiPendingCall> windowStates = startStates(*bus_, windowList);
    for (qsizetype index = 0; index < windowList.size(); ++index) {
        const AtSpiObjectRef& window = windowList[index];
        AccessibilityStatus status = AccessibilityStatus::success;
        const auto states = statesOf(*bus_, windowStates[index], &status);
        if (!states) {
            if (status == AccessibilityStatus::cannotComplete) return AccessibilityValue::failed(status);
            continue;
        }
        if (AtSpiState::has(*states, AtSpiState::focused)) return AccessibilityValue::of(make(window));
        if (AtSpiState::has(*states, AtSpiState::active)) pending.emplace_back(window, 1);
        else inactive.append(window);
    }
    for (const auto& window : inactive) pending.emplace_back(window, 1);

    int visited = 0;
    while (!pending.empty() && visited < maximumSearchNodes) {
        // Depth first: the focused object is usually deep in the one active window.
        auto [node, depth] = pending.front();
        pending.pop_front();
        ++visited;
        const AtSpiReply children =
            bus_->call(node.service, node.path.path(), accessibleInterface, QStringLiteral("GetChildren"));
        if (!children.ok()) {
            if (children.status == AtSpiCallStatus::timedOut)
                return AccessibilityValue::failed(AccessibilityStatus::cannotComplete);
            continue;
        }
        if (children.arguments.isEmpty()) continue;
        std::vector<std::pair<AtSpiObjectRef, int>> next;
        QList<AtSpiObjectRef> childList;
        for (const AtSpiObjectRef& child : refList(children.arguments.first()))
            if (!child.isNull() && visited + childList.size() < maximumSearchNodes) childList.append(child);
        std::vector<AtSpiPendingCall> childStates = startStates(*bus_, childList);
        for (qsizetype index = 0; index < childList.size(); ++index) {
            const AtSpiObjectRef& child = childList[index];
            ++visited;
            AccessibilityStatus status = AccessibilityStatus::success;
            const auto states = statesOf(*bus_, childStates[index], &status);
            if (!states) {
                if (status == AccessibilityStatus::cannotComplete) return AccessibilityValue::failed(status);
                continue;
            }
            if (AtSpiState::has(*states, AtSpiState::focused)) return AccessibilityValue::of(make(child));
            // Hidden parts and long managed lists cannot hold the focused field.
            if (!AtSpiState::has(*states, AtSpiState::showing) ||
                AtSpiState::has(*states, AtSpiState::managesDescendants))
                continue;
            if (depth + 1 < maximumSearchDepth) next.emplace_back(child, depth + 1);
        }
        // NOLINTNEXTLINE(modernize-loop-convert): clang 14 cannot parse libstdc++ 12's reverse views
        for (auto it = next.rbegin(); it != next.rend(); ++it) pending.push_front(*it);
    }
    return AccessibilityValue::failed(AccessibilityStatus::noValue);
}

LinuxAccessibility::LinuxAccessibility(Clock& clock) : bus_(std::make_shared<AtSpiBus>(clock)) {}

LinuxAccessibility::~LinuxAccessibility() = default;

bool LinuxAccessibility::connect() { return bus_->connectToBus(); }

AccessibilityElementRef LinuxAccessibility::applicationElement(qint32 processIdentifier) {
    if (!connect() || processIdentifier <= 0) return nullptr;
    // The application that reported the focus last is nearly always the one asked for: its
    // object is known without asking the registry for every application on the bus.
    if (const auto focused = bus_->lastFocused();
        focused && bus_->processIdentifier(focused->service) == processIdentifier)
        return std::make_shared<AtSpiAccessibleElement>(
            bus_, AtSpiObjectRef{focused->service, QDBusObjectPath(AtSpiObjectRef::rootPath())},
            AtSpiAccessibleElement::Kind::application);
    for (const AtSpiObjectRef& app : bus_->applications()) {
        if (bus_->processIdentifier(app.service) != processIdentifier) continue;
        return std::make_shared<AtSpiAccessibleElement>(bus_, app, AtSpiAccessibleElement::Kind::application);
    }
    return nullptr;
}

AccessibilityElementRef LinuxAccessibility::systemWideElement() {
    if (!connect()) return nullptr;
    return std::make_shared<AtSpiAccessibleElement>(
        bus_, AtSpiObjectRef{registryService, QDBusObjectPath(AtSpiObjectRef::rootPath())},
        AtSpiAccessibleElement::Kind::desktop);
}

} // namespace quillo
