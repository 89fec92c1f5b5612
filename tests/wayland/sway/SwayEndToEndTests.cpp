// The whole document of Mousepad (GTK 3) with the user's clipboard of every type, and the
// targets that are refused without a keystroke.
#include "SwayEndToEndFixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace quillo;
using namespace quillo::swaytest;
namespace V = quillo::VirtualKeyCode;

namespace {

bool write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// What another program reads from the clipboard for a type, while our loop keeps serving.
std::optional<QByteArray> pasted(const QString& type) {
    QProcess paste;
    paste.start(QStringLiteral("wl-paste"), {QStringLiteral("--no-newline"), QStringLiteral("--type"), type});
    if (!waitUntil([&] { return paste.state() == QProcess::NotRunning; }, 10000)) return std::nullopt;
    if (paste.exitCode() != 0) {
        qWarning("wl-paste --type %s: %s", qUtf8Printable(type), paste.readAllStandardError().constData());
        return std::nullopt;
    }
    return paste.readAllStandardOutput();
}

} // namespace

TEST_F(SwayEndToEnd, SwaysBindingCorrectsMousepadsWholeDocumentAndGivesTheClipboardBackByteForByte) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("note.txt"));
    ASSERT_TRUE(write(file, misspelled.toUtf8()));
    const QString expected = expectedCorrection(misspelled);
    ASSERT_NE(expected, misspelled) << "the reference cloud corrected nothing";
    expectTheLayoutOfTheRun();

    // The user's clipboard, held by another program: text, HTML, an image and a private type.
    QByteArray png;
    png.append("\x89PNG\r\n\x1a\n", 8).append(QByteArray(300, '\0')).append("\xff\xfe\x00\x01", 4);
    const QList<std::pair<QString, QByteArray>> clipboard{
        {QStringLiteral("text/plain;charset=utf-8"), QByteArray("keep me\r\nexactly \xc3\xa9")},
        {QStringLiteral("text/html"), QByteArray("<b>bold</b> <i>kept</i>")},
        {QStringLiteral("image/png"), png},
        {QStringLiteral("application/x-quillo-test-private"), QByteArray("\x00\x01\x02private", 10)}};
    QStringList arguments;
    for (const auto& [type, bytes] : clipboard) {
        const QString path = dir.filePath(QString::number(arguments.size()));
        ASSERT_TRUE(write(path, bytes));
        arguments.append(type + QLatin1Char('=') + path);
    }
    QProcess owner;
    owner.start(QStringLiteral(QUILLO_CLIPBOARD_OWNER), arguments);
    ASSERT_TRUE(waitUntil([&] { return owner.canReadLine() || owner.state() == QProcess::NotRunning; }, 10000));
    ASSERT_EQ(owner.readLine().trimmed(), "ready") << owner.readAllStandardError().toStdString();

    QProcess mousepad;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("wayland"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    mousepad.setProcessEnvironment(environment);
    mousepad.start(QStringLiteral("mousepad"), {QStringLiteral("--disable-server"), file});
    ASSERT_TRUE(focusedOn(mousepad.processId())) << "mousepad " << mousepad.processId() << ", " << front();
    ASSERT_TRUE(frontmostFocusIs(FocusedElementCorrectionContext::textInput)) << front();
    ASSERT_TRUE(waitForFieldText(accessibility, workspace, misspelled))
        << focusedFieldText(accessibility, workspace).value_or(QStringLiteral("no text")).toStdString();

    QElapsedTimer elapsed;
    elapsed.start();
    pressTrigger();
    ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString() << "; " << front();
    // A figure for the log only (the reference cloud's time included), never asserted.
    std::printf("trigger to pasted correction on sway: %lld ms\n", static_cast<long long>(elapsed.elapsed()));
    EXPECT_EQ(triggers, 1) << "the trigger came through sway's binding";
    EXPECT_TRUE(toast.events.contains(QStringLiteral("preview"))) << toast.joined().toStdString();

    // The clipboard is the user's again, every type byte for byte, and still served.
    // (Put back a moment after the paste, once the application has read the correction.)
    for (const auto& [type, bytes] : clipboard) {
        std::optional<QByteArray> got;
        waitUntil([&] { return (got = pasted(type)) == bytes; }, 5000);
        EXPECT_EQ(got, bytes) << type.toStdString();
    }

    // What the document holds now, copied out the way the user would.
    pasteboard.clearContents();
    // Select All is seen when the compositor announces the editor's new primary selection.
    const auto selections = pasteboard.selectionChangeCount();
    ASSERT_TRUE(selections);
    shortcut(u'a');
    EXPECT_TRUE(waitUntil([&] { return pasteboard.selectionChangeCount() != selections; })) << front();
    shortcut(u'c');
    EXPECT_TRUE(waitUntil([&] { return pasteboard.string(PasteboardTypes::plainText) == expected; }, 10000))
        << pasteboard.string(PasteboardTypes::plainText).value_or(QStringLiteral("none")).toStdString();

    owner.closeWriteChannel();
    owner.waitForFinished(5000);
    mousepad.kill();
    mousepad.waitForFinished(5000);
}

TEST_F(SwayEndToEnd, APasswordFieldIsRefusedWithNoKeystroke) {
    TestEditor editor;
    ASSERT_TRUE(editor.start());
    ASSERT_TRUE(focusedOn(editor.processId()));
    editor.command(QStringLiteral("set password teh secret"));
    editor.command(QStringLiteral("focus password"));
    ASSERT_TRUE(frontmostFocusIs(FocusedElementCorrectionContext::secureTextInput));
    expectRefusedWithoutAKeystroke(QStringLiteral("Password fields cannot be corrected"));
    const QJsonObject state = editor.command(QStringLiteral("get"));
    EXPECT_EQ(state[QStringLiteral("password")].toString(), QStringLiteral("teh secret"));
    EXPECT_TRUE(state[QStringLiteral("keys")].toArray().isEmpty()) << "the editor received keys";
}

TEST_F(SwayEndToEnd, FootIsRefusedWithNoKeystroke) {
    ExternalProgram foot(QStringLiteral("foot"), {});
    foot.useFreshProfile();
    ASSERT_TRUE(foot.start());
    ASSERT_TRUE(focusedOn(foot.processId()));
    const auto front = workspace.frontmostApplication();
    ASSERT_TRUE(front);
    EXPECT_TRUE(workspace.describe(*front).categories.contains(QStringLiteral("TerminalEmulator")))
        << workspace.describe(*front).categories.join(QLatin1Char(' ')).toStdString();
    const int before = serviceKeys.posted;
    pressTrigger();
    ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    EXPECT_EQ(triggers, 1);
    EXPECT_TRUE(toast.events.last().startsWith(QStringLiteral("error: "))) << toast.joined().toStdString();
    EXPECT_EQ(serviceKeys.posted, before) << "keys were sent to the terminal";
}

TEST_F(SwayEndToEnd, ATriggerChangedInSettingsMovesSwaysBindingAndStoppingRemovesIt) {
    TestEditor editor;
    startEditor(editor, QStringLiteral("password"));
    defaults.setString(QStringLiteral("correctionTriggerKey"), QStringLiteral("f9"));
    ASSERT_EQ(binding.boundKey(), std::optional<QString>(QStringLiteral("F9")));
    // F8 is the application's again; F9 reaches Quillo, through sway, and F8 came first.
    keyboard.post({V::f8, true, 0});
    keyboard.post({V::f8, false, 0});
    pressTrigger(V::f9);
    ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    EXPECT_EQ(triggers, 1);
    const QJsonArray keys = editor.command(QStringLiteral("get"))["keys"].toArray();
    EXPECT_TRUE(keys.contains(QStringLiteral("F8"))) << "sway still holds F8";
    EXPECT_FALSE(keys.contains(QStringLiteral("F9"))) << "sway let F9 through";
    // sway itself has no binding of F8 left to remove, and none of F9 once monitoring stops.
    EXPECT_FALSE(ipc.command(QStringLiteral("unbindsym F8")));
    service->stopMonitoring();
    EXPECT_FALSE(binding.boundKey());
    EXPECT_FALSE(ipc.command(QStringLiteral("unbindsym F9")));
}

// A wlroots compositor that offers the protocols but no sway IPC: sway with its socket unknown.
TEST(OtherWaylandCompositor, IsNeverTrustedAndSaysWhy) {
    if (qEnvironmentVariableIsEmpty("SWAYSOCK")) GTEST_SKIP() << "needs the headless sway of run-in-sway-session";
    WaylandConnection connection;
    SwayIpc none{QString()};
    WaylandAccessibilityPermission permission{connection, none, WaylandAccessibilityPermission::Compositor::other};
    const auto offered = permission.probe();
    EXPECT_TRUE(offered.virtualKeyboard && offered.dataControl && offered.accessibilityBus);
    EXPECT_FALSE(permission.isProcessTrusted());
    EXPECT_FALSE(permission.requestTrust(false));
    EXPECT_EQ(permission.unmetRequirements(), QStringList{WaylandAccessibilityPermission::otherCompositorNotice()});
}
