#pragma once

#include <QStringList>
#include <QUrl>

namespace quillo {

// The one permission the program needs: using the accessibility interface and sending
// synthetic input to other applications.
class AccessibilityPermission {
public:
    virtual ~AccessibilityPermission() = default;
    // Whether this process is trusted now.
    virtual bool isProcessTrusted() const = 0;
    // Checks the trust and, with `prompt`, lets the system ask the user when it is not yet
    // granted (the answer arrives later; callers read isProcessTrusted again).
    virtual bool requestTrust(bool prompt) = 0;
    // Where the desktop's settings for this permission are opened.
    virtual QUrl settingsUrl() const = 0;
    // What this desktop lacks, one sentence each with how to get it, where more can be said than
    // "open the settings"; empty otherwise.
    virtual QStringList unmetRequirements() const { return {}; }
    // Whether asking again can still help after a request was made (a desktop that asks the
    // user each time, where a refusal is not final); the settings are offered otherwise.
    virtual bool canAskAgain() const { return false; }
};

} // namespace quillo
