#include "DesktopTestSupport.h"

#include "Models/ModifierFlags.h"
#include "Models/VirtualKeyCode.h"
#include "Platform/Linux/LinuxAccessibility.h"
#include "Platform/Linux/LinuxAccessibilityPermission.h"
#include "Platform/Linux/LinuxEventTap.h"
#include "Platform/Linux/LinuxKeyboardLayout.h"
#include "Platform/Linux/LinuxKeystrokeSender.h"
#include "Platform/Linux/LinuxPasteboard.h"
#include "Platform/Linux/LinuxWorkspace.h"
#include "Support/AccessibilitySupport.h"
#include "Support/Clock.h"
#include "Support/PasteboardTransaction.h"

#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>
#include <gtest/gtest.h>

#include <csignal>

using namespace quillo;
using namespace quillo::desktoptest;
namespace V = quillo::VirtualKeyCode;
namespace F = quillo::ModifierFlags;

namespace {

class Desktop : public ::testing::Test {
protected:
    void SetUp() override {
        if (!inDesktopSession()) GTEST_SKIP() << "needs the private desktop session of run-in-desktop-session";
    }

    // Starts the editor and waits until the window manager made it the active window.
    void startEditor(const QString& focus = QStringLiteral("single")) {
        ASSERT_TRUE(editor.start());
        ASSERT_TRUE(bringToFront(editor.processId())) << "the editor never became the active window";
        editor.command(QStringLiteral("focus ") + focus);
        ASSERT_TRUE(waitUntil([&] { return editor.command(QStringLiteral("get"))["focus"].toString() == focus; }));
    }

    // The X server ignores a clipboard claim stamped earlier than the last one, and the editor
    // stamps with the time of its last event, as any application does after the user's key.
    void offerFromEditor(const QString& command = QStringLiteral("offer")) {
        keys.post({VirtualKeyCode::shift, true, 0});
        keys.post({VirtualKeyCode::shift, false, 0});
        waitUntil([] { return false; }, 100);
        editor.command(command);
    }

    bool bringToFront(qint64 pid, int timeoutMs = 15000) {
        int attempts = 0;
        return waitUntil(
            [&] {
                auto front = workspace.frontmostApplication();
                if (front && front->processIdentifier == pid) return true;
                if (++attempts % 20 == 0) activateWindowOf(pid);
                return false;
            },
            timeoutMs);
    }

    void shortcut(QChar letter) {
        const auto code = layout.keyCode(letter);
        ASSERT_TRUE(code);
        ASSERT_TRUE(keys.post({*code, true, F::control}));
        ASSERT_TRUE(keys.post({*code, false, F::control}));
    }

    FocusedTextInputInspection inspectEditor() {
        return FocusedTextInputInspector::inspection(
            accessibility, RunningApplication{static_cast<qint32>(editor.processId()), QStringLiteral("editor")});
    }

    LinuxWorkspace workspace;
    LinuxKeyboardLayout layout;
    LinuxKeystrokeSender keys;
    LinuxPasteboard pasteboard;
    LinuxAccessibility accessibility{Clock::shared()};
    TestEditor editor;
};

QJsonObject clipboardOf(TestEditor& editor) { return editor.command(QStringLiteral("clipboard")); }

} // namespace

TEST_F(Desktop, TheSessionOffersEverythingTheProductNeeds) {
    const LinuxAccessibilityPermission permission;
    const auto facilities = permission.probe();
    EXPECT_TRUE(facilities.x11Session);
    EXPECT_TRUE(facilities.xinput2);
    EXPECT_TRUE(facilities.xtest);
    EXPECT_TRUE(facilities.accessibilityBus);
    EXPECT_TRUE(permission.isProcessTrusted());
    EXPECT_TRUE(permission.missingRequirements().isEmpty());
}

TEST_F(Desktop, ClipboardSnapshotAndRestoreKeepEveryTypeOfAnotherOwner) {
    startEditor();
    offerFromEditor();
    ASSERT_TRUE(waitUntil([&] { return pasteboard.types(0).contains(QStringLiteral("image/png")); }));
    const QJsonObject before = clipboardOf(editor);
    const qint64 countBefore = pasteboard.changeCount();

    const PasteboardSnapshot snapshot = PasteboardSnapshot::capture(pasteboard);
    ASSERT_EQ(snapshot.items.size(), 1);
    const QString marker = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const auto write = TransientPasteboardWrite::install(QStringLiteral("corrected text"), marker,
                                                         QStringLiteral("com.quillo.transient-pasteboard"), pasteboard);
    EXPECT_GT(write.changeCount, countBefore);
    EXPECT_EQ(pasteboard.string(PasteboardTypes::plainText), QStringLiteral("corrected text"));
    // The other application sees our text and our marker type.
    QJsonObject during;
    EXPECT_TRUE(waitUntil([&] {
        during = clipboardOf(editor);
        return during["formats"].toArray().contains(QStringLiteral("com.quillo.transient-pasteboard"));
    }));
    EXPECT_EQ(QByteArray::fromBase64(during["data"].toObject()["text/plain"].toString().toLatin1()), "corrected text");

    ASSERT_TRUE(write.restoreIfStillOwned(snapshot, pasteboard));
    QJsonObject after;
    EXPECT_TRUE(waitUntil([&] {
        after = clipboardOf(editor);
        return !after["formats"].toArray().contains(QStringLiteral("com.quillo.transient-pasteboard"));
    }));
    for (const QString& type : {QStringLiteral("text/plain"), QStringLiteral("text/html"), QStringLiteral("image/png"),
                                QStringLiteral("application/x-quillo-test")}) {
        EXPECT_TRUE(after["formats"].toArray().contains(type)) << type.toStdString();
        EXPECT_EQ(after["data"].toObject()[type].toString(), before["data"].toObject()[type].toString())
            << type.toStdString();
    }
    EXPECT_FALSE(after["formats"].toArray().contains(QStringLiteral("com.quillo.transient-pasteboard")));
}

TEST_F(Desktop, AnotherOwnerMovesTheChangeCountAndWinsOverARestore) {
    startEditor();
    const QString marker = QStringLiteral("marker-1");
    const PasteboardSnapshot empty;
    const auto write = TransientPasteboardWrite::install(QStringLiteral("ours"), marker,
                                                         QStringLiteral("com.quillo.transient-pasteboard"), pasteboard);
    offerFromEditor();
    ASSERT_TRUE(waitUntil([&] { return pasteboard.changeCount() != write.changeCount; }));
    EXPECT_FALSE(write.restoreIfStillOwned(empty, pasteboard));
    EXPECT_EQ(QByteArray::fromBase64(clipboardOf(editor)["data"].toObject()["text/plain"].toString().toLatin1()),
              "the user's own text");

    // A restore after a change moved the count: refused as well.
    const qint64 seen = pasteboard.changeCount();
    offerFromEditor(QStringLiteral("offerfiles"));
    ASSERT_TRUE(waitUntil([&] { return pasteboard.changeCount() != seen; }));
    EXPECT_FALSE(empty.restoreIfUnchanged(seen, pasteboard));
    // Copied files are files, even with a path as text beside them.
    ASSERT_TRUE(waitUntil([&] { return pasteboard.types(0).contains(PasteboardTypes::fileUrl); }));
    EXPECT_TRUE(LinuxPasteboard::representsFiles(pasteboard.types(0)));
    EXPECT_EQ(PasteboardTextCandidate::acceptedText(pasteboard.string(PasteboardTypes::plainText), pasteboard.types(0)),
              std::nullopt);
}

TEST_F(Desktop, PlainTextIsReadWithTheOwnersLineEndsAndComesBackWithThem) {
    startEditor();
    offerFromEditor(QStringLiteral("offerlines"));
    ASSERT_TRUE(waitUntil([&] { return pasteboard.types(0).contains(QStringLiteral("text/plain;charset=utf-8")); }));
    EXPECT_EQ(pasteboard.string(PasteboardTypes::plainText), QStringLiteral("first line\nsecond line"));

    // A snapshot and restore give back both forms exactly.
    const QJsonObject before = clipboardOf(editor);
    const PasteboardSnapshot snapshot = PasteboardSnapshot::capture(pasteboard);
    const auto write = TransientPasteboardWrite::install(QStringLiteral("x"), QStringLiteral("marker-2"),
                                                         QStringLiteral("com.quillo.transient-pasteboard"), pasteboard);
    ASSERT_TRUE(write.restoreIfStillOwned(snapshot, pasteboard));
    QJsonObject after;
    EXPECT_TRUE(waitUntil([&] {
        after = clipboardOf(editor);
        return !after["formats"].toArray().contains(QStringLiteral("com.quillo.transient-pasteboard"));
    }));
    for (const QString type : {QStringLiteral("text/plain"), QStringLiteral("text/plain;charset=utf-8")})
        EXPECT_EQ(after["data"].toObject()[type].toString(), before["data"].toObject()[type].toString())
            << type.toStdString();
    EXPECT_EQ(pasteboard.string(PasteboardTypes::plainText), QStringLiteral("first line\nsecond line"));
}

TEST_F(Desktop, ShortcutsReachTheEditorAndNoModifierStaysDown) {
    startEditor();
    editor.command(QStringLiteral("set single hello wrold"));
    shortcut(u'a');
    shortcut(u'c');
    ASSERT_TRUE(
        waitUntil([&] { return pasteboard.string(PasteboardTypes::plainText) == QStringLiteral("hello wrold"); }));

    pasteboard.clearContents();
    pasteboard.writeItems({PasteboardItem().setString(PasteboardTypes::plainText, QStringLiteral("hello world"))});
    // The user still holds Shift: Control+V must stay Control+V, Right Arrow must not select.
    ASSERT_TRUE(keys.post({V::shift, true, 0}));
    EXPECT_FALSE(keys.heldModifierKeycodes().isEmpty());
    shortcut(u'v');
    ASSERT_TRUE(waitUntil([&] { return editor.command(QStringLiteral("get"))["single"].toString() == "hello world"; }));
    EXPECT_TRUE(keys.heldModifierKeycodes().isEmpty()) << "a modifier was left down";

    shortcut(u'a');
    ASSERT_TRUE(
        waitUntil([&] { return editor.command(QStringLiteral("get"))["selected"].toString() == "hello world"; }));
    ASSERT_TRUE(keys.post({V::shift, true, 0}));
    ASSERT_TRUE(keys.post({V::rightArrow, true, 0}));
    ASSERT_TRUE(keys.post({V::rightArrow, false, 0}));
    ASSERT_TRUE(waitUntil([&] { return editor.command(QStringLiteral("get"))["selected"].toString().isEmpty(); }));
    EXPECT_TRUE(keys.heldModifierKeycodes().isEmpty());
}

TEST_F(Desktop, TheEventTapSeesKeysAndModifiersWithoutTakingThem) {
    startEditor();
    editor.command(QStringLiteral("set single "));
    LinuxEventTap tap;
    ASSERT_TRUE(tap.create());
    ASSERT_TRUE(tap.attachToMainLoop());
    tap.setEnabled(true);
    QList<KeyboardEvent> events;
    QObject::connect(&tap, &EventTap::keyEvent, [&](const KeyboardEvent& e) { events.append(e); });

    ASSERT_TRUE(keys.post({V::f8, true, 0}));
    ASSERT_TRUE(keys.post({V::f8, false, 0}));
    ASSERT_TRUE(waitUntil([&] { return !events.isEmpty(); }));
    EXPECT_EQ(events.first().type, KeyboardEvent::Type::keyDown);
    EXPECT_EQ(events.first().keyCode, V::f8);

    events.clear();
    ASSERT_TRUE(keys.post({V::rightOption, true, 0}));
    ASSERT_TRUE(keys.post({V::rightOption, false, 0}));
    ASSERT_TRUE(waitUntil([&] { return events.size() >= 2; }));
    EXPECT_EQ(events[0].type, KeyboardEvent::Type::flagsChanged);
    EXPECT_EQ(events[0].keyCode, V::rightOption);
    EXPECT_EQ(events[0].modifierFlags, F::option);
    EXPECT_EQ(events[1].keyCode, V::rightOption);
    EXPECT_EQ(events[1].modifierFlags, 0u);

    // A typed letter still reaches the editor: the tap only listens.
    events.clear();
    ASSERT_TRUE(keys.post({V::k, true, 0}));
    ASSERT_TRUE(keys.post({V::k, false, 0}));
    ASSERT_TRUE(waitUntil([&] { return editor.command(QStringLiteral("get"))["single"].toString() == "k"; }));
    ASSERT_TRUE(waitUntil([&] { return !events.isEmpty(); }));
    EXPECT_EQ(events.first().keyCode, V::k);
    EXPECT_EQ(events.first().charactersIgnoringModifiers, QString()) << "no layout given to the tap";

    tap.setEnabled(false);
    events.clear();
    ASSERT_TRUE(keys.post({V::f8, true, 0}));
    ASSERT_TRUE(keys.post({V::f8, false, 0}));
    waitUntil([] { return false; }, 200);
    EXPECT_TRUE(events.isEmpty());
}

TEST_F(Desktop, AConsumedTriggerKeyReachesOnlyTheTap) {
    startEditor();
    editor.command(QStringLiteral("set single "));
    LinuxEventTap tap;
    ASSERT_TRUE(tap.create() && tap.attachToMainLoop());
    tap.setEnabled(true);
    QList<quint16> downs;
    QObject::connect(&tap, &EventTap::keyEvent, [&](const KeyboardEvent& e) {
        if (e.type == KeyboardEvent::Type::keyDown) downs.append(e.keyCode);
    });
    auto keysOfEditor = [&] { return editor.command(QStringLiteral("get"))["keys"].toArray(); };
    auto type = [&](quint16 key) {
        ASSERT_TRUE(keys.post({key, true, 0}));
        ASSERT_TRUE(keys.post({key, false, 0}));
    };

    ASSERT_TRUE(tap.setConsumedKey(V::f8));
    EXPECT_FALSE(tap.setConsumedKey(V::rightOption)) << "a modifier is never grabbed";
    ASSERT_TRUE(tap.setConsumedKey(V::f8));
    // With Caps Lock on as well: the grab covers the lock keys.
    for (bool capsLock : {false, true}) {
        if (capsLock) type(V::capsLock);
        downs.clear();
        type(V::f8);
        type(V::k); // a key typed after it, which the editor does get
        ASSERT_TRUE(waitUntil([&] { return downs.contains(V::k); }));
        EXPECT_TRUE(downs.contains(V::f8)) << "the tap still sees the trigger";
        ASSERT_TRUE(waitUntil([&] { return keysOfEditor().contains(QStringLiteral("K")); }));
        EXPECT_FALSE(keysOfEditor().contains(QStringLiteral("F8"))) << "caps lock " << capsLock;
        if (capsLock) type(V::capsLock);
    }

    // Released: the key goes to the application again.
    ASSERT_TRUE(tap.setConsumedKey(std::nullopt));
    downs.clear();
    type(V::f8);
    EXPECT_TRUE(waitUntil([&] { return keysOfEditor().contains(QStringLiteral("F8")); }));
    EXPECT_TRUE(waitUntil([&] { return downs.contains(V::f8); }));
}

TEST_F(Desktop, AccessibilityClassifiesTheEditorsFields) {
    startEditor();
    ASSERT_TRUE(accessibility.connect());
    ASSERT_TRUE(waitUntil([&] { return inspectEditor().context == FocusedElementCorrectionContext::textInput; }))
        << "the single-line field was never seen as a text input";

    editor.command(QStringLiteral("focus password"));
    const bool secure =
        waitUntil([&] { return inspectEditor().context == FocusedElementCorrectionContext::secureTextInput; });
    ASSERT_TRUE(secure);

    editor.command(QStringLiteral("set multi first line\\nsecond line"));
    editor.command(QStringLiteral("focus multi"));
    ASSERT_TRUE(waitUntil([&] { return inspectEditor().context == FocusedElementCorrectionContext::textInput; }));
    auto app = accessibility.applicationElement(static_cast<qint32>(editor.processId()));
    ASSERT_TRUE(app);
    auto focused = app->elementAttribute(AccessibilityAttributes::focusedUIElement);
    ASSERT_TRUE(focused);
    EXPECT_EQ(focused->stringAttribute(AccessibilityAttributes::role), AccessibilityRoles::textArea);
    EXPECT_EQ(focused->processIdentifier(), editor.processId());

    editor.command(QStringLiteral("select multi 0 5"));
    ASSERT_TRUE(waitUntil([&] { return inspectEditor().selectionState == FocusedTextSelectionState::nonEmpty; }));

    // Reads sent together answer as reads sent one by one, on the field and on its parent.
    namespace A = AccessibilityAttributes;
    auto together = app->elementAttribute(A::focusedUIElement);
    const auto* field = dynamic_cast<const AtSpiAccessibleElement*>(together.get());
    ASSERT_TRUE(field);
    auto plainBus = std::make_shared<AtSpiBus>(Clock::shared());
    ASSERT_TRUE(plainBus->connectToBus());
    AccessibilityElementRef oneByOne =
        std::make_shared<AtSpiAccessibleElement>(plainBus, field->ref(), AtSpiAccessibleElement::Kind::object);
    together->prefetch();
    auto parentTogether = together->elementAttribute(A::parent);
    auto parentOneByOne = oneByOne->elementAttribute(A::parent);
    ASSERT_TRUE(parentTogether && parentOneByOne);
    EXPECT_TRUE(sameElement(parentTogether, parentOneByOne));
    parentTogether->prefetch();
    for (const auto& [a, b] : {std::pair{together, oneByOne}, std::pair{parentTogether, parentOneByOne}}) {
        EXPECT_EQ(a->stringAttribute(A::role), b->stringAttribute(A::role));
        EXPECT_EQ(a->stringAttribute(A::subrole), b->stringAttribute(A::subrole));
        EXPECT_EQ(a->booleanAttribute(A::isEditable), b->booleanAttribute(A::isEditable));
        EXPECT_EQ(a->rangeAttribute(A::selectedTextRange), b->rangeAttribute(A::selectedTextRange));
        EXPECT_EQ(a->attributeNames(), b->attributeNames());
        EXPECT_EQ(a->isAttributeSettable(A::selectedTextRange), b->isAttributeSettable(A::selectedTextRange));
    }
    EXPECT_EQ(together->rangeAttribute(A::selectedTextRange), (AccessibilityRange{0, 5}));

    editor.command(QStringLiteral("select multi 3 0"));
    ASSERT_TRUE(waitUntil([&] { return inspectEditor().selectionState == FocusedTextSelectionState::empty; }));
}

TEST_F(Desktop, AHungApplicationMakesInspectionUnknownInsteadOfHanging) {
    startEditor();
    ASSERT_TRUE(accessibility.connect());
    ASSERT_TRUE(waitUntil([&] { return inspectEditor().context == FocusedElementCorrectionContext::textInput; }));
    accessibility.bus().setCallTimeoutMs(200);
    ::kill(static_cast<pid_t>(editor.processId()), SIGSTOP);
    // Fresh handles, as the next correction would make them.
    LinuxAccessibility fresh{Clock::shared()};
    fresh.bus().setCallTimeoutMs(200);
    const auto result = FocusedTextInputInspector::inspection(
        fresh, RunningApplication{static_cast<qint32>(editor.processId()), QStringLiteral("editor")});
    ::kill(static_cast<pid_t>(editor.processId()), SIGCONT);
    EXPECT_EQ(result.context, FocusedElementCorrectionContext::other);
    EXPECT_EQ(result.selectionState, FocusedTextSelectionState::unknown);
}

TEST_F(Desktop, MousepadsEditorIsAnEditableText) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("note.txt"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("A note for Mousepad.\n");
    }
    ExternalProgram mousepad(QStringLiteral("mousepad"), {QStringLiteral("--disable-server"), file});
    ASSERT_TRUE(mousepad.start());
    ASSERT_TRUE(bringToFront(mousepad.processId()));
    const auto front = workspace.frontmostApplication();
    EXPECT_TRUE(ApplicationIdentifiers::matchesName(front->bundleIdentifier, QStringLiteral("mousepad")))
        << front->bundleIdentifier.toStdString();
    EXPECT_FALSE(TerminalApplicationPolicy::isTerminal(front->bundleIdentifier));
    ASSERT_TRUE(accessibility.connect());
    ASSERT_TRUE(waitUntil(
        [&] {
            return FocusedTextInputInspector::inspection(accessibility, *front).context ==
                   FocusedElementCorrectionContext::textInput;
        },
        15000));
}

TEST_F(Desktop, XtermIsRecognisedAsATerminal) {
    ExternalProgram xterm(QStringLiteral("xterm"), {QStringLiteral("-e"), QStringLiteral("sleep 60")});
    ASSERT_TRUE(xterm.start());
    QList<RunningApplication> activated;
    QObject::connect(&workspace, &Workspace::applicationActivated,
                     [&](const RunningApplication& app) { activated.append(app); });
    ASSERT_TRUE(bringToFront(xterm.processId()));
    EXPECT_TRUE(TerminalApplicationPolicy::isTerminal(workspace.frontmostApplication()->bundleIdentifier));
    ASSERT_TRUE(waitUntil([&] { return !activated.isEmpty(); }));
    EXPECT_EQ(activated.last().processIdentifier, xterm.processId());
}

TEST_F(Desktop, UxtermAndLxterminalAreTerminalsByTheirNamesAndDesktopEntries) {
    for (const QString program : {QStringLiteral("uxterm"), QStringLiteral("lxterminal")}) {
        ExternalProgram terminal(program, {QStringLiteral("-e"), QStringLiteral("sleep 60")});
        terminal.useFreshProfile();
        ASSERT_TRUE(terminal.start());
        ASSERT_TRUE(bringToFront(terminal.processId())) << program.toStdString();
        const auto front = workspace.frontmostApplication();
        ASSERT_TRUE(front);
        const ApplicationDescription description = workspace.describe(*front);
        EXPECT_TRUE(description.categories.contains(TerminalApplicationPolicy::terminalCategory))
            << program.toStdString() << ": " << description.identifiers.join(u',').toStdString();
        EXPECT_TRUE(TerminalApplicationPolicy::isTerminal(description)) << program.toStdString();
        if (program != QLatin1String("lxterminal")) continue;
        // Its VTE widget also says so on the accessibility bus.
        ASSERT_TRUE(accessibility.connect());
        EXPECT_TRUE(
            waitUntil([&] { return FocusedTextInputInspector::inspection(accessibility, *front).terminal; }, 15000));
    }
    // Mousepad is no terminal, by any of its names.
    QTemporaryDir dir;
    ExternalProgram mousepad(QStringLiteral("mousepad"),
                             {QStringLiteral("--disable-server"), dir.filePath(QStringLiteral("n.txt"))});
    mousepad.useFreshProfile();
    ASSERT_TRUE(mousepad.start());
    ASSERT_TRUE(bringToFront(mousepad.processId()));
    EXPECT_FALSE(TerminalApplicationPolicy::isTerminal(workspace.describe(*workspace.frontmostApplication())));
}

TEST_F(Desktop, KeyboardLayoutFollowsTheServersKeymap) {
    ASSERT_TRUE(layout.isAvailable());
    EXPECT_EQ(layout.keyCode(u'a'), V::a);
    ASSERT_EQ(QProcess::execute(QStringLiteral("setxkbmap"), {QStringLiteral("fr")}), 0);
    EXPECT_TRUE(waitUntil([&] { return layout.keyCode(u'a') == V::q; }));
    EXPECT_EQ(layout.characters(V::q), QStringLiteral("a"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("setxkbmap"), {QStringLiteral("ru")}), 0);
    EXPECT_TRUE(waitUntil([&] { return layout.characters(V::a) == QStringLiteral("ф"); }));
    EXPECT_EQ(layout.keyCode(u'v'), V::v);
    ASSERT_EQ(QProcess::execute(QStringLiteral("setxkbmap"), {QStringLiteral("us")}), 0);
    EXPECT_TRUE(waitUntil([&] { return layout.characters(V::a) == QStringLiteral("a"); }));
}
