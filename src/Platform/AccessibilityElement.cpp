#include "Platform/AccessibilityElement.h"

namespace quillo {

namespace {
template <typename T> std::optional<T> typed(const AccessibilityValue& value) {
    if (!value.isSuccess()) return std::nullopt;
    if (const T* content = std::get_if<T>(&value.content)) return *content;
    return std::nullopt;
}
} // namespace

AccessibilityElementRef AccessibilityElement::elementAttribute(const QString& name) const {
    auto element = typed<AccessibilityElementRef>(attributeValue(name));
    return element ? *element : nullptr;
}

std::optional<QString> AccessibilityElement::stringAttribute(const QString& name) const {
    return typed<QString>(attributeValue(name));
}

std::optional<bool> AccessibilityElement::booleanAttribute(const QString& name) const {
    return typed<bool>(attributeValue(name));
}

std::optional<AccessibilityRange> AccessibilityElement::rangeAttribute(const QString& name) const {
    return typed<AccessibilityRange>(attributeValue(name));
}

bool sameElement(const AccessibilityElementRef& a, const AccessibilityElementRef& b) {
    if (!a || !b) return !a && !b;
    if (a == b) return true;
    return a->isSameElement(*b);
}

} // namespace quillo
