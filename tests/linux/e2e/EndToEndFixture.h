#pragma once
// The end-to-end fixture: our correction service with the real X11 platform and a private
// reference cloud over HTTPS; target applications run in other processes and the trigger (F8)
// is typed with XTest.
#include "CloudClientHarness.h"
#include "CorrectionEndToEndSupport.h"
#include "DesktopTestSupport.h"

#include "Models/VirtualKeyCode.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Platform/Linux/AtSpiBus.h"
#include "Platform/Linux/LinuxAccessibility.h"
#include "Platform/Linux/LinuxAccessibilityPermission.h"
#include "Platform/Linux/LinuxEventTap.h"
#include "Platform/Linux/LinuxKeyboardLayout.h"
#include "Platform/Linux/LinuxKeystrokeSender.h"
#include "Platform/Linux/LinuxPasteboard.h"
#include "Platform/Linux/LinuxWorkspace.h"
#include "Services/GlobalCorrectionService.h"
#include "Support/AccessibilitySupport.h"

#include <QJsonObject>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace quillo::e2etest {

using namespace quillo::desktoptest;

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override;

    // The X server ignores a clipboard claim stamped earlier than the last one, and the editor
    // stamps with the time of its last event, as any application does after the user's key.
    void offerFromEditor(const QString& command = QStringLiteral("offer"));
    bool bringToFront(qint64 pid);
    void startEditor();
    // The test editor in front, its single-line field focused and holding `misspelled`. Given
    // `clipboard`, the editor first puts text, HTML, PNG and a private type on the clipboard, and
    // `clipboard` receives them as the editor holds them.
    void startEditorOnMisspelledField(QJsonObject* clipboard = nullptr);
    void focus(const QString& field);
    QString field(const QString& name);
    // What the reference cloud makes of a text, asked directly.
    QString expectedCorrection(const QString& text);
    void pressTrigger();
    // The correction has ended when the service holds no correction any more.
    bool correctionEnded(int timeoutMs = 20000);
    // Quillo's own outcome of the correction (its toast), then the end of the correction.
    bool outcomeShown(int timeoutMs = 20000);
    // Every key sent before this call has reached the observer: a Shift press and release go
    // through the same server queue after them, and are waited for.
    bool keysSettled();
    // The keys other than the trigger that went to the desktop.
    QList<quint16> keysBesidesTrigger() const;
    // Whether the accessibility bus classifies the frontmost application's focus as given.
    bool frontmostFocusIs(FocusedElementCorrectionContext context, int timeoutMs = 15000);
    // Types Control+letter into whatever has the focus.
    void shortcut(QChar letter);
    // The text of the frontmost application's focused field, read over the accessibility bus (the
    // tests may; the product never reads text that way); none when it cannot be read.
    std::optional<QString> focusedFieldText();
    // Replaces the focused field's text over the accessibility bus.
    bool setFocusedFieldText(const QString& text);
    // Debian's Chromium with a fresh profile in `dir`, showing `page`, in front and registered on the
    // accessibility bus; null when it did not get there.
    std::unique_ptr<ExternalProgram> startChromium(const QTemporaryDir& dir, const QByteArray& page);
    // Time of the server's own handling of each correction request logged after `fromLine`.
    QList<double> serverCorrectionTimes(qsizetype fromLine = 0) const;
    qsizetype serverLogLines() const;

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
    int shiftChanges = 0;
};

} // namespace quillo::e2etest
