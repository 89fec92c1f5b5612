// The stored trigger settings: the preference's JSON, the legacy named key, the activation and the
// keyboard layout, as the preferences read them. Input: one stored string a line, in that order.
// A decoded preference must survive being stored again.
#include "ClientFuzzSupport.h"

#include "Models/CorrectionTriggerPreference.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Services/KeyboardPreferences.h"

using namespace quillofuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ensureApplication();
    const QString input = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList lines = input.split(QLatin1Char('\n'));

    if (const auto decoded = CorrectionTriggerPreference::decode(lines.value(0))) {
        const auto again = CorrectionTriggerPreference::decode(decoded->storageValue());
        if (!again || *again != *decoded) fail("a stored preference changed when stored again");
        decoded->identity();
        decoded->isPressed(~std::uint64_t(0));
    }

    InMemoryUserDefaults defaults;
    const QString keys[] = {KeyboardSettingsKeys::triggerPreference, KeyboardSettingsKeys::triggerKey,
                            KeyboardSettingsKeys::triggerActivation, KeyboardSettingsKeys::physicalKeyboardLayout};
    for (int i = 0; i < 4 && i < lines.size(); ++i) defaults.setString(keys[i], lines[i]);
    KeyboardPreferences preferences(defaults);
    const CorrectionTriggerPreference preference = preferences.triggerPreference();
    preferences.activation();
    preferences.physicalKeyboardLayout();
    preferences.setTriggerPreference(preference);
    if (preferences.triggerPreference() != preference) fail("the trigger changed when stored again");
    return 0;
}
