#include "Services/KeyboardPreferences.h"

#include "Platform/UserDefaults.h"

namespace quillo {

CorrectionTriggerPreference KeyboardPreferences::triggerPreference() const {
    return CorrectionTriggerPreference::storedValue(
        defaults_.string(KeyboardSettingsKeys::triggerPreference, QString()),
        defaults_.string(KeyboardSettingsKeys::triggerKey, QStringLiteral("functionGlobe")));
}

void KeyboardPreferences::setTriggerPreference(const CorrectionTriggerPreference& preference) {
    defaults_.setString(KeyboardSettingsKeys::triggerPreference, preference.storageValue());
}

CorrectionTriggerActivation KeyboardPreferences::activation() const {
    return CorrectionTriggerActivations::storedValue(
        defaults_.string(KeyboardSettingsKeys::triggerActivation, QStringLiteral("singlePress")));
}

void KeyboardPreferences::setActivation(CorrectionTriggerActivation activation) {
    defaults_.setString(KeyboardSettingsKeys::triggerActivation, CorrectionTriggerActivations::rawValue(activation));
}

PhysicalKeyboardLayout KeyboardPreferences::physicalKeyboardLayout() const {
    return PhysicalKeyboardLayouts::storedValue(defaults_.string(KeyboardSettingsKeys::physicalKeyboardLayout));
}

void KeyboardPreferences::setPhysicalKeyboardLayout(PhysicalKeyboardLayout layout) {
    defaults_.setString(KeyboardSettingsKeys::physicalKeyboardLayout, PhysicalKeyboardLayouts::rawValue(layout));
}

} // namespace quillo
