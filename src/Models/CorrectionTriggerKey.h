#pragma once

#include "Models/CorrectionTriggerPreference.h"

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace quillo {

// The named triggers of earlier versions, still read from "correctionTriggerKey".
enum class CorrectionTriggerKey : std::uint8_t { functionGlobe, rightOption, rightCommand, f6, f7, f8, f9 };

namespace CorrectionTriggerKeys {
inline constexpr std::array<CorrectionTriggerKey, 7> allCases{CorrectionTriggerKey::functionGlobe,
                                                              CorrectionTriggerKey::rightOption,
                                                              CorrectionTriggerKey::rightCommand,
                                                              CorrectionTriggerKey::f6,
                                                              CorrectionTriggerKey::f7,
                                                              CorrectionTriggerKey::f8,
                                                              CorrectionTriggerKey::f9};
QString rawValue(CorrectionTriggerKey key);
std::optional<CorrectionTriggerKey> fromRawValue(const QString& raw);
// The named key, functionGlobe for anything else.
CorrectionTriggerKey storedValue(const QString& raw);
QString title(CorrectionTriggerKey key);
CorrectionTriggerKind kind(CorrectionTriggerKey key);
std::uint16_t keyCode(CorrectionTriggerKey key);
std::optional<std::uint64_t> modifierFlag(CorrectionTriggerKey key);
// The key code for the function keys, none for the modifiers.
std::optional<std::uint16_t> keyDownCode(CorrectionTriggerKey key);
CorrectionTriggerPreference preference(CorrectionTriggerKey key);
} // namespace CorrectionTriggerKeys

} // namespace quillo
