#pragma once

#include "Platform/AccessibilityPermission.h"

namespace quillo {

class FakeAccessibilityPermission final : public AccessibilityPermission {
public:
    bool isProcessTrusted() const override { return trusted; }
    bool requestTrust(bool prompt) override {
        const bool before = trusted;
        if (prompt) {
            ++promptCount;
            if (grantOnPrompt) trusted = true;
        }
        return before;
    }
    QUrl settingsUrl() const override { return QUrl(QStringLiteral("settings://accessibility")); }

    bool trusted = false;
    bool grantOnPrompt = false; // the user accepts the prompt at once
    int promptCount = 0;
};

} // namespace quillo
