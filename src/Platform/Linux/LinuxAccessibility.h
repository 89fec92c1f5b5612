#pragma once

#include "Platform/AccessibilityElement.h"
#include "Platform/Linux/AtSpiBus.h"

#include <array>
#include <memory>

namespace quillo {

class Clock;

// One accessible object of another application over AT-SPI2, read through the attribute
// names the inspection uses: "AXRole" / "AXSubrole" / "AXIsEditable" from the role and the
// states, "AXParent" from the parent (ending at the application), "AXSelectedTextRange" from
// the text interface (in characters, which only matters for its length), "AXFocusedUIElement"
// on an application or the desktop. No text is ever read. Reads are cached per handle, which
// lives for one inspection; prefetch() sends the inspection's calls together.
class AtSpiAccessibleElement final : public AccessibilityElement {
public:
    enum class Kind { object, application, desktop };

    AtSpiAccessibleElement(std::shared_ptr<AtSpiBus> bus, AtSpiObjectRef ref, Kind kind);

    AccessibilityValue attributeValue(const QString& name) const override;
    std::optional<QStringList> attributeNames() const override;
    std::optional<bool> isAttributeSettable(const QString& name) const override;
    AccessibilityStatus setBooleanAttribute(const QString& name, bool value) override;
    std::optional<qint32> processIdentifier() const override;
    bool isSameElement(const AccessibilityElement& other) const override;
    void prefetch() const override;

    const AtSpiObjectRef& ref() const { return ref_; }

    // Bound of the search for the focused object when no focus event told it.
    static constexpr int maximumSearchNodes = 400;
    static constexpr int maximumSearchDepth = 40;

private:
    struct Info {
        AccessibilityStatus status = AccessibilityStatus::success;
        QString roleName;
        quint64 states = 0;
        QStringList interfaces;
    };
    // The calls made of one object, each sent at most once per handle.
    enum class Call : std::size_t { parent, role, states, interfaces, selectionCount, caretOffset, count };
    void start(Call call) const;
    const AtSpiReply& reply(Call call) const;
    std::optional<quint64> states(AccessibilityStatus* status) const;
    const Info& info() const;
    AccessibilityValue focusedElement() const;
    AccessibilityValue parent() const;
    AccessibilityValue selectedTextRange() const;
    AccessibilityElementRef make(const AtSpiObjectRef& ref, Kind kind = Kind::object) const;

    std::shared_ptr<AtSpiBus> bus_;
    AtSpiObjectRef ref_;
    Kind kind_;
    mutable std::optional<Info> info_;
    mutable bool prefetching_ = false;
    mutable std::array<std::optional<AtSpiPendingCall>, static_cast<std::size_t>(Call::count)> started_;
    mutable std::array<std::optional<AtSpiReply>, static_cast<std::size_t>(Call::count)> replies_;
};

// The accessibility trees of the desktop over the AT-SPI2 bus. The bus is found and joined on
// first use and again later if it was not reachable.
class LinuxAccessibility final : public AccessibilityTree {
public:
    explicit LinuxAccessibility(Clock& clock);
    ~LinuxAccessibility() override;

    AccessibilityElementRef applicationElement(qint32 processIdentifier) override;
    AccessibilityElementRef systemWideElement() override;

    // Joins the bus now; false when there is none.
    bool connect();
    AtSpiBus& bus() { return *bus_; }

private:
    std::shared_ptr<AtSpiBus> bus_;
};

} // namespace quillo
