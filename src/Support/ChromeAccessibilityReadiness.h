#pragma once

#include "Platform/AccessibilityElement.h"
#include "Platform/Workspace.h"
#include "Support/AccessibilitySupport.h"
#include "Support/Cancellation.h"
#include "Support/Clock.h"

#include <functional>
#include <optional>

#include <qcoro/qcorotask.h>

namespace quillo {

// Chromium builds the accessibility tree of web content only once an assistive client asks
// for it; until then a focused web field looks like a plain element. This step switches the
// tree on and waits briefly for it before classifying again.
namespace ChromeAccessibilityReadiness {

inline constexpr double waitSeconds = 0.25;
inline constexpr int maximumInspections = 12;

bool needsRendererAccessibility(const std::optional<QString>& bundleIdentifier);

using Inspect = std::function<FocusedTextInputInspection()>;
using IsCurrent = std::function<bool()>;
using Activate = std::function<void()>;
// Waits one step; false when the wait was cancelled.
using Wait = std::function<QCoro::Task<bool>()>;

// None when the application stopped being the current target or the task was cancelled.
QCoro::Task<std::optional<FocusedTextInputInspection>> resolve(std::optional<QString> bundleIdentifier, Inspect inspect,
                                                               IsCurrent isCurrent, Activate activate, Wait wait,
                                                               CancellationToken cancellation = {});

// The same over the real operations.
QCoro::Task<std::optional<FocusedTextInputInspection>> inspection(RunningApplication application,
                                                                  AccessibilityTree& tree, Workspace& workspace,
                                                                  Clock& clock, CancellationToken cancellation = {});

} // namespace ChromeAccessibilityReadiness
} // namespace quillo
