#include "Models/ModifierFlags.h"
#include "Models/VirtualKeyCode.h"
#include "Platform/Linux/QtLocalKeyEventMonitor.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWindow>
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

using namespace quillo;

namespace {

// Delivers key events the way the platform does: to the window first, a key-down preceded by
// its shortcut check. Native scan codes are XKB key codes (evdev + 8).
class QtLocalKeyEventMonitorTest : public ::testing::Test {
protected:
    QWidget window;
    QLineEdit* editor = new QLineEdit(&window);
    QtLocalKeyEventMonitor monitor;
    QList<KeyboardEvent> seen;
    bool swallow = true;
    std::unique_ptr<LocalKeyEventMonitor::Installation> installation;
    ulong timestamp = 1000;
    bool overrideAccepted = false;

    void SetUp() override {
        new QVBoxLayout(&window);
        window.layout()->addWidget(editor);
        window.show();
        QApplication::setActiveWindow(&window);
        editor->setFocus();
        installation = monitor.install([this](const KeyboardEvent& event) {
            seen.append(event);
            return swallow;
        });
    }
    bool send(QEvent::Type type, int key, quint32 evdev, const QString& text = {},
              Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool repeat = false) {
        QKeyEvent event(type, key, modifiers, evdev == 0 ? 0 : evdev + 8, 0, 0, text, repeat, 1);
        event.setTimestamp(timestamp);
        if (type == QEvent::ShortcutOverride) event.ignore();
        QCoreApplication::sendEvent(window.windowHandle(), &event);
        return event.isAccepted();
    }
    void press(int key, quint32 evdev, const QString& text = {}, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
               bool repeat = false) {
        ++timestamp;
        overrideAccepted = send(QEvent::ShortcutOverride, key, evdev, text, modifiers, repeat);
        send(QEvent::KeyPress, key, evdev, text, modifiers, repeat);
    }
    void release(int key, quint32 evdev, const QString& text = {}, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        ++timestamp;
        send(QEvent::KeyRelease, key, evdev, text, modifiers);
    }
    void click(int key, quint32 evdev, const QString& text = {}, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        press(key, evdev, text, modifiers);
        release(key, evdev, text, modifiers);
    }
};

} // namespace

TEST_F(QtLocalKeyEventMonitorTest, ASwallowedKeyNeverReachesTheWidgetNorItsShortcutCheck) {
    ASSERT_TRUE(editor->hasFocus());
    click(Qt::Key_A, KEY_A, "a");
    ASSERT_EQ(seen.size(), 1); // asked once, though the key passed three times
    EXPECT_EQ(seen[0].type, KeyboardEvent::Type::keyDown);
    EXPECT_EQ(seen[0].keyCode, VirtualKeyCode::a);
    EXPECT_EQ(seen[0].charactersIgnoringModifiers, "a");
    EXPECT_TRUE(overrideAccepted); // accepted: Qt looks for no shortcut
    EXPECT_TRUE(editor->text().isEmpty());

    swallow = false;
    click(Qt::Key_B, KEY_B, "b");
    EXPECT_EQ(editor->text(), "b");
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[1].keyCode, VirtualKeyCode::b);
}

TEST_F(QtLocalKeyEventMonitorTest, ModifiersBecomeFlagChangesAndLettersKeepTheirCharacters) {
    swallow = false;
    press(Qt::Key_Shift, KEY_RIGHTSHIFT);
    press(Qt::Key_A, KEY_A, "A", Qt::ShiftModifier);
    release(Qt::Key_A, KEY_A, "A", Qt::ShiftModifier);
    release(Qt::Key_Shift, KEY_RIGHTSHIFT, {}, Qt::ShiftModifier);
    press(Qt::Key_A, KEY_A, QString(QChar(1)), Qt::ControlModifier); // Ctrl+A types a control character
    press(Qt::Key_F8, KEY_F8);
    ASSERT_EQ(seen.size(), 5);
    EXPECT_EQ(seen[0],
              (KeyboardEvent{KeyboardEvent::Type::flagsChanged, VirtualKeyCode::rightShift, ModifierFlags::shift}));
    EXPECT_EQ(seen[1].charactersIgnoringModifiers, "a");
    EXPECT_EQ(seen[1].modifierFlags, ModifierFlags::shift);
    EXPECT_EQ(seen[2], (KeyboardEvent{KeyboardEvent::Type::flagsChanged, VirtualKeyCode::rightShift, 0}));
    EXPECT_EQ(seen[3].charactersIgnoringModifiers, "a");
    EXPECT_EQ(seen[4].keyCode, VirtualKeyCode::f8);
    EXPECT_TRUE(seen[4].charactersIgnoringModifiers.isEmpty());
}

TEST_F(QtLocalKeyEventMonitorTest, AHeldSwallowedKeyStaysSwallowedUntilReleased) {
    press(Qt::Key_F8, KEY_F8);
    ASSERT_EQ(seen.size(), 1);
    swallow = false; // the handler is done, but the key is still down
    press(Qt::Key_F8, KEY_F8, {}, Qt::NoModifier, true);
    EXPECT_TRUE(overrideAccepted);
    EXPECT_EQ(seen.size(), 1);
    release(Qt::Key_F8, KEY_F8);
    click(Qt::Key_C, KEY_C, "c");
    EXPECT_EQ(editor->text(), "c");
}

TEST_F(QtLocalKeyEventMonitorTest, NewestInstallationFirstAndRemovedOnesSeeNothing) {
    QList<int> order;
    auto second = monitor.install([&](const KeyboardEvent&) {
        order.append(2);
        return false;
    });
    swallow = false;
    click(Qt::Key_D, KEY_D, "d");
    EXPECT_EQ(order, QList<int>{2});
    EXPECT_EQ(seen.size(), 1);
    EXPECT_EQ(monitor.installedCount(), 2);
    second.reset();
    installation.reset();
    EXPECT_EQ(monitor.installedCount(), 0);
    click(Qt::Key_E, KEY_E, "e");
    EXPECT_EQ(seen.size(), 1);
    EXPECT_EQ(editor->text(), "de");
}

TEST_F(QtLocalKeyEventMonitorTest, EventsWithoutAScanCodePassUntouched) {
    click(Qt::Key_F, 0, "f");
    EXPECT_TRUE(seen.isEmpty());
    EXPECT_EQ(editor->text(), "f");
}
