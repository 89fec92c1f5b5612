#include "Support/ChromeAccessibilityReadiness.h"

#include "Support/Logging.h"

namespace quillo::ChromeAccessibilityReadiness {

bool needsRendererAccessibility(const std::optional<QString>& bundleIdentifier) {
    if (!bundleIdentifier) return false;
    const QString& id = *bundleIdentifier;
    if (id == QStringLiteral("com.google.Chrome") || id.startsWith(QStringLiteral("com.google.Chrome."))) return true;
    // Chrome and Chromium as Linux desktops name them (window class or desktop id,
    // channel builds such as google-chrome-beta or chromium-browser included).
    static const QStringList linuxNames{QStringLiteral("google-chrome"), QStringLiteral("chromium"),
                                        QStringLiteral("chromium-browser"), QStringLiteral("org.chromium.Chromium")};
    for (const QString& name : linuxNames)
        if (ApplicationIdentifiers::matchesName(id, name)) return true;
    return false;
}

QCoro::Task<std::optional<FocusedTextInputInspection>> resolve(std::optional<QString> bundleIdentifier, Inspect inspect,
                                                               IsCurrent isCurrent, Activate activate, Wait wait,
                                                               CancellationToken cancellation) {
    if (cancellation.isCancelled() || !isCurrent()) co_return std::nullopt;
    FocusedTextInputInspection result = inspect();
    if (!needsRendererAccessibility(bundleIdentifier) || result.context != FocusedElementCorrectionContext::other)
        co_return result;

    activate();
    for (int attempt = 1; attempt <= maximumInspections; ++attempt) {
        const bool waited = co_await wait();
        if (!waited || cancellation.isCancelled() || !isCurrent()) co_return std::nullopt;
        result = inspect();
        if (result.context != FocusedElementCorrectionContext::other) co_return result;
    }
    co_return result;
}

namespace {
QCoro::Task<bool> sleepOneStep(Clock& clock, CancellationToken cancellation) {
    co_return co_await clock.sleep(waitSeconds, cancellation);
}
} // namespace

QCoro::Task<std::optional<FocusedTextInputInspection>> inspection(RunningApplication application,
                                                                  AccessibilityTree& tree, Workspace& workspace,
                                                                  Clock& clock, CancellationToken cancellation) {
    // Arguments of the inner coroutine are named locals, moved in: temporaries built in a
    // coroutine call inside co_await are not reliably destroyed once by every compiler.
    Inspect inspect = [&tree, application] { return FocusedTextInputInspector::inspection(tree, application); };
    IsCurrent isCurrent = [&workspace, pid = application.processIdentifier] {
        if (workspace.isTerminated(pid)) return false;
        const auto frontmost = workspace.frontmostApplication();
        return frontmost && frontmost->processIdentifier == pid;
    };
    Activate activate = [&tree, pid = application.processIdentifier] {
        auto element = tree.applicationElement(pid);
        const auto status = element ? element->setBooleanAttribute(AccessibilityAttributes::enhancedUserInterface, true)
                                    : AccessibilityStatus::failure;
        qCInfo(lcTextInputInspection).noquote()
            << QStringLiteral("Requested Chrome renderer accessibility; AX result=%1").arg(static_cast<int>(status));
    };
    Wait wait = [&clock, cancellation] { return sleepOneStep(clock, cancellation); };
    std::optional<QString> bundleIdentifier;
    if (!application.bundleIdentifier.isEmpty()) bundleIdentifier = application.bundleIdentifier;
    auto resolved = resolve(std::move(bundleIdentifier), std::move(inspect), std::move(isCurrent), std::move(activate),
                            std::move(wait), cancellation);
    co_return co_await std::move(resolved);
}

} // namespace quillo::ChromeAccessibilityReadiness
