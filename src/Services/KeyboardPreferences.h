#pragma once

#include "Models/CorrectionTriggerActivation.h"
#include "Models/CorrectionTriggerKey.h"
#include "Models/CorrectionTriggerPreference.h"
#include "Models/PhysicalKeyboardLayout.h"

#include <QString>

namespace quillo {

class UserDefaults;

// User-defaults keys of the trigger and layout settings.
namespace KeyboardSettingsKeys {
inline const QString triggerPreference = QStringLiteral("correctionTriggerPreference");
inline const QString triggerKey = QStringLiteral("correctionTriggerKey"); // legacy named key
inline const QString triggerActivation = QStringLiteral("correctionTriggerActivation");
inline const QString physicalKeyboardLayout = QStringLiteral("physicalKeyboardLayout");
} // namespace KeyboardSettingsKeys

// Reads and writes the trigger and layout settings. Reads are cheap and are repeated at every
// key event, so a change in the settings window applies to the next press.
class KeyboardPreferences {
public:
    explicit KeyboardPreferences(UserDefaults& defaults) : defaults_(defaults) {}

    // The stored preference, else the legacy named key, else fn / Globe.
    CorrectionTriggerPreference triggerPreference() const;
    void setTriggerPreference(const CorrectionTriggerPreference& preference);

    CorrectionTriggerActivation activation() const;
    void setActivation(CorrectionTriggerActivation activation);

    PhysicalKeyboardLayout physicalKeyboardLayout() const;
    void setPhysicalKeyboardLayout(PhysicalKeyboardLayout layout);

private:
    UserDefaults& defaults_;
};

} // namespace quillo
