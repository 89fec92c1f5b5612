#pragma once

#include "Platform/AccessibilityElement.h"
#include "Platform/KeyboardLayout.h"
#include "Platform/KeystrokeSender.h"
#include "Platform/Pasteboard.h"
#include "Platform/Workspace.h"
#include "Services/TextTargetProviding.h"
#include "Support/Clock.h"
#include "Support/PasteboardTransaction.h"

#include <QChar>
#include <QString>
#include <functional>
#include <map>
#include <optional>

namespace quillo {

// The only component that touches another application's text. Text moves only through
// synthetic Select All / Copy / Paste / Right Arrow and the pasteboard, which is snapshotted
// before and restored after every use; accessibility only classifies the focused element.
class TextInsertionEngine final : public TextTargetProviding {
public:
    // The desktop the engine works on. Every reference must outlive the engine.
    struct Platform {
        Workspace& workspace;
        AccessibilityTree& accessibility;
        Pasteboard& pasteboard;
        KeystrokeSender& keystrokes;
        KeyboardLayout& keyboardLayout;
    };

    // The key code the user's chosen physical layout assigns to a shortcut letter; none for
    // "automatic" (the active layout then decides). Asked each time a shortcut is resolved.
    using PhysicalLayoutKeyCode = std::function<std::optional<quint16>(QChar letter)>;

    static inline const QString transientPasteboardType = QStringLiteral("com.quillo.transient-pasteboard");

    static constexpr double pasteboardPollInterval = 0.010;
    static constexpr int explicitSelectionPollCount = 12;
    static constexpr int fullFieldPollCount = 24;
    static constexpr double selectAllSettleDelay = 0.025;
    static constexpr double delayedSelectionRetryDelay = 0.060;
    static constexpr double inconsistentCopyReselectDelay = 0.035;
    static constexpr double pasteSettleDelay = 0.035;
    static constexpr double pasteboardRestoreDelay = 0.2;

    TextInsertionEngine(Platform platform, PhysicalLayoutKeyCode keyboardLayout = {}, Clock& clock = Clock::shared());
    ~TextInsertionEngine() override;
    TextInsertionEngine(const TextInsertionEngine&) = delete;
    TextInsertionEngine& operator=(const TextInsertionEngine&) = delete;

    QCoro::Task<TextCorrectionCaptureResult> captureTarget(CancellationToken cancellation = {}) override;
    QCoro::Task<TextCorrectionApplicationResult> applyCorrection(TextCorrectionTarget target, QString corrected,
                                                                 CancellationToken cancellation = {}) override;

    // The building blocks, exposed for tests and tools.
    std::optional<RunningApplication> frontmostTargetApplication() const;
    std::optional<quint16> keyCode(QChar letter) const;
    bool sendKey(quint16 virtualKey, quint64 modifierFlags = 0);
    // The shortcut modifier plus the key that types `letter` ('a', 'c', 'v').
    bool sendShortcut(QChar letter);
    bool collapseSelection();
    QCoro::Task<std::optional<QString>> copyCurrentSelection(int maximumPollCount, CancellationToken cancellation = {});
    QCoro::Task<std::optional<QString>> copyFullFieldSelection(std::optional<QString> expectedText,
                                                               CancellationToken cancellation = {});
    QCoro::Task<bool> paste(QString text, CancellationToken cancellation = {});

    // Restores scheduled after a paste and not yet run.
    std::size_t pendingRestoreCount() const { return pendingRestores_.size(); }

private:
    struct FieldCopy {
        std::optional<QString> text;
        bool selectAllSent = false;
    };
    QCoro::Task<FieldCopy> copyFullField(std::optional<QString> expectedText, CancellationToken cancellation);
    // Waits until `reported` holds or `bound` seconds passed: the pasteboard's reports end it at
    // once, and where none come it looks again every poll interval.
    QCoro::Task<bool> waitForReport(std::function<bool()> reported, double bound, CancellationToken cancellation);
    // Select All, then the wait for the application to take the selection (at most the settle delay).
    QCoro::Task<bool> selectAll(CancellationToken cancellation);

    struct PendingRestore {
        PasteboardSnapshot snapshot;
        TransientPasteboardWrite write;
    };
    void restorePasteboard(PasteboardSnapshot snapshot, TransientPasteboardWrite write, double after);
    // Runs every pending restore at once: the next copy or paste replaces the pasteboard anyway.
    void restorePendingNow();

    Platform platform_;
    PhysicalLayoutKeyCode keyboardLayout_;
    Clock& clock_;
    SleepWakeup reported_;
    std::map<Clock::TimerId, PendingRestore> pendingRestores_;
};

} // namespace quillo
