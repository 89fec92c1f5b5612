#pragma once

#include "Platform/Fake/FakeAccessibilityPermission.h"
#include "Platform/Fake/FakeAccessibilityTree.h"
#include "Platform/Fake/FakeApplication.h"
#include "Platform/Fake/FakeKeyboardLayout.h"
#include "Platform/Fake/FakeKeystrokeSender.h"
#include "Platform/Fake/FakePasteboard.h"
#include "Platform/Fake/FakeWorkspace.h"
#include "Services/TextInsertionEngine.h"
#include "Support/VirtualClock.h"

#include <deque>
#include <functional>
#include <memory>

namespace quillo {

// A whole simulated desktop on a virtual clock: applications with fields, one pasteboard,
// one keyboard, one workspace. Keystrokes go to the frontmost application; every delay of
// a simulated application is a timer on the clock.
class FakeDesktop {
public:
    explicit FakeDesktop(VirtualClock& clock);

    FakeApplication& addApplication(qint32 processIdentifier, const QString& bundleIdentifier);
    FakeApplication* application(qint32 processIdentifier);
    FakeApplication* frontmost();
    void activate(FakeApplication& application) { workspace.activate(application.processIdentifier()); }
    // Runs `action` `delay` virtual seconds from now.
    void at(double delay, std::function<void()> action) { clock.schedule(delay, std::move(action)); }

    TextInsertionEngine::Platform platform() {
        return {workspace, accessibility, pasteboard, keystrokes, keyboardLayout};
    }

    VirtualClock& clock;
    FakeWorkspace workspace;
    FakePasteboard pasteboard;
    FakeKeystrokeSender keystrokes;
    FakeKeyboardLayout keyboardLayout = FakeKeyboardLayout::qwerty();
    FakeAccessibilityTree accessibility;
    FakeAccessibilityPermission permission;

private:
    std::deque<std::unique_ptr<FakeApplication>> applications_;
};

} // namespace quillo
