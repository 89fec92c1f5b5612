#pragma once

#include "Platform/Fake/FakeAccessibilityElement.h"
#include "Platform/Fake/FakeTextField.h"
#include "Platform/KeystrokeSender.h"

#include <QList>
#include <memory>
#include <optional>

namespace quillo {

class FakeDesktop;

// One simulated application: an accessibility tree (application > window > elements), text
// fields, and the way it reacts to Select All, Copy, Paste and Right Arrow. The knobs
// reproduce what real applications do: late selections, late or missing copies, files on
// the pasteboard.
class FakeApplication {
public:
    FakeApplication(FakeDesktop& desktop, qint32 processIdentifier, QString bundleIdentifier);
    // Its elements lose their attributes, as when an application quits: links between them
    // (a group's focus pointing at its own child) would otherwise keep each other alive.
    ~FakeApplication();
    FakeApplication(const FakeApplication&) = delete;
    FakeApplication& operator=(const FakeApplication&) = delete;

    qint32 processIdentifier() const { return pid_; }
    const QString& bundleIdentifier() const { return bundle_; }
    const FakeAccessibilityElement::Ref& element() const { return element_; }
    const FakeAccessibilityElement::Ref& window() const { return window_; }

    // A text field (role AXTextField unless given) under `parent` (the window by default).
    std::shared_ptr<FakeTextField> addTextField(const QString& value,
                                                const QString& role = QStringLiteral("AXTextField"),
                                                const FakeAccessibilityElement::Ref& parent = nullptr);
    // A password field: role AXTextField, subrole AXSecureTextField.
    std::shared_ptr<FakeTextField> addPasswordField(const QString& value,
                                                    const FakeAccessibilityElement::Ref& parent = nullptr);
    FakeAccessibilityElement::Ref addElement(const QString& role,
                                             const FakeAccessibilityElement::Ref& parent = nullptr);

    // Keyboard focus: keystrokes act on `field`; accessibility reports `element` (the
    // field's own element unless another is given, e.g. a group forwarding focus).
    void focus(const std::shared_ptr<FakeTextField>& field, const FakeAccessibilityElement::Ref& element = nullptr);
    void focusElement(FakeAccessibilityElement::Ref element);
    const std::shared_ptr<FakeTextField>& focusedField() const { return focusedField_; }
    const FakeAccessibilityElement::Ref& focusedElement() const { return focusedElement_; }

    void handle(const SyntheticKeystroke& keystroke);

    // Knobs.
    quint64 shortcutModifierFlags = 0x40000;      // Control: what this desktop's shortcuts use
    double selectAllDelay = 0.0;                  // seconds until a Select All takes effect
    bool claimsSelection = true;                  // a Select All takes the desktop's selection (when reported)
    std::optional<double> copyDelay = 0.0;        // seconds until a Copy reaches the pasteboard; none: never
    QList<std::optional<QString>> scriptedCopies; // the next Copies write these instead (none: nothing)
    bool copyAsFiles = false;                     // a Copy puts files (URI list and a file name) on the pasteboard
    bool copyWritesRichText = true;               // a Copy writes text/html beside text/plain
    double pasteReadDelay = 0.0;                  // seconds until a Paste reads the pasteboard
    bool exposesFocusOnApplication = true;        // the application element answers AXFocusedUIElement

    // What happened.
    int selectAllCount = 0;
    int copyCount = 0;
    int pasteCount = 0;
    int rightArrowCount = 0;
    QList<QString> pastedTexts;

private:
    void performCopy();
    void performPaste();
    FakeAccessibilityElement::Ref linkField(const std::shared_ptr<FakeTextField>& field);

    FakeDesktop& desktop_;
    qint32 pid_;
    QString bundle_;
    FakeAccessibilityElement::Ref element_;
    FakeAccessibilityElement::Ref window_;
    std::shared_ptr<FakeTextField> focusedField_;
    FakeAccessibilityElement::Ref focusedElement_;
    QList<std::weak_ptr<FakeAccessibilityElement>> elements_; // every element made for it
};

} // namespace quillo
