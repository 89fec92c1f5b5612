#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <memory>
#include <optional>
#include <variant>

namespace quillo {

class AccessibilityElement;
using AccessibilityElementRef = std::shared_ptr<AccessibilityElement>;

// A text range of an element ("AXSelectedTextRange"), in UTF-16 units.
struct AccessibilityRange {
    qint64 location = 0;
    qint64 length = 0;
    bool operator==(const AccessibilityRange&) const = default;
};

// How an accessibility call ended. Anything but success means "unknown" to the callers:
// a read that failed, was refused or timed out is treated as absent.
enum class AccessibilityStatus {
    success,
    noValue,              // the attribute exists but holds nothing
    attributeUnsupported, // the element does not have this attribute
    failure,              // the call failed (element gone, bus error...)
    cannotComplete,       // the target application did not answer in time
    notTrusted,           // this process may not use accessibility
};

// One attribute value: an element, a Boolean, a string, a range, or a value of a type the
// core does not use (which it treats as absent).
struct AccessibilityValue {
    struct Other {
        bool operator==(const Other&) const = default;
    };
    using Content = std::variant<std::monostate, AccessibilityElementRef, bool, QString, AccessibilityRange, Other>;

    AccessibilityStatus status = AccessibilityStatus::noValue;
    Content content;

    static AccessibilityValue failed(AccessibilityStatus status) { return {status, {}}; }
    template <typename T> static AccessibilityValue of(T value) {
        return {AccessibilityStatus::success, Content(std::move(value))};
    }
    bool isSuccess() const { return status == AccessibilityStatus::success; }
};

// A handle on one element of another application's accessibility tree. Handles are shared
// pointers; two handles may denote the same element, which isSameElement tells.
//
// Every call is synchronous and must return within a bounded time: an implementation over a
// message bus sets its own short timeout and reports cannotComplete instead of hanging.
class AccessibilityElement {
public:
    virtual ~AccessibilityElement() = default;

    // Reads one attribute by name ("AXRole", "AXSubrole", "AXFocusedUIElement", "AXParent",
    // "AXEditableAncestor", "AXHighestEditableAncestor", "AXIsEditable",
    // "AXSelectedTextRange", ...).
    virtual AccessibilityValue attributeValue(const QString& name) const = 0;
    // The names of the attributes the element has; none when the list cannot be read.
    virtual std::optional<QStringList> attributeNames() const = 0;
    // Whether the attribute may be written; none when the query failed.
    virtual std::optional<bool> isAttributeSettable(const QString& name) const = 0;
    // Writes a Boolean attribute (used for "AXEnhancedUserInterface" on an application).
    virtual AccessibilityStatus setBooleanAttribute(const QString& name, bool value) = 0;
    // The process owning the element; none when it cannot be read.
    virtual std::optional<qint32> processIdentifier() const = 0;
    // Identity: true when both handles denote the same element.
    virtual bool isSameElement(const AccessibilityElement& other) const = 0;
    // Starts, all at once, the reads an inspection makes of the element (role, states, parent,
    // selection), so that over a message bus they cost one wait instead of one each. Reads made
    // afterwards take the answers; nothing else changes. Nothing to do where reads are local.
    virtual void prefetch() const {}

    // Typed reads: a failed read, an empty value or a value of another type is absent.
    AccessibilityElementRef elementAttribute(const QString& name) const;
    std::optional<QString> stringAttribute(const QString& name) const;
    std::optional<bool> booleanAttribute(const QString& name) const;
    std::optional<AccessibilityRange> rangeAttribute(const QString& name) const;
};

bool sameElement(const AccessibilityElementRef& a, const AccessibilityElementRef& b);

// The entry points into the accessibility trees of the desktop.
class AccessibilityTree {
public:
    virtual ~AccessibilityTree() = default;
    // The element of a running application; null when it cannot be reached.
    virtual AccessibilityElementRef applicationElement(qint32 processIdentifier) = 0;
    // The element standing for the whole desktop; its "AXFocusedUIElement" is the element
    // with keyboard focus in whatever application has it. Null when unavailable.
    virtual AccessibilityElementRef systemWideElement() = 0;
};

} // namespace quillo
