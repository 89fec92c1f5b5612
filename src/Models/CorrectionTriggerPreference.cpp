#include "Models/CorrectionTriggerPreference.h"

#include "Models/CorrectionTriggerKey.h"
#include "Models/ModifierFlags.h"
#include "Models/VirtualKeyCode.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <cmath>
#include <limits>

namespace quillo {

namespace {

// JSON string literal in the form the stored settings have always used: "/" escaped,
// short escapes for the common control characters, everything else verbatim except a surrogate
// without its other half: UTF-8 has no form for it, so it is escaped to survive the settings file.
void appendJSONString(QString& out, const QString& text) {
    out += QLatin1Char('"');
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += ch;
            out += text.at(++i);
            continue;
        }
        const char16_t u = ch.unicode();
        switch (u) {
        case u'"': out += QLatin1String("\\\""); break;
        case u'\\': out += QLatin1String("\\\\"); break;
        case u'/': out += QLatin1String("\\/"); break;
        case u'\b': out += QLatin1String("\\b"); break;
        case u'\f': out += QLatin1String("\\f"); break;
        case u'\n': out += QLatin1String("\\n"); break;
        case u'\r': out += QLatin1String("\\r"); break;
        case u'\t': out += QLatin1String("\\t"); break;
        default:
            if (u < 0x20 || ch.isSurrogate()) {
                out += QStringLiteral("\\u%1").arg(static_cast<uint>(u), 4, 16, QLatin1Char('0'));
            } else {
                out += ch;
            }
        }
    }
    out += QLatin1Char('"');
}

// A JSON number that is a whole, non-negative value no larger than `max`.
std::optional<std::uint64_t> wholeNumber(const QJsonValue& value, std::uint64_t max) {
    if (!value.isDouble()) return std::nullopt;
    const double d = value.toDouble();
    if (!(d >= 0) || d != std::trunc(d) || d >= 9223372036854775808.0) return std::nullopt;
    const qint64 i = value.toInteger(-1);
    if (i < 0 || static_cast<std::uint64_t>(i) > max) return std::nullopt;
    return static_cast<std::uint64_t>(i);
}

// Control characters and the private-use range where function keys report their "characters".
bool isNonPrintingKeyScalar(char32_t scalar) {
    return scalar < 0x20 || scalar == 0x7F || (scalar >= 0xF700 && scalar <= 0xF8FF);
}

} // namespace

std::optional<std::uint16_t> CorrectionTriggerPreference::keyDownCode() const {
    if (kind == CorrectionTriggerKind::keyDown) return keyCode;
    return std::nullopt;
}

QString CorrectionTriggerPreference::identity() const {
    return CorrectionTriggerKinds::rawValue(kind) + QLatin1Char(':') + QString::number(keyCode) + QLatin1Char(':') +
           QString::number(modifierFlagRawValue.value_or(0));
}

QString CorrectionTriggerPreference::storageValue() const {
    QString out = QStringLiteral("{\"kind\":");
    appendJSONString(out, CorrectionTriggerKinds::rawValue(kind));
    out += QStringLiteral(",\"keyCode\":") + QString::number(keyCode);
    if (modifierFlagRawValue)
        out += QStringLiteral(",\"modifierFlagRawValue\":") + QString::number(*modifierFlagRawValue);
    out += QStringLiteral(",\"title\":");
    appendJSONString(out, title);
    out += QLatin1Char('}');
    return out;
}

QString CorrectionTriggerPreference::hint() const {
    return isModifierTrigger() ? QStringLiteral("Use a short press without combining it with another shortcut.")
                               : QStringLiteral("Use a dedicated non-typing key.");
}

bool CorrectionTriggerPreference::matchesModifierEvent(std::uint16_t eventKeyCode, std::uint64_t modifierFlags) const {
    if (eventKeyCode == keyCode) return true;
    return modifierFlagRawValue == ModifierFlags::function && (modifierFlags & ModifierFlags::function) != 0;
}

bool CorrectionTriggerPreference::isPressed(std::uint64_t modifierFlags) const {
    // A zero flag would read as "always pressed"; treat it like no flag.
    if (!modifierFlagRawValue || *modifierFlagRawValue == 0) return false;
    return (modifierFlags & *modifierFlagRawValue) == *modifierFlagRawValue;
}

std::optional<CorrectionTriggerPreference> CorrectionTriggerPreference::decode(const QString& raw) {
    if (raw.isEmpty()) return std::nullopt;
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(raw.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    const QJsonObject object = document.object();

    const QJsonValue kindValue = object.value(QLatin1String("kind"));
    if (!kindValue.isString()) return std::nullopt;
    const auto kind = CorrectionTriggerKinds::fromRawValue(kindValue.toString());
    if (!kind) return std::nullopt;

    const auto keyCode = wholeNumber(object.value(QLatin1String("keyCode")), std::numeric_limits<std::uint16_t>::max());
    if (!keyCode) return std::nullopt;

    std::optional<std::uint64_t> flag;
    const QJsonValue flagValue = object.value(QLatin1String("modifierFlagRawValue"));
    if (!flagValue.isUndefined() && !flagValue.isNull()) {
        flag = wholeNumber(flagValue, std::numeric_limits<std::uint64_t>::max());
        if (!flag) return std::nullopt;
    }

    const QJsonValue titleValue = object.value(QLatin1String("title"));
    if (!titleValue.isString()) return std::nullopt;

    return CorrectionTriggerPreference{*kind, static_cast<std::uint16_t>(*keyCode), flag, titleValue.toString()};
}

CorrectionTriggerPreference CorrectionTriggerPreference::storedValue(const QString& raw,
                                                                     const QString& legacyRawValue) {
    if (auto decoded = decode(raw)) return *decoded;
    return CorrectionTriggerKeys::preference(CorrectionTriggerKeys::storedValue(legacyRawValue));
}

bool CorrectionTriggerPreference::producesText(const QString& characters) {
    for (const char32_t scalar : characters.toUcs4())
        if (scalar >= 0x20 && scalar <= 0xF6FF) return true;
    return false;
}

std::optional<std::uint64_t> CorrectionTriggerPreference::modifierFlag(std::uint16_t keyCode, std::uint64_t flags) {
    switch (keyCode) {
    case VirtualKeyCode::rightCommand:
    case VirtualKeyCode::command: return ModifierFlags::command;
    case VirtualKeyCode::shift:
    case VirtualKeyCode::rightShift: return ModifierFlags::shift;
    case VirtualKeyCode::capsLock: return ModifierFlags::capsLock;
    case VirtualKeyCode::option:
    case VirtualKeyCode::rightOption: return ModifierFlags::option;
    case VirtualKeyCode::control:
    case VirtualKeyCode::rightControl: return ModifierFlags::control;
    default: break;
    }
    for (const std::uint64_t flag : {ModifierFlags::function, ModifierFlags::command, ModifierFlags::option,
                                     ModifierFlags::control, ModifierFlags::shift, ModifierFlags::capsLock})
        if (flags & flag) return flag;
    return std::nullopt;
}

QString CorrectionTriggerPreference::modifierTitle(std::uint16_t keyCode, std::uint64_t flag) {
    switch (keyCode) {
    case VirtualKeyCode::rightCommand: return QStringLiteral("Right Command");
    case VirtualKeyCode::command: return QStringLiteral("Left Command");
    case VirtualKeyCode::shift: return QStringLiteral("Left Shift");
    case VirtualKeyCode::capsLock: return QStringLiteral("Caps Lock");
    case VirtualKeyCode::option: return QStringLiteral("Left Option");
    case VirtualKeyCode::control: return QStringLiteral("Left Control");
    case VirtualKeyCode::rightShift: return QStringLiteral("Right Shift");
    case VirtualKeyCode::rightOption: return QStringLiteral("Right Option");
    case VirtualKeyCode::rightControl: return QStringLiteral("Right Control");
    default: break;
    }
    switch (flag) {
    case ModifierFlags::option: return QStringLiteral("Option");
    case ModifierFlags::command: return QStringLiteral("Command");
    case ModifierFlags::function: return QStringLiteral("fn / globe");
    case ModifierFlags::shift: return QStringLiteral("Shift");
    case ModifierFlags::control: return QStringLiteral("Control");
    case ModifierFlags::capsLock: return QStringLiteral("Caps Lock");
    default: return QStringLiteral("Modifier");
    }
}

QString CorrectionTriggerPreference::keyTitle(std::uint16_t keyCode, const QString& characters) {
    using namespace VirtualKeyCode;
    switch (keyCode) {
    case returnKey: return QStringLiteral("Return");
    case tab: return QStringLiteral("Tab");
    case deleteKey: return QStringLiteral("Delete");
    case escape: return QStringLiteral("Escape");
    case keypadClear: return QStringLiteral("Clear");
    case keypadEnter: return QStringLiteral("Enter");
    case f5: return QStringLiteral("F5");
    case f6: return QStringLiteral("F6");
    case f7: return QStringLiteral("F7");
    case f3: return QStringLiteral("F3");
    case f8: return QStringLiteral("F8");
    case f9: return QStringLiteral("F9");
    case f11: return QStringLiteral("F11");
    case f10: return QStringLiteral("F10");
    case f12: return QStringLiteral("F12");
    case help: return QStringLiteral("Help");
    case home: return QStringLiteral("Home");
    case pageUp: return QStringLiteral("Page Up");
    case forwardDelete: return QStringLiteral("Forward Delete");
    case f4: return QStringLiteral("F4");
    case end: return QStringLiteral("End");
    case f2: return QStringLiteral("F2");
    case pageDown: return QStringLiteral("Page Down");
    case f1: return QStringLiteral("F1");
    case leftArrow: return QStringLiteral("Left Arrow");
    case rightArrow: return QStringLiteral("Right Arrow");
    case downArrow: return QStringLiteral("Down Arrow");
    case upArrow: return QStringLiteral("Up Arrow");
    default: break;
    }
    // Function keys report private-use "characters" that render as nothing; never show those.
    QList<char32_t> visible;
    for (const char32_t scalar : characters.toUcs4())
        if (!isNonPrintingKeyScalar(scalar)) visible.append(scalar);
    QString shown = QString::fromUcs4(visible.constData(), visible.size()).toUpper();
    if (!shown.isEmpty()) return shown;
    return QStringLiteral("Key ") + QString::number(keyCode);
}

std::optional<CorrectionTriggerPreference> CorrectionTriggerPreference::fromCaptureEvent(const KeyboardEvent& event) {
    switch (event.type) {
    case KeyboardEvent::Type::keyDown:
        if (producesText(event.charactersIgnoringModifiers)) return std::nullopt;
        return CorrectionTriggerPreference{CorrectionTriggerKind::keyDown, event.keyCode, std::nullopt,
                                           keyTitle(event.keyCode, event.charactersIgnoringModifiers)};
    case KeyboardEvent::Type::flagsChanged: {
        const auto flag = modifierFlag(event.keyCode, event.modifierFlags);
        if (!flag) return std::nullopt;
        return CorrectionTriggerPreference{CorrectionTriggerKind::modifier, event.keyCode, flag,
                                           modifierTitle(event.keyCode, *flag)};
    }
    default: return std::nullopt;
    }
}

} // namespace quillo
