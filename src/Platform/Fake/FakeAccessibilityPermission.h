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
    bool canAskAgain() const override { return askAgain; }

    bool trusted = false;
    bool grantOnPrompt = false; // the user accepts the prompt at once
    int promptCount = 0;
    bool askAgain = false; // a desktop whose refusal is not final (GNOME's dialog)
};

} // namespace quillo
