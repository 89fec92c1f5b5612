#pragma once

#include "Platform/LocalKeyEventMonitor.h"

#include <QList>
#include <memory>

namespace quillo {

// Tests hand events to the installed handlers and learn whether one swallowed them.
class FakeLocalKeyEventMonitor final : public LocalKeyEventMonitor {
public:
    std::unique_ptr<Installation> install(Handler handler) override {
        auto entry = std::make_shared<Entry>(Entry{std::move(handler)});
        entries_.append(entry);
        return std::make_unique<Token>(this, entry);
    }

    int installedCount() const { return int(entries_.size()); }

    // True when a handler swallowed the event.
    bool deliver(const KeyboardEvent& event) {
        const auto snapshot = entries_;
        for (auto it = snapshot.crbegin(); it != snapshot.crend(); ++it) {
            if (!entries_.contains(*it)) continue;
            if ((*it)->handler(event)) return true;
        }
        return false;
    }
    bool keyDown(std::uint16_t keyCode, std::uint64_t modifierFlags = 0, const QString& characters = {}) {
        KeyboardEvent event;
        event.type = KeyboardEvent::Type::keyDown;
        event.keyCode = keyCode;
        event.modifierFlags = modifierFlags;
        event.charactersIgnoringModifiers = characters;
        return deliver(event);
    }
    bool flagsChanged(std::uint16_t keyCode, std::uint64_t modifierFlags) {
        KeyboardEvent event;
        event.type = KeyboardEvent::Type::flagsChanged;
        event.keyCode = keyCode;
        event.modifierFlags = modifierFlags;
        return deliver(event);
    }

private:
    struct Entry {
        Handler handler;
    };
    class Token final : public Installation {
    public:
        Token(FakeLocalKeyEventMonitor* owner, std::shared_ptr<Entry> entry)
            : owner_(owner), entry_(std::move(entry)) {}
        ~Token() override { owner_->entries_.removeAll(entry_); }

    private:
        FakeLocalKeyEventMonitor* owner_;
        std::shared_ptr<Entry> entry_;
    };

    QList<std::shared_ptr<Entry>> entries_;
};

} // namespace quillo
