#pragma once

namespace quillo {

// How far and how long toasts move. Everything is zero when the desktop asks for less motion.
struct AccessibilityMotionPolicy {
    double presentationDuration = 0.0; // seconds
    double presentationOffset = 0.0;   // points
    double dismissalDuration = 0.0;    // seconds
    double dismissalOffset = 0.0;      // points

    static AccessibilityMotionPolicy make(bool reduceMotion) {
        if (reduceMotion) return {};
        return {0.22, 18.0, 0.2, 16.0};
    }
    // Reads the desktop's animation setting (see DesktopMotionSetting).
    static AccessibilityMotionPolicy current();

    bool reducesMotion() const { return presentationDuration <= 0.0 && dismissalDuration <= 0.0; }
    bool operator==(const AccessibilityMotionPolicy&) const = default;
};

} // namespace quillo
