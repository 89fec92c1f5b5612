#pragma once

#include <QChar>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace quillo {

// The active keyboard layout: which characters each key types.
class KeyboardLayout {
public:
    virtual ~KeyboardLayout() = default;
    // Whether the active layout could be read at all.
    virtual bool isAvailable() const = 0;
    // The characters the key (macOS virtual-key numbering) types with no modifier, from a
    // fresh dead-key state; none when the translation fails.
    virtual std::optional<QString> characters(quint16 keyCode) const = 0;
    // The key that types `character` (compared in lower case). The default scans key codes
    // 0 to 127 in order and takes the first match; an implementation may answer directly.
    virtual std::optional<quint16> keyCode(QChar character) const;
};

} // namespace quillo
