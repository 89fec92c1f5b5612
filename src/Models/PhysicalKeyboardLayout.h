#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace quillo {

// Which physical keys carry the Select All, Copy and Paste letters.
enum class PhysicalKeyboardLayout : std::uint8_t { automatic, azerty, qwerty };

namespace PhysicalKeyboardLayouts {
inline constexpr std::array<PhysicalKeyboardLayout, 3> allCases{
    PhysicalKeyboardLayout::automatic, PhysicalKeyboardLayout::azerty, PhysicalKeyboardLayout::qwerty};
QString rawValue(PhysicalKeyboardLayout layout);
inline QString id(PhysicalKeyboardLayout layout) { return rawValue(layout); }
std::optional<PhysicalKeyboardLayout> fromRawValue(const QString& raw);
// Anything but the three raw values reads as automatic.
PhysicalKeyboardLayout storedValue(const std::optional<QString>& raw);
QString title(PhysicalKeyboardLayout layout);
// Key code of the shortcut letter a, c or v (any case); none for other letters and for
// automatic, which the insertion engine resolves from the active input source.
std::optional<std::uint16_t> shortcutKeyCode(PhysicalKeyboardLayout layout, const QString& character);
inline std::optional<std::uint16_t> shortcutKeyCode(PhysicalKeyboardLayout layout, QChar character) {
    return shortcutKeyCode(layout, QString(character));
}
} // namespace PhysicalKeyboardLayouts

} // namespace quillo
