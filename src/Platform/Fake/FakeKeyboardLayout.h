#pragma once

#include "Platform/KeyboardLayout.h"

#include <QHash>

namespace quillo {

// A keyboard layout over the virtual-key numbering of an ANSI keyboard.
class FakeKeyboardLayout final : public KeyboardLayout {
public:
    static FakeKeyboardLayout qwerty();
    // French AZERTY: A and Q, Z and W swap places, M moves next to L.
    static FakeKeyboardLayout azerty();

    bool isAvailable() const override { return available; }
    std::optional<QString> characters(quint16 keyCode) const override {
        if (!available) return std::nullopt;
        auto it = keys_.find(keyCode);
        if (it == keys_.end()) return std::nullopt;
        return *it;
    }

    void setKey(quint16 keyCode, const QString& characters) { keys_.insert(keyCode, characters); }
    bool available = true;

private:
    QHash<quint16, QString> keys_;
};

} // namespace quillo
