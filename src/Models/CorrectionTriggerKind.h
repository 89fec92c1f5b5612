#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace quillo {

// How a trigger is observed: a key that sends key-down events, or a modifier seen through
// modifier-flag changes.
enum class CorrectionTriggerKind : std::uint8_t { keyDown, modifier };

namespace CorrectionTriggerKinds {
inline constexpr std::array<CorrectionTriggerKind, 2> allCases{CorrectionTriggerKind::keyDown,
                                                               CorrectionTriggerKind::modifier};
QString rawValue(CorrectionTriggerKind kind);
std::optional<CorrectionTriggerKind> fromRawValue(const QString& raw);
} // namespace CorrectionTriggerKinds

} // namespace quillo
