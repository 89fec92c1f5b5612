// End to end on a headless GNOME Shell: the trigger through a custom keybinding, Mousepad's whole
// document and selection with the user's clipboard given back byte for byte, a Qt field, the
// refusals, a moved focus, and a refused remote desktop dialog.
#include "GnomeEndToEndFixture.h"
#include "Platform/Wayland/GnomeRemoteDesktop.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <linux/input-event-codes.h>

#include <algorithm>

using namespace quillo;
using namespace quillo::gnometest;

namespace {

bool write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The user's clipboard: text, HTML, an image and a private type.
QList<std::pair<QString, QByteArray>> usersClipboard() {
    QByteArray png;
    png.append("\x89PNG\r\n\x1a\n", 8).append(QByteArray(300, '\0')).append("\xff\xfe\x00\x01", 4);
    return {{QStringLiteral("text/plain;charset=utf-8"), QByteArray("keep me\r\nexactly \xc3\xa9")},
            {QStringLiteral("text/html"), QByteArray("<b>bold</b> <i>kept</i>")},
            {QStringLiteral("image/png"), png},
            {QStringLiteral("application/x-quillo-test-private"), QByteArray("\x00\x01\x02private", 10)}};
}

} // namespace

TEST_F(GnomeEndToEnd, TheCustomKeybindingRunsTheTriggerCommand) {
    // Nothing focused matters here: the key press must come back as `quillo --trigger`.
    EXPECT_TRUE(customKeybindingsSetting().contains(QStringLiteral("custom-keybindings/")))
        << customKeybindingsSetting().toStdString();
    pressTrigger();
    ASSERT_TRUE(waitUntil([&] { return triggers >= 1; }, 15000)) << "GNOME did not run the trigger command";
    if (service) {
        ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    }
    // One press, one trigger.
    ASSERT_TRUE(triggersSettled());
    EXPECT_EQ(triggers, 1);
}

TEST_F(GnomeCorrection, MousepadsWholeDocumentIsCorrectedAndTheClipboardComesBackByteForByte) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("note.txt"));
    ASSERT_TRUE(write(file, misspelled.toUtf8()));
    const QString expected = expectedCorrection(misspelled);
    ASSERT_NE(expected, misspelled) << "the reference cloud corrected nothing";
    const auto clipboard = usersClipboard();
    ClipboardOwner owner;
    ASSERT_TRUE(owner.start(clipboard));

    ExternalProgram mousepad(QStringLiteral("mousepad"), {QStringLiteral("--disable-server"), file});
    mousepad.useFreshProfile();
    ASSERT_TRUE(mousepad.start());
    ASSERT_TRUE(focusedOn(mousepad.processId()));
    ASSERT_TRUE(frontmostFocusIs(FocusedElementCorrectionContext::textInput));
    ASSERT_TRUE(waitForFieldText(accessibility, workspace, misspelled))
        << focusedFieldText().value_or(QStringLiteral("no text")).toStdString();
    pressTrigger();
    ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    EXPECT_EQ(triggers, 1) << "the trigger came through the custom keybinding";
    EXPECT_TRUE(waitUntil([&] { return focusedFieldText() == expected; }, 10000))
        << focusedFieldText().value_or(QStringLiteral("none")).toStdString();

    // The clipboard is the user's again, every type byte for byte.
    for (const auto& [type, bytes] : clipboard) {
        std::optional<QByteArray> got;
        waitUntil([&] { return (got = clipboardBytes(type)) == bytes; }, 5000);
        EXPECT_EQ(got, bytes) << type.toStdString();
    }
}

TEST_F(GnomeCorrection, OnlyTheSelectionOfMousepadIsCorrected) {
    QTemporaryDir dir;
    const QString first = QStringLiteral("teh first line");
    const QString second = QStringLiteral("teh second line");
    const QString file = dir.filePath(QStringLiteral("note.txt"));
    ASSERT_TRUE(write(file, (first + QLatin1Char('\n') + second).toUtf8()));
    const QString expectedFirst = expectedCorrection(first);
    ASSERT_NE(expectedFirst, first);
    ExternalProgram mousepad(QStringLiteral("mousepad"), {QStringLiteral("--disable-server"), file});
    mousepad.useFreshProfile();
    ASSERT_TRUE(mousepad.start());
    ASSERT_TRUE(focusedOn(mousepad.processId()));
    ASSERT_TRUE(frontmostFocusIs(FocusedElementCorrectionContext::textInput));
    // The first line selected as the user would: Control+Home, then Shift+End.
    ASSERT_TRUE(keyboard.control(KEY_HOME));
    ASSERT_TRUE(keyboard.shifted(KEY_END));
    pressTrigger();
    ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    EXPECT_TRUE(waitUntil([&] { return focusedFieldText() == expectedFirst + QLatin1Char('\n') + second; }, 10000))
        << focusedFieldText().value_or(QStringLiteral("none")).toStdString();
}

TEST_F(GnomeCorrection, AQtFieldIsCorrected) {
    TestEditor editor;
    startEditor(editor);
    const QString expected = expectedCorrection(misspelled);
    ASSERT_NE(expected, misspelled);
    editor.command(QStringLiteral("set single ") + misspelled);
    pressTrigger();
    ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    if (!waitUntil([&] { return field(editor, QStringLiteral("single")) == expected; }, 10000)) {
        // Which keys reached the editor tells a lost keystroke from a slow clipboard.
        const QJsonObject state = editor.command(QStringLiteral("get"));
        ADD_FAILURE()
            << state[QStringLiteral("single")].toString().toStdString() << "; keys received: "
            << QJsonDocument(state[QStringLiteral("keys")].toArray()).toJson(QJsonDocument::Compact).toStdString()
            << "; window active: " << state[QStringLiteral("active")].toBool();
    }
}

TEST_F(GnomeCorrection, APasswordFieldIsRefusedWithNoKeystroke) {
    TestEditor editor;
    startEditor(editor, QStringLiteral("password"));
    editor.command(QStringLiteral("set password teh secret"));
    expectRefusedWithoutAKeystroke(QStringLiteral("Password fields cannot be corrected"));
    const QJsonObject state = editor.command(QStringLiteral("get"));
    EXPECT_EQ(state[QStringLiteral("password")].toString(), QStringLiteral("teh secret"));
    // Only the End keys that showed the window took keys.
    const QJsonArray keys = state[QStringLiteral("keys")].toArray();
    EXPECT_TRUE(std::all_of(keys.begin(), keys.end(), [](const QJsonValue& key) {
        return key == QStringLiteral("End");
    })) << "the editor received keys";
}

TEST_F(GnomeCorrection, ATerminalIsRefusedWithNoKeystroke) {
    ExternalProgram terminal(QStringLiteral("lxterminal"), {});
    terminal.useFreshProfile();
    ASSERT_TRUE(terminal.start());
    ASSERT_TRUE(focusedOn(terminal.processId()));
    const int before = serviceKeysPosted();
    pressTrigger();
    ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    EXPECT_EQ(triggers, 1);
    EXPECT_TRUE(toast.events.last().startsWith(QStringLiteral("error: "))) << toast.joined().toStdString();
    EXPECT_EQ(serviceKeysPosted(), before) << "keys were sent to the terminal";
}

TEST_F(GnomeCorrection, FocusMovedBeforeThePasteLeavesBothAlone) {
    TestEditor editor;
    startEditor(editor);
    editor.command(QStringLiteral("set single ") + misspelled);
    ParkedCorrection parked(cloud.server);
    pressTrigger();
    ASSERT_TRUE(parked.arrived()) << toast.joined().toStdString();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("other.txt"));
    ASSERT_TRUE(write(file, QByteArray("untouched")));
    ExternalProgram mousepad(QStringLiteral("mousepad"), {QStringLiteral("--disable-server"), file});
    mousepad.useFreshProfile();
    ASSERT_TRUE(mousepad.start());
    ASSERT_TRUE(focusedOn(mousepad.processId()));
    const int before = serviceKeysPosted();
    parked.release();
    ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    EXPECT_TRUE(toast.events.last().startsWith(QStringLiteral("error: Not pasted: you switched to another app")))
        << toast.joined().toStdString();
    EXPECT_EQ(serviceKeysPosted(), before) << "keys went to the other application";
    EXPECT_EQ(focusedFieldText(), QStringLiteral("untouched"));
    EXPECT_EQ(field(editor, QStringLiteral("single")), misspelled);
}

namespace {

// The user presses Cancel in the remote desktop dialog.
class GnomeConsentRefused : public GnomeCorrection {
protected:
    ConsentAnswer::Choice consentChoice() const override { return ConsentAnswer::Choice::deny; }
};

} // namespace

TEST_F(GnomeConsentRefused, ARefusedDialogIsSaidOnceAndNothingIsTyped) {
    ASSERT_TRUE(consent->answered()) << "no remote desktop dialog was shown";
    ASSERT_TRUE(waitUntil([&] { return !notices.isEmpty(); }, 10000));
    EXPECT_EQ(notices, QStringList{GnomeRemoteDesktop::refusedSentence()});
    EXPECT_FALSE(platform->permission().isProcessTrusted());
    EXPECT_FALSE(service->startMonitoring()) << "corrections started without the user's consent";
    EXPECT_FALSE(customKeybindingsSetting().contains(QStringLiteral("quillo")))
        << customKeybindingsSetting().toStdString();
    TestEditor editor;
    startEditor(editor);
    editor.command(QStringLiteral("set single ") + misspelled);
    // The trigger key now is the editor's own key: nothing of Quillo's may follow it.
    pressTrigger();
    waitUntil([&] { return triggers > 0 || toast.hasOutcome(); }, 2000);
    EXPECT_EQ(triggers, 0);
    EXPECT_EQ(serviceKeysPosted(), 0) << "keys were sent without the user's consent";
    EXPECT_EQ(field(editor, QStringLiteral("single")), misspelled);
    EXPECT_EQ(notices.size(), 1) << "the refusal was said more than once";
}
