#pragma once

#include "Platform/EventTap.h"

#include <QList>

namespace quillo {

// An in-memory keyboard tap that tests drive: it can refuse to be created or attached,
// records every enable and disable, and delivers events only while it is attached and enabled,
// as a real tap would.
class FakeEventTap final : public EventTap {
public:
    using EventTap::EventTap;

    bool create() override {
        ++createCount;
        if (refuseCreate) return false;
        created_ = true;
        return true;
    }
    bool attachToMainLoop() override {
        ++attachCount;
        if (refuseAttach || !created_) return false;
        attached_ = true;
        return true;
    }
    void setEnabled(bool enabled) override {
        enabled_ = enabled;
        enableHistory.append(enabled);
    }
    bool isEnabled() const override { return enabled_; }
    void destroy() override {
        ++destroyCount;
        created_ = false;
        attached_ = false;
        enabled_ = false;
    }

    bool setConsumedKey(std::optional<quint16> virtualKeyCode) override {
        if (virtualKeyCode && (refuseConsume || !created_)) {
            consumedKey.reset();
            return false;
        }
        consumedKey = virtualKeyCode;
        return true;
    }

    bool isCreated() const { return created_; }
    bool isAttached() const { return attached_; }
    bool isLive() const { return created_ && attached_ && enabled_; }

    // Delivers `event` when the tap is live; returns whether it was delivered.
    bool deliver(const KeyboardEvent& event) {
        if (!isLive()) return false;
        emit keyEvent(event);
        return true;
    }
    bool keyDown(std::uint16_t keyCode, std::uint64_t modifierFlags = 0) {
        KeyboardEvent event;
        event.type = KeyboardEvent::Type::keyDown;
        event.keyCode = keyCode;
        event.modifierFlags = modifierFlags;
        return deliver(event);
    }
    bool flagsChanged(std::uint16_t keyCode, std::uint64_t modifierFlags) {
        KeyboardEvent event;
        event.type = KeyboardEvent::Type::flagsChanged;
        event.keyCode = keyCode;
        event.modifierFlags = modifierFlags;
        return deliver(event);
    }
    // The desktop stops delivering because the consumer was too slow.
    void timeOut() {
        if (!created_) return;
        enabled_ = false;
        emit disabledByTimeout();
    }

    bool refuseCreate = false;
    bool refuseAttach = false;
    bool refuseConsume = false;
    std::optional<quint16> consumedKey; // the key the desktop hands to this tap alone
    int createCount = 0;
    int attachCount = 0;
    int destroyCount = 0;
    QList<bool> enableHistory;

private:
    bool created_ = false;
    bool attached_ = false;
    bool enabled_ = false;
};

} // namespace quillo
