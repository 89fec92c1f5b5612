#pragma once

namespace quillo {

// What the desktop's autostart says about this application.
// requiresApproval: our autostart entry exists but the desktop's startup settings turned it off.
// notFound: the entry points at a program that no longer exists.
enum class LaunchAtLoginStatus { notRegistered, enabled, requiresApproval, notFound };

} // namespace quillo
