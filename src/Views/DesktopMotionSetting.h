#pragma once

#include <QString>
#include <optional>

namespace quillo {

// The desktop's "reduce animations" choice. GNOME-style desktops keep it in the
// org.gnome.desktop.interface enable-animations key, KDE as an animation speed factor of 0.
// QUILLO_REDUCE_MOTION=1/0 overrides both (kiosks, screenshots, tests).
namespace DesktopMotionSetting {

// Read once per process and cached; false when nothing says otherwise.
bool reduceMotion();

// The pieces, for tests: each gives none when it has no opinion.
std::optional<bool> fromOverride(const QString& value);
std::optional<bool> fromGnomeEnableAnimations(const QString& gsettingsOutput);
std::optional<bool> fromKdeGlobals(const QString& kdeglobalsPath);

} // namespace DesktopMotionSetting

} // namespace quillo
