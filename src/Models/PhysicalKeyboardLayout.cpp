#include "Models/PhysicalKeyboardLayout.h"

#include "Models/VirtualKeyCode.h"

namespace quillo::PhysicalKeyboardLayouts {

QString rawValue(PhysicalKeyboardLayout layout) {
    switch (layout) {
    case PhysicalKeyboardLayout::automatic: return QStringLiteral("automatic");
    case PhysicalKeyboardLayout::azerty: return QStringLiteral("azerty");
    case PhysicalKeyboardLayout::qwerty: return QStringLiteral("qwerty");
    }
    return QStringLiteral("automatic");
}

std::optional<PhysicalKeyboardLayout> fromRawValue(const QString& raw) {
    for (auto layout : allCases)
        if (rawValue(layout) == raw) return layout;
    return std::nullopt;
}

PhysicalKeyboardLayout storedValue(const std::optional<QString>& raw) {
    if (!raw) return PhysicalKeyboardLayout::automatic;
    return fromRawValue(*raw).value_or(PhysicalKeyboardLayout::automatic);
}

QString title(PhysicalKeyboardLayout layout) {
    switch (layout) {
    case PhysicalKeyboardLayout::automatic: return QStringLiteral("Automatic");
    case PhysicalKeyboardLayout::azerty: return QStringLiteral("AZERTY");
    case PhysicalKeyboardLayout::qwerty: return QStringLiteral("QWERTY");
    }
    return {};
}

std::optional<std::uint16_t> shortcutKeyCode(PhysicalKeyboardLayout layout, const QString& character) {
    if (layout == PhysicalKeyboardLayout::automatic) return std::nullopt;
    const QString letter = character.toLower();
    const bool azerty = layout == PhysicalKeyboardLayout::azerty;
    // On AZERTY the A sits where QWERTY has its Q; C and V do not move.
    if (letter == QLatin1String("a")) return azerty ? VirtualKeyCode::q : VirtualKeyCode::a;
    if (letter == QLatin1String("c")) return VirtualKeyCode::c;
    if (letter == QLatin1String("v")) return VirtualKeyCode::v;
    return std::nullopt;
}

} // namespace quillo::PhysicalKeyboardLayouts
