#pragma once

#include "Platform/KeystrokeSender.h"

#include <QList>
#include <QSet>
#include <functional>

namespace quillo {

// Records every synthetic keystroke and hands it to the simulated desktop.
class FakeKeystrokeSender final : public KeystrokeSender {
public:
    bool isAvailable() const override { return available; }
    bool post(const SyntheticKeystroke& keystroke) override {
        if (!available || failingKeyCodes.contains(keystroke.keyCode)) return false;
        posted.append(keystroke);
        if (deliver) deliver(keystroke);
        return true;
    }

    // Key-down transitions only, the usual thing to assert on.
    QList<SyntheticKeystroke> keyDowns() const {
        QList<SyntheticKeystroke> downs;
        for (const auto& k : posted)
            if (k.keyDown) downs.append(k);
        return downs;
    }

    bool available = true;
    QSet<quint16> failingKeyCodes;
    QList<SyntheticKeystroke> posted;
    std::function<void(const SyntheticKeystroke&)> deliver;
};

} // namespace quillo
