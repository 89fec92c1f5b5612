#include "Models/CorrectionTriggerKey.h"

#include "Models/ModifierFlags.h"
#include "Models/VirtualKeyCode.h"

namespace quillo::CorrectionTriggerKeys {

QString rawValue(CorrectionTriggerKey key) {
    switch (key) {
    case CorrectionTriggerKey::functionGlobe: return QStringLiteral("functionGlobe");
    case CorrectionTriggerKey::rightOption: return QStringLiteral("rightOption");
    case CorrectionTriggerKey::rightCommand: return QStringLiteral("rightCommand");
    case CorrectionTriggerKey::f6: return QStringLiteral("f6");
    case CorrectionTriggerKey::f7: return QStringLiteral("f7");
    case CorrectionTriggerKey::f8: return QStringLiteral("f8");
    case CorrectionTriggerKey::f9: return QStringLiteral("f9");
    }
    return QStringLiteral("functionGlobe");
}

std::optional<CorrectionTriggerKey> fromRawValue(const QString& raw) {
    for (auto key : allCases)
        if (rawValue(key) == raw) return key;
    return std::nullopt;
}

CorrectionTriggerKey storedValue(const QString& raw) {
    return fromRawValue(raw).value_or(CorrectionTriggerKey::functionGlobe);
}

QString title(CorrectionTriggerKey key) {
    switch (key) {
    case CorrectionTriggerKey::functionGlobe: return QStringLiteral("fn / globe");
    case CorrectionTriggerKey::rightOption: return QStringLiteral("Right Option");
    case CorrectionTriggerKey::rightCommand: return QStringLiteral("Right Command");
    case CorrectionTriggerKey::f6: return QStringLiteral("F6");
    case CorrectionTriggerKey::f7: return QStringLiteral("F7");
    case CorrectionTriggerKey::f8: return QStringLiteral("F8");
    case CorrectionTriggerKey::f9: return QStringLiteral("F9");
    }
    return {};
}

CorrectionTriggerKind kind(CorrectionTriggerKey key) {
    switch (key) {
    case CorrectionTriggerKey::functionGlobe:
    case CorrectionTriggerKey::rightOption:
    case CorrectionTriggerKey::rightCommand: return CorrectionTriggerKind::modifier;
    default: return CorrectionTriggerKind::keyDown;
    }
}

std::uint16_t keyCode(CorrectionTriggerKey key) {
    switch (key) {
    case CorrectionTriggerKey::functionGlobe: return VirtualKeyCode::function;
    case CorrectionTriggerKey::rightOption: return VirtualKeyCode::rightOption;
    case CorrectionTriggerKey::rightCommand: return VirtualKeyCode::rightCommand;
    case CorrectionTriggerKey::f6: return VirtualKeyCode::f6;
    case CorrectionTriggerKey::f7: return VirtualKeyCode::f7;
    case CorrectionTriggerKey::f8: return VirtualKeyCode::f8;
    case CorrectionTriggerKey::f9: return VirtualKeyCode::f9;
    }
    return VirtualKeyCode::function;
}

std::optional<std::uint64_t> modifierFlag(CorrectionTriggerKey key) {
    switch (key) {
    case CorrectionTriggerKey::functionGlobe: return ModifierFlags::function;
    case CorrectionTriggerKey::rightOption: return ModifierFlags::option;
    case CorrectionTriggerKey::rightCommand: return ModifierFlags::command;
    default: return std::nullopt;
    }
}

std::optional<std::uint16_t> keyDownCode(CorrectionTriggerKey key) {
    if (kind(key) == CorrectionTriggerKind::keyDown) return keyCode(key);
    return std::nullopt;
}

CorrectionTriggerPreference preference(CorrectionTriggerKey key) {
    return CorrectionTriggerPreference{kind(key), keyCode(key), modifierFlag(key), title(key)};
}

} // namespace quillo::CorrectionTriggerKeys
