// The KDE layer's rules, without KWin: the session choice, the keys around a shortcut, the
// trigger keys kglobalaccel can take, and what the permission window says is missing.
#include "App/DesktopPlatform.h"
#include "Models/ModifierFlags.h"
#include "Models/VirtualKeyCode.h"
#include "Platform/Wayland/KGlobalAccelBinding.h"
#include "Platform/Wayland/KWinAccessibilityPermission.h"
#include "Platform/Wayland/KWinFakeInput.h"

#include <gtest/gtest.h>

using namespace quillo;
namespace V = quillo::VirtualKeyCode;

TEST(DesktopSession, KdeByTheCurrentDesktopUnlessSwayAnswers) {
    const QString wayland = QStringLiteral("wayland");
    EXPECT_EQ(detectDesktopSession(wayland, QString(), QString(), QStringLiteral("KDE")), DesktopSession::kwin);
    EXPECT_EQ(detectDesktopSession(QString(), QStringLiteral("wayland-0"), QString(), QStringLiteral("foo:kde")),
              DesktopSession::kwin);
    EXPECT_EQ(detectDesktopSession(wayland, QString(), QString(), QStringLiteral("KDEish")),
              DesktopSession::otherWayland);
    EXPECT_EQ(detectDesktopSession(wayland, QString(), QStringLiteral("/s.sock"), QStringLiteral("KDE")),
              DesktopSession::sway);
    EXPECT_EQ(detectDesktopSession(QStringLiteral("x11"), QString(), QString(), QStringLiteral("KDE")),
              DesktopSession::x11)
        << "Plasma on X11 keeps the X11 layer";
}

TEST(KWinFakeInput, ModifiersArePressedAsKeysInAFixedOrder) {
    EXPECT_TRUE(KWinFakeInput::modifierKeys(0).isEmpty());
    EXPECT_EQ(KWinFakeInput::modifierKeys(ModifierFlags::control), (QList<quint32>{29}));
    EXPECT_EQ(KWinFakeInput::modifierKeys(ModifierFlags::command | ModifierFlags::shift | ModifierFlags::control),
              (QList<quint32>{29, 42, 125}));
}

TEST(KGlobalAccelBinding, FunctionKeysBecomeQtKeysAndModifiersNone) {
    EXPECT_EQ(KGlobalAccelBinding::qtKey(V::f8), std::optional<int>(Qt::Key_F8));
    EXPECT_EQ(KGlobalAccelBinding::qtKey(V::f6), std::optional<int>(Qt::Key_F6));
    EXPECT_EQ(KGlobalAccelBinding::qtKey(V::rightOption), std::nullopt);
    EXPECT_EQ(KGlobalAccelBinding::qtKey(V::rightCommand), std::nullopt);
}

TEST(KWinAccessibilityPermission, EachMissingPartIsNamedWithHowToGetIt) {
    using F = KWinAccessibilityPermission::Facilities;
    EXPECT_TRUE(KWinAccessibilityPermission::missingRequirements(F{true, true, true, true}).isEmpty());
    EXPECT_TRUE(KWinAccessibilityPermission::isTrusted(F{true, true, true, true}));
    const QStringList noKeys = KWinAccessibilityPermission::missingRequirements(F{false, true, true, true});
    ASSERT_EQ(noKeys.size(), 1);
    EXPECT_TRUE(noKeys.first().contains(QStringLiteral("desktop entry")));
    EXPECT_TRUE(noKeys.first().contains(QStringLiteral("kbuildsycoca5")));
    EXPECT_FALSE(KWinAccessibilityPermission::isTrusted(F{false, true, true, true}));
    EXPECT_EQ(KWinAccessibilityPermission::missingRequirements(F{false, false, false, false}).size(), 4);
    for (const F& f : {F{true, false, true, true}, F{true, true, false, true}, F{true, true, true, false}})
        EXPECT_FALSE(KWinAccessibilityPermission::isTrusted(f));
}
