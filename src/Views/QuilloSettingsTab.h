#pragma once

#include "Views/QuilloSymbol.h"

#include <QString>
#include <array>
#include <cstdint>

namespace quillo {

// The settings window's tabs, in order.
enum class QuilloSettingsTab : std::uint8_t { general, history, about };

namespace QuilloSettingsTabs {
inline constexpr std::array<QuilloSettingsTab, 3> allCases{QuilloSettingsTab::general, QuilloSettingsTab::history,
                                                           QuilloSettingsTab::about};
// "General", "History", "About".
QString title(QuilloSettingsTab tab);
QuilloSymbol symbol(QuilloSettingsTab tab);
} // namespace QuilloSettingsTabs

} // namespace quillo
