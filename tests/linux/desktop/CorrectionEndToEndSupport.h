#pragma once
// What the end-to-end suites of every desktop share: the toast that records the outcome, the
// service's keys counted, a silent announcer, a correction held on the reference cloud, and the
// focused field's text over the accessibility bus.
#include "CloudTestServer.h"
#include "DesktopTestSupport.h"

#include "Platform/AccessibilityAnnouncer.h"
#include "Platform/KeystrokeSender.h"
#include "Platform/Linux/AtSpiBus.h"
#include "Platform/Linux/LinuxAccessibility.h"
#include "Platform/Workspace.h"
#include "Services/CorrectionToastPresenting.h"
#include "Support/AccessibilitySupport.h"

#include <QStringList>

namespace quillo::desktoptest {

struct RecordingToast final : CorrectionToastPresenting {
    void showProcessing() override { events.append(QStringLiteral("processing")); }
    void showSuccess(const std::optional<QString>& notice) override {
        events.append(notice ? QStringLiteral("success: ") + *notice : QStringLiteral("success"));
    }
    void showError(const QString& message) override { events.append(QStringLiteral("error: ") + message); }
    void show(const QString&, const QString&, const std::optional<QString>&) override {
        events.append(QStringLiteral("preview"));
    }
    void forceDismiss() override {}
    // Whether the correction's outcome (preview, success or error) was shown.
    bool hasOutcome() const {
        for (const QString& event : events)
            if (event == QLatin1String("preview") || event.startsWith(QLatin1String("success")) ||
                event.startsWith(QLatin1String("error: ")))
                return true;
        return false;
    }
    QString joined() const { return events.join(QStringLiteral("; ")); }
    QStringList events;
};

// The service's keys, counted on their way to the desktop.
struct CountingKeystrokes final : KeystrokeSender {
    explicit CountingKeystrokes(KeystrokeSender& keys) : keys(keys) {}
    bool isAvailable() const override { return keys.isAvailable(); }
    bool post(const SyntheticKeystroke& keystroke) override {
        ++posted;
        return keys.post(keystroke);
    }
    KeystrokeSender& keys;
    int posted = 0;
};

struct SilentAnnouncer final : AccessibilityAnnouncer {
    void announce(const QString&, Priority) override {}
};

// Holds the next correction on the server, once its credits are reserved, until released.
struct ParkedCorrection {
    explicit ParkedCorrection(const cloudtest::CloudTestServer& server) : server(server) {
        server.control("park", {{"count", 1}});
    }
    ~ParkedCorrection() { release(); }
    ParkedCorrection(const ParkedCorrection&) = delete;
    ParkedCorrection& operator=(const ParkedCorrection&) = delete;
    bool arrived() {
        // Short waits on the server, so that this process keeps sending its request meanwhile.
        return waitUntil(
            [&] {
                return server.control("wait-parked", {{"count", 1}, {"timeoutMs", 20}}).body.value("parked", 0) >= 1;
            },
            20000);
    }
    void release() {
        if (released) return;
        released = true;
        server.control("release");
    }
    const cloudtest::CloudTestServer& server;
    bool released = false;
};

// The accessible object that has the frontmost application's focus.
inline std::optional<AtSpiObjectRef> focusedObject(LinuxAccessibility& accessibility, Workspace& workspace) {
    if (!accessibility.connect()) return std::nullopt;
    const auto front = workspace.frontmostApplication();
    if (!front) return std::nullopt;
    const auto application = accessibility.applicationElement(front->processIdentifier);
    const auto focused = application ? application->elementAttribute(QStringLiteral("AXFocusedUIElement")) : nullptr;
    const auto* element = dynamic_cast<const AtSpiAccessibleElement*>(focused.get());
    if (!element) return std::nullopt;
    return element->ref();
}

// The text of the frontmost application's focused field, read over the accessibility bus (the
// tests may; the product never reads text that way); none when it cannot be read.
inline std::optional<QString> focusedFieldText(LinuxAccessibility& accessibility, Workspace& workspace) {
    const auto ref = focusedObject(accessibility, workspace);
    if (!ref) return std::nullopt;
    const AtSpiReply reply =
        accessibility.bus().call(ref->service, ref->path.path(), QStringLiteral("org.a11y.atspi.Text"),
                                 QStringLiteral("GetText"), {QVariant(0), QVariant(-1)});
    if (!reply.ok() || reply.arguments.isEmpty()) return std::nullopt;
    return reply.arguments.first().toString();
}

// Whether the frontmost application's focused field comes to hold `text` within 15 seconds: an
// editor takes the focus before it has finished reading its file.
inline bool waitForFieldText(LinuxAccessibility& accessibility, Workspace& workspace, const QString& text) {
    return waitUntil([&] { return focusedFieldText(accessibility, workspace) == text; }, 15000);
}

// Replaces the focused field's text over the accessibility bus.
inline bool setFocusedFieldText(LinuxAccessibility& accessibility, Workspace& workspace, const QString& text) {
    const auto ref = focusedObject(accessibility, workspace);
    if (!ref) return false;
    const AtSpiReply reply =
        accessibility.bus().call(ref->service, ref->path.path(), QStringLiteral("org.a11y.atspi.EditableText"),
                                 QStringLiteral("SetTextContents"), {QVariant(text)});
    return reply.ok() && !reply.arguments.isEmpty() && reply.arguments.first().toBool();
}

// Whether process `pid` comes to the front within 15 seconds.
inline bool waitForFrontmostProcess(Workspace& workspace, qint64 pid) {
    return waitUntil(
        [&] {
            const auto front = workspace.frontmostApplication();
            return front && front->processIdentifier == pid;
        },
        15000);
}

// Whether the frontmost application's focus comes to be of `context` within 15 seconds.
inline bool waitForFocusContext(LinuxAccessibility& accessibility, Workspace& workspace,
                                FocusedElementCorrectionContext context) {
    return waitUntil(
        [&] {
            const auto front = workspace.frontmostApplication();
            return front && FocusedTextInputInspector::inspection(accessibility, *front).context == context;
        },
        15000);
}

inline const QString misspelled = QStringLiteral("i recieve teh letter yesterday");

} // namespace quillo::desktoptest
