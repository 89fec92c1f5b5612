#pragma once

#include "Platform/AccessibilityElement.h"
#include "Platform/Workspace.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

namespace quillo {

// What the focused element is, as far as correcting it goes. Case names appear in logs.
enum class FocusedElementCorrectionContext { secureTextInput, textInput, other };
// Whether the focused element holds a non-empty text selection.
enum class FocusedTextSelectionState { empty, nonEmpty, unknown };

QString caseName(FocusedElementCorrectionContext context);
QString caseName(FocusedTextSelectionState state);

struct FocusedTextInputInspection {
    FocusedElementCorrectionContext context = FocusedElementCorrectionContext::other;
    FocusedTextSelectionState selectionState = FocusedTextSelectionState::unknown;
    // The focus is in a terminal (the focused element or one around it has the terminal role).
    bool terminal = false;
    bool operator==(const FocusedTextInputInspection&) const = default;
};

namespace AccessibilityAttributes {
inline const QString focusedUIElement = QStringLiteral("AXFocusedUIElement");
inline const QString editableAncestor = QStringLiteral("AXEditableAncestor");
inline const QString highestEditableAncestor = QStringLiteral("AXHighestEditableAncestor");
inline const QString parent = QStringLiteral("AXParent");
inline const QString role = QStringLiteral("AXRole");
inline const QString subrole = QStringLiteral("AXSubrole");
inline const QString isEditable = QStringLiteral("AXIsEditable");
inline const QString selectedTextRange = QStringLiteral("AXSelectedTextRange");
inline const QString value = QStringLiteral("AXValue");
inline const QString selectedText = QStringLiteral("AXSelectedText");
inline const QString enhancedUserInterface = QStringLiteral("AXEnhancedUserInterface");
} // namespace AccessibilityAttributes

namespace AccessibilityRoles {
inline const QString application = QStringLiteral("AXApplication");
inline const QString group = QStringLiteral("AXGroup");
inline const QString scrollArea = QStringLiteral("AXScrollArea");
inline const QString webArea = QStringLiteral("AXWebArea");
inline const QString window = QStringLiteral("AXWindow");
inline const QString textField = QStringLiteral("AXTextField");
inline const QString textArea = QStringLiteral("AXTextArea");
inline const QString comboBox = QStringLiteral("AXComboBox");
inline const QString searchField = QStringLiteral("AXSearchField");         // a subrole
inline const QString secureTextField = QStringLiteral("AXSecureTextField"); // role or subrole
inline const QString terminal = QStringLiteral("AXTerminal");
} // namespace AccessibilityRoles

namespace FocusedTextInputPolicy {
// Containers that are never text inputs themselves, even with a settable selection.
const QSet<QString>& structuralRoles();
bool isTextRole(const std::optional<QString>& role);
FocusedElementCorrectionContext correctionContext(const std::optional<QString>& role,
                                                  const std::optional<QString>& subrole, bool isEditable,
                                                  bool selectedTextRangeSettable, bool hasEditableAncestor);
// A plain text field that exposes its value but hides its selection is treated as a password field.
bool isProtectedTextField(const std::optional<QString>& role, const std::optional<QStringList>& availableAttributes);
} // namespace FocusedTextInputPolicy

namespace FocusedApplicationPolicy {
bool belongsToFrontmostApplication(qint32 focusedPID, qint32 frontmostPID);
} // namespace FocusedApplicationPolicy

namespace ExplicitSelectionCapturePolicy {
bool shouldAttempt(FocusedElementCorrectionContext focusedContext, FocusedTextSelectionState selectionState);
} // namespace ExplicitSelectionCapturePolicy

// Application identifiers are compared case-insensitively: bundle ids, desktop-file ids and
// window class names all occur in mixed case.
namespace ApplicationIdentifiers {
// Equal to `name`, or `name` followed by "-" or "." (channel builds, "-qt", "-server"...).
bool matchesName(const QString& identifier, const QString& name);
bool hasPrefix(const QString& identifier, const QString& prefix);
} // namespace ApplicationIdentifiers

namespace FullFieldCapturePolicy {
inline constexpr int automaticCharacterLimit = 9000;
inline const QString fileManagerBundleIdentifier = QStringLiteral("com.apple.finder");
// The file managers where Select All selects files: the one above and the desktop's own.
const QStringList& fileManagerIdentifiers();
// Documents and browsers, where Select All outside a text input selects a page or document.
const QStringList& documentAndBrowserPrefixes();
bool isFileManager(const QString& bundleIdentifier);
bool isDocumentOrBrowser(const QString& bundleIdentifier);
bool shouldAttempt(FocusedElementCorrectionContext focusedContext, const std::optional<QString>& bundleIdentifier);
// User-perceived characters (grapheme clusters).
qsizetype characterCount(const QString& text);
bool isWithinAutomaticCharacterLimit(const QString& text);
} // namespace FullFieldCapturePolicy

// Browsers and document viewers: there a focused element of unknown kind may be a password field
// the page has not described yet, so it gets no keystroke at all.
namespace BrowserApplicationPolicy {
// The desktop-entry category of web browsers.
inline const QString browserCategory = QStringLiteral("WebBrowser");
bool isBrowserOrDocument(const ApplicationDescription& application);
} // namespace BrowserApplicationPolicy

// Terminal emulators get no synthetic shortcut at all: there Control+C interrupts the
// running program and Control+A moves the cursor.
namespace TerminalApplicationPolicy {
// The desktop-entry category of terminal emulators.
inline const QString terminalCategory = QStringLiteral("TerminalEmulator");
const QStringList& terminalIdentifiers();
bool isTerminal(const std::optional<QString>& bundleIdentifier);
// Any of the application's names is a known terminal, or its desktop entry says it is one.
bool isTerminal(const ApplicationDescription& application);
bool isTerminalRole(const std::optional<QString>& role);
} // namespace TerminalApplicationPolicy

namespace FullFieldCopyRetryPolicy {
enum class RecoveryAction { accept, retryCopy, reselectAndCopy };
RecoveryAction recoveryAction(const std::optional<QString>& firstCopy, const std::optional<QString>& expectedText);
} // namespace FullFieldCopyRetryPolicy

// Classifies the focused element of an application through accessibility only; no text is
// ever read this way.
namespace FocusedTextInputInspector {
inline constexpr int maximumFocusChainLength = 8;
inline constexpr int maximumAncestorCount = 12;

AccessibilityElementRef focusedElement(AccessibilityTree& tree, const RunningApplication& application);
FocusedTextSelectionState textSelectionState(const QList<AccessibilityElementRef>& elements);
FocusedTextInputInspection inspection(AccessibilityTree& tree, const RunningApplication& application);
} // namespace FocusedTextInputInspector

} // namespace quillo
