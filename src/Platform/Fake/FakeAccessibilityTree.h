#pragma once

#include "Platform/AccessibilityElement.h"
#include "Platform/Fake/FakeAccessibilityElement.h"

#include <functional>

namespace quillo {

class FakeAccessibilityTree final : public AccessibilityTree {
public:
    AccessibilityElementRef applicationElement(qint32 pid) override {
        if (applicationsUnreachable || !lookup) return nullptr;
        return lookup(pid);
    }
    AccessibilityElementRef systemWideElement() override { return systemWide; }

    std::function<AccessibilityElementRef(qint32)> lookup;
    FakeAccessibilityElement::Ref systemWide;
    bool applicationsUnreachable = false;
};

} // namespace quillo
