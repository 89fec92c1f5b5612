#pragma once
// End to end on a headless sway: our correction service with the sway layer and a private
// reference cloud; the trigger is F8 pressed on a virtual keyboard, which sway's own binding
// turns into `quillo --trigger`, handed to the service over the instance channel.
#include "App/AppInstanceChannel.h"
#include "CloudClientHarness.h"
#include "CorrectionEndToEndSupport.h"
#include "DesktopTestSupport.h"
#include "Models/ModifierFlags.h"
#include "Models/VirtualKeyCode.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Platform/Linux/LinuxAccessibility.h"
#include "Platform/Wayland/SwayIpc.h"
#include "Platform/Wayland/SwayTriggerBinding.h"
#include "Platform/Wayland/SwayWorkspace.h"
#include "Platform/Wayland/WaylandAccessibilityPermission.h"
#include "Platform/Wayland/WaylandConnection.h"
#include "Platform/Wayland/WaylandPasteboard.h"
#include "Platform/Wayland/WaylandVirtualKeyboard.h"
#include "Services/GlobalCorrectionService.h"
#include "Support/AccessibilitySupport.h"
#include "Support/QuilloAppEnvironment.h"

#include <gtest/gtest.h>

#include <memory>

namespace quillo::swaytest {

using namespace quillo::desktoptest;

class SwayEndToEnd : public ::testing::Test {
protected:
    void SetUp() override;

    // The trigger, then Quillo's refusal: no key of the service reached the desktop.
    void expectRefusedWithoutAKeystroke(const QString& sentence);
    // What the reference cloud makes of a text, asked directly.
    QString expectedCorrection(const QString& text);
    // The suite runs again with other keymaps (XKB_DEFAULT_LAYOUT): AZERTY, where Control+A is the
    // key at QWERTY's Q, and Russian and Greek alone, whose keys type no Latin letter at all.
    // Control+A, C and V must reach the application in each.
    void expectTheLayoutOfTheRun();
    bool focusedOn(qint64 pid);
    bool frontmostFocusIs(FocusedElementCorrectionContext context);
    // The frontmost process and its focus, for the message of a failed wait.
    std::string front();
    // F8 (or `key`) as the user presses it: sway sees the key, not us. Clears the toast and the
    // count of triggers first.
    void pressTrigger(quint16 key = VirtualKeyCode::f8);
    // Quillo's own outcome of the correction (its toast), then the end of the correction.
    bool outcomeShown();
    // Types Control+letter into whatever has the focus.
    void shortcut(QChar letter);
    // Our Qt test editor, native on Wayland, in front with `field` focused as a text field.
    void startEditor(TestEditor& editor, const QString& field = QStringLiteral("single"));
    static QString field(TestEditor& editor, const QString& name);

    cloudclienttest::CloudClientHarness cloud;
    InMemoryUserDefaults defaults;
    WaylandConnection connection;
    SwayIpc ipc{SwayIpc::sessionSocketPath()};
    SwayWorkspace workspace{ipc};
    WaylandVirtualKeyboard keyboard{connection};
    CountingKeystrokes serviceKeys{keyboard};
    WaylandPasteboard pasteboard{connection};
    SwayTriggerBinding binding{ipc, QStringLiteral(QUILLO_EXECUTABLE " --trigger")};
    WaylandAccessibilityPermission permission{connection, ipc};
    LinuxAccessibility accessibility{Clock::shared()};
    RecordingToast toast;
    SilentAnnouncer announcer;
    std::unique_ptr<GlobalCorrectionService> service;
    AppInstanceChannel channel{
        *AppInstanceChannel::defaultServerName(QuilloAppEnvironment::current().bundleIdentifier)};
    int triggers = 0;
};

} // namespace quillo::swaytest
