#pragma once
// End to end on a headless GNOME Shell: our correction service with the GNOME layer and a private
// reference cloud. The trigger is F8 pressed on the test's own keyboard, which a custom
// keybinding of GNOME's settings turns into `quillo --trigger`, handed to the service over the
// instance channel. The remote desktop dialog is answered through the accessibility bus.
#include "App/AppInstanceChannel.h"
#include "App/DesktopPlatform.h"
#include "CloudClientHarness.h"
#include "CorrectionEndToEndSupport.h"
#include "DesktopTestSupport.h"
#include "GnomeSessionSupport.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Platform/Linux/LinuxAccessibility.h"
#include "Platform/Wayland/AtSpiWorkspace.h"
#include "Services/GlobalCorrectionService.h"
#include "Support/AccessibilitySupport.h"
#include "Support/Clock.h"
#include "Support/QuilloAppEnvironment.h"

#include <gtest/gtest.h>

#include <memory>

namespace quillo::gnometest {

using namespace quillo::desktoptest;

class GnomeEndToEnd : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // How the user answers the remote desktop dialog when the layer asks.
    virtual ConsentAnswer::Choice consentChoice() const { return ConsentAnswer::Choice::allow; }
    // Builds the service on GNOME's own desktop layer and starts it; false with the reason in
    // `missingLayer` where this build has no such layer.
    bool startService();

    // Returns once F8 runs the trigger command.
    void awaitLiveTrigger();
    // Returns once no trigger command GNOME started is still on its way to the service.
    bool triggersSettled();
    // The trigger, then Quillo's refusal: no key of the service reached the desktop.
    void expectRefusedWithoutAKeystroke(const QString& sentence);
    // What the reference cloud makes of a text, asked directly.
    QString expectedCorrection(const QString& text);
    bool focusedOn(qint64 pid);
    bool frontmostFocusIs(FocusedElementCorrectionContext context);
    // F8 as the user presses it: GNOME sees the key, not us. Clears the toast and the count of
    // triggers first.
    void pressTrigger();
    // Quillo's own outcome of the correction (its toast), then the end of the correction.
    bool outcomeShown();
    // Our Qt test editor, native on Wayland, in front with `field` focused as a text field.
    void startEditor(TestEditor& editor, const QString& field = QStringLiteral("single"));
    static QString field(TestEditor& editor, const QString& name);
    std::optional<QString> focusedFieldText() { return desktoptest::focusedFieldText(accessibility, workspace); }
    bool setFocusedFieldText(const QString& text) {
        return desktoptest::setFocusedFieldText(accessibility, workspace, text);
    }
    int serviceKeysPosted() const { return serviceKeys ? serviceKeys->posted : 0; }

    cloudclienttest::CloudClientHarness cloud;
    InMemoryUserDefaults defaults;
    SessionKeyboard keyboard;
    AtSpiWorkspace workspace{Clock::shared()};
    LinuxAccessibility accessibility{Clock::shared()};
    RecordingToast toast;
    SilentAnnouncer announcer;
    AppInstanceChannel channel{
        *AppInstanceChannel::defaultServerName(QuilloAppEnvironment::current().bundleIdentifier)};
    // The GNOME layer, made by startService(), and the sentences it said.
    std::unique_ptr<DesktopPlatform> platform;
    QStringList notices;
    std::unique_ptr<ConsentAnswer> consent;
    std::unique_ptr<CountingKeystrokes> serviceKeys;
    std::unique_ptr<GlobalCorrectionService> service;
    QString missingLayer;
    int triggers = 0;
};

// The cases that need the correction service: skipped, with the reason, where it cannot start.
class GnomeCorrection : public GnomeEndToEnd {
protected:
    void SetUp() override;
};

} // namespace quillo::gnometest
