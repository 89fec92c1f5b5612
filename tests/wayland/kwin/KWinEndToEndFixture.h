#pragma once

// The KWin suite's fixture: our correction service with the KDE layer and a private reference
// cloud. The trigger is F8 pressed through KWin's fake input, which KWin's global shortcut
// service turns into our action's globalShortcutPressed.
#include "CloudClientHarness.h"
#include "CorrectionEndToEndSupport.h"
#include "DesktopTestSupport.h"
#include "Models/ModifierFlags.h"
#include "Models/VirtualKeyCode.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Platform/Linux/AtSpiBus.h"
#include "Platform/Linux/LinuxAccessibility.h"
#include "Platform/Wayland/AtSpiWorkspace.h"
#include "Platform/Wayland/KGlobalAccelBinding.h"
#include "Platform/Wayland/KWinAccessibilityPermission.h"
#include "Platform/Wayland/KWinFakeInput.h"
#include "Platform/Wayland/WaylandConnection.h"
#include "Platform/Wayland/WaylandPasteboard.h"
#include "Services/GlobalCorrectionService.h"
#include "Support/AccessibilitySupport.h"
#include "Support/BlockingWait.h"
#include "Support/Clock.h"
#include "Support/CorrectionTextIntegrity.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace quillo::kwintest {

namespace V = quillo::VirtualKeyCode;
using namespace quillo::desktoptest;

inline bool write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// What another program reads from the clipboard for a type, while our loop keeps serving.
inline std::optional<QByteArray> pasted(const QString& type) {
    QProcess paste;
    paste.start(QStringLiteral("wl-paste"), {QStringLiteral("--no-newline"), QStringLiteral("--type"), type});
    if (!waitUntil([&] { return paste.state() == QProcess::NotRunning; }, 10000)) return std::nullopt;
    if (paste.exitCode() != 0) return std::nullopt;
    return paste.readAllStandardOutput();
}

class KWinEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariable("XDG_CURRENT_DESKTOP") != QLatin1String("KDE"))
            GTEST_SKIP() << "needs the headless KWin of run-in-kwin-session";
        cloud.signIn("kwin@localhost", 100);
        defaults.setString(QStringLiteral("correctionTriggerKey"), QStringLiteral("f8"));
        // Qt applications describe themselves only once the desktop's accessibility is on.
        AtSpiBus::enableAccessibility();
        ASSERT_TRUE(permission.isProcessTrusted())
            << permission.missingRequirements(permission.probe()).join(QLatin1Char(' ')).toStdString();
        service = std::make_unique<GlobalCorrectionService>(
            GlobalCorrectionService::Environment{
                defaults, binding, permission, workspace, toast, announcer, nullptr, Clock::shared(),
                TextInsertionEngine::Platform{workspace, accessibility, pasteboard, serviceKeys, keyboard}},
            cloud.service.get(), nullptr, nullptr, GlobalCorrectionService::StatusCallback{}, &cloud.auth);
        QObject::connect(&binding, &KGlobalAccelBinding::triggered, [this] {
            ++triggers;
            service->handleTriggerCommand();
        });
        ASSERT_TRUE(service->startMonitoring()) << toast.joined().toStdString();
        ASSERT_EQ(binding.activeKeys(), QList<int>{Qt::Key_F8});
        ASSERT_TRUE(accessibility.connect());
    }
    void TearDown() override {
        if (service) service->stopMonitoring();
    }
    // The trigger, then Quillo's refusal: no key of the service reached the desktop.
    void expectRefusedWithoutAKeystroke(const QString& sentence) {
        const int before = serviceKeys.posted;
        press(V::f8);
        ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
        EXPECT_EQ(triggers, 1);
        EXPECT_TRUE(toast.events.last().startsWith(QStringLiteral("error: ") + sentence))
            << toast.joined().toStdString();
        EXPECT_EQ(serviceKeys.posted, before) << "keys were sent";
    }
    QString expectedCorrection(const QString& text) {
        const auto result = blockingWait(cloud.service->correctText(text, QStringLiteral("cloud_very_very_fast"),
                                                                    CloudCorrectionModel::veryVeryFast,
                                                                    CorrectionWritingMode::proofread));
        if (!result) return text;
        return CorrectionTextIntegrity::normalizedCorrection(result->correction, text);
    }
    bool focusedOn(qint64 pid) { return waitForFrontmostProcess(workspace, pid); }
    bool frontmostFocusIs(FocusedElementCorrectionContext context) {
        return waitForFocusContext(accessibility, workspace, context);
    }
    // A key as the user presses it: KWin sees it, not us.
    void press(quint16 key) {
        keyboard.post({key, true, 0});
        keyboard.post({key, false, 0});
    }
    // The trigger key, F8, with the toast cleared for its outcome.
    void pressTrigger() {
        toast.events.clear();
        press(V::f8);
    }
    bool outcomeShown() {
        return waitUntil([&] { return toast.hasOutcome(); }, 30000) &&
               waitUntil([&] { return !service->isCorrectionRunning(); }, 10000);
    }
    void shortcut(QChar letter) {
        const auto code = keyboard.keyCode(letter);
        ASSERT_TRUE(code);
        keyboard.post({*code, true, ModifierFlags::control});
        keyboard.post({*code, false, ModifierFlags::control});
    }

    // The focused field's text and setting it, through its accessibility interface.
    std::optional<QString> focusedFieldText() { return desktoptest::focusedFieldText(accessibility, workspace); }
    bool setFocusedFieldText(const QString& text) {
        return desktoptest::setFocusedFieldText(accessibility, workspace, text);
    }

    cloudclienttest::CloudClientHarness cloud;
    InMemoryUserDefaults defaults;
    WaylandConnection connection;
    AtSpiWorkspace workspace{Clock::shared()};
    KWinFakeInput keyboard{connection};
    CountingKeystrokes serviceKeys{keyboard};
    WaylandPasteboard pasteboard{connection};
    KGlobalAccelBinding binding;
    KWinAccessibilityPermission permission{connection};
    LinuxAccessibility accessibility{Clock::shared()};
    RecordingToast toast;
    SilentAnnouncer announcer;
    std::unique_ptr<GlobalCorrectionService> service;
    int triggers = 0;
};

} // namespace quillo::kwintest
