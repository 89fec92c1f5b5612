#include "Models/CorrectionTriggerActivation.h"
#include "Models/CorrectionTriggerKey.h"
#include "Models/CorrectionTriggerPreference.h"
#include "Models/KeyboardEvent.h"
#include "Models/ModifierFlags.h"
#include "Models/PhysicalKeyboardLayout.h"
#include "Models/VirtualKeyCode.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <ostream>
#include <random>

using namespace quillo;

static void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace quillo {
static void PrintTo(const CorrectionTriggerPreference& p, std::ostream* os) { *os << p.storageValue().toStdString(); }
} // namespace quillo

namespace {

using Kind = CorrectionTriggerKind;
using Key = CorrectionTriggerKey;
using Pref = CorrectionTriggerPreference;
namespace Flags = ModifierFlags;
namespace VK = VirtualKeyCode;

KeyboardEvent keyDown(std::uint16_t code, const QString& characters) {
    return KeyboardEvent{KeyboardEvent::Type::keyDown, code, 0, characters};
}

KeyboardEvent flagsChanged(std::uint16_t code, std::uint64_t flags) {
    return KeyboardEvent{KeyboardEvent::Type::flagsChanged, code, flags, QString()};
}

QString fromUcs4(char32_t scalar) { return QString::fromUcs4(&scalar, 1); }

Pref globe() { return CorrectionTriggerKeys::preference(Key::functionGlobe); }

std::optional<Pref> decode(const QByteArray& json) { return Pref::decode(QString::fromUtf8(json)); }

} // namespace

// --- Defaults and the legacy named keys ---

TEST(CorrectionTriggerPreference, DefaultSettingsGiveTheGlobeModifier) {
    const Pref pref = Pref::storedValue(QString(), "functionGlobe");
    EXPECT_EQ(pref.kind, Kind::modifier);
    EXPECT_EQ(pref.keyCode, 63);
    EXPECT_EQ(pref.modifierFlagRawValue, std::uint64_t{0x800000});
    EXPECT_EQ(pref.title, "fn / globe");
    EXPECT_EQ(pref.identity(), "modifier:63:8388608");
    EXPECT_TRUE(pref.isModifierTrigger());
    EXPECT_EQ(pref.keyDownCode(), std::nullopt);
    EXPECT_EQ(pref, globe());
}

TEST(CorrectionTriggerPreference, UnreadableStoredValueFallsBackToTheLegacyKey) {
    const Pref f8 = Pref::storedValue("{not json", "f8");
    EXPECT_EQ(f8.kind, Kind::keyDown);
    EXPECT_EQ(f8.keyCode, 100);
    EXPECT_EQ(f8.modifierFlagRawValue, std::nullopt);
    EXPECT_EQ(f8.title, "F8");
    EXPECT_EQ(f8.keyDownCode(), std::uint16_t{100});
    EXPECT_EQ(f8.identity(), "keyDown:100:0");

    // Unknown or differently cased legacy names mean fn / Globe.
    for (const char* legacy : {"", "F8", "f10", "globe", "functionglobe"})
        EXPECT_EQ(Pref::storedValue("", QString::fromUtf8(legacy)), globe()) << legacy;
    EXPECT_EQ(Pref::storedValue("", "rightOption"), CorrectionTriggerKeys::preference(Key::rightOption));
}

TEST(CorrectionTriggerKey, TableOfNamedKeys) {
    struct Row {
        Key key;
        const char* raw;
        const char* title;
        Kind kind;
        std::uint16_t code;
        std::optional<std::uint64_t> flag;
    };
    const Row rows[] = {
        {Key::functionGlobe, "functionGlobe", "fn / globe", Kind::modifier, 63, 0x800000},
        {Key::rightOption, "rightOption", "Right Option", Kind::modifier, 61, 0x80000},
        {Key::rightCommand, "rightCommand", "Right Command", Kind::modifier, 54, 0x100000},
        {Key::f6, "f6", "F6", Kind::keyDown, 97, std::nullopt},
        {Key::f7, "f7", "F7", Kind::keyDown, 98, std::nullopt},
        {Key::f8, "f8", "F8", Kind::keyDown, 100, std::nullopt},
        {Key::f9, "f9", "F9", Kind::keyDown, 101, std::nullopt},
    };
    ASSERT_EQ(CorrectionTriggerKeys::allCases.size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const Row& row = rows[i];
        SCOPED_TRACE(row.raw);
        EXPECT_EQ(CorrectionTriggerKeys::allCases[i], row.key);
        EXPECT_EQ(CorrectionTriggerKeys::rawValue(row.key), row.raw);
        EXPECT_EQ(CorrectionTriggerKeys::fromRawValue(row.raw), row.key);
        EXPECT_EQ(CorrectionTriggerKeys::storedValue(row.raw), row.key);
        EXPECT_EQ(CorrectionTriggerKeys::title(row.key), row.title);
        EXPECT_EQ(CorrectionTriggerKeys::kind(row.key), row.kind);
        EXPECT_EQ(CorrectionTriggerKeys::keyCode(row.key), row.code);
        EXPECT_EQ(CorrectionTriggerKeys::modifierFlag(row.key), row.flag);
        const auto expectedKeyDownCode =
            row.kind == Kind::keyDown ? std::optional<std::uint16_t>(row.code) : std::nullopt;
        EXPECT_EQ(CorrectionTriggerKeys::keyDownCode(row.key), expectedKeyDownCode);

        const Pref pref = CorrectionTriggerKeys::preference(row.key);
        EXPECT_EQ(pref, (Pref{row.kind, row.code, row.flag, row.title}));
        EXPECT_EQ(pref.keyDownCode(), expectedKeyDownCode);
        EXPECT_EQ(Pref::storedValue("", row.raw), pref);
    }
    EXPECT_EQ(CorrectionTriggerKeys::storedValue("F6"), Key::functionGlobe);
    EXPECT_EQ(CorrectionTriggerKeys::storedValue("nonsense"), Key::functionGlobe);
}

TEST(CorrectionTriggerPreference, IdentityAndHint) {
    EXPECT_EQ(CorrectionTriggerKeys::preference(Key::rightOption).identity(), "modifier:61:524288");
    EXPECT_EQ(CorrectionTriggerKeys::preference(Key::f6).identity(), "keyDown:97:0");
    EXPECT_EQ((Pref{Kind::keyDown, 115, std::nullopt, "Home"}).identity(), "keyDown:115:0");
    // The title plays no part in the identity.
    EXPECT_EQ((Pref{Kind::modifier, 63, 0x800000, "Globe"}).identity(), globe().identity());

    EXPECT_EQ(globe().hint(), "Use a short press without combining it with another shortcut.");
    EXPECT_EQ(CorrectionTriggerKeys::preference(Key::f9).hint(), "Use a dedicated non-typing key.");
}

// --- Stored JSON form ---

// Slashes are written as "\/", as the default encoder of the first platform wrote them, so the stored
// text of a preference is identical whichever version wrote it. Reading accepts either form.
TEST(CorrectionTriggerPreferenceStorage, ExactJSONTextOfEveryNamedKey) {
    const std::pair<Key, const char*> rows[] = {
        {Key::functionGlobe,
         R"({"kind":"modifier","keyCode":63,"modifierFlagRawValue":8388608,"title":"fn \/ globe"})"},
        {Key::rightOption, R"({"kind":"modifier","keyCode":61,"modifierFlagRawValue":524288,"title":"Right Option"})"},
        {Key::rightCommand,
         R"({"kind":"modifier","keyCode":54,"modifierFlagRawValue":1048576,"title":"Right Command"})"},
        {Key::f6, R"({"kind":"keyDown","keyCode":97,"title":"F6"})"},
        {Key::f7, R"({"kind":"keyDown","keyCode":98,"title":"F7"})"},
        {Key::f8, R"({"kind":"keyDown","keyCode":100,"title":"F8"})"},
        {Key::f9, R"({"kind":"keyDown","keyCode":101,"title":"F9"})"},
    };
    for (const auto& [key, json] : rows) {
        const Pref pref = CorrectionTriggerKeys::preference(key);
        EXPECT_EQ(pref.storageValue(), QString::fromUtf8(json));
        EXPECT_EQ(pref.storageValue().toUtf8(), QByteArray(json));
        // Round trip through the stored form; the legacy value must not be what answers.
        const QString otherLegacy = key == Key::f9 ? "f6" : "f9";
        EXPECT_EQ(Pref::storedValue(pref.storageValue(), otherLegacy), pref);
    }
}

TEST(CorrectionTriggerPreferenceStorage, EscapesLikeTheDefaultEncoder) {
    const Pref pref{Kind::keyDown, 0, std::nullopt,
                    QString::fromUtf8("a\"b\\c/d\n\r\t\b\f") + QChar(0x01) + QChar(0x1F) + QString::fromUtf8("é😀") +
                        QChar(0x7F)};
    const QByteArray expected =
        QByteArray(R"({"kind":"keyDown","keyCode":0,"title":"a\"b\\c\/d\n\r\t\b\f\u0001\u001f)") +
        QByteArray("\xC3\xA9\xF0\x9F\x98\x80\x7F\"}");
    EXPECT_EQ(pref.storageValue().toUtf8(), expected);
    EXPECT_EQ(Pref::decode(pref.storageValue()), pref);
}

TEST(CorrectionTriggerPreferenceStorage, HalfASurrogatePairSurvivesTheStoredForm) {
    // A settings file can hold "\ud83d" alone; written back verbatim it became U+FFFD in UTF-8.
    const auto decoded = Pref::decode(QStringLiteral(R"({"kind":"keyDown","keyCode":96,"title":"a\ud83d^b"})"));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->title, QStringLiteral("a") + QChar(0xD83D) + QStringLiteral("^b"));
    for (const QString& title : {QString(QChar(0xD83D)), QString(QChar(0xDE00)) + QChar(0xD83D),
                                 QStringLiteral("x") + QChar(0xDE00) + QStringLiteral("\U0001F600")}) {
        const Pref pref{Kind::keyDown, 96, std::nullopt, title};
        const QString stored = pref.storageValue();
        EXPECT_EQ(Pref::decode(stored), pref) << stored.toStdString();
        EXPECT_EQ(QString::fromUtf8(stored.toUtf8()), stored) << "the stored form is valid UTF-8";
    }
    // A whole pair is still written as itself.
    const Pref emoji{Kind::keyDown, 96, std::nullopt, QStringLiteral("\U0001F600")};
    EXPECT_TRUE(emoji.storageValue().toUtf8().contains("\xF0\x9F\x98\x80"));
}

TEST(CorrectionTriggerPreferenceStorage, DecoderAcceptsEquivalentJSON) {
    const Pref fnGlobe = globe();
    const char* equivalent[] = {
        R"({"kind":"modifier","keyCode":63,"modifierFlagRawValue":8388608,"title":"fn / globe"})",
        R"({"title":"fn \/ globe","modifierFlagRawValue":8388608,"keyCode":63,"kind":"modifier"})",
        " { \"kind\" : \"modifier\" ,\n \"keyCode\" : 63 , \"modifierFlagRawValue\" : 8388608 , \"title\" : \"fn "
        "\\u002f globe\" } ",
        R"({"kind":"modifier","keyCode":63,"modifierFlagRawValue":8388608,"title":"fn / globe","extra":[1,2]})",
        R"({"kind":"modifier","keyCode":63.0,"modifierFlagRawValue":8.388608e6,"title":"fn / globe"})",
    };
    for (const char* json : equivalent) EXPECT_EQ(decode(json), fnGlobe) << json;

    // A null or missing flag reads as absent.
    const Pref f6 = CorrectionTriggerKeys::preference(Key::f6);
    EXPECT_EQ(decode(R"({"kind":"keyDown","keyCode":97,"modifierFlagRawValue":null,"title":"F6"})"), f6);
    EXPECT_EQ(decode(R"({"kind":"keyDown","keyCode":97,"title":"F6"})"), f6);
    // Extremes of the key code.
    EXPECT_EQ(decode(R"({"kind":"keyDown","keyCode":65535,"title":"X"})"),
              (Pref{Kind::keyDown, 65535, std::nullopt, "X"}));
    EXPECT_EQ(decode(R"({"kind":"keyDown","keyCode":0,"title":""})"), (Pref{Kind::keyDown, 0, std::nullopt, ""}));
}

TEST(CorrectionTriggerPreferenceStorage, DecoderRefusesMalformedValues) {
    const char* malformed[] = {
        "",
        "null",
        "[]",
        R"(["modifier",63])",
        R"("modifier")",
        R"({})",
        R"({"keyCode":63,"title":"fn"})",                   // no kind
        R"({"kind":"Modifier","keyCode":63,"title":"fn"})", // unknown kind
        R"({"kind":"keydown","keyCode":63,"title":"fn"})",  // kinds are case-sensitive
        R"({"kind":1,"keyCode":63,"title":"fn"})",
        R"({"kind":"keyDown","title":"fn"})", // no key code
        R"({"kind":"keyDown","keyCode":-1,"title":"fn"})",
        R"({"kind":"keyDown","keyCode":65536,"title":"fn"})",
        R"({"kind":"keyDown","keyCode":1.5,"title":"fn"})",
        R"({"kind":"keyDown","keyCode":"63","title":"fn"})",
        R"({"kind":"keyDown","keyCode":null,"title":"fn"})",
        R"({"kind":"modifier","keyCode":63,"modifierFlagRawValue":-8,"title":"fn"})",
        R"({"kind":"modifier","keyCode":63,"modifierFlagRawValue":"8388608","title":"fn"})",
        R"({"kind":"modifier","keyCode":63,"modifierFlagRawValue":0.5,"title":"fn"})",
        R"({"kind":"modifier","keyCode":63,"modifierFlagRawValue":1e30,"title":"fn"})",
        R"({"kind":"modifier","keyCode":63,"modifierFlagRawValue":8388608})", // no title
        R"({"kind":"modifier","keyCode":63,"title":null})",
        R"({"kind":"modifier","keyCode":63,"title":5})",
        R"({"kind":"modifier","keyCode":63,"title":"fn"} trailing)",
        R"({"kind":"modifier","keyCode":63,"title":"fn")",
    };
    for (const char* json : malformed) {
        EXPECT_EQ(decode(json), std::nullopt) << json;
        EXPECT_EQ(Pref::storedValue(QString::fromUtf8(json), "f7"), CorrectionTriggerKeys::preference(Key::f7)) << json;
    }
}

TEST(CorrectionTriggerPreferenceStorage, RandomPreferencesSurviveTheStoredForm) {
    std::mt19937_64 random(20240607);
    const std::uint64_t flags[] = {Flags::capsLock, Flags::shift,   Flags::control,
                                   Flags::option,   Flags::command, Flags::function};
    const char32_t alphabet[] = {U'a', U'Z',   U' ',   U'/',   U'\\',  U'"',    U'\n', U'\t', 0x01, 0x1F, 0x7F,
                                 U'é', 0x00B7, 0x2028, 0xF710, 0xFFFD, 0x1F600, U'{',  U'}',  U':', U','};
    for (int i = 0; i < 500; ++i) {
        Pref pref;
        pref.kind = random() % 2 ? Kind::modifier : Kind::keyDown;
        pref.keyCode = static_cast<std::uint16_t>(random());
        switch (random() % 3) {
        case 0: break;
        case 1: pref.modifierFlagRawValue = flags[random() % std::size(flags)]; break;
        default: pref.modifierFlagRawValue = random() % (std::uint64_t{1} << 53); break;
        }
        const int length = static_cast<int>(random() % 12);
        for (int c = 0; c < length; ++c) pref.title += fromUcs4(alphabet[random() % std::size(alphabet)]);

        const QString stored = pref.storageValue();
        ASSERT_EQ(Pref::storedValue(stored, "f9"), pref) << stored.toStdString();

        // Keys in field order, no white space outside strings, the flag only when present.
        const QJsonObject object = QJsonDocument::fromJson(stored.toUtf8()).object();
        EXPECT_EQ(object.contains("modifierFlagRawValue"), pref.modifierFlagRawValue.has_value());
        const qsizetype kindAt = stored.indexOf("\"kind\":"), codeAt = stored.indexOf(",\"keyCode\":"),
                        titleAt = stored.lastIndexOf(",\"title\":\"");
        EXPECT_EQ(kindAt, 1);
        EXPECT_LT(codeAt, titleAt);
        if (pref.modifierFlagRawValue) {
            const qsizetype flagAt = stored.indexOf(",\"modifierFlagRawValue\":");
            EXPECT_LT(codeAt, flagAt);
            EXPECT_LT(flagAt, titleAt);
        }
    }
}

// --- Matching key events ---

TEST(CorrectionTriggerPreference, MatchesModifierEventByKeyCodeOrTheGlobeFlag) {
    const Pref rightOption = CorrectionTriggerKeys::preference(Key::rightOption);
    EXPECT_TRUE(rightOption.matchesModifierEvent(61, 0));
    EXPECT_TRUE(rightOption.matchesModifierEvent(61, Flags::option));
    EXPECT_FALSE(rightOption.matchesModifierEvent(58, Flags::option)); // left option is another key
    EXPECT_FALSE(rightOption.matchesModifierEvent(63, Flags::function));

    const Pref fnGlobe = globe();
    EXPECT_TRUE(fnGlobe.matchesModifierEvent(63, 0));
    EXPECT_TRUE(fnGlobe.matchesModifierEvent(179, Flags::function)); // Globe reported under another code
    EXPECT_TRUE(fnGlobe.matchesModifierEvent(0, Flags::function | Flags::shift));
    EXPECT_FALSE(fnGlobe.matchesModifierEvent(0, Flags::shift));

    // Only the function flag matches regardless of key code.
    const Pref rightCommand = CorrectionTriggerKeys::preference(Key::rightCommand);
    EXPECT_FALSE(rightCommand.matchesModifierEvent(55, Flags::command | Flags::function));
    const Pref f6 = CorrectionTriggerKeys::preference(Key::f6);
    EXPECT_TRUE(f6.matchesModifierEvent(97, 0));
    EXPECT_FALSE(f6.matchesModifierEvent(0, Flags::function));
}

TEST(CorrectionTriggerPreference, IsPressedNeedsEveryBitOfTheFlag) {
    const Pref fnGlobe = globe();
    EXPECT_TRUE(fnGlobe.isPressed(Flags::function));
    EXPECT_TRUE(fnGlobe.isPressed(Flags::function | Flags::shift | 0x100));
    EXPECT_FALSE(fnGlobe.isPressed(Flags::shift));
    EXPECT_FALSE(fnGlobe.isPressed(0));

    const Pref twoBits{Kind::modifier, 10, Flags::command | Flags::option, "Custom"};
    EXPECT_TRUE(twoBits.isPressed(Flags::command | Flags::option));
    EXPECT_FALSE(twoBits.isPressed(Flags::command));

    EXPECT_FALSE(CorrectionTriggerKeys::preference(Key::f8).isPressed(~std::uint64_t{0}));
    // A stored zero flag has no bit to hold down; it never reads as pressed.
    EXPECT_FALSE((Pref{Kind::modifier, 63, 0, "Zero"}).isPressed(Flags::function));
}

// --- Capturing a new trigger in the settings ---

TEST(CorrectionTriggerCapture, TextProducingKeysAreRefused) {
    const std::pair<std::uint16_t, QString> refused[] = {
        {VK::a, "a"},
        {VK::a, "A"},
        {VK::space, " "},
        {VK::digit1, "1"},
        {VK::slash, "/"},
        {VK::deleteKey, QString(QChar(0x7F))}, // DEL lies inside the text range
        {VK::e, QString::fromUtf8("é")},
        {VK::q, QString::fromUtf8("\u00B7")},
        {VK::a, QString(QChar(0xF6FF))},     // last scalar that counts as text
        {VK::a, QString(QChar(0x01)) + "x"}, // one text scalar is enough
        {VK::a, QString(QChar(0xF700)) + "x"},
    };
    for (const auto& [code, characters] : refused) {
        EXPECT_TRUE(Pref::producesText(characters)) << code;
        EXPECT_EQ(Pref::fromCaptureEvent(keyDown(code, characters)), std::nullopt) << code;
    }
}

TEST(CorrectionTriggerCapture, NonTypingKeysBecomeKeyDownTriggers) {
    struct Row {
        std::uint16_t code;
        QString characters;
        const char* title;
    };
    const Row rows[] = {
        {VK::returnKey, "\r", "Return"},
        {VK::tab, "\t", "Tab"},
        {VK::deleteKey, "\b", "Delete"},
        {VK::escape, QString(QChar(0x1B)), "Escape"},
        {VK::keypadClear, QString(QChar(0xF739)), "Clear"},
        {VK::keypadEnter, QString(QChar(0x03)), "Enter"},
        {VK::f1, QString(QChar(0xF704)), "F1"},
        {VK::f2, QString(QChar(0xF705)), "F2"},
        {VK::f3, QString(QChar(0xF706)), "F3"},
        {VK::f4, QString(QChar(0xF707)), "F4"},
        {VK::f5, QString(QChar(0xF708)), "F5"},
        {VK::f6, QString(QChar(0xF709)), "F6"},
        {VK::f7, QString(QChar(0xF70A)), "F7"},
        {VK::f8, QString(QChar(0xF70B)), "F8"},
        {VK::f9, QString(QChar(0xF70C)), "F9"},
        {VK::f10, QString(QChar(0xF70D)), "F10"},
        {VK::f11, QString(QChar(0xF70E)), "F11"},
        {VK::f12, QString(QChar(0xF70F)), "F12"},
        {VK::help, QString(QChar(0xF746)), "Help"},
        {VK::home, QString(QChar(0xF729)), "Home"},
        {VK::pageUp, QString(QChar(0xF72C)), "Page Up"},
        {VK::forwardDelete, QString(QChar(0xF728)), "Forward Delete"},
        {VK::end, QString(QChar(0xF72B)), "End"},
        {VK::pageDown, QString(QChar(0xF72D)), "Page Down"},
        {VK::leftArrow, QString(QChar(0xF702)), "Left Arrow"},
        {VK::rightArrow, QString(QChar(0xF703)), "Right Arrow"},
        {VK::downArrow, QString(QChar(0xF701)), "Down Arrow"},
        {VK::upArrow, QString(QChar(0xF700)), "Up Arrow"},
        // The table wins whatever the key reports, even nothing.
        {VK::home, QString(), "Home"},
        // Keys outside the table: visible characters upper-cased, else the key code.
        {VK::f13, QString(QChar(0xF710)), "Key 105"},
        {VK::f13, QString(), "Key 105"},
        {VK::f20, QString(QChar(0xF717)), "Key 90"},
        {130, QString(QChar(0x10)), "Key 130"},
        {VK::a, QString(QChar(0xFF41)), "\uFF21"}, // fullwidth a -> fullwidth A
        {VK::x, fromUcs4(0x1F600), "\U0001F600"},  // an emoji key
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.title);
        const auto pref = Pref::fromCaptureEvent(keyDown(row.code, row.characters));
        ASSERT_TRUE(pref.has_value());
        EXPECT_EQ(*pref, (Pref{Kind::keyDown, row.code, std::nullopt, QString::fromUtf8(row.title)}));
        EXPECT_EQ(pref->hint(), "Use a dedicated non-typing key.");
    }
    // Captured function keys equal the named keys of earlier versions.
    EXPECT_EQ(Pref::fromCaptureEvent(keyDown(VK::f8, QString(QChar(0xF70B)))),
              CorrectionTriggerKeys::preference(Key::f8));
    // Auto-repeat plays no part in capturing.
    KeyboardEvent repeated = keyDown(VK::home, QString());
    repeated.isAutoRepeat = true;
    EXPECT_EQ(Pref::fromCaptureEvent(repeated)->title, "Home");
}

TEST(CorrectionTriggerCapture, ModifierKeysByKeyCode) {
    struct Row {
        std::uint16_t code;
        std::uint64_t flag;
        const char* title;
    };
    const Row rows[] = {
        {54, Flags::command, "Right Command"}, {55, Flags::command, "Left Command"},
        {56, Flags::shift, "Left Shift"},      {57, Flags::capsLock, "Caps Lock"},
        {58, Flags::option, "Left Option"},    {59, Flags::control, "Left Control"},
        {60, Flags::shift, "Right Shift"},     {61, Flags::option, "Right Option"},
        {62, Flags::control, "Right Control"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.title);
        const Pref expected{Kind::modifier, row.code, row.flag, row.title};
        // The key code decides, whatever flags the event carries (press or release).
        for (std::uint64_t eventFlags : {row.flag, std::uint64_t{0}, Flags::function | Flags::shift})
            EXPECT_EQ(Pref::fromCaptureEvent(flagsChanged(row.code, eventFlags)), expected);
        EXPECT_EQ(Pref::modifierTitle(row.code, Flags::function), row.title);
    }
    EXPECT_EQ(Pref::fromCaptureEvent(flagsChanged(61, Flags::option)),
              CorrectionTriggerKeys::preference(Key::rightOption));
    EXPECT_EQ(Pref::fromCaptureEvent(flagsChanged(54, Flags::command)),
              CorrectionTriggerKeys::preference(Key::rightCommand));
    EXPECT_EQ(Pref::fromCaptureEvent(flagsChanged(60, Flags::shift))->hint(),
              "Use a short press without combining it with another shortcut.");
}

TEST(CorrectionTriggerCapture, OtherKeyCodesUseTheFirstFlagSet) {
    struct Row {
        std::uint64_t eventFlags;
        std::uint64_t flag;
        const char* title;
    };
    const std::uint64_t all =
        Flags::function | Flags::command | Flags::option | Flags::control | Flags::shift | Flags::capsLock;
    const Row rows[] = {
        {all, Flags::function, "fn / globe"},
        {all & ~Flags::function, Flags::command, "Command"},
        {Flags::option | Flags::control | Flags::shift | Flags::capsLock, Flags::option, "Option"},
        {Flags::control | Flags::shift | Flags::capsLock, Flags::control, "Control"},
        {Flags::shift | Flags::capsLock, Flags::shift, "Shift"},
        {Flags::capsLock | 0x100, Flags::capsLock, "Caps Lock"},
    };
    for (std::uint16_t code : {std::uint16_t{63}, std::uint16_t{10}, std::uint16_t{179}}) {
        for (const auto& row : rows) {
            SCOPED_TRACE(row.title);
            EXPECT_EQ(Pref::fromCaptureEvent(flagsChanged(code, row.eventFlags)),
                      (Pref{Kind::modifier, code, row.flag, row.title}));
        }
    }
    // Capturing the Globe key gives the default trigger.
    EXPECT_EQ(Pref::fromCaptureEvent(flagsChanged(63, Flags::function)), globe());

    // No recognisable flag: refused.
    EXPECT_EQ(Pref::fromCaptureEvent(flagsChanged(63, 0)), std::nullopt);
    EXPECT_EQ(Pref::fromCaptureEvent(flagsChanged(10, 0)), std::nullopt);
    EXPECT_EQ(Pref::fromCaptureEvent(flagsChanged(10, 0x100 | 0x1)), std::nullopt); // device-dependent bits only
    EXPECT_EQ(Pref::modifierTitle(10, 0x200000), "Modifier");
}

TEST(CorrectionTriggerCapture, OtherEventTypesAreRefused) {
    EXPECT_EQ(Pref::fromCaptureEvent(KeyboardEvent{KeyboardEvent::Type::keyUp, VK::f6, 0, QString()}), std::nullopt);
    EXPECT_EQ(Pref::fromCaptureEvent(KeyboardEvent{KeyboardEvent::Type::other, VK::f6, Flags::function, QString()}),
              std::nullopt);
    EXPECT_EQ(Pref::fromCaptureEvent(KeyboardEvent{KeyboardEvent::Type::keyUp, 60, Flags::shift, QString()}),
              std::nullopt);
}

TEST(CorrectionTriggerCapture, ProducesTextBoundaries) {
    EXPECT_FALSE(Pref::producesText(QString()));
    EXPECT_FALSE(Pref::producesText(QString(QChar(0x1F))));
    EXPECT_TRUE(Pref::producesText(QString(QChar(0x20))));
    EXPECT_TRUE(Pref::producesText(QString(QChar(0xF6FF))));
    EXPECT_FALSE(Pref::producesText(QString(QChar(0xF700))));
    EXPECT_FALSE(Pref::producesText(QString(QChar(0xFFFF))));
    EXPECT_FALSE(Pref::producesText(fromUcs4(0x1F600)));
    EXPECT_FALSE(Pref::producesText(QString(QChar(0x0D)) + QChar(0xF704)));
}

// --- Activation and layout ---

TEST(CorrectionTriggerActivation, CasesAndStoredValue) {
    using A = CorrectionTriggerActivation;
    ASSERT_EQ(CorrectionTriggerActivations::allCases.size(), 2u);
    EXPECT_EQ(CorrectionTriggerActivations::allCases[0], A::singlePress);
    EXPECT_EQ(CorrectionTriggerActivations::rawValue(A::singlePress), "singlePress");
    EXPECT_EQ(CorrectionTriggerActivations::rawValue(A::doubleTap), "doubleTap");
    EXPECT_EQ(CorrectionTriggerActivations::title(A::singlePress), "Single press");
    EXPECT_EQ(CorrectionTriggerActivations::title(A::doubleTap), "Double tap");
    EXPECT_EQ(CorrectionTriggerActivations::hint(A::singlePress), "Correction starts after one short press.");
    EXPECT_EQ(CorrectionTriggerActivations::hint(A::doubleTap),
              "Correction starts after two short presses on the same key.");
    EXPECT_EQ(CorrectionTriggerActivations::storedValue("doubleTap"), A::doubleTap);
    for (const char* other : {"singlePress", "", "DoubleTap", "double_tap", "doubleTap "})
        EXPECT_EQ(CorrectionTriggerActivations::storedValue(other), A::singlePress) << other;
}

TEST(PhysicalKeyboardLayout, CasesStoredValueAndShortcutKeys) {
    using L = PhysicalKeyboardLayout;
    using PhysicalKeyboardLayouts::shortcutKeyCode;
    ASSERT_EQ(PhysicalKeyboardLayouts::allCases.size(), 3u);
    EXPECT_EQ(PhysicalKeyboardLayouts::allCases[0], L::automatic);
    EXPECT_EQ(PhysicalKeyboardLayouts::allCases[1], L::azerty);
    EXPECT_EQ(PhysicalKeyboardLayouts::allCases[2], L::qwerty);
    EXPECT_EQ(PhysicalKeyboardLayouts::title(L::automatic), "Automatic");
    EXPECT_EQ(PhysicalKeyboardLayouts::title(L::azerty), "AZERTY");
    EXPECT_EQ(PhysicalKeyboardLayouts::title(L::qwerty), "QWERTY");
    for (auto layout : PhysicalKeyboardLayouts::allCases)
        EXPECT_EQ(PhysicalKeyboardLayouts::storedValue(PhysicalKeyboardLayouts::rawValue(layout)), layout);
    EXPECT_EQ(PhysicalKeyboardLayouts::rawValue(L::azerty), "azerty");
    for (const char* other : {"", "AZERTY", "qwertz", "Qwerty"})
        EXPECT_EQ(PhysicalKeyboardLayouts::storedValue(other), L::automatic) << other;

    EXPECT_EQ(shortcutKeyCode(L::azerty, 'a'), std::uint16_t{12});
    EXPECT_EQ(shortcutKeyCode(L::azerty, 'A'), std::uint16_t{12});
    EXPECT_EQ(shortcutKeyCode(L::qwerty, 'A'), std::uint16_t{0});
    EXPECT_EQ(shortcutKeyCode(L::qwerty, 'a'), std::uint16_t{0});
    for (auto layout : {L::azerty, L::qwerty}) {
        EXPECT_EQ(shortcutKeyCode(layout, 'c'), std::uint16_t{8});
        EXPECT_EQ(shortcutKeyCode(layout, 'C'), std::uint16_t{8});
        EXPECT_EQ(shortcutKeyCode(layout, 'v'), std::uint16_t{9});
        EXPECT_EQ(shortcutKeyCode(layout, 'V'), std::uint16_t{9});
        for (char other : {'q', 'x', 'z', '1', ' '}) EXPECT_EQ(shortcutKeyCode(layout, other), std::nullopt) << other;
        EXPECT_EQ(shortcutKeyCode(layout, QChar(0xE0)), std::nullopt); // à
    }
    for (char letter : {'a', 'A', 'c', 'v'}) EXPECT_EQ(shortcutKeyCode(L::automatic, letter), std::nullopt);
}
