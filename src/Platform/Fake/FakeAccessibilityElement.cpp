#include "Platform/Fake/FakeAccessibilityElement.h"

namespace quillo {

FakeAccessibilityElement::Ref FakeAccessibilityElement::make(qint32 processIdentifier, const QString& role) {
    Ref element(new FakeAccessibilityElement());
    element->pid_ = processIdentifier;
    if (!role.isEmpty()) element->setString(QStringLiteral("AXRole"), role);
    return element;
}

AccessibilityElementRef FakeAccessibilityElement::alias() {
    Ref other(new FakeAccessibilityElement());
    other->identity_ = identity_;
    other->aliasOf_ = shared_from_this();
    return other;
}

AccessibilityValue FakeAccessibilityElement::attributeValue(const QString& name) const {
    if (aliasOf_) return aliasOf_->attributeValue(name);
    ++readCount;
    if (failAll_) return AccessibilityValue::failed(*failAll_);
    if (auto it = failures_.find(name); it != failures_.end()) return AccessibilityValue::failed(*it);
    if (auto it = computed_.find(name); it != computed_.end()) return (*it)();
    if (auto it = values_.find(name); it != values_.end()) return *it;
    return AccessibilityValue::failed(AccessibilityStatus::attributeUnsupported);
}

std::optional<QStringList> FakeAccessibilityElement::attributeNames() const {
    if (aliasOf_) return aliasOf_->attributeNames();
    if (failAll_) return std::nullopt;
    if (namesOverridden_) return names_;
    QStringList names = values_.keys() + computed_.keys();
    names.removeDuplicates();
    names.sort();
    return names;
}

std::optional<bool> FakeAccessibilityElement::isAttributeSettable(const QString& name) const {
    if (aliasOf_) return aliasOf_->isAttributeSettable(name);
    if (failAll_) return std::nullopt;
    return settable_.contains(name);
}

AccessibilityStatus FakeAccessibilityElement::setBooleanAttribute(const QString& name, bool value) {
    if (aliasOf_) return aliasOf_->setBooleanAttribute(name, value);
    if (failAll_) return *failAll_;
    writtenBooleans.insert(name, value);
    if (onSetBoolean) return onSetBoolean(name, value);
    return AccessibilityStatus::success;
}

std::optional<qint32> FakeAccessibilityElement::processIdentifier() const {
    if (aliasOf_) return aliasOf_->processIdentifier();
    return pid_;
}

bool FakeAccessibilityElement::isSameElement(const AccessibilityElement& other) const {
    const auto* fake = dynamic_cast<const FakeAccessibilityElement*>(&other);
    return fake && fake->identity_ == identity_;
}

FakeAccessibilityElement::Ref FakeAccessibilityElement::set(const QString& name, const AccessibilityValue& value) {
    computed_.remove(name);
    values_.insert(name, value);
    return shared_from_this();
}

FakeAccessibilityElement::Ref FakeAccessibilityElement::setElement(const QString& name,
                                                                   const AccessibilityElementRef& element) {
    if (!element) return remove(name);
    return set(name, AccessibilityValue::of(element));
}

void FakeAccessibilityElement::clearAttributes() {
    values_.clear();
    computed_.clear();
    aliasOf_.reset();
}

FakeAccessibilityElement::Ref FakeAccessibilityElement::setComputed(const QString& name, const Computed& computed) {
    values_.remove(name);
    computed_.insert(name, computed);
    return shared_from_this();
}

FakeAccessibilityElement::Ref FakeAccessibilityElement::remove(const QString& name) {
    values_.remove(name);
    computed_.remove(name);
    return shared_from_this();
}

FakeAccessibilityElement::Ref FakeAccessibilityElement::setSettable(const QString& name, bool settable) {
    if (settable) settable_.insert(name);
    else settable_.remove(name);
    return shared_from_this();
}

FakeAccessibilityElement::Ref FakeAccessibilityElement::failReads(const QString& name, AccessibilityStatus status) {
    failures_.insert(name, status);
    return shared_from_this();
}

FakeAccessibilityElement::Ref FakeAccessibilityElement::failAllReads(AccessibilityStatus status) {
    failAll_ = status;
    return shared_from_this();
}

FakeAccessibilityElement::Ref FakeAccessibilityElement::setAttributeNames(std::optional<QStringList> names) {
    namesOverridden_ = true;
    names_ = std::move(names);
    return shared_from_this();
}

FakeAccessibilityElement::Ref FakeAccessibilityElement::setProcessIdentifier(std::optional<qint32> pid) {
    pid_ = pid;
    return shared_from_this();
}

} // namespace quillo
