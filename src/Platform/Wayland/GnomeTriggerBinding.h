#pragma once

#include "Platform/EventTap.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace quillo {

class GSettingsStore;

// The trigger on GNOME: no program may watch the keyboard, so the key becomes one of GNOME's
// custom keyboard shortcuts (org.gnome.settings-daemon.plugins.media-keys, shown in Settings >
// Keyboard > Keyboard Shortcuts > Custom Shortcuts), named "Quillo", that runs the trigger
// command. It is written while monitoring runs, which the user allowed in onboarding; a
// change of the trigger rewrites it, and stopping removes it. The user's other custom shortcuts
// are left exactly as they were. A modifier trigger cannot be a GNOME shortcut and leaves none.
// This tap sees no key events of its own.
class GnomeTriggerBinding final : public EventTap {
    Q_OBJECT
public:
    static inline const QString schema = QStringLiteral("org.gnome.settings-daemon.plugins.media-keys");
    static inline const QString listKey = QStringLiteral("custom-keybindings");
    static inline const QString entrySchema =
        QStringLiteral("org.gnome.settings-daemon.plugins.media-keys.custom-keybinding");
    static inline const QString entryPath =
        QStringLiteral("/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/quillo/");
    static inline const QString entryName = QStringLiteral("Quillo");

    // `command`: the trigger command as a shell runs it.
    GnomeTriggerBinding(GSettingsStore& settings, QString command, QObject* parent = nullptr);
    ~GnomeTriggerBinding() override;

    bool create() override;
    bool attachToMainLoop() override { return created_; }
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return enabled_; }
    void destroy() override;
    bool setConsumedKey(std::optional<quint16> virtualKeyCode) override;

    // Whether GNOME's shortcut settings are installed.
    static bool isServiceAvailable();
    // GNOME's name of the key ("F8", "Pause"...); none for a key it cannot bind alone.
    static std::optional<QString> accelerator(quint16 virtualKeyCode);
    // The list with our entry added at its end / taken out, every other entry as it was.
    static QStringList withEntry(const QStringList& entries);
    static QStringList withoutEntry(const QStringList& entries);
    // The key bound now; none when none is.
    const std::optional<QString>& boundKey() const { return bound_; }

private:
    bool bind(const std::optional<QString>& key);
    std::optional<QStringList> entries() const;

    GSettingsStore& settings_;
    QString command_;
    bool created_ = false;
    bool enabled_ = false;
    std::optional<quint16> wanted_;
    std::optional<QString> bound_;
};

} // namespace quillo
