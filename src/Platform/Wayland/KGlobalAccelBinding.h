#pragma once

#include "Platform/EventTap.h"

#include <QList>
#include <QStringList>
#include <optional>

class QDBusMessage;

namespace quillo {

// The trigger on KDE Plasma: no program may watch the keyboard, so the key is registered with
// the desktop's global shortcut service (kglobalaccel, over D-Bus) as the default key of a
// Quillo action, and a press arrives as that action's globalShortcutPressed signal, which
// `triggered` passes on. The user may give the action another key in System Settings >
// Shortcuts; that choice is kept at each start. A change of the trigger in Quillo's settings
// replaces the key (the old one is released); a modifier trigger cannot be a shortcut alone and
// leaves the action inactive, its key free. This tap sees no key events of its own.
class KGlobalAccelBinding final : public EventTap {
    Q_OBJECT
public:
    static inline const QString componentName = QStringLiteral("quillo");
    static inline const QString actionName = QStringLiteral("correct-focused-text");

    explicit KGlobalAccelBinding(QObject* parent = nullptr);
    ~KGlobalAccelBinding() override;

    bool create() override;
    bool attachToMainLoop() override { return created_; }
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return enabled_; }
    void destroy() override;
    bool setConsumedKey(std::optional<quint16> virtualKeyCode) override;

    // Whether the shortcut service answers on the session bus.
    static bool isServiceAvailable();
    // The Qt key kglobalaccel stores for the key (Qt::Key_F8...); none for a key it cannot take.
    static std::optional<int> qtKey(quint16 virtualKeyCode);
    // The keys the action has now, as kglobalaccel answers (the user's own choice included).
    const QList<int>& activeKeys() const { return active_; }

signals:
    void triggered();

private slots:
    void shortcutPressed(const QString& component, const QString& action, qlonglong timestamp);

private: // NOLINT(readability-redundant-access-specifiers): ends the slots section for moc
    static QStringList actionId();
    bool setKeys(const QList<int>& keys, bool replaceUserChoice);
    void release();

    QString componentPath_;
    bool created_ = false;
    bool enabled_ = false;
    std::optional<int> registered_;
    QList<int> active_;
};

} // namespace quillo
