#include "Platform/Fake/FakeApplication.h"

#include "Platform/Fake/FakeDesktop.h"

namespace quillo {

namespace {
constexpr quint16 rightArrowKeyCode = 124;
const QString kRole = QStringLiteral("AXRole");
const QString kSubrole = QStringLiteral("AXSubrole");
const QString kParent = QStringLiteral("AXParent");
const QString kFocused = QStringLiteral("AXFocusedUIElement");
const QString kRange = QStringLiteral("AXSelectedTextRange");
const QString kValue = QStringLiteral("AXValue");
const QString kSelectedText = QStringLiteral("AXSelectedText");
} // namespace

FakeApplication::FakeApplication(FakeDesktop& desktop, qint32 processIdentifier, QString bundleIdentifier)
    : desktop_(desktop), pid_(processIdentifier), bundle_(std::move(bundleIdentifier)) {
    element_ = FakeAccessibilityElement::make(pid_, QStringLiteral("AXApplication"));
    window_ = FakeAccessibilityElement::make(pid_, QStringLiteral("AXWindow"));
    window_->setElement(kParent, element_);
    element_->setComputed(kFocused, [this] {
        if (!exposesFocusOnApplication || !focusedElement_)
            return AccessibilityValue::failed(AccessibilityStatus::noValue);
        return AccessibilityValue::of(AccessibilityElementRef(focusedElement_));
    });
    elements_ = {element_, window_};
}

FakeApplication::~FakeApplication() {
    for (const auto& weak : elements_)
        if (const auto element = weak.lock()) element->clearAttributes();
}

FakeAccessibilityElement::Ref FakeApplication::addElement(const QString& role,
                                                          const FakeAccessibilityElement::Ref& parent) {
    auto element = FakeAccessibilityElement::make(pid_, role);
    element->setElement(kParent, parent ? parent : window_);
    elements_.append(element);
    return element;
}

FakeAccessibilityElement::Ref FakeApplication::linkField(const std::shared_ptr<FakeTextField>& field) {
    std::weak_ptr<FakeTextField> weak = field;
    field->element->setComputed(kRange, [weak] {
        auto f = weak.lock();
        if (!f) return AccessibilityValue::failed(AccessibilityStatus::failure);
        return AccessibilityValue::of(AccessibilityRange{f->selectionStart, f->selectionLength});
    });
    field->element->setComputed(kValue, [weak] {
        auto f = weak.lock();
        if (!f) return AccessibilityValue::failed(AccessibilityStatus::failure);
        return AccessibilityValue::of(f->value);
    });
    field->element->setComputed(kSelectedText, [weak] {
        auto f = weak.lock();
        if (!f) return AccessibilityValue::failed(AccessibilityStatus::failure);
        return AccessibilityValue::of(f->selectedText());
    });
    field->element->setSettable(kRange);
    field->element->setSettable(kValue);
    return field->element;
}

std::shared_ptr<FakeTextField> FakeApplication::addTextField(const QString& value, const QString& role,
                                                             const FakeAccessibilityElement::Ref& parent) {
    auto field = std::make_shared<FakeTextField>();
    field->value = value;
    field->placeCaret(value.size());
    field->element = addElement(role, parent);
    linkField(field);
    return field;
}

std::shared_ptr<FakeTextField> FakeApplication::addPasswordField(const QString& value,
                                                                 const FakeAccessibilityElement::Ref& parent) {
    auto field = addTextField(value, QStringLiteral("AXTextField"), parent);
    field->element->setString(kSubrole, QStringLiteral("AXSecureTextField"));
    return field;
}

void FakeApplication::focus(const std::shared_ptr<FakeTextField>& field, const FakeAccessibilityElement::Ref& element) {
    focusedField_ = field;
    focusedElement_ = element ? element : (field ? field->element : nullptr);
}

void FakeApplication::focusElement(FakeAccessibilityElement::Ref element) {
    focusedField_.reset();
    focusedElement_ = std::move(element);
}

void FakeApplication::handle(const SyntheticKeystroke& keystroke) {
    if (!keystroke.keyDown) return;
    if (keystroke.keyCode == rightArrowKeyCode && keystroke.modifierFlags == 0) {
        ++rightArrowCount;
        if (focusedField_) focusedField_->moveRight();
        return;
    }
    if ((keystroke.modifierFlags & shortcutModifierFlags) != shortcutModifierFlags) return;
    // Applications read the character the key types in the active layout.
    const QString typed = desktop_.keyboardLayout.characters(keystroke.keyCode).value_or(QString()).toLower();
    if (typed == u"a") {
        ++selectAllCount;
        std::weak_ptr<FakeTextField> weak = focusedField_;
        auto apply = [weak, pasteboard = &desktop_.pasteboard, claims = claimsSelection] {
            if (auto field = weak.lock()) {
                field->selectAll();
                if (claims) pasteboard->noteSelectionTaken();
            }
        };
        if (selectAllDelay > 0) desktop_.at(selectAllDelay, apply);
        else apply();
    } else if (typed == u"c") {
        ++copyCount;
        if (!copyDelay) return;
        if (*copyDelay > 0) desktop_.at(*copyDelay, [this] { performCopy(); });
        else performCopy();
    } else if (typed == u"v") {
        ++pasteCount;
        if (pasteReadDelay > 0) desktop_.at(pasteReadDelay, [this] { performPaste(); });
        else performPaste();
    }
}

void FakeApplication::performCopy() {
    std::optional<QString> text;
    if (!scriptedCopies.isEmpty()) {
        text = scriptedCopies.takeFirst();
    } else if (focusedField_ && focusedField_->selectionLength > 0) {
        text = focusedField_->selectedText();
    }
    if (copyAsFiles) {
        PasteboardItem item;
        item.setString(QStringLiteral("text/uri-list"), QStringLiteral("file:///home/user/Notes.txt\r\n"));
        item.setString(QStringLiteral("x-special/gnome-copied-files"),
                       QStringLiteral("copy\nfile:///home/user/Notes.txt"));
        item.setString(QStringLiteral("text/plain"), QStringLiteral("Notes.txt"));
        desktop_.pasteboard.writeFromAnotherProgram({item});
        return;
    }
    // Nothing selected: editors leave the pasteboard alone.
    if (!text) return;
    PasteboardItem item;
    if (copyWritesRichText)
        item.setString(QStringLiteral("text/html"), QStringLiteral("<meta charset=\"utf-8\">") + text->toHtmlEscaped());
    item.setString(QStringLiteral("text/plain"), *text);
    desktop_.pasteboard.writeFromAnotherProgram({item});
}

void FakeApplication::performPaste() {
    const auto text = desktop_.pasteboard.plainText();
    desktop_.pasteboard.noteContentRead();
    if (!text || !focusedField_) return;
    pastedTexts.append(*text);
    focusedField_->replaceSelection(*text);
}

} // namespace quillo
