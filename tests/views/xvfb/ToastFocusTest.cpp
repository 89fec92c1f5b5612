// Under a real X server: showing the toast never takes the keyboard from the application the
// user is typing in. Keys sent after the toast appeared still land in the editor.
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Support/VirtualClock.h"
#include "Views/CorrectionToastController.h"
#include "Views/DesktopToastScreenSource.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
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

void typeKey(KeySym sym) {
    const KeyCode code = XKeysymToKeycode(display(), sym);
    XTestFakeKeyEvent(display(), code, True, CurrentTime);
    XTestFakeKeyEvent(display(), code, False, CurrentTime);
    XFlush(display());
}

Window inputFocus() {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display(), &focus, &revert);
    return focus;
}

} // namespace

TEST(ToastOnX11, NeverTakesKeyboardFocus) {
    ASSERT_NE(display(), nullptr);
    QLineEdit editor;
    editor.setWindowTitle(QStringLiteral("Editor"));
    editor.resize(400, 40);
    editor.move(300, 400);
    editor.show();
    editor.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
    editor.setFocus();
    typeKey(XK_a);
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor.text() == QStringLiteral("a"); }));
    const Window focusBefore = inputFocus();

    VirtualClock clock;
    InMemoryUserDefaults defaults;
    DesktopToastScreenSource screens;
    CorrectionToastController toast(
        {defaults, screens, clock, nullptr, [] { return AccessibilityMotionPolicy::make(true); }, {}});
    const auto showEach = [&](const std::function<void()>& show) {
        show();
        QWidget* window = toast.window();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        XSync(display(), False);
        QCoreApplication::processEvents();
        EXPECT_FALSE(window->isActiveWindow());
        EXPECT_EQ(QApplication::activeWindow(), &editor);
        EXPECT_EQ(inputFocus(), focusBefore);
    };
    showEach([&] { toast.show(QStringLiteral("teh cat"), QStringLiteral("the cat"), std::nullopt); });
    showEach([&] { toast.showProcessing(); });
    showEach([&] { toast.showError(QStringLiteral("No internet connection.")); });

    typeKey(XK_b);
    EXPECT_TRUE(QTest::qWaitFor([&] { return editor.text() == QStringLiteral("ab"); }));
    toast.forceDismiss();
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
