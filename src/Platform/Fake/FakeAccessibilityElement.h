#pragma once

#include "Platform/AccessibilityElement.h"

#include <QHash>
#include <QSet>
#include <functional>
#include <memory>

namespace quillo {

// An element of a simulated accessibility tree. Attributes are stored values or computed on
// each read; any attribute can be made to fail or time out.
class FakeAccessibilityElement final : public AccessibilityElement,
                                       public std::enable_shared_from_this<FakeAccessibilityElement> {
public:
    using Ref = std::shared_ptr<FakeAccessibilityElement>;
    using Computed = std::function<AccessibilityValue()>;

    static Ref make(qint32 processIdentifier, const QString& role = {});
    // Another handle on the same element (a distinct pointer that isSameElement accepts).
    AccessibilityElementRef alias();

    AccessibilityValue attributeValue(const QString& name) const override;
    std::optional<QStringList> attributeNames() const override;
    std::optional<bool> isAttributeSettable(const QString& name) const override;
    AccessibilityStatus setBooleanAttribute(const QString& name, bool value) override;
    std::optional<qint32> processIdentifier() const override;
    bool isSameElement(const AccessibilityElement& other) const override;

    // Setup.
    Ref set(const QString& name, const AccessibilityValue& value);
    Ref setString(const QString& name, const QString& value) { return set(name, AccessibilityValue::of(value)); }
    Ref setBoolean(const QString& name, bool value) { return set(name, AccessibilityValue::of(value)); }
    Ref setElement(const QString& name, const AccessibilityElementRef& element);
    Ref setComputed(const QString& name, const Computed& computed);
    Ref remove(const QString& name);
    Ref setSettable(const QString& name, bool settable = true);
    // Reads of `name` end with `status` (failure, cannotComplete...).
    Ref failReads(const QString& name, AccessibilityStatus status);
    // Every read ends with `status`, as for an application that stopped answering.
    Ref failAllReads(AccessibilityStatus status);
    // Replaces the attribute-name list (none: the list cannot be read).
    Ref setAttributeNames(std::optional<QStringList> names);
    Ref setProcessIdentifier(std::optional<qint32> pid);
    // Drops every stored and computed attribute, and so the elements they refer to.
    void clearAttributes();
    std::function<AccessibilityStatus(const QString&, bool)> onSetBoolean;

    // Counters for tests and benchmarks.
    mutable int readCount = 0;
    QHash<QString, bool> writtenBooleans;

private:
    FakeAccessibilityElement() = default;
    struct Identity {};
    std::shared_ptr<Identity> identity_ = std::make_shared<Identity>();
    std::shared_ptr<FakeAccessibilityElement> aliasOf_;
    std::optional<qint32> pid_;
    QHash<QString, AccessibilityValue> values_;
    QHash<QString, Computed> computed_;
    QHash<QString, AccessibilityStatus> failures_;
    std::optional<AccessibilityStatus> failAll_;
    QSet<QString> settable_;
    bool namesOverridden_ = false;
    std::optional<QStringList> names_;
};

} // namespace quillo
