#include "GnomeEndToEndFixture.h"

#include "Platform/Linux/AtSpiBus.h"
#include "Support/BlockingWait.h"
#include "Support/CorrectionTextIntegrity.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonObject>

#include <linux/input-event-codes.h>

#include <algorithm>
#include <utility>

namespace quillo::gnometest {

void GnomeEndToEnd::SetUp() {
    if (!inGnomeSession()) GTEST_SKIP() << "needs the headless GNOME Shell of run-in-gnome-session";
    cloud.signIn("gnome@localhost", 100);
    defaults.setString(QStringLiteral("correctionTriggerKey"), QStringLiteral("f8"));
    ASSERT_TRUE(keyboard.open()) << "Mutter's remote desktop interface gave no keyboard";
    ASSERT_TRUE(channel.listen());
    QObject::connect(&channel, &AppInstanceChannel::requestReceived, [this](const AppInstanceChannel::Request& r) {
        if (!r.trigger) return;
        ++triggers;
        if (service) service->handleTriggerCommand();
    });
    // Qt applications describe themselves only once the desktop's accessibility is on.
    AtSpiBus::enableAccessibility();
    ASSERT_TRUE(accessibility.connect());
    consent = std::make_unique<ConsentAnswer>(consentChoice());
    if (!startService()) {
        // Without the layer the harness writes the keybinding itself, as onboarding would.
        ASSERT_TRUE(setCustomKeybindings({{QStringLiteral("F8"), QStringLiteral(QUILLO_EXECUTABLE " --trigger")}}));
    } else {
        if (!platform->permission().isProcessTrusted()) return; // the refusal cases look at that
        ASSERT_TRUE(service->startMonitoring()) << toast.joined().toStdString();
    }
    awaitLiveTrigger();
}

void GnomeEndToEnd::awaitLiveTrigger() {
    // The media keys daemon grabs a keybinding a moment after it is written, and says nothing
    // when it has: F8 until a trigger comes back (with nothing focused, each is refused). A
    // press is repeated only once GNOME started no command for it, and after ever longer
    // waits, so that few presses are still on their way when the first trigger arrives.
    QDeadlineTimer deadline(30000);
    int patience = 500;
    while (triggers == 0 && !deadline.hasExpired()) {
        ASSERT_TRUE(keyboard.press(KEY_F8));
        waitUntil([&] { return triggers > 0; }, patience);
        waitUntil([&] { return triggers > 0 || !triggerCommandRunning(); }, 20000);
        patience = std::min(patience * 2, 4000);
    }
    ASSERT_GT(triggers, 0) << "GNOME did not run the trigger command";
    // The triggers of the presses still on their way must not count in the case.
    ASSERT_TRUE(triggersSettled());
    if (service) {
        ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    }
    toast.events.clear();
    triggers = 0;
}

bool GnomeEndToEnd::triggersSettled() {
    // One more turn of the event loop after the last command ended reads what it wrote.
    bool ended = false;
    return waitUntil(
        [&] {
            if (triggerCommandRunning()) return ended = false;
            return std::exchange(ended, true);
        },
        20000);
}

void GnomeEndToEnd::TearDown() {
    if (service) service->stopMonitoring();
    if (inGnomeSession()) setCustomKeybindings({});
}

bool GnomeEndToEnd::startService() {
    // The user allowed remote interaction in onboarding: the layer asks GNOME at once, and the
    // dialog appears for the answerer.
    defaults.setBoolean(QStringLiteral("remoteDesktopAllowed"), true);
    platform = DesktopPlatform::make(DesktopSession::gnome, QStringLiteral(QUILLO_EXECUTABLE " --trigger"), defaults);
    if (!platform) {
        missingLayer = QStringLiteral("this build serves GNOME with no desktop layer");
        return false;
    }
    platform->setNoticeHandler([this](const QString& sentence) { notices.append(sentence); });
    // Allowed: keys and clipboard ready; refused: a sentence said.
    waitUntil([&] { return platform->permission().isProcessTrusted() || !notices.isEmpty(); }, 60000);
    serviceKeys = std::make_unique<CountingKeystrokes>(platform->keystrokes());
    service = std::make_unique<GlobalCorrectionService>(
        GlobalCorrectionService::Environment{defaults, platform->eventTap(), platform->permission(), workspace, toast,
                                             announcer, nullptr, Clock::shared(),
                                             TextInsertionEngine::Platform{workspace, accessibility,
                                                                           platform->pasteboard(), *serviceKeys,
                                                                           platform->keyboardLayout()}},
        cloud.service.get(), nullptr, nullptr, GlobalCorrectionService::StatusCallback{}, &cloud.auth);
    return true;
}

void GnomeCorrection::SetUp() {
    GnomeEndToEnd::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    if (!service) GTEST_SKIP() << missingLayer.toStdString();
    if (consentChoice() == ConsentAnswer::Choice::allow) {
        ASSERT_TRUE(platform->permission().isProcessTrusted())
            << "remote interaction was not allowed: " << notices.join(QLatin1Char(' ')).toStdString();
    }
}

void GnomeEndToEnd::expectRefusedWithoutAKeystroke(const QString& sentence) {
    const int before = serviceKeysPosted();
    pressTrigger();
    ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    EXPECT_EQ(triggers, 1);
    EXPECT_TRUE(toast.events.last().startsWith(QStringLiteral("error: ") + sentence)) << toast.joined().toStdString();
    EXPECT_EQ(serviceKeysPosted(), before) << "keys were sent";
}

QString GnomeEndToEnd::expectedCorrection(const QString& text) {
    const auto result =
        blockingWait(cloud.service->correctText(text, QStringLiteral("cloud_very_very_fast"),
                                                CloudCorrectionModel::veryVeryFast, CorrectionWritingMode::proofread));
    if (!result) return text;
    return CorrectionTextIntegrity::normalizedCorrection(result->correction, text);
}

bool GnomeEndToEnd::focusedOn(qint64 pid) { return waitForFrontmostProcess(workspace, pid); }

bool GnomeEndToEnd::frontmostFocusIs(FocusedElementCorrectionContext context) {
    return waitForFocusContext(accessibility, workspace, context);
}

void GnomeEndToEnd::pressTrigger() {
    toast.events.clear();
    triggers = 0;
    ASSERT_TRUE(keyboard.press(KEY_F8));
}

bool GnomeEndToEnd::outcomeShown() {
    return waitUntil([&] { return toast.hasOutcome(); }, 30000) &&
           waitUntil([&] { return !service || !service->isCorrectionRunning(); }, 10000);
}

void GnomeEndToEnd::startEditor(TestEditor& editor, const QString& name) {
    ASSERT_TRUE(editor.start());
    ASSERT_TRUE(focusedOn(editor.processId()));
    editor.command(QStringLiteral("focus ") + name);
    ASSERT_TRUE(waitUntil([&] { return editor.command(QStringLiteral("get"))["focus"].toString() == name; }));
    ASSERT_TRUE(frontmostFocusIs(name == QLatin1String("password") ? FocusedElementCorrectionContext::secureTextInput
                                                                   : FocusedElementCorrectionContext::textInput));
    // The window says it is active before GNOME may route keys to it: End, harmless in an empty
    // line, until the editor has seen one, so that a case's keys meet a window that takes them.
    const auto endSeen = [&] {
        return editor.command(QStringLiteral("get"))[QStringLiteral("keys")].toArray().contains(QStringLiteral("End"));
    };
    QDeadlineTimer deadline(10000);
    while (!endSeen() && !deadline.hasExpired()) {
        ASSERT_TRUE(keyboard.press(KEY_END));
        waitUntil(endSeen, 500);
    }
    ASSERT_TRUE(endSeen()) << "the editor's window never took a key";
}

QString GnomeEndToEnd::field(TestEditor& editor, const QString& name) {
    return editor.command(QStringLiteral("get"))[name].toString();
}

} // namespace quillo::gnometest
