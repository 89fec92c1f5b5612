#include "Support/AccessibilitySupport.h"

#include "Support/GraphemeBoundaries.h"

#include "Support/Logging.h"

namespace quillo {

QString caseName(FocusedElementCorrectionContext context) {
    switch (context) {
    case FocusedElementCorrectionContext::secureTextInput: return QStringLiteral("secureTextInput");
    case FocusedElementCorrectionContext::textInput: return QStringLiteral("textInput");
    case FocusedElementCorrectionContext::other: return QStringLiteral("other");
    }
    return {};
}

QString caseName(FocusedTextSelectionState state) {
    switch (state) {
    case FocusedTextSelectionState::empty: return QStringLiteral("empty");
    case FocusedTextSelectionState::nonEmpty: return QStringLiteral("nonEmpty");
    case FocusedTextSelectionState::unknown: return QStringLiteral("unknown");
    }
    return {};
}

// MARK: - Element classification

namespace FocusedTextInputPolicy {

const QSet<QString>& structuralRoles() {
    static const QSet<QString> roles{AccessibilityRoles::application, AccessibilityRoles::group,
                                     AccessibilityRoles::scrollArea, AccessibilityRoles::webArea,
                                     AccessibilityRoles::window};
    return roles;
}

bool isTextRole(const std::optional<QString>& role) {
    return role && (*role == AccessibilityRoles::textField || *role == AccessibilityRoles::textArea ||
                    *role == AccessibilityRoles::comboBox);
}

FocusedElementCorrectionContext correctionContext(const std::optional<QString>& role,
                                                  const std::optional<QString>& subrole, bool isEditable,
                                                  bool selectedTextRangeSettable, bool hasEditableAncestor) {
    if (role == AccessibilityRoles::secureTextField || subrole == AccessibilityRoles::secureTextField)
        return FocusedElementCorrectionContext::secureTextInput;
    if (isTextRole(role)) return FocusedElementCorrectionContext::textInput;
    if (subrole == AccessibilityRoles::searchField) return FocusedElementCorrectionContext::textInput;
    if (isEditable) return FocusedElementCorrectionContext::textInput;
    if ((selectedTextRangeSettable || hasEditableAncestor) && (!role || !structuralRoles().contains(*role)))
        return FocusedElementCorrectionContext::textInput;
    return FocusedElementCorrectionContext::other;
}

bool isProtectedTextField(const std::optional<QString>& role, const std::optional<QStringList>& availableAttributes) {
    if (role != AccessibilityRoles::textField || !availableAttributes) return false;
    return availableAttributes->contains(AccessibilityAttributes::value) &&
           !availableAttributes->contains(AccessibilityAttributes::selectedText) &&
           !availableAttributes->contains(AccessibilityAttributes::selectedTextRange);
}

} // namespace FocusedTextInputPolicy

namespace FocusedApplicationPolicy {
bool belongsToFrontmostApplication(qint32 focusedPID, qint32 frontmostPID) { return focusedPID == frontmostPID; }
} // namespace FocusedApplicationPolicy

namespace ExplicitSelectionCapturePolicy {
bool shouldAttempt(FocusedElementCorrectionContext focusedContext, FocusedTextSelectionState selectionState) {
    return focusedContext != FocusedElementCorrectionContext::secureTextInput &&
           selectionState != FocusedTextSelectionState::empty;
}
} // namespace ExplicitSelectionCapturePolicy

// MARK: - Application rules

namespace ApplicationIdentifiers {

bool matchesName(const QString& identifier, const QString& name) {
    if (identifier.compare(name, Qt::CaseInsensitive) == 0) return true;
    if (identifier.size() <= name.size() || !identifier.startsWith(name, Qt::CaseInsensitive)) return false;
    const QChar next = identifier.at(name.size());
    return next == u'-' || next == u'.';
}

bool hasPrefix(const QString& identifier, const QString& prefix) {
    return identifier.startsWith(prefix, Qt::CaseInsensitive);
}

} // namespace ApplicationIdentifiers

namespace FullFieldCapturePolicy {

const QStringList& fileManagerIdentifiers() {
    static const QStringList identifiers{fileManagerBundleIdentifier,
                                         QStringLiteral("nautilus"),
                                         QStringLiteral("org.gnome.Nautilus"),
                                         QStringLiteral("dolphin"),
                                         QStringLiteral("org.kde.dolphin"),
                                         QStringLiteral("thunar"),
                                         QStringLiteral("nemo"),
                                         QStringLiteral("caja"),
                                         QStringLiteral("pcmanfm"),
                                         QStringLiteral("pcmanfm-qt")};
    return identifiers;
}

const QStringList& documentAndBrowserPrefixes() {
    static const QStringList prefixes{
        QStringLiteral("com.apple.Preview"), QStringLiteral("com.apple.Safari"), QStringLiteral("com.brave.Browser"),
        QStringLiteral("com.google.Chrome"), QStringLiteral("com.microsoft.edgemac"),
        QStringLiteral("com.operasoftware.Opera"), QStringLiteral("com.vivaldi.Vivaldi"),
        QStringLiteral("company.thebrowser"), QStringLiteral("org.mozilla.firefox"),
        // Window classes and desktop ids of the same browsers on Linux desktops.
        QStringLiteral("chromium"), QStringLiteral("google-chrome"), QStringLiteral("firefox"), QStringLiteral("brave"),
        QStringLiteral("vivaldi"), QStringLiteral("microsoft-edge"), QStringLiteral("org.chromium.Chromium")};
    return prefixes;
}

bool isFileManager(const QString& bundleIdentifier) {
    for (const QString& name : fileManagerIdentifiers())
        if (bundleIdentifier.compare(name, Qt::CaseInsensitive) == 0) return true;
    return false;
}

bool isDocumentOrBrowser(const QString& bundleIdentifier) {
    for (const QString& prefix : documentAndBrowserPrefixes())
        if (ApplicationIdentifiers::hasPrefix(bundleIdentifier, prefix)) return true;
    return false;
}

bool shouldAttempt(FocusedElementCorrectionContext focusedContext, const std::optional<QString>& bundleIdentifier) {
    if (focusedContext == FocusedElementCorrectionContext::secureTextInput) return false;
    if (!bundleIdentifier || bundleIdentifier->isEmpty()) return false;
    if (isFileManager(*bundleIdentifier)) return false;
    if (TerminalApplicationPolicy::isTerminal(bundleIdentifier)) return false;
    if (focusedContext == FocusedElementCorrectionContext::textInput) return true;
    return !isDocumentOrBrowser(*bundleIdentifier);
}

qsizetype characterCount(const QString& text) { return GraphemeBoundaries::count(text); }

bool isWithinAutomaticCharacterLimit(const QString& text) {
    // Each grapheme holds at least one UTF-16 unit, so short texts need no segmentation.
    if (text.size() <= automaticCharacterLimit) return true;
    return characterCount(text) <= automaticCharacterLimit;
}

} // namespace FullFieldCapturePolicy

namespace BrowserApplicationPolicy {
bool isBrowserOrDocument(const ApplicationDescription& application) {
    for (const QString& category : application.categories)
        if (category.trimmed().compare(browserCategory, Qt::CaseInsensitive) == 0) return true;
    for (const QString& identifier : application.identifiers)
        if (FullFieldCapturePolicy::isDocumentOrBrowser(identifier)) return true;
    return false;
}
} // namespace BrowserApplicationPolicy

namespace TerminalApplicationPolicy {

const QStringList& terminalIdentifiers() {
    // Window class and instance names, desktop-file ids and executable names; each also covers
    // its "-" and "." variants ("st-256color", "org.kde.konsole.desktop"...).
    static const QStringList identifiers{
        QStringLiteral("xterm"),
        QStringLiteral("uxterm"),
        QStringLiteral("gnome-terminal"),
        QStringLiteral("gnome-terminal-server"),
        QStringLiteral("org.gnome.Terminal"),
        QStringLiteral("kgx"),
        QStringLiteral("org.gnome.Console"),
        QStringLiteral("gnome-console"),
        QStringLiteral("ptyxis"),
        QStringLiteral("org.gnome.Ptyxis"),
        QStringLiteral("konsole"),
        QStringLiteral("org.kde.konsole"),
        QStringLiteral("yakuake"),
        QStringLiteral("org.kde.yakuake"),
        QStringLiteral("xfce4-terminal"),
        QStringLiteral("lxterminal"),
        QStringLiteral("mate-terminal"),
        QStringLiteral("qterminal"),
        QStringLiteral("terminology"),
        QStringLiteral("tilix"),
        QStringLiteral("com.gexperts.Tilix"),
        QStringLiteral("alacritty"),
        QStringLiteral("kitty"),
        QStringLiteral("wezterm"),
        QStringLiteral("org.wezfurlong.wezterm"),
        QStringLiteral("terminator"),
        QStringLiteral("foot"),
        QStringLiteral("footclient"),
        QStringLiteral("st"),
        QStringLiteral("stterm"),
        QStringLiteral("cool-retro-term"),
        QStringLiteral("guake"),
        QStringLiteral("tilda"),
        QStringLiteral("sakura"),
        QStringLiteral("urxvt"),
        QStringLiteral("rxvt"),
        QStringLiteral("rxvt-unicode"),
        QStringLiteral("x-terminal-emulator"),
    };
    return identifiers;
}

bool isTerminal(const std::optional<QString>& bundleIdentifier) {
    if (!bundleIdentifier || bundleIdentifier->isEmpty()) return false;
    for (const QString& name : terminalIdentifiers())
        if (ApplicationIdentifiers::matchesName(*bundleIdentifier, name)) return true;
    return false;
}

bool isTerminal(const ApplicationDescription& application) {
    for (const QString& category : application.categories)
        if (category.trimmed().compare(terminalCategory, Qt::CaseInsensitive) == 0) return true;
    for (const QString& identifier : application.identifiers)
        if (isTerminal(std::optional<QString>(identifier))) return true;
    return false;
}

bool isTerminalRole(const std::optional<QString>& role) { return role == AccessibilityRoles::terminal; }

} // namespace TerminalApplicationPolicy

namespace FullFieldCopyRetryPolicy {
RecoveryAction recoveryAction(const std::optional<QString>& firstCopy, const std::optional<QString>& expectedText) {
    if (!firstCopy || firstCopy->trimmed().isEmpty()) return RecoveryAction::retryCopy;
    if (!expectedText) return RecoveryAction::accept;
    if (*firstCopy == *expectedText) return RecoveryAction::accept;
    return RecoveryAction::reselectAndCopy;
}
} // namespace FullFieldCopyRetryPolicy

// MARK: - Inspection

namespace FocusedTextInputInspector {

namespace {

// Reads of one inspection. Once the application failed to answer in time, it is treated
// as unresponsive: the remaining reads count as absent without asking again, so that a
// hung application costs one timeout, not one per attribute.
class Reader {
public:
    AccessibilityValue read(const AccessibilityElementRef& element, const QString& name) {
        if (!element || unresponsive_) return AccessibilityValue::failed(AccessibilityStatus::cannotComplete);
        AccessibilityValue value = element->attributeValue(name);
        note(value.status);
        return value;
    }
    AccessibilityElementRef element(const AccessibilityElementRef& from, const QString& name) {
        auto value = read(from, name);
        if (!value.isSuccess()) return nullptr;
        if (auto* ref = std::get_if<AccessibilityElementRef>(&value.content)) return *ref;
        return nullptr;
    }
    std::optional<QString> string(const AccessibilityElementRef& from, const QString& name) {
        auto value = read(from, name);
        if (!value.isSuccess()) return std::nullopt;
        if (auto* text = std::get_if<QString>(&value.content)) return *text;
        return std::nullopt;
    }
    bool boolean(const AccessibilityElementRef& from, const QString& name) {
        auto value = read(from, name);
        if (!value.isSuccess()) return false;
        if (auto* flag = std::get_if<bool>(&value.content)) return *flag;
        return false;
    }
    std::optional<AccessibilityRange> range(const AccessibilityElementRef& from, const QString& name) {
        auto value = read(from, name);
        if (!value.isSuccess()) return std::nullopt;
        if (auto* r = std::get_if<AccessibilityRange>(&value.content)) return *r;
        return std::nullopt;
    }
    std::optional<QStringList> attributeNames(const AccessibilityElementRef& element) {
        if (!element || unresponsive_) return std::nullopt;
        return element->attributeNames();
    }
    bool settable(const AccessibilityElementRef& element, const QString& name) {
        if (!element || unresponsive_) return false;
        return element->isAttributeSettable(name).value_or(false);
    }
    bool unresponsive() const { return unresponsive_; }

private:
    void note(AccessibilityStatus status) {
        if (status == AccessibilityStatus::cannotComplete) unresponsive_ = true;
    }
    bool unresponsive_ = false;
};

void appendUnique(QList<AccessibilityElementRef>& list, const AccessibilityElementRef& element) {
    if (!element) return;
    for (const auto& existing : list)
        if (sameElement(existing, element)) return;
    list.append(element);
}

bool contains(const QList<AccessibilityElementRef>& list, const AccessibilityElementRef& element) {
    for (const auto& existing : list)
        if (sameElement(existing, element)) return true;
    return false;
}

AccessibilityElementRef focusedElement(Reader& reader, AccessibilityTree& tree, const RunningApplication& application) {
    if (auto appElement = tree.applicationElement(application.processIdentifier)) {
        if (auto focused = reader.element(appElement, AccessibilityAttributes::focusedUIElement)) return focused;
    }
    if (reader.unresponsive()) return nullptr;
    auto systemWide = tree.systemWideElement();
    if (!systemWide) return nullptr;
    auto focused = reader.element(systemWide, AccessibilityAttributes::focusedUIElement);
    if (!focused) return nullptr;
    const auto pid = focused->processIdentifier();
    if (!pid || !FocusedApplicationPolicy::belongsToFrontmostApplication(*pid, application.processIdentifier))
        return nullptr;
    qCInfo(lcTextInputInspection) << "Recovered the focused target through the system-wide accessibility element";
    return focused;
}

FocusedTextSelectionState selectionState(Reader& reader, const QList<AccessibilityElementRef>& elements) {
    if (elements.isEmpty()) return FocusedTextSelectionState::unknown;
    bool anyReadable = false;
    for (const auto& element : elements) {
        const auto range = reader.range(element, AccessibilityAttributes::selectedTextRange);
        if (!range) continue;
        if (range->length >= 1) return FocusedTextSelectionState::nonEmpty;
        anyReadable = true;
    }
    return anyReadable ? FocusedTextSelectionState::empty : FocusedTextSelectionState::unknown;
}

QString orNone(const std::optional<QString>& value) { return value ? *value : QStringLiteral("none"); }
QString boolText(bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); }

} // namespace

AccessibilityElementRef focusedElement(AccessibilityTree& tree, const RunningApplication& application) {
    Reader reader;
    return focusedElement(reader, tree, application);
}

FocusedTextSelectionState textSelectionState(const QList<AccessibilityElementRef>& elements) {
    Reader reader;
    return selectionState(reader, elements);
}

FocusedTextInputInspection inspection(AccessibilityTree& tree, const RunningApplication& application) {
    Reader reader;
    const auto focused = focusedElement(reader, tree, application);
    if (!focused) return {FocusedElementCorrectionContext::other, FocusedTextSelectionState::unknown};

    // Every element met is read in full below: its reads start as soon as it is known.
    QList<AccessibilityElementRef> candidates;
    appendUnique(candidates, focused);
    focused->prefetch();

    // Focus chain: containers often forward focus to an inner element.
    QList<AccessibilityElementRef> chain{focused};
    for (int step = 0; step < maximumFocusChainLength; ++step) {
        auto next = reader.element(chain.last(), AccessibilityAttributes::focusedUIElement);
        if (!next || contains(chain, next)) break;
        next->prefetch();
        chain.append(next);
        appendUnique(candidates, next);
    }
    const AccessibilityElementRef primary = chain.last();

    const auto editableAncestor = reader.element(primary, AccessibilityAttributes::editableAncestor);
    const auto highestEditableAncestor = reader.element(primary, AccessibilityAttributes::highestEditableAncestor);
    if (editableAncestor) editableAncestor->prefetch();
    if (highestEditableAncestor) highestEditableAncestor->prefetch();
    appendUnique(candidates, editableAncestor);
    appendUnique(candidates, highestEditableAncestor);

    AccessibilityElementRef ancestor = primary;
    appendUnique(candidates, ancestor);
    for (int step = 0; step < maximumAncestorCount; ++step) {
        ancestor = reader.element(ancestor, AccessibilityAttributes::parent);
        if (!ancestor) break;
        ancestor->prefetch();
        appendUnique(candidates, ancestor);
    }

    // A password field anywhere around the focus refuses the whole target.
    QStringList relatedRoles;
    QList<std::optional<QString>> roles;
    QList<std::optional<QString>> subroles;
    for (const auto& candidate : candidates) {
        const auto role = reader.string(candidate, AccessibilityAttributes::role);
        const auto subrole = reader.string(candidate, AccessibilityAttributes::subrole);
        if (role == AccessibilityRoles::secureTextField || subrole == AccessibilityRoles::secureTextField ||
            FocusedTextInputPolicy::isProtectedTextField(role, reader.attributeNames(candidate))) {
            qCInfo(lcTextInputInspection).noquote() << "Inspected focused target; context=secureTextInput";
            return {FocusedElementCorrectionContext::secureTextInput, FocusedTextSelectionState::unknown};
        }
        roles.append(role);
        subroles.append(subrole);
        if (role) relatedRoles.append(*role);
    }
    // A terminal takes Control+C as an interrupt, whatever its element says of editing.
    for (const auto& role : roles) {
        if (!TerminalApplicationPolicy::isTerminalRole(role)) continue;
        qCInfo(lcTextInputInspection).noquote()
            << QStringLiteral("Inspected focused target; relatedRoles=%1, terminal=true").arg(relatedRoles.join(u','));
        FocusedTextInputInspection terminal;
        terminal.terminal = true;
        return terminal;
    }

    // The primary element is candidates' own entry; its role was read above.
    int primaryIndex = 0;
    for (int i = 0; i < candidates.size(); ++i)
        if (sameElement(candidates[i], primary)) primaryIndex = i;
    const auto role = roles.value(primaryIndex);
    const auto subrole = subroles.value(primaryIndex);
    const bool editable = reader.boolean(primary, AccessibilityAttributes::isEditable);
    const bool rangeSettable = reader.settable(primary, AccessibilityAttributes::selectedTextRange);

    bool hasEditableAncestor = editableAncestor || highestEditableAncestor;
    for (int i = 0; !hasEditableAncestor && i < candidates.size(); ++i) {
        if (i == primaryIndex) continue;
        hasEditableAncestor = FocusedTextInputPolicy::isTextRole(roles[i]) ||
                              subroles[i] == AccessibilityRoles::searchField ||
                              reader.boolean(candidates[i], AccessibilityAttributes::isEditable);
    }

    const auto context =
        FocusedTextInputPolicy::correctionContext(role, subrole, editable, rangeSettable, hasEditableAncestor);
    qCInfo(lcTextInputInspection).noquote()
        << QStringLiteral("Inspected focused target; role=%1, subrole=%2, relatedRoles=%3, editable=%4, "
                          "selectedRangeSettable=%5, editableAncestor=%6, context=%7")
               .arg(orNone(role), orNone(subrole), relatedRoles.join(u','), boolText(editable), boolText(rangeSettable),
                    boolText(hasEditableAncestor), caseName(context));
    return {context, selectionState(reader, candidates)};
}

} // namespace FocusedTextInputInspector
} // namespace quillo
