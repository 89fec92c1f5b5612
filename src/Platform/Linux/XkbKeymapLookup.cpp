#include "Platform/Linux/XkbKeymapLookup.h"

#include "Models/VirtualKeyCode.h"
#include "Platform/Linux/LinuxKeyCodeTable.h"

#include <xkbcommon/xkbcommon.h>

namespace quillo {

namespace {

std::shared_ptr<xkb_keymap> share(xkb_keymap* keymap) {
    if (!keymap) return nullptr;
    return std::shared_ptr<xkb_keymap>(keymap, [](xkb_keymap* k) { xkb_keymap_unref(k); });
}

QString keysymText(xkb_keysym_t keysym) {
    const uint32_t scalar = xkb_keysym_to_utf32(keysym);
    // Delete is a key, not text (like the private-use code a Mac reports for it).
    if (scalar == 0 || scalar == 0x7f) return {};
    const char32_t units[] = {static_cast<char32_t>(scalar)};
    return QString::fromUcs4(units, 1);
}

std::optional<quint16> qwertyPosition(QChar letter) {
    static const quint16 positions[26] = {VirtualKeyCode::a, VirtualKeyCode::b, VirtualKeyCode::c, VirtualKeyCode::d,
                                          VirtualKeyCode::e, VirtualKeyCode::f, VirtualKeyCode::g, VirtualKeyCode::h,
                                          VirtualKeyCode::i, VirtualKeyCode::j, VirtualKeyCode::k, VirtualKeyCode::l,
                                          VirtualKeyCode::m, VirtualKeyCode::n, VirtualKeyCode::o, VirtualKeyCode::p,
                                          VirtualKeyCode::q, VirtualKeyCode::r, VirtualKeyCode::s, VirtualKeyCode::t,
                                          VirtualKeyCode::u, VirtualKeyCode::v, VirtualKeyCode::w, VirtualKeyCode::x,
                                          VirtualKeyCode::y, VirtualKeyCode::z};
    const char16_t c = letter.toLower().unicode();
    if (c < u'a' || c > u'z') return std::nullopt;
    return positions[c - u'a'];
}

} // namespace

XkbKeymapLookup::XkbKeymapLookup(xkb_keymap* keymap, quint32 activeGroup) {
    if (keymap) keymap_ = share(xkb_keymap_ref(keymap));
    setActiveGroup(activeGroup);
}

XkbKeymapLookup XkbKeymapLookup::fromNames(const QString& layout, const QString& variant, const QString& model,
                                           quint32 activeGroup) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    if (!context) return XkbKeymapLookup();
    const QByteArray layoutBytes = layout.toUtf8();
    const QByteArray variantBytes = variant.toUtf8();
    const QByteArray modelBytes = model.toUtf8();
    xkb_rule_names names{};
    names.rules = "evdev";
    names.model = modelBytes.constData();
    names.layout = layoutBytes.constData();
    names.variant = variantBytes.constData();
    names.options = "";
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    xkb_context_unref(context);
    XkbKeymapLookup lookup(keymap, activeGroup);
    if (keymap) xkb_keymap_unref(keymap);
    return lookup;
}

quint32 XkbKeymapLookup::groupCount() const { return keymap_ ? xkb_keymap_num_layouts(keymap_.get()) : 0; }

void XkbKeymapLookup::setActiveGroup(quint32 group) {
    const quint32 count = groupCount();
    activeGroup_ = (count == 0 || group < count) ? group : 0;
}

std::optional<QString> XkbKeymapLookup::characters(quint16 virtualKeyCode) const {
    return characters(virtualKeyCode, activeGroup_);
}

std::optional<QString> XkbKeymapLookup::characters(quint16 virtualKeyCode, quint32 group) const {
    if (!keymap_) return std::nullopt;
    const auto evdev = LinuxKeyCodeTable::evdevCode(virtualKeyCode);
    if (!evdev) return std::nullopt;
    const xkb_keycode_t keycode = *evdev + LinuxKeyCodeTable::x11KeycodeOffset;
    xkb_keymap* keymap = keymap_.get();
    if (keycode < xkb_keymap_min_keycode(keymap) || keycode > xkb_keymap_max_keycode(keymap)) return std::nullopt;
    const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap, keycode);
    if (layouts == 0) return std::nullopt;
    // Keys with fewer groups than the keymap wrap around, as the server does.
    const xkb_keysym_t* syms = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(keymap, keycode, group % layouts, 0, &syms);
    QString text;
    for (int i = 0; i < count; ++i) text += keysymText(syms[i]);
    return text;
}

std::optional<quint16> XkbKeymapLookup::keyCodeInGroup(const QString& wanted, quint32 group) const {
    for (quint16 code = 0; code <= 127; ++code) {
        const auto typed = characters(code, group);
        if (typed && !typed->isEmpty() && typed->toLower() == wanted) return code;
    }
    return std::nullopt;
}

std::optional<quint16> XkbKeymapLookup::keyCode(QChar letter) const {
    if (!keymap_) return std::nullopt;
    const QString wanted = QString(letter).toLower();
    if (auto code = keyCodeInGroup(wanted, activeGroup_)) return code;
    for (quint32 group = 0; group < groupCount(); ++group) {
        if (group == activeGroup_) continue;
        if (auto code = keyCodeInGroup(wanted, group)) return code;
    }
    return qwertyPosition(letter);
}

} // namespace quillo
