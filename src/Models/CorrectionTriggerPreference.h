#pragma once

#include "Models/CorrectionTriggerKind.h"
#include "Models/KeyboardEvent.h"

#include <QString>
#include <cstdint>
#include <optional>

namespace quillo {

// The key that starts a correction, as the user chose it.
struct CorrectionTriggerPreference {
    CorrectionTriggerKind kind = CorrectionTriggerKind::modifier;
    std::uint16_t keyCode = 0;
    std::optional<std::uint64_t> modifierFlagRawValue; // the flag bit of a modifier trigger
    QString title;

    bool operator==(const CorrectionTriggerPreference&) const = default;

    // keyCode for a key-down trigger, none for a modifier trigger.
    std::optional<std::uint16_t> keyDownCode() const;
    bool isModifierTrigger() const { return kind == CorrectionTriggerKind::modifier; }
    // "<kind>:<keyCode>:<flag or 0>"; double-tap detection compares identities.
    QString identity() const;
    // Compact JSON {"kind":..,"keyCode":..,"modifierFlagRawValue":..,"title":..} in this key order,
    // the flag omitted when absent and "/" written as "\/".
    QString storageValue() const;
    QString hint() const;

    // The key code matches, or this is the fn / Globe trigger and the flags carry the function bit
    // (that key can arrive with other key codes).
    bool matchesModifierEvent(std::uint16_t eventKeyCode, std::uint64_t modifierFlags) const;
    // Every bit of the trigger's flag is set; false without a (non-zero) flag.
    bool isPressed(std::uint64_t modifierFlags) const;

    // Decodes a stored preference; falls back to the legacy named key, then to fn / Globe.
    static CorrectionTriggerPreference storedValue(const QString& raw, const QString& legacyRawValue);
    // Strict JSON decoding; none when `raw` is not a valid encoded preference.
    static std::optional<CorrectionTriggerPreference> decode(const QString& raw);

    // Turns the key pressed while the settings wait for a new trigger into a preference;
    // none for keys that type text and for events that are not key-down or flag changes.
    static std::optional<CorrectionTriggerPreference> fromCaptureEvent(const KeyboardEvent& event);

    // The rules fromCaptureEvent applies, exposed for the settings and onboarding views.
    static bool producesText(const QString& charactersIgnoringModifiers);
    static std::optional<std::uint64_t> modifierFlag(std::uint16_t keyCode, std::uint64_t modifierFlags);
    static QString modifierTitle(std::uint16_t keyCode, std::uint64_t flag);
    static QString keyTitle(std::uint16_t keyCode, const QString& charactersIgnoringModifiers);
};

} // namespace quillo
