#include "Platform/Wayland/RemoteDesktopKeyboard.h"

#include "Platform/Linux/LinuxKeyCodeTable.h"
#include "Platform/Wayland/KWinFakeInput.h"
#include "Platform/Wayland/RemoteDesktopChannels.h"
#include "Platform/Wayland/WaylandConnection.h"

#include <xkbcommon/xkbcommon.h>

namespace quillo {

RemoteDesktopKeyboard::RemoteDesktopKeyboard(WaylandConnection& connection, std::function<RemoteKeyChannel*()> channel,
                                             QObject* parent)
    : QObject(parent), connection_(connection), channel_(std::move(channel)) {
    context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    adoptSeatKeymap();
    connect(&connection_, &WaylandConnection::seatKeymapChanged, this, &RemoteDesktopKeyboard::adoptSeatKeymap);
}

RemoteDesktopKeyboard::~RemoteDesktopKeyboard() {
    releaseHeld();
    if (context_) xkb_context_unref(context_);
}

void RemoteDesktopKeyboard::adoptSeatKeymap() {
    const QByteArray& text = connection_.seatKeymap();
    if (text.isEmpty() || !context_) return;
    xkb_keymap* keymap =
        xkb_keymap_new_from_string(context_, text.constData(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap) return;
    lookup_ = XkbKeymapLookup(keymap, 0);
    xkb_keymap_unref(keymap);
}

const XkbKeymapLookup& RemoteDesktopKeyboard::lookup() const {
    if (activeGroup_ && lookup_.isValid()) {
        const auto group = activeGroup_();
        lookup_.setActiveGroup(group && *group < lookup_.groupCount() ? *group : 0);
    }
    return lookup_;
}

void RemoteDesktopKeyboard::releaseHeld() {
    // Never leave a modifier down in the user's session.
    RemoteKeyChannel* channel = channel_ ? channel_() : nullptr;
    if (channel && channel->canSendKeys())
        for (qsizetype i = held_.size() - 1; i >= 0; --i) channel->notifyKeycode(held_[i], false);
    held_.clear();
}

bool RemoteDesktopKeyboard::isAvailable() const {
    const RemoteKeyChannel* channel = channel_ ? channel_() : nullptr;
    return channel && channel->canSendKeys() && lookup_.isValid();
}

bool RemoteDesktopKeyboard::post(const SyntheticKeystroke& keystroke) {
    RemoteKeyChannel* channel = channel_ ? channel_() : nullptr;
    if (!channel || !channel->canSendKeys()) return false;
    const auto evdev = LinuxKeyCodeTable::evdevCode(keystroke.keyCode);
    if (!evdev) return false;
    const QList<quint32> modifiers = KWinFakeInput::modifierKeys(keystroke.modifierFlags);
    bool ok = true;
    if (keystroke.keyDown) {
        for (quint32 modifier : modifiers) {
            ok = channel->notifyKeycode(modifier, true) && ok;
            held_.append(modifier);
        }
        ok = channel->notifyKeycode(*evdev, true) && ok;
    } else {
        ok = channel->notifyKeycode(*evdev, false) && ok;
        for (qsizetype i = modifiers.size() - 1; i >= 0; --i) {
            ok = channel->notifyKeycode(modifiers[i], false) && ok;
            held_.removeOne(modifiers[i]);
        }
    }
    // Answered in order; the steps that follow wait for the application itself, as everywhere.
    return ok;
}

} // namespace quillo
