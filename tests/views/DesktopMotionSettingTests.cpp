#include "Views/AccessibilityMotionPolicy.h"
#include "Views/DesktopMotionSetting.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quillo;

TEST(AccessibilityMotionPolicy, NormalAndReduced) {
    EXPECT_EQ(AccessibilityMotionPolicy::make(false), (AccessibilityMotionPolicy{0.22, 18, 0.2, 16}));
    EXPECT_EQ(AccessibilityMotionPolicy::make(true), (AccessibilityMotionPolicy{0, 0, 0, 0}));
    EXPECT_TRUE(AccessibilityMotionPolicy::make(true).reducesMotion());
    EXPECT_FALSE(AccessibilityMotionPolicy::make(false).reducesMotion());
}

TEST(DesktopMotionSetting, ReadsEachDesktopsForm) {
    EXPECT_EQ(DesktopMotionSetting::fromOverride(QStringLiteral("1")), true);
    EXPECT_EQ(DesktopMotionSetting::fromOverride(QStringLiteral(" false ")), false);
    EXPECT_EQ(DesktopMotionSetting::fromOverride(QString()), std::nullopt);
    EXPECT_EQ(DesktopMotionSetting::fromOverride(QStringLiteral("maybe")), std::nullopt);

    // GNOME stores whether animations are on: off means reduce.
    EXPECT_EQ(DesktopMotionSetting::fromGnomeEnableAnimations(QStringLiteral("false\n")), true);
    EXPECT_EQ(DesktopMotionSetting::fromGnomeEnableAnimations(QStringLiteral("true\n")), false);
    EXPECT_EQ(DesktopMotionSetting::fromGnomeEnableAnimations(QStringLiteral("No such schema")), std::nullopt);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kdeglobals"));
    EXPECT_EQ(DesktopMotionSetting::fromKdeGlobals(path), std::nullopt);
    const auto write = [&](const QByteArray& text) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    };
    write("[General]\nfoo=1\n");
    EXPECT_EQ(DesktopMotionSetting::fromKdeGlobals(path), std::nullopt);
    write("[KDE]\nAnimationDurationFactor=0\n");
    EXPECT_EQ(DesktopMotionSetting::fromKdeGlobals(path), true);
    write("[KDE]\nAnimationDurationFactor=0.5\n");
    EXPECT_EQ(DesktopMotionSetting::fromKdeGlobals(path), false);
}
