#include "Services/TextInsertionEngine.h"

#include "Support/AccessibilitySupport.h"
#include "Support/ChromeAccessibilityReadiness.h"
#include "Support/CorrectionTargetGuard.h"
#include "Support/Logging.h"
#include "Support/SignpostInterval.h"

#include <QUuid>

namespace quillo {

namespace {

// Key codes and flags in the virtual-key numbering the keystroke sender speaks.
constexpr quint16 rightArrowKeyCode = 124;
// Shortcuts on Linux desktops use Control (Select All, Copy, Paste).
constexpr quint64 controlModifierFlag = 0x40000;
constexpr quint64 shortcutModifierFlags = controlModifierFlag;

bool hasText(const std::optional<QString>& text) { return text && !text->trimmed().isEmpty(); }

qsizetype characters(const QString& text) { return FullFieldCapturePolicy::characterCount(text); }

} // namespace

TextInsertionEngine::TextInsertionEngine(Platform platform, PhysicalLayoutKeyCode keyboardLayout, Clock& clock)
    : platform_(platform), keyboardLayout_(std::move(keyboardLayout)), clock_(clock) {
    platform_.pasteboard.observeChanges([this] { reported_.wake(); });
}

TextInsertionEngine::~TextInsertionEngine() {
    platform_.pasteboard.observeChanges({});
    // The user's pasteboard must not stay replaced by a correction when the engine goes
    // away with restores still pending: put it back now.
    restorePendingNow();
}

void TextInsertionEngine::restorePendingNow() {
    auto pending = std::move(pendingRestores_);
    pendingRestores_.clear();
    for (auto& [timer, restore] : pending) {
        clock_.cancelScheduled(timer);
        restore.write.restoreIfStillOwned(restore.snapshot, platform_.pasteboard);
    }
}

// MARK: - Keys

std::optional<RunningApplication> TextInsertionEngine::frontmostTargetApplication() const {
    auto frontmost = platform_.workspace.frontmostApplication();
    if (!frontmost || frontmost->processIdentifier == platform_.workspace.currentProcessIdentifier())
        return std::nullopt;
    return frontmost;
}

std::optional<quint16> TextInsertionEngine::keyCode(QChar letter) const {
    if (keyboardLayout_) {
        if (auto code = keyboardLayout_(letter)) return code;
    }
    return platform_.keyboardLayout.keyCode(letter);
}

bool TextInsertionEngine::sendKey(quint16 virtualKey, quint64 modifierFlags) {
    auto& keystrokes = platform_.keystrokes;
    if (!keystrokes.isAvailable()) return false;
    if (!keystrokes.post({virtualKey, true, modifierFlags})) return false;
    return keystrokes.post({virtualKey, false, modifierFlags});
}

bool TextInsertionEngine::sendShortcut(QChar letter) {
    const auto code = keyCode(letter);
    if (!code) {
        qCCritical(lcTextInsertion) << "Unable to resolve a command shortcut for the current keyboard layout";
        return false;
    }
    return sendKey(*code, shortcutModifierFlags);
}

bool TextInsertionEngine::collapseSelection() { return sendKey(rightArrowKeyCode); }

// MARK: - Waits

QCoro::Task<bool> TextInsertionEngine::waitForReport(std::function<bool()> reported, double bound,
                                                     CancellationToken cancellation) {
    const double deadline = clock_.uptimeSeconds() + bound;
    while (!reported()) {
        const double remaining = deadline - clock_.uptimeSeconds();
        // A cancelled sleep returns at once; the wait then ends with it.
        if (remaining <= 1e-9 || cancellation.isCancelled()) co_return false;
        co_await clock_.sleep(std::min(pasteboardPollInterval, remaining), cancellation, reported_);
    }
    co_return true;
}

QCoro::Task<bool> TextInsertionEngine::selectAll(CancellationToken cancellation) {
    const Pasteboard& pasteboard = platform_.pasteboard;
    const std::optional<qint64> before = pasteboard.selectionChangeCount();
    if (!sendShortcut(u'a')) co_return false;
    // The application has applied Select All once it claims the selection; an application that
    // claims nothing (the field already all selected, or no such report) gets the whole delay.
    std::function<bool()> selected = [&pasteboard, before] {
        return before && pasteboard.selectionChangeCount() != before;
    };
    co_await waitForReport(std::move(selected), selectAllSettleDelay, cancellation);
    co_return true;
}

// MARK: - Copy

QCoro::Task<std::optional<QString>> TextInsertionEngine::copyCurrentSelection(int maximumPollCount,
                                                                              CancellationToken cancellation) {
    // A paste's restore still pending would otherwise snapshot the paste as the user's own.
    restorePendingNow();
    Pasteboard& pasteboard = platform_.pasteboard;
    const PasteboardSnapshot snapshot = PasteboardSnapshot::capture(pasteboard);
    pasteboard.clearContents();
    const qint64 baseline = pasteboard.changeCount();

    if (!sendShortcut(u'c')) {
        snapshot.restoreIfUnchanged(baseline, pasteboard);
        co_return std::nullopt;
    }

    // Arguments of an awaited coroutine are named locals: see ChromeAccessibilityReadiness.
    std::function<bool()> copied = [&pasteboard, baseline] { return pasteboard.changeCount() != baseline; };
    co_await waitForReport(std::move(copied), maximumPollCount * pasteboardPollInterval, cancellation);

    const qint64 afterCopy = pasteboard.changeCount();
    std::optional<QString> result;
    if (!cancellation.isCancelled()) {
        QStringList types;
        const int count = pasteboard.itemCount().value_or(0);
        for (int index = 0; index < count; ++index) types += pasteboard.types(index);
        result = PasteboardTextCandidate::acceptedText(pasteboard.string(PasteboardTypes::plainText), types);
        if (!result && types.contains(PasteboardTypes::fileUrl))
            qCInfo(lcTextInsertion) << "Clipboard capture refused because it represents files, not text";
    }
    snapshot.restoreIfUnchanged(afterCopy, pasteboard);
    co_return result;
}

QCoro::Task<std::optional<QString>> TextInsertionEngine::copyFullFieldSelection(std::optional<QString> expectedText,
                                                                                CancellationToken cancellation) {
    auto copy = copyFullField(std::move(expectedText), std::move(cancellation));
    FieldCopy result = co_await std::move(copy);
    co_return result.text;
}

QCoro::Task<TextInsertionEngine::FieldCopy> TextInsertionEngine::copyFullField(std::optional<QString> expectedText,
                                                                               CancellationToken cancellation) {
    if (!co_await selectAll(cancellation)) co_return FieldCopy{};
    const std::optional<QString> firstCopy = co_await copyCurrentSelection(fullFieldPollCount, cancellation);

    const bool accepted = expectedText ? firstCopy == expectedText : hasText(firstCopy);
    if (accepted || cancellation.isCancelled()) co_return FieldCopy{firstCopy, true};

    std::optional<QString> secondCopy;
    switch (FullFieldCopyRetryPolicy::recoveryAction(firstCopy, expectedText)) {
    case FullFieldCopyRetryPolicy::RecoveryAction::accept: co_return FieldCopy{firstCopy, true};
    case FullFieldCopyRetryPolicy::RecoveryAction::retryCopy:
        qCDebug(lcTextInsertion) << "Retrying Copy after the editor delayed its full-field selection";
        co_await clock_.sleep(delayedSelectionRetryDelay, cancellation);
        secondCopy = co_await copyCurrentSelection(fullFieldPollCount, cancellation);
        break;
    case FullFieldCopyRetryPolicy::RecoveryAction::reselectAndCopy:
        qCDebug(lcTextInsertion) << "Reselecting the full field after an inconsistent verification copy";
        co_await clock_.sleep(inconsistentCopyReselectDelay, cancellation);
        if (!co_await selectAll(cancellation)) co_return FieldCopy{firstCopy, true};
        secondCopy = co_await copyCurrentSelection(fullFieldPollCount, cancellation);
        break;
    }
    // Never a third attempt.
    co_return FieldCopy{secondCopy ? secondCopy : firstCopy, true};
}

// MARK: - Capture

QCoro::Task<TextCorrectionCaptureResult> TextInsertionEngine::captureTarget(CancellationToken cancellation) {
    SignpostInterval interval(QStringLiteral("CaptureTarget"), clock_);

    const auto application = frontmostTargetApplication();
    if (!application) co_return TextCorrectionCaptureResult::noEditableTarget();
    const QString bundle = application->bundleIdentifier;

    const ApplicationDescription description = platform_.workspace.describe(*application);
    if (TerminalApplicationPolicy::isTerminal(description)) {
        qCInfo(lcTextInsertion).noquote()
            << QStringLiteral("Capture refused before any keystroke because the application is a terminal; bundle=%1")
                   .arg(bundle);
        co_return TextCorrectionCaptureResult::terminal();
    }

    const auto inspection = co_await ChromeAccessibilityReadiness::inspection(
        *application, platform_.accessibility, platform_.workspace, clock_, cancellation);
    if (!inspection || cancellation.isCancelled()) co_return TextCorrectionCaptureResult::noEditableTarget();

    const auto again = frontmostTargetApplication();
    if (!again || again->processIdentifier != application->processIdentifier)
        co_return TextCorrectionCaptureResult::noEditableTarget();

    if (inspection->terminal) {
        qCInfo(lcTextInsertion).noquote()
            << QStringLiteral("Capture refused before any keystroke because the focus is in a terminal; bundle=%1")
                   .arg(bundle);
        co_return TextCorrectionCaptureResult::terminal();
    }

    if (inspection->context == FocusedElementCorrectionContext::secureTextInput) {
        qCInfo(lcTextInsertion) << "Capture refused before copying because the focused element is a secure text field";
        co_return TextCorrectionCaptureResult::secureField();
    }

    // A browser whose page has not described the focused element (its tree still building, or
    // accessibility refused) may have a password field there: not even Copy is sent.
    if (inspection->context == FocusedElementCorrectionContext::other &&
        BrowserApplicationPolicy::isBrowserOrDocument(description)) {
        qCInfo(lcTextInsertion).noquote()
            << QStringLiteral("Capture refused before any keystroke because the browser's focused element is of "
                              "unknown kind; bundle=%1")
                   .arg(bundle);
        co_return TextCorrectionCaptureResult::noEditableTarget();
    }

    if (ExplicitSelectionCapturePolicy::shouldAttempt(inspection->context, inspection->selectionState)) {
        const auto selection = co_await copyCurrentSelection(explicitSelectionPollCount, cancellation);
        if (hasText(selection)) {
            qCInfo(lcTextInsertion).noquote()
                << QStringLiteral("Captured explicit selection through keyboard; characters=%1")
                       .arg(characters(*selection));
            co_return TextCorrectionCaptureResult::captured({*selection, application->processIdentifier, false});
        }
        // No Select All for a correction that was already abandoned.
        if (cancellation.isCancelled()) co_return TextCorrectionCaptureResult::noEditableTarget();
    }

    const std::optional<QString> bundleIdentifier = bundle.isEmpty() ? std::nullopt : std::optional<QString>(bundle);
    if (!FullFieldCapturePolicy::shouldAttempt(inspection->context, bundleIdentifier)) {
        qCInfo(lcTextInsertion).noquote()
            << QStringLiteral("Full-field capture refused before Select All; bundle=%1, context=%2, selection=%3")
                   .arg(bundleIdentifier.value_or(QStringLiteral("none")), caseName(inspection->context),
                        caseName(inspection->selectionState));
        co_return TextCorrectionCaptureResult::noEditableTarget();
    }

    std::optional<QString> noExpectation;
    const FieldCopy copy = co_await copyFullField(std::move(noExpectation), cancellation);
    const std::optional<QString>& field = copy.text;
    // The user's field must not stay fully selected, whatever the copy gave. Without a
    // Select All there is nothing to collapse, and Right Arrow would only move the caret.
    if (copy.selectAllSent) collapseSelection();

    if (cancellation.isCancelled() || !hasText(field)) co_return TextCorrectionCaptureResult::noEditableTarget();

    if (!FullFieldCapturePolicy::isWithinAutomaticCharacterLimit(*field)) {
        qCInfo(lcTextInsertion).noquote()
            << QStringLiteral(
                   "Automatic full-field capture refused because it exceeds the character limit; characters=%1")
                   .arg(characters(*field));
        co_return TextCorrectionCaptureResult::fieldTooLong();
    }

    qCInfo(lcTextInsertion).noquote()
        << QStringLiteral("Captured complete field through keyboard; characters=%1").arg(characters(*field));
    co_return TextCorrectionCaptureResult::captured({*field, application->processIdentifier, true});
}

// MARK: - Application

QCoro::Task<TextCorrectionApplicationResult>
TextInsertionEngine::applyCorrection(TextCorrectionTarget target, QString corrected, CancellationToken cancellation) {
    SignpostInterval interval(QStringLiteral("ApplyCorrection"), clock_);

    auto targetInFront = [this, pid = target.processIdentifier] {
        const auto frontmost = frontmostTargetApplication();
        return frontmost && frontmost->processIdentifier == pid;
    };

    if (!targetInFront()) {
        qCInfo(lcTextInsertion) << "Correction cancelled because the application changed";
        co_return TextCorrectionApplicationResult::applicationChanged;
    }

    // Read the target again: for a whole field this also selects it again for the paste.
    std::optional<QString> current;
    bool selectAllSent = false;
    if (target.capturedFullField) {
        std::optional<QString> expected = target.text;
        const FieldCopy copy = co_await copyFullField(std::move(expected), cancellation);
        current = copy.text;
        selectAllSent = copy.selectAllSent;
    } else {
        current = co_await copyCurrentSelection(explicitSelectionPollCount, cancellation);
    }

    // Right Arrow only goes to the target's own application: sent anywhere else it would
    // move the cursor of whatever the user switched to.
    auto collapseFullField = [&] {
        if (selectAllSent && targetInFront()) collapseSelection();
    };

    const auto frontmost = frontmostTargetApplication();
    const auto reason = CorrectionTargetGuard::invalidationReason(
        target.processIdentifier, frontmost ? std::optional<qint32>(frontmost->processIdentifier) : std::nullopt,
        target.text, current);
    if (reason) {
        collapseFullField();
        if (*reason == CorrectionTargetGuard::InvalidationReason::applicationChanged) {
            qCInfo(lcTextInsertion) << "Correction cancelled because the application changed";
            co_return TextCorrectionApplicationResult::applicationChanged;
        }
        qCInfo(lcTextInsertion) << "Correction cancelled because the selected text changed";
        co_return TextCorrectionApplicationResult::selectionChanged;
    }

    const bool pasted = co_await paste(corrected, cancellation);
    if (pasted)
        co_return targetInFront() ? TextCorrectionApplicationResult::applied
                                  : TextCorrectionApplicationResult::applicationChanged;
    collapseFullField();
    co_return targetInFront() ? TextCorrectionApplicationResult::pasteFailed
                              : TextCorrectionApplicationResult::applicationChanged;
}

// MARK: - Paste

QCoro::Task<bool> TextInsertionEngine::paste(QString text, CancellationToken cancellation) {
    if (cancellation.isCancelled()) co_return false;
    restorePendingNow();
    Pasteboard& pasteboard = platform_.pasteboard;
    PasteboardSnapshot snapshot = PasteboardSnapshot::capture(pasteboard);
    const QString marker = QUuid::createUuid().toString(QUuid::WithoutBraces);
    TransientPasteboardWrite write =
        TransientPasteboardWrite::install(text, marker, transientPasteboardType, pasteboard);
    // A write the desktop refused would make Paste insert whatever the user had copied.
    if (pasteboard.string(transientPasteboardType) != marker || pasteboard.string(PasteboardTypes::plainText) != text) {
        qCCritical(lcTextInsertion)
            << "Correction paste refused because the pasteboard did not take the corrected text";
        snapshot.restoreIfUnchanged(write.changeCount, pasteboard);
        co_return false;
    }

    const std::optional<qint64> readsBefore = pasteboard.contentReadCount();
    if (!sendShortcut(u'v')) {
        write.restoreIfStillOwned(snapshot, pasteboard);
        co_return false;
    }

    // The target reads the pasteboard after it receives the keystroke; the correction
    // stays there a little while before the user's contents come back.
    std::function<bool()> taken = [&pasteboard, readsBefore] {
        return readsBefore && pasteboard.contentReadCount() != readsBefore;
    };
    co_await waitForReport(std::move(taken), pasteSettleDelay, cancellation);
    restorePasteboard(std::move(snapshot), std::move(write), pasteboardRestoreDelay);
    qCDebug(lcTextInsertion) << "Correction paste dispatched through the universal keyboard path";
    co_return true;
}

void TextInsertionEngine::restorePasteboard(PasteboardSnapshot snapshot, TransientPasteboardWrite write, double after) {
    // The id is only known after scheduling; the callback runs later on the clock's thread.
    auto timer = std::make_shared<Clock::TimerId>(0);
    *timer = clock_.schedule(after, [this, timer] {
        auto it = pendingRestores_.find(*timer);
        if (it == pendingRestores_.end()) return;
        PendingRestore restore = std::move(it->second);
        pendingRestores_.erase(it);
        restore.write.restoreIfStillOwned(restore.snapshot, platform_.pasteboard);
    });
    pendingRestores_.emplace(*timer, PendingRestore{std::move(snapshot), std::move(write)});
}

} // namespace quillo
