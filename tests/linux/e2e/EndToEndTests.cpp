// One key press correcting a field of another application, on a real X server: our service with
// the real X11 platform, the reference cloud over HTTPS, target applications in other processes,
// the trigger (F8) typed with XTest.
#include "CloudClientHarness.h"
#include "DesktopTestSupport.h"

#include "Models/VirtualKeyCode.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Platform/Linux/LinuxAccessibility.h"
#include "Platform/Linux/LinuxAccessibilityPermission.h"
#include "Platform/Linux/LinuxEventTap.h"
#include "Platform/Linux/LinuxKeyboardLayout.h"
#include "Platform/Linux/LinuxKeystrokeSender.h"
#include "Platform/Linux/LinuxPasteboard.h"
#include "Platform/Linux/LinuxWorkspace.h"
#include "Services/GlobalCorrectionService.h"
#include "Support/AccessibilitySupport.h"
#include "Support/BlockingWait.h"
#include "Support/Clock.h"
#include "Support/CorrectionTextIntegrity.h"

#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

using namespace quillo;
using namespace quillo::desktoptest;
namespace V = quillo::VirtualKeyCode;

namespace {

struct RecordingToast final : CorrectionToastPresenting {
    void showProcessing() override { events.append(QStringLiteral("processing")); }
    void showSuccess(const std::optional<QString>&) override { events.append(QStringLiteral("success")); }
    void showError(const QString& message) override { events.append(QStringLiteral("error: ") + message); }
    void show(const QString&, const QString&, const std::optional<QString>&) override {
        events.append(QStringLiteral("preview"));
    }
    void forceDismiss() override {}
    QStringList events;
};

struct SilentAnnouncer final : AccessibilityAnnouncer {
    void announce(const QString&, Priority) override {}
};

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (!inDesktopSession()) GTEST_SKIP() << "needs the private desktop session of run-in-desktop-session";
        cloud.signIn("e2e@localhost", 100);
        defaults.setString(QStringLiteral("correctionTriggerKey"), QStringLiteral("f8"));
        service = std::make_unique<GlobalCorrectionService>(
            GlobalCorrectionService::Environment{
                defaults, tap, permission, workspace, toast, announcer, nullptr, Clock::shared(),
                TextInsertionEngine::Platform{workspace, accessibility, pasteboard, keys, layout}},
            cloud.service.get(), nullptr, nullptr, GlobalCorrectionService::StatusCallback{}, &cloud.auth);
        ASSERT_TRUE(service->startMonitoring()) << toast.events.join(QStringLiteral("; ")).toStdString();
        // A second, independent tap: the keys sent to the target, for the refusal cases.
        ASSERT_TRUE(observer.create() && observer.attachToMainLoop());
        observer.setEnabled(true);
        QObject::connect(&observer, &EventTap::keyEvent, [this](const KeyboardEvent& e) {
            if (e.type == KeyboardEvent::Type::keyDown) seenKeys.append(e.keyCode);
        });
    }

    // The X server ignores a clipboard claim stamped earlier than the last one, and the editor
    // stamps with the time of its last event, as any application does after the user's key.
    void offerFromEditor(const QString& command = QStringLiteral("offer")) {
        keys.post({VirtualKeyCode::shift, true, 0});
        keys.post({VirtualKeyCode::shift, false, 0});
        waitUntil([] { return false; }, 100);
        editor.command(command);
    }

    bool bringToFront(qint64 pid) {
        int attempts = 0;
        return waitUntil(
            [&] {
                auto front = workspace.frontmostApplication();
                if (front && front->processIdentifier == pid) return true;
                if (++attempts % 20 == 0) activateWindowOf(pid);
                return false;
            },
            15000);
    }

    void startEditor() {
        ASSERT_TRUE(editor.start());
        ASSERT_TRUE(bringToFront(editor.processId()));
    }

    void focus(const QString& field) {
        editor.command(QStringLiteral("focus ") + field);
        ASSERT_TRUE(waitUntil([&] { return editor.command(QStringLiteral("get"))["focus"].toString() == field; }));
        // Let the focus event reach the accessibility bus before the trigger.
        waitUntil([&] { return false; }, 150);
    }

    QString field(const QString& name) { return editor.command(QStringLiteral("get"))[name].toString(); }

    // What the reference cloud makes of a text, asked directly.
    QString expectedCorrection(const QString& text) {
        const auto result = blockingWait(cloud.service->correctText(text, QStringLiteral("cloud_very_very_fast"),
                                                                    CloudCorrectionModel::veryVeryFast,
                                                                    CorrectionWritingMode::proofread));
        if (!result) return text;
        return CorrectionTextIntegrity::normalizedCorrection(result->correction, text);
    }

    void pressTrigger() {
        seenKeys.clear();
        toast.events.clear();
        ASSERT_TRUE(keys.post({V::f8, true, 0}));
        ASSERT_TRUE(keys.post({V::f8, false, 0}));
    }

    // The correction has ended when the service holds no correction any more.
    bool correctionEnded(int timeoutMs = 20000) {
        const bool started = waitUntil([&] { return service->isCorrectionRunning() || !toast.events.isEmpty(); });
        return started && waitUntil([&] { return !service->isCorrectionRunning(); }, timeoutMs);
    }

    // The keys other than the trigger that went to the desktop.
    QList<quint16> keysBesidesTrigger() const {
        QList<quint16> others;
        for (quint16 key : seenKeys)
            if (key != V::f8) others.append(key);
        return others;
    }

    cloudclienttest::CloudClientHarness cloud;
    InMemoryUserDefaults defaults;
    LinuxEventTap tap;
    LinuxEventTap observer;
    LinuxAccessibilityPermission permission;
    LinuxWorkspace workspace;
    LinuxAccessibility accessibility{Clock::shared()};
    LinuxPasteboard pasteboard;
    LinuxKeystrokeSender keys;
    LinuxKeyboardLayout layout;
    RecordingToast toast;
    SilentAnnouncer announcer;
    std::unique_ptr<GlobalCorrectionService> service;
    TestEditor editor;
    QList<quint16> seenKeys;
};

const QString misspelled = QStringLiteral("i recieve teh letter yesterday");

} // namespace

TEST_F(EndToEnd, TheWholeFieldIsCorrectedAndTheClipboardComesBackExactly) {
    startEditor();
    const QString expected = expectedCorrection(misspelled);
    ASSERT_NE(expected, misspelled) << "the reference cloud corrected nothing";
    editor.command(QStringLiteral("set single ") + misspelled);
    offerFromEditor();
    focus(QStringLiteral("single"));
    ASSERT_TRUE(waitUntil([&] { return pasteboard.types(0).contains(QStringLiteral("image/png")); }));
    const QJsonObject before = editor.command(QStringLiteral("clipboard"));

    pressTrigger();
    ASSERT_TRUE(correctionEnded()) << toast.events.join(QStringLiteral("; ")).toStdString();
    EXPECT_TRUE(toast.events.contains(QStringLiteral("preview")))
        << toast.events.join(QStringLiteral("; ")).toStdString();
    EXPECT_TRUE(waitUntil([&] { return field(QStringLiteral("single")) == expected; }))
        << field(QStringLiteral("single")).toStdString();
    EXPECT_TRUE(editor.command(QStringLiteral("get"))["selected"].toString().isEmpty())
        << "the field was left selected";

    // Every type of the user's clipboard is back, byte for byte, once the restore ran.
    QJsonObject after;
    EXPECT_TRUE(waitUntil([&] {
        after = editor.command(QStringLiteral("clipboard"));
        return after["data"].toObject()[QStringLiteral("image/png")] ==
                   before["data"].toObject()[QStringLiteral("image/png")] &&
               !after["formats"].toArray().contains(QStringLiteral("com.quillo.transient-pasteboard"));
    }));
    for (const QString type : {QStringLiteral("text/plain"), QStringLiteral("text/html"), QStringLiteral("image/png"),
                               QStringLiteral("application/x-quillo-test")})
        EXPECT_EQ(after["data"].toObject()[type], before["data"].toObject()[type]) << type.toStdString();
}

TEST_F(EndToEnd, OnlyTheSelectionIsCorrected) {
    startEditor();
    const QString first = QStringLiteral("teh first line");
    const QString second = QStringLiteral("teh second line");
    const QString expectedFirst = expectedCorrection(first);
    ASSERT_NE(expectedFirst, first);
    editor.command(QStringLiteral("set multi ") + first + QStringLiteral("\\n") + second);
    focus(QStringLiteral("multi"));
    editor.command(QStringLiteral("select multi 0 ") + QString::number(first.size()));
    waitUntil([&] { return false; }, 150);

    pressTrigger();
    ASSERT_TRUE(correctionEnded()) << toast.events.join(QStringLiteral("; ")).toStdString();
    EXPECT_TRUE(waitUntil([&] {
        return field(QStringLiteral("multi")) == expectedFirst + QStringLiteral("\n") + second;
    })) << field(QStringLiteral("multi")).toStdString();
}

TEST_F(EndToEnd, APasswordFieldIsRefusedWithNoKeystroke) {
    startEditor();
    editor.command(QStringLiteral("set password teh secret"));
    focus(QStringLiteral("password"));
    pressTrigger();
    ASSERT_TRUE(correctionEnded());
    ASSERT_FALSE(toast.events.isEmpty());
    EXPECT_TRUE(toast.events.last().startsWith(QStringLiteral("error: Password fields cannot be corrected")))
        << toast.events.join(QStringLiteral("; ")).toStdString();
    waitUntil([&] { return false; }, 200);
    EXPECT_TRUE(keysBesidesTrigger().isEmpty()) << keysBesidesTrigger().size() << " keys were sent";
    EXPECT_EQ(field(QStringLiteral("password")), QStringLiteral("teh secret"));
}

TEST_F(EndToEnd, ATerminalIsRefusedWithNoKeystroke) {
    ExternalProgram xterm(QStringLiteral("xterm"), {QStringLiteral("-e"), QStringLiteral("sleep 60")});
    ASSERT_TRUE(xterm.start());
    ASSERT_TRUE(bringToFront(xterm.processId()));
    pressTrigger();
    ASSERT_TRUE(correctionEnded());
    ASSERT_FALSE(toast.events.isEmpty());
    EXPECT_TRUE(toast.events.last().startsWith(QStringLiteral("error: ")))
        << toast.events.join(QStringLiteral("; ")).toStdString();
    waitUntil([&] { return false; }, 200);
    EXPECT_TRUE(keysBesidesTrigger().isEmpty()) << keysBesidesTrigger().size() << " keys were sent to the terminal";
}

TEST_F(EndToEnd, TextChangedBeforeThePasteIsLeftAlone) {
    startEditor();
    editor.command(QStringLiteral("set single ") + misspelled);
    focus(QStringLiteral("single"));
    // The cloud takes its time; meanwhile the user edits the field.
    cloud.server.control("delay", {{"milliseconds", 1500}, {"count", 1}});
    pressTrigger();
    ASSERT_TRUE(waitUntil([&] { return service->isCorrectionRunning(); }));
    waitUntil([&] { return false; }, 500);
    editor.command(QStringLiteral("set single my own new words"));
    ASSERT_TRUE(correctionEnded());
    ASSERT_FALSE(toast.events.isEmpty());
    EXPECT_TRUE(
        toast.events.last().startsWith(QStringLiteral("error: Not pasted: the original text or selection changed")))
        << toast.events.join(QStringLiteral("; ")).toStdString();
    EXPECT_EQ(field(QStringLiteral("single")), QStringLiteral("my own new words"));
}

TEST_F(EndToEnd, SwitchingApplicationBeforeThePasteLeavesBothAlone) {
    startEditor();
    editor.command(QStringLiteral("set single ") + misspelled);
    focus(QStringLiteral("single"));
    cloud.server.control("delay", {{"milliseconds", 2500}, {"count", 1}});
    pressTrigger();
    ASSERT_TRUE(waitUntil([&] { return service->isCorrectionRunning(); }));
    ExternalProgram xterm(QStringLiteral("xterm"), {QStringLiteral("-e"), QStringLiteral("sleep 60")});
    ASSERT_TRUE(xterm.start());
    ASSERT_TRUE(bringToFront(xterm.processId()));
    seenKeys.clear();
    ASSERT_TRUE(correctionEnded());
    ASSERT_FALSE(toast.events.isEmpty());
    EXPECT_TRUE(toast.events.last().startsWith(QStringLiteral("error: Not pasted: you switched to another app")))
        << toast.events.join(QStringLiteral("; ")).toStdString();
    EXPECT_TRUE(keysBesidesTrigger().isEmpty()) << "keys went to the other application";
    EXPECT_EQ(field(QStringLiteral("single")), misspelled);
}

TEST_F(EndToEnd, MousepadsDocumentIsCorrected) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("note.txt"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(misspelled.toUtf8());
    }
    const QString expected = expectedCorrection(misspelled);
    ExternalProgram mousepad(QStringLiteral("mousepad"), {QStringLiteral("--disable-server"), file});
    ASSERT_TRUE(mousepad.start());
    ASSERT_TRUE(bringToFront(mousepad.processId()));
    ASSERT_TRUE(accessibility.connect());
    const auto front = *workspace.frontmostApplication();
    ASSERT_TRUE(waitUntil(
        [&] {
            return FocusedTextInputInspector::inspection(accessibility, front).context ==
                   FocusedElementCorrectionContext::textInput;
        },
        15000));
    pressTrigger();
    ASSERT_TRUE(correctionEnded()) << toast.events.join(QStringLiteral("; ")).toStdString();
    EXPECT_TRUE(toast.events.contains(QStringLiteral("preview")))
        << toast.events.join(QStringLiteral("; ")).toStdString();
    // What the document holds now, copied out the way the user would.
    pasteboard.clearContents();
    const auto a = layout.keyCode(u'a');
    const auto c = layout.keyCode(u'c');
    keys.post({*a, true, 0x40000});
    keys.post({*a, false, 0x40000});
    keys.post({*c, true, 0x40000});
    keys.post({*c, false, 0x40000});
    EXPECT_TRUE(waitUntil([&] { return pasteboard.string(PasteboardTypes::plainText) == expected; }))
        << pasteboard.string(PasteboardTypes::plainText).value_or(QStringLiteral("none")).toStdString();
}

// Not a pass/fail test: the trigger-to-paste time of 20 whole-field corrections on this X server
// with the local cloud (run with --gtest_also_run_disabled_tests; the "InsertionLatency" lines
// give the capture and paste intervals).
TEST_F(EndToEnd, DISABLED_TriggerToPasteTimes) {
    startEditor();
    const QString expected = expectedCorrection(misspelled);
    QList<double> totals;
    for (int run = 0; run < 20; ++run) {
        editor.command(QStringLiteral("set single ") + misspelled);
        focus(QStringLiteral("single"));
        const double start = Clock::shared().uptimeSeconds();
        pressTrigger();
        ASSERT_TRUE(waitUntil([&] { return field(QStringLiteral("single")) == expected; }, 20000));
        totals.append((Clock::shared().uptimeSeconds() - start) * 1000.0);
        ASSERT_TRUE(correctionEnded());
        waitUntil([&] { return false; }, 300); // the clipboard restore
    }
    std::sort(totals.begin(), totals.end());
    std::printf("trigger-to-paste ms: median %.1f worst %.1f\n", (totals[9] + totals[10]) / 2, totals.last());
}
