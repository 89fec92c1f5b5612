#include "Models/CorrectionTriggerKey.h"
#include "Models/ModifierFlags.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Services/KeyboardPreferences.h"

#include <gtest/gtest.h>

using namespace quillo;

TEST(KeyboardPreferences, EmptyDefaultsGiveGlobeSinglePressAutomatic) {
    InMemoryUserDefaults defaults;
    KeyboardPreferences prefs(defaults);
    EXPECT_EQ(prefs.triggerPreference(), CorrectionTriggerKeys::preference(CorrectionTriggerKey::functionGlobe));
    EXPECT_EQ(prefs.triggerPreference().identity(), "modifier:63:8388608");
    EXPECT_EQ(prefs.activation(), CorrectionTriggerActivation::singlePress);
    EXPECT_EQ(prefs.physicalKeyboardLayout(), PhysicalKeyboardLayout::automatic);
    EXPECT_TRUE(defaults.keys().isEmpty()) << "reading writes nothing";
}

TEST(KeyboardPreferences, LegacyKeyIsUsedUntilAPreferenceIsStored) {
    InMemoryUserDefaults defaults;
    KeyboardPreferences prefs(defaults);
    defaults.setString("correctionTriggerKey", "rightCommand");
    EXPECT_EQ(prefs.triggerPreference(), CorrectionTriggerKeys::preference(CorrectionTriggerKey::rightCommand));

    const CorrectionTriggerPreference home{CorrectionTriggerKind::keyDown, 115, std::nullopt, "Home"};
    prefs.setTriggerPreference(home);
    EXPECT_EQ(defaults.string("correctionTriggerPreference"),
              QString(R"({"kind":"keyDown","keyCode":115,"title":"Home"})"));
    EXPECT_EQ(prefs.triggerPreference(), home);

    // A damaged stored preference falls back to the legacy key again.
    defaults.setString("correctionTriggerPreference", "{");
    EXPECT_EQ(prefs.triggerPreference(), CorrectionTriggerKeys::preference(CorrectionTriggerKey::rightCommand));
}

TEST(KeyboardPreferences, ActivationAndLayoutRoundTrip) {
    InMemoryUserDefaults defaults;
    KeyboardPreferences prefs(defaults);
    prefs.setActivation(CorrectionTriggerActivation::doubleTap);
    EXPECT_EQ(defaults.string("correctionTriggerActivation"), QString("doubleTap"));
    EXPECT_EQ(prefs.activation(), CorrectionTriggerActivation::doubleTap);
    prefs.setActivation(CorrectionTriggerActivation::singlePress);
    EXPECT_EQ(defaults.string("correctionTriggerActivation"), QString("singlePress"));

    prefs.setPhysicalKeyboardLayout(PhysicalKeyboardLayout::azerty);
    EXPECT_EQ(defaults.string("physicalKeyboardLayout"), QString("azerty"));
    EXPECT_EQ(prefs.physicalKeyboardLayout(), PhysicalKeyboardLayout::azerty);
    defaults.setString("physicalKeyboardLayout", "bépo");
    EXPECT_EQ(prefs.physicalKeyboardLayout(), PhysicalKeyboardLayout::automatic);

    // Values of the wrong type read as the defaults.
    defaults.setInteger("correctionTriggerActivation", 1);
    defaults.setBoolean("physicalKeyboardLayout", true);
    defaults.setInteger("correctionTriggerPreference", 5);
    EXPECT_EQ(prefs.activation(), CorrectionTriggerActivation::singlePress);
    EXPECT_EQ(prefs.physicalKeyboardLayout(), PhysicalKeyboardLayout::automatic);
    EXPECT_EQ(prefs.triggerPreference().identity(), "modifier:63:8388608");
}

TEST(KeyboardPreferences, WritesAnnounceTheirKey) {
    InMemoryUserDefaults defaults;
    KeyboardPreferences prefs(defaults);
    QStringList changed;
    QObject::connect(&defaults, &UserDefaults::changed, [&](const QString& key) { changed << key; });
    prefs.setTriggerPreference(CorrectionTriggerKeys::preference(CorrectionTriggerKey::f7));
    prefs.setActivation(CorrectionTriggerActivation::doubleTap);
    prefs.setPhysicalKeyboardLayout(PhysicalKeyboardLayout::qwerty);
    EXPECT_EQ(changed,
              (QStringList{"correctionTriggerPreference", "correctionTriggerActivation", "physicalKeyboardLayout"}));
}
