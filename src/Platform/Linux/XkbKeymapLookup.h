#pragma once

#include <QChar>
#include <QString>
#include <QtGlobal>
#include <memory>
#include <optional>

struct xkb_keymap;

namespace quillo {

// What the keys of one XKB keymap type, in one layout group, without modifiers. Pure: it
// works on any keymap, one read from the X server or one compiled from names.
class XkbKeymapLookup {
public:
    // Takes its own reference on the keymap; a null keymap gives a lookup that answers nothing.
    explicit XkbKeymapLookup(xkb_keymap* keymap = nullptr, quint32 activeGroup = 0);
    // A keymap compiled from rule names ("us", "fr", "us,ru"...); needs the xkb data files.
    static XkbKeymapLookup fromNames(const QString& layout, const QString& variant = {},
                                     const QString& model = QStringLiteral("pc105"), quint32 activeGroup = 0);

    bool isValid() const { return keymap_ != nullptr; }
    xkb_keymap* keymap() const { return keymap_.get(); }
    quint32 groupCount() const;
    quint32 activeGroup() const { return activeGroup_; }
    void setActiveGroup(quint32 group);

    // The characters of the key's first level in the active group; empty for a key that types
    // nothing (function keys, modifiers); none for a key the keymap does not have.
    std::optional<QString> characters(quint16 virtualKeyCode) const;
    std::optional<QString> characters(quint16 virtualKeyCode, quint32 group) const;

    // The key that types `letter` (lower case compared): in the active group first, then in
    // the other groups of the keymap. For a Latin letter no group types (a keymap with only a
    // Cyrillic or Greek layout) the key at that letter's QWERTY position, which is where the
    // toolkits look for their Latin shortcut fallback too.
    std::optional<quint16> keyCode(QChar letter) const;

private:
    std::optional<quint16> keyCodeInGroup(const QString& wanted, quint32 group) const;

    std::shared_ptr<xkb_keymap> keymap_;
    quint32 activeGroup_ = 0;
};

} // namespace quillo
