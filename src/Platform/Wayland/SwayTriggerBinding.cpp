#include "Platform/Wayland/SwayTriggerBinding.h"

#include "Platform/Linux/LinuxKeyCodeTable.h"
#include "Platform/Wayland/SwayIpc.h"
#include "Support/Logging.h"

#include <xkbcommon/xkbcommon.h>

#include <memory>

namespace quillo {

SwayTriggerBinding::SwayTriggerBinding(SwayIpc& ipc, QString command, QObject* parent)
    : EventTap(parent), ipc_(ipc), command_(std::move(command)) {}

SwayTriggerBinding::~SwayTriggerBinding() { destroy(); }

bool SwayTriggerBinding::create() {
    created_ = ipc_.isAvailable() && ipc_.request(SwayIpc::getInputs).has_value();
    return created_;
}

void SwayTriggerBinding::setEnabled(bool enabled) {
    if (!created_ || enabled_ == enabled) return;
    enabled_ = enabled;
    bind(enabled_ && wanted_ ? keyName(*wanted_) : std::nullopt);
}

void SwayTriggerBinding::destroy() {
    if (!created_) return;
    bind(std::nullopt);
    created_ = false;
    enabled_ = false;
}

bool SwayTriggerBinding::setConsumedKey(std::optional<quint16> virtualKeyCode) {
    wanted_ = virtualKeyCode;
    if (!created_) return !virtualKeyCode;
    const auto key = virtualKeyCode ? keyName(*virtualKeyCode) : std::nullopt;
    if (virtualKeyCode && !key) {
        qCWarning(lcInputMonitoring, "The trigger key has no name sway knows; bind the command yourself");
        bind(std::nullopt);
        return false;
    }
    // Bound while monitoring: the tap is enabled right after this when monitoring starts.
    return bind(key);
}

std::optional<QString> SwayTriggerBinding::keyName(quint16 virtualKeyCode) {
    const auto evdev = LinuxKeyCodeTable::evdevCode(virtualKeyCode);
    if (!evdev) return std::nullopt;
    // Trigger keys type nothing, so their names are the same in every layout.
    static const std::shared_ptr<xkb_keymap> keymap = [] {
        xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
        xkb_rule_names names{"evdev", "pc105", "us", "", ""};
        xkb_keymap* compiled =
            context ? xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr;
        if (context) xkb_context_unref(context);
        return std::shared_ptr<xkb_keymap>(compiled, [](xkb_keymap* k) {
            if (k) xkb_keymap_unref(k);
        });
    }();
    if (!keymap) return std::nullopt;
    const xkb_keysym_t* syms = nullptr;
    const int count =
        xkb_keymap_key_get_syms_by_level(keymap.get(), *evdev + LinuxKeyCodeTable::x11KeycodeOffset, 0, 0, &syms);
    if (count < 1) return std::nullopt;
    char name[64];
    if (xkb_keysym_get_name(syms[0], name, sizeof name) <= 0) return std::nullopt;
    return QString::fromLatin1(name);
}

QString SwayTriggerBinding::bindCommand(const QString& keyName, const QString& command) {
    return QStringLiteral("bindsym %1 exec %2").arg(keyName, command);
}

bool SwayTriggerBinding::bind(const std::optional<QString>& key) {
    if (bound_ == key) return true;
    if (bound_) {
        ipc_.command(QStringLiteral("unbindsym %1").arg(*bound_));
        bound_.reset();
    }
    if (!key) return true;
    if (!ipc_.command(bindCommand(*key, command_))) return false;
    bound_ = key;
    qCInfo(lcInputMonitoring, "Trigger bound in sway for this session; to keep it, add to the sway config: %s",
           qUtf8Printable(configurationLine(*key, command_)));
    return true;
}

} // namespace quillo
