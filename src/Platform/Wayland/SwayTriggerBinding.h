#pragma once

#include "Platform/EventTap.h"

#include <QString>
#include <optional>

namespace quillo {

class SwayIpc;

// The trigger on sway: no program may watch the keyboard, so the key is bound in sway to the
// trigger command (`bindsym KEY exec quillo --trigger`), which hands the press to the running
// instance. This tap sees no key events of its own; the key it is asked to consume is the one
// it binds. Changing the trigger replaces the binding; a modifier trigger cannot be bound
// alone and leaves none. The binding lasts for the session: `configurationLine` is what keeps
// it across sessions in the user's sway config.
class SwayTriggerBinding final : public EventTap {
    Q_OBJECT
public:
    // `command`: the trigger command as a shell runs it.
    SwayTriggerBinding(SwayIpc& ipc, QString command, QObject* parent = nullptr);
    ~SwayTriggerBinding() override;

    bool create() override;
    bool attachToMainLoop() override { return created_; }
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return enabled_; }
    void destroy() override;
    bool setConsumedKey(std::optional<quint16> virtualKeyCode) override;

    // sway's name of the key ("F8", "Pause"...), from XKB's default keymap; none for a key
    // without one.
    static std::optional<QString> keyName(quint16 virtualKeyCode);
    // "bindsym F8 exec quillo --trigger"
    static QString bindCommand(const QString& keyName, const QString& command);
    // The line for the user's sway config: the binding command itself.
    static QString configurationLine(const QString& keyName, const QString& command) {
        return bindCommand(keyName, command);
    }
    // The key bound now; none when none is.
    const std::optional<QString>& boundKey() const { return bound_; }

private:
    bool bind(const std::optional<QString>& key);

    SwayIpc& ipc_;
    QString command_;
    bool created_ = false;
    bool enabled_ = false;
    std::optional<quint16> wanted_;
    std::optional<QString> bound_;
};

} // namespace quillo
