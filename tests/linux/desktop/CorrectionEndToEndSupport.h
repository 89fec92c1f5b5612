#pragma once
// What the end-to-end suites of every desktop share: the toast that records the outcome, a
// silent announcer, and a correction held on the reference cloud.
#include "CloudTestServer.h"
#include "DesktopTestSupport.h"

#include "Platform/AccessibilityAnnouncer.h"
#include "Services/CorrectionToastPresenting.h"

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

inline const QString misspelled = QStringLiteral("i recieve teh letter yesterday");

} // namespace quillo::desktoptest
