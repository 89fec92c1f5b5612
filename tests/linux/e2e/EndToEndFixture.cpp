#include "EndToEndFixture.h"

#include "Models/ModifierFlags.h"
#include "Support/AccessibilitySupport.h"
#include "Support/BlockingWait.h"
#include "Support/Clock.h"
#include "Support/CorrectionTextIntegrity.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <unistd.h>

namespace quillo::e2etest {

namespace V = quillo::VirtualKeyCode;

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

void EndToEnd::startEditorOnMisspelledField(QJsonObject* clipboard) {
    ASSERT_NO_FATAL_FAILURE(startEditor());
    editor.command(QStringLiteral("set single ") + misspelled);
    if (clipboard) offerFromEditor();
    ASSERT_NO_FATAL_FAILURE(focus(QStringLiteral("single")));
    if (!clipboard) return;
    ASSERT_TRUE(waitUntil([&] { return pasteboard.types(0).contains(QStringLiteral("image/png")); }));
    *clipboard = editor.command(QStringLiteral("clipboard"));
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

namespace {

QStringList serverLog(const cloudtest::CloudTestServer& server) {
    QFile file(QString::fromStdString(server.directory() + "/stderr.log"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

std::optional<QString> EndToEnd::focusedFieldText() { return desktoptest::focusedFieldText(accessibility, workspace); }

bool EndToEnd::setFocusedFieldText(const QString& text) {
    return desktoptest::setFocusedFieldText(accessibility, workspace, text);
}

std::unique_ptr<ExternalProgram> EndToEnd::startChromium(const QTemporaryDir& dir, const QByteArray& page) {
    const QString file = dir.filePath(QStringLiteral("page.html"));
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly) || f.write(page) != page.size()) return nullptr;
    f.close();
    QStringList arguments{QStringLiteral("--user-data-dir=") + dir.filePath(QStringLiteral("profile")),
                          QStringLiteral("--no-first-run"),
                          QStringLiteral("--no-default-browser-check"),
                          QStringLiteral("--disable-gpu"),
                          QStringLiteral("--password-store=basic"),
                          QStringLiteral("--disable-features=Translate"),
                          QStringLiteral("file://") + file};
    // Chromium refuses to run as root with its sandbox.
    if (::geteuid() == 0) arguments.prepend(QStringLiteral("--no-sandbox"));
    auto chromium = std::make_unique<ExternalProgram>(QStringLiteral("chromium"), arguments);
    chromium->useFreshProfile();
    if (!chromium->start() || !bringToFront(chromium->processId())) return nullptr;
    // The window is there before its page is; a trigger before that has nothing to inspect.
    const bool registered = waitUntil(
        [&] {
            const auto front = workspace.frontmostApplication();
            return front && front->processIdentifier == chromium->processId() &&
                   accessibility.applicationElement(static_cast<qint32>(chromium->processId())) != nullptr;
        },
        30000);
    return registered ? std::move(chromium) : nullptr;
}

qsizetype EndToEnd::serverLogLines() const { return serverLog(cloud.server).size(); }

QList<double> EndToEnd::serverCorrectionTimes(qsizetype fromLine) const {
    QList<double> times;
    const QStringList lines = serverLog(cloud.server);
    for (qsizetype index = fromLine; index < lines.size(); ++index) {
        const QJsonObject line = QJsonDocument::fromJson(lines[index].toUtf8()).object();
        if (line[QStringLiteral("event")] == QStringLiteral("request") &&
            line[QStringLiteral("method")] == QStringLiteral("POST") &&
            line[QStringLiteral("path")] == QStringLiteral("/api/correct"))
            times.append(line[QStringLiteral("ms")].toDouble());
    }
    return times;
}

} // namespace quillo::e2etest
