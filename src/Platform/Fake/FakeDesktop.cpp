#include "Platform/Fake/FakeDesktop.h"

namespace quillo {

FakeDesktop::FakeDesktop(VirtualClock& clock) : clock(clock) {
    keystrokes.deliver = [this](const SyntheticKeystroke& keystroke) {
        if (auto* app = frontmost()) app->handle(keystroke);
    };
    accessibility.lookup = [this](qint32 pid) -> AccessibilityElementRef {
        auto* app = application(pid);
        return app ? app->element() : nullptr;
    };
    accessibility.systemWide = FakeAccessibilityElement::make(0, QStringLiteral("AXSystemWide"));
    accessibility.systemWide->setComputed(QStringLiteral("AXFocusedUIElement"), [this] {
        auto* app = frontmost();
        if (!app || !app->focusedElement()) return AccessibilityValue::failed(AccessibilityStatus::noValue);
        return AccessibilityValue::of(AccessibilityElementRef(app->focusedElement()));
    });
}

FakeApplication& FakeDesktop::addApplication(qint32 processIdentifier, const QString& bundleIdentifier) {
    applications_.push_back(std::make_unique<FakeApplication>(*this, processIdentifier, bundleIdentifier));
    workspace.addApplication({processIdentifier, bundleIdentifier});
    return *applications_.back();
}

FakeApplication* FakeDesktop::application(qint32 processIdentifier) {
    if (workspace.isTerminated(processIdentifier)) return nullptr;
    for (auto& app : applications_)
        if (app->processIdentifier() == processIdentifier) return app.get();
    return nullptr;
}

FakeApplication* FakeDesktop::frontmost() {
    auto front = workspace.frontmostApplication();
    return front ? application(front->processIdentifier) : nullptr;
}

} // namespace quillo
