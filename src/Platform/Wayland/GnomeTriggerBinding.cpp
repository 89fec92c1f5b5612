#include "Platform/Wayland/GnomeTriggerBinding.h"

#include "Platform/Wayland/GSettingsStore.h"
#include "Platform/Wayland/SwayTriggerBinding.h"
#include "Support/Logging.h"

namespace quillo {

GnomeTriggerBinding::GnomeTriggerBinding(GSettingsStore& settings, QString command, QObject* parent)
    : EventTap(parent), settings_(settings), command_(std::move(command)) {}

GnomeTriggerBinding::~GnomeTriggerBinding() { destroy(); }

bool GnomeTriggerBinding::isServiceAvailable() {
    // Asked at each trust check; installed schemas do not change while Quillo runs.
    static const bool available = GSettingsTool().hasSchema(schema);
    return available;
}

std::optional<QString> GnomeTriggerBinding::accelerator(quint16 virtualKeyCode) {
    // GNOME's accelerators name keys as XKB does. A modifier alone is no shortcut to GNOME, and
    // Caps Lock and Num Lock would lock as well.
    auto name = SwayTriggerBinding::keyName(virtualKeyCode);
    if (!name) return std::nullopt;
    static const QStringList modifierPrefixes{
        QStringLiteral("Shift_"), QStringLiteral("Control_"), QStringLiteral("Alt_"),     QStringLiteral("Super_"),
        QStringLiteral("Meta_"),  QStringLiteral("Hyper_"),   QStringLiteral("ISO_Level")};
    for (const QString& prefix : modifierPrefixes)
        if (name->startsWith(prefix)) return std::nullopt;
    if (*name == QLatin1String("Caps_Lock") || *name == QLatin1String("Num_Lock") ||
        *name == QLatin1String("Mode_switch"))
        return std::nullopt;
    return name;
}

QStringList GnomeTriggerBinding::withEntry(const QStringList& entries) {
    if (entries.contains(entryPath)) return entries;
    QStringList result = entries;
    result.append(entryPath);
    return result;
}

QStringList GnomeTriggerBinding::withoutEntry(const QStringList& entries) {
    QStringList result = entries;
    result.removeAll(entryPath);
    return result;
}

bool GnomeTriggerBinding::create() {
    created_ = settings_.hasSchema(schema);
    if (!created_) qCWarning(lcInputMonitoring, "GNOME's shortcut settings are missing; the trigger cannot be bound");
    return created_;
}

void GnomeTriggerBinding::setEnabled(bool enabled) {
    if (!created_ || enabled_ == enabled) return;
    enabled_ = enabled;
    bind(enabled_ && wanted_ ? accelerator(*wanted_) : std::nullopt);
}

void GnomeTriggerBinding::destroy() {
    if (!created_) return;
    bind(std::nullopt);
    created_ = false;
    enabled_ = false;
}

bool GnomeTriggerBinding::setConsumedKey(std::optional<quint16> virtualKeyCode) {
    wanted_ = virtualKeyCode;
    if (!created_) return !virtualKeyCode;
    const auto key = virtualKeyCode ? accelerator(*virtualKeyCode) : std::nullopt;
    if (virtualKeyCode && !key) {
        qCWarning(lcInputMonitoring, "The trigger key cannot be a GNOME shortcut alone; bind the command yourself");
        bind(std::nullopt);
        return false;
    }
    // Bound while monitoring: the tap is enabled right after this when monitoring starts.
    return bind(key);
}

std::optional<QStringList> GnomeTriggerBinding::entries() const {
    const auto text = settings_.value(schema, QString(), listKey);
    return text ? GVariantText::parseStringArray(*text) : std::nullopt;
}

bool GnomeTriggerBinding::bind(const std::optional<QString>& key) {
    if (bound_ == key) return true;
    const auto list = entries();
    if (!list) {
        // Unreadable: writing a list back could drop the user's own shortcuts.
        qCWarning(lcInputMonitoring, "GNOME's custom shortcuts could not be read; the trigger is left unbound");
        return false;
    }
    if (!key) {
        if (list->contains(entryPath))
            settings_.setValue(schema, QString(), listKey, GVariantText::stringArray(withoutEntry(*list)));
        for (const QString& name : {QStringLiteral("binding"), QStringLiteral("command"), QStringLiteral("name")})
            settings_.reset(entrySchema, entryPath, name);
        bound_.reset();
        return true;
    }
    const bool written =
        settings_.setValue(entrySchema, entryPath, QStringLiteral("name"), GVariantText::string(entryName)) &&
        settings_.setValue(entrySchema, entryPath, QStringLiteral("command"), GVariantText::string(command_)) &&
        settings_.setValue(entrySchema, entryPath, QStringLiteral("binding"), GVariantText::string(*key)) &&
        (list->contains(entryPath) ||
         settings_.setValue(schema, QString(), listKey, GVariantText::stringArray(withEntry(*list))));
    if (!written) {
        qCWarning(lcInputMonitoring, "GNOME refused the trigger's custom shortcut");
        return false;
    }
    bound_ = key;
    qCInfo(lcInputMonitoring, "Trigger bound as GNOME's custom shortcut \"Quillo\" (%s)", qUtf8Printable(*key));
    return true;
}

} // namespace quillo
