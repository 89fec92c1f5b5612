#include "SwayEndToEndFixture.h"

#include "Platform/Linux/AtSpiBus.h"
#include "Support/BlockingWait.h"
#include "Support/Clock.h"
#include "Support/CorrectionTextIntegrity.h"

#include <QJsonObject>

namespace quillo::swaytest {

namespace V = quillo::VirtualKeyCode;

void SwayEndToEnd::SetUp() {
    if (qEnvironmentVariableIsEmpty("SWAYSOCK")) GTEST_SKIP() << "needs the headless sway of run-in-sway-session";
    cloud.signIn("sway@localhost", 100);
    defaults.setString(QStringLiteral("correctionTriggerKey"), QStringLiteral("f8"));
    ASSERT_TRUE(permission.isProcessTrusted())
        << permission.missingRequirements(permission.probe()).join(QLatin1Char(' ')).toStdString();
    service = std::make_unique<GlobalCorrectionService>(
        GlobalCorrectionService::Environment{
            defaults, binding, permission, workspace, toast, announcer, nullptr, Clock::shared(),
            TextInsertionEngine::Platform{workspace, accessibility, pasteboard, serviceKeys, keyboard}},
        cloud.service.get(), nullptr, nullptr, GlobalCorrectionService::StatusCallback{}, &cloud.auth);
    ASSERT_TRUE(service->startMonitoring()) << toast.joined().toStdString();
    ASSERT_EQ(binding.boundKey(), std::optional<QString>(QStringLiteral("F8")));
    ASSERT_TRUE(channel.listen());
    QObject::connect(&channel, &AppInstanceChannel::requestReceived, [this](const AppInstanceChannel::Request& r) {
        if (r.trigger) ++triggers, service->handleTriggerCommand();
    });
    ASSERT_TRUE(accessibility.connect());
    // Qt applications describe themselves only once the desktop's accessibility is on.
    AtSpiBus::enableAccessibility();
}

void SwayEndToEnd::expectRefusedWithoutAKeystroke(const QString& sentence) {
    const int before = serviceKeys.posted;
    pressTrigger();
    ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    EXPECT_EQ(triggers, 1);
    EXPECT_TRUE(toast.events.last().startsWith(QStringLiteral("error: ") + sentence)) << toast.joined().toStdString();
    EXPECT_EQ(serviceKeys.posted, before) << "keys were sent";
}

QString SwayEndToEnd::expectedCorrection(const QString& text) {
    const auto result =
        blockingWait(cloud.service->correctText(text, QStringLiteral("cloud_very_very_fast"),
                                                CloudCorrectionModel::veryVeryFast, CorrectionWritingMode::proofread));
    if (!result) return text;
    return CorrectionTextIntegrity::normalizedCorrection(result->correction, text);
}

void SwayEndToEnd::expectTheLayoutOfTheRun() {
    const QString layout = qEnvironmentVariable("XKB_DEFAULT_LAYOUT");
    if (layout == QLatin1String("fr")) {
        EXPECT_EQ(keyboard.keyCode(u'a'), std::optional<quint16>(V::q));
    } else if (layout == QLatin1String("ru")) {
        EXPECT_EQ(keyboard.characters(V::a), QStringLiteral("ф"));
    } else if (layout == QLatin1String("gr")) {
        EXPECT_EQ(keyboard.characters(V::a), QStringLiteral("α"));
    }
}

bool SwayEndToEnd::focusedOn(qint64 pid) { return waitForFrontmostProcess(workspace, pid); }

bool SwayEndToEnd::frontmostFocusIs(FocusedElementCorrectionContext context) {
    return waitForFocusContext(accessibility, workspace, context);
}

std::string SwayEndToEnd::front() {
    const auto app = workspace.frontmostApplication();
    if (!app) return "nothing in front";
    return QStringLiteral("in front: process %1 (%2), focus %3")
        .arg(app->processIdentifier)
        .arg(app->bundleIdentifier, caseName(FocusedTextInputInspector::inspection(accessibility, *app).context))
        .toStdString();
}

void SwayEndToEnd::pressTrigger(quint16 key) {
    toast.events.clear();
    triggers = 0;
    keyboard.post({key, true, 0});
    keyboard.post({key, false, 0});
}

bool SwayEndToEnd::outcomeShown() {
    return waitUntil([&] { return toast.hasOutcome(); }, 30000) &&
           waitUntil([&] { return !service->isCorrectionRunning(); }, 10000);
}

void SwayEndToEnd::shortcut(QChar letter) {
    const auto code = keyboard.keyCode(letter);
    ASSERT_TRUE(code);
    keyboard.post({*code, true, ModifierFlags::control});
    keyboard.post({*code, false, ModifierFlags::control});
}

void SwayEndToEnd::startEditor(TestEditor& editor, const QString& name) {
    ASSERT_TRUE(editor.start());
    ASSERT_TRUE(focusedOn(editor.processId()));
    editor.command(QStringLiteral("focus ") + name);
    ASSERT_TRUE(waitUntil([&] { return editor.command(QStringLiteral("get"))["focus"].toString() == name; }));
    ASSERT_TRUE(frontmostFocusIs(name == QLatin1String("password") ? FocusedElementCorrectionContext::secureTextInput
                                                                   : FocusedElementCorrectionContext::textInput));
}

QString SwayEndToEnd::field(TestEditor& editor, const QString& name) {
    return editor.command(QStringLiteral("get"))[name].toString();
}

} // namespace quillo::swaytest
