#include "EndToEndFixture.h"

#include "Models/ModifierFlags.h"
#include "Support/AccessibilitySupport.h"
#include "Support/BlockingWait.h"
#include "Support/Clock.h"
#include "Support/CorrectionTextIntegrity.h"

namespace quillo::e2etest {

namespace V = quillo::VirtualKeyCode;

bool RecordingToast::hasOutcome() const {
    for (const QString& event : events)
        if (event == QLatin1String("preview") || event.startsWith(QLatin1String("success")) ||
            event.startsWith(QLatin1String("error: ")))
            return true;
    return false;
}

void EndToEnd::SetUp() {
    if (!inDesktopSession()) GTEST_SKIP() << "needs the private desktop session of run-in-desktop-session";
    cloud.signIn("e2e@localhost", 100);
    defaults.setString(QStringLiteral("correctionTriggerKey"), QStringLiteral("f8"));
    service = std::make_unique<GlobalCorrectionService>(
        GlobalCorrectionService::Environment{
            defaults, tap, permission, workspace, toast, announcer, nullptr, Clock::shared(),
            TextInsertionEngine::Platform{workspace, accessibility, pasteboard, keys, layout}},
        cloud.service.get(), nullptr, nullptr, GlobalCorrectionService::StatusCallback{}, &cloud.auth);
    ASSERT_TRUE(service->startMonitoring()) << toast.joined().toStdString();
    // A second, independent tap: the keys sent to the target, for the refusal cases.
    ASSERT_TRUE(observer.create() && observer.attachToMainLoop());
    observer.setEnabled(true);
    QObject::connect(&observer, &EventTap::keyEvent, [this](const KeyboardEvent& e) {
        if (e.type == KeyboardEvent::Type::keyDown) seenKeys.append(e.keyCode);
        if (e.type == KeyboardEvent::Type::flagsChanged && e.keyCode == V::shift) ++shiftChanges;
    });
}

void EndToEnd::offerFromEditor(const QString& command) {
    keys.post({V::shift, true, 0});
    keys.post({V::shift, false, 0});
    waitUntil([] { return false; }, 100);
    editor.command(command);
}

bool EndToEnd::bringToFront(qint64 pid) {
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

void EndToEnd::startEditor() {
    ASSERT_TRUE(editor.start());
    ASSERT_TRUE(bringToFront(editor.processId()));
}

void EndToEnd::focus(const QString& field) {
    editor.command(QStringLiteral("focus ") + field);
    ASSERT_TRUE(waitUntil([&] { return editor.command(QStringLiteral("get"))["focus"].toString() == field; }));
    // Let the focus event reach the accessibility bus before the trigger.
    waitUntil([&] { return false; }, 150);
}

QString EndToEnd::field(const QString& name) { return editor.command(QStringLiteral("get"))[name].toString(); }

QString EndToEnd::expectedCorrection(const QString& text) {
    const auto result =
        blockingWait(cloud.service->correctText(text, QStringLiteral("cloud_very_very_fast"),
                                                CloudCorrectionModel::veryVeryFast, CorrectionWritingMode::proofread));
    if (!result) return text;
    return CorrectionTextIntegrity::normalizedCorrection(result->correction, text);
}

void EndToEnd::pressTrigger() {
    seenKeys.clear();
    toast.events.clear();
    ASSERT_TRUE(keys.post({V::f8, true, 0}));
    ASSERT_TRUE(keys.post({V::f8, false, 0}));
}

bool EndToEnd::correctionEnded(int timeoutMs) {
    const bool started = waitUntil([&] { return service->isCorrectionRunning() || !toast.events.isEmpty(); });
    return started && waitUntil([&] { return !service->isCorrectionRunning(); }, timeoutMs);
}

bool EndToEnd::outcomeShown(int timeoutMs) {
    return waitUntil([&] { return toast.hasOutcome(); }, timeoutMs) &&
           waitUntil([&] { return !service->isCorrectionRunning(); }, timeoutMs);
}

bool EndToEnd::keysSettled() {
    const int before = shiftChanges;
    if (!keys.post({V::shift, true, 0}) || !keys.post({V::shift, false, 0})) return false;
    return waitUntil([&] { return shiftChanges >= before + 2; });
}

QList<quint16> EndToEnd::keysBesidesTrigger() const {
    QList<quint16> others;
    for (quint16 key : seenKeys)
        if (key != V::f8 && key != V::shift) others.append(key);
    return others;
}

bool EndToEnd::frontmostFocusIs(FocusedElementCorrectionContext context, int timeoutMs) {
    if (!accessibility.connect()) return false;
    return waitUntil(
        [&] {
            const auto front = workspace.frontmostApplication();
            return front && FocusedTextInputInspector::inspection(accessibility, *front).context == context;
        },
        timeoutMs);
}

void EndToEnd::shortcut(QChar letter) {
    const auto code = layout.keyCode(letter);
    ASSERT_TRUE(code);
    ASSERT_TRUE(keys.post({*code, true, ModifierFlags::control}));
    ASSERT_TRUE(keys.post({*code, false, ModifierFlags::control}));
}

} // namespace quillo::e2etest
