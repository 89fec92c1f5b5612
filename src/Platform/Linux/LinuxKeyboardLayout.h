#pragma once

#include "Platform/KeyboardLayout.h"
#include "Platform/Linux/XkbKeymapLookup.h"

#include <QObject>
#include <memory>

struct xcb_connection_t;
class QSocketNotifier;

namespace quillo {

// The keymap of the X server's core keyboard through XKB (xkbcommon-x11 on a connection of its
// own). The keymap is read again when the server announces a new keyboard or map, and the
// active group follows the server's group state, so a layout switch is seen at the next call.
class LinuxKeyboardLayout final : public QObject, public KeyboardLayout {
    Q_OBJECT
public:
    // Connects to the display named by DISPLAY; unavailable when that fails.
    explicit LinuxKeyboardLayout(QObject* parent = nullptr);
    ~LinuxKeyboardLayout() override;

    bool isAvailable() const override;
    std::optional<QString> characters(quint16 keyCode) const override;
    std::optional<quint16> keyCode(QChar character) const override;

    quint32 activeGroup() const;

private:
    void processPendingEvents() const;
    void reloadKeymap() const;

    xcb_connection_t* connection_ = nullptr;
    qint32 deviceId_ = -1;
    quint8 firstXkbEvent_ = 0;
    struct Xkb;
    std::unique_ptr<Xkb> xkb_;
    mutable XkbKeymapLookup lookup_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace quillo
