#pragma once

#include "Platform/AccessibilityPermission.h"

#include <QStringList>

namespace quillo {

class WaylandConnection;

// What "trusted" means on KDE Plasma: KWin shows Quillo its fake input (it does so only for a
// program whose installed desktop entry asks for it) and its clipboard control, the global
// shortcut service answers (the trigger), and the accessibility bus answers (to classify the
// focused field). What is missing is said in one sentence each, with how to get it.
class KWinAccessibilityPermission final : public AccessibilityPermission {
public:
    struct Facilities {
        bool fakeInput = false;
        bool dataControl = false;
        bool globalShortcuts = false;
        bool accessibilityBus = false;
        bool operator==(const Facilities&) const = default;
    };

    explicit KWinAccessibilityPermission(const WaylandConnection& connection);

    bool isProcessTrusted() const override;
    // With `prompt`, switches the desktop's accessibility on (org.a11y.Status IsEnabled).
    bool requestTrust(bool prompt) override;
    QUrl settingsUrl() const override { return {}; }
    QStringList unmetRequirements() const override { return missingRequirements(probe()); }

    Facilities probe() const;
    static QStringList missingRequirements(const Facilities& facilities);
    static bool isTrusted(const Facilities& facilities);

private:
    const WaylandConnection& connection_;
};

} // namespace quillo
