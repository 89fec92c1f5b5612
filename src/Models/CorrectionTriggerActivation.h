#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace quillo {

// How the trigger must be pressed.
enum class CorrectionTriggerActivation : std::uint8_t { singlePress, doubleTap };

namespace CorrectionTriggerActivations {
inline constexpr std::array<CorrectionTriggerActivation, 2> allCases{CorrectionTriggerActivation::singlePress,
                                                                     CorrectionTriggerActivation::doubleTap};
QString rawValue(CorrectionTriggerActivation activation);
inline QString id(CorrectionTriggerActivation activation) { return rawValue(activation); }
std::optional<CorrectionTriggerActivation> fromRawValue(const QString& raw);
// doubleTap for "doubleTap", singlePress for anything else.
CorrectionTriggerActivation storedValue(const QString& raw);
QString title(CorrectionTriggerActivation activation);
QString hint(CorrectionTriggerActivation activation);
} // namespace CorrectionTriggerActivations

} // namespace quillo
