// Under a real X server: a key the application's own key monitor swallows never reaches the
// focused widget and never fires a shortcut; once the monitor is gone both work again.
#include "Models/VirtualKeyCode.h"
#include "Platform/Linux/QtLocalKeyEventMonitor.h"

#include <QApplication>
#include <QLineEdit>
#include <QShortcut>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>

// Last: Xlib's macros (None, Bool, Status) clash with the headers above.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

using namespace quillo;

namespace {

Display* display() {
    static Display* d = XOpenDisplay(nullptr);
    return d;
}

void key(KeySym sym, bool down) {
    XTestFakeKeyEvent(display(), XKeysymToKeycode(display(), sym), down ? True : False, CurrentTime);
    XFlush(display());
}

void typeKey(KeySym sym, KeySym modifier = 0) {
    if (modifier) key(modifier, true);
    key(sym, true);
    key(sym, false);
    if (modifier) key(modifier, false);
}

} // namespace

TEST(LocalKeyMonitorOnX11, SwallowedKeysReachNeitherTheWidgetNorAShortcut) {
    ASSERT_NE(display(), nullptr);
    QLineEdit editor;
    editor.setWindowTitle(QStringLiteral("Settings"));
    editor.resize(400, 40);
    editor.show();
    editor.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
    editor.setFocus();
    int shortcuts = 0;
    QShortcut shortcut(QKeySequence(QStringLiteral("Ctrl+K")), &editor);
    shortcut.setContext(Qt::WindowShortcut);
    QObject::connect(&shortcut, &QShortcut::activated, [&] { ++shortcuts; });

    QtLocalKeyEventMonitor monitor;
    QList<KeyboardEvent> seen;
    auto installation = monitor.install([&](const KeyboardEvent& event) {
        seen.append(event);
        // Everything but the letter z, which tells the test the keys before it were handled.
        return event.keyCode != VirtualKeyCode::z;
    });
    typeKey(XK_a);
    typeKey(XK_k, XK_Control_L);
    typeKey(XK_z);
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor.text() == QStringLiteral("z"); }));
    EXPECT_EQ(shortcuts, 0);
    QList<std::uint16_t> keyDowns;
    for (const auto& event : seen)
        if (event.type == KeyboardEvent::Type::keyDown) keyDowns.append(event.keyCode);
    EXPECT_EQ(keyDowns, (QList<std::uint16_t>{VirtualKeyCode::a, VirtualKeyCode::k, VirtualKeyCode::z}));
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](const KeyboardEvent& event) {
        return event.type == KeyboardEvent::Type::flagsChanged && event.keyCode == VirtualKeyCode::control;
    }));

    installation.reset();
    typeKey(XK_b);
    typeKey(XK_k, XK_Control_L);
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor.text() == QStringLiteral("zb") && shortcuts == 1; }));
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
