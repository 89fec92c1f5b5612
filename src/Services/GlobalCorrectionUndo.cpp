// Undo of the last whole-field correction: offered for a while after its paste, and pasted back
// only through the same guard while the field still holds exactly the correction.
#include "Services/GlobalCorrectionService.h"

#include "Support/Logging.h"

#include <QPointer>

namespace quillo {

namespace {
using Failure = UserFacingErrorCatalog::CorrectionFailure;
using Priority = AccessibilityAnnouncer::Priority;
} // namespace

void GlobalCorrectionService::rememberUndoable(const TextCorrectionTarget& target, const QString& corrected) {
    if (undoExpiry_) env_.clock.cancelScheduled(*undoExpiry_);
    undoable_ = UndoableCorrection{{corrected, target.processIdentifier, true}, target.text};
    QPointer<GlobalCorrectionService> self(this);
    undoExpiry_ = env_.clock.schedule(undoAvailableSeconds, [self] {
        if (!self) return;
        self->undoExpiry_.reset();
        self->forgetUndoable();
    });
    emit undoAvailabilityChanged(true);
}

void GlobalCorrectionService::forgetUndoable() {
    if (undoExpiry_) {
        env_.clock.cancelScheduled(*undoExpiry_);
        undoExpiry_.reset();
    }
    if (!undoable_) return;
    undoable_.reset();
    emit undoAvailabilityChanged(false);
}

void GlobalCorrectionService::undoLastCorrection() {
    if (!undoable_ || isCorrectionRunning()) return;
    const UndoableCorrection undo = *undoable_;
    forgetUndoable(); // one attempt: a refused undo is not retried against a field that changed

    const QUuid id = QUuid::createUuid();
    activeCorrectionID_ = id;
    correctionTask_ = std::make_unique<CancellationSource>();
    setStatus(CorrectionStatus::processing);
    env_.toast.showProcessing();
    QPointer<GlobalCorrectionService> self(this);
    const CancellationToken token = correctionTask_->token();
    // Started from the event loop: the menu that asked is closing and focus returns to the field.
    pendingTaskStart_ = env_.clock.schedule(0.0, [self, id, token, undo] {
        if (!self) return;
        self->pendingTaskStart_.reset();
        auto task = self->runUndo(id, token, undo.corrected, undo.original);
        Q_UNUSED(task); // detached; guarded like a correction run
    });
}

QCoro::Task<> GlobalCorrectionService::runUndo(QUuid id, CancellationToken token, TextCorrectionTarget corrected,
                                               QString original) {
    QPointer<GlobalCorrectionService> self(this);
    if (!isCurrent(id, token)) co_return;
    TextTargetProviding* provider = textTargetProvider();
    if (!provider) {
        finishWithError(UserFacingErrorCatalog::correction(Failure::noTextTarget()), id);
        co_return;
    }

    // Not even Select All goes to an application other than the corrected one.
    const auto frontmost = env_.workspace.frontmostApplication();
    if (!frontmost || frontmost->processIdentifier != corrected.processIdentifier) {
        qCInfo(lcInputMonitoring, "Undo refused before any keystroke because another application is in front");
        finishWithError(notPastedMessage(TextCorrectionApplicationResult::applicationChanged), id);
        co_return;
    }

    // Capture the field as a correction would, with its refusals (terminal, password field)
    // before any keystroke, then demand exactly the corrected text.
    const TextCorrectionCaptureResult capture = co_await provider->captureTarget(token);
    if (!self || !isCurrent(id, token)) co_return;
    if (!capture.isCaptured()) {
        qCInfo(lcInputMonitoring, "Undo refused; capture=%s", qPrintable(capture.caseName()));
        finishWithCaptureRefusal(capture, id);
        co_return;
    }
    const TextCorrectionTarget& now = *capture.target();
    if (now.processIdentifier != corrected.processIdentifier) {
        qCInfo(lcInputMonitoring, "Undo refused because another application is in front");
        finishWithError(notPastedMessage(TextCorrectionApplicationResult::applicationChanged), id);
        co_return;
    }
    if (!now.capturedFullField || now.text != corrected.text) {
        qCInfo(lcInputMonitoring, "Undo refused because the field no longer holds the correction");
        finishWithError(undoFieldChangedMessage, id);
        co_return;
    }

    // The guard reads the field again right before the paste.
    const TextCorrectionApplicationResult applied = co_await provider->applyCorrection(corrected, original, token);
    if (!self || !stillOwns(id, token)) co_return;
    switch (applied) {
    case TextCorrectionApplicationResult::applied:
        qCInfo(lcInputMonitoring, "Last correction undone");
        env_.toast.showSuccess(undoneNotice);
        env_.announcer.announce(undoneNotice, Priority::medium);
        setStatus(CorrectionStatus::success);
        endIfActive(id);
        break;
    case TextCorrectionApplicationResult::selectionChanged:
        qCInfo(lcInputMonitoring, "Undo refused because the field changed before the paste");
        finishWithError(undoFieldChangedMessage, id);
        break;
    case TextCorrectionApplicationResult::applicationChanged:
    case TextCorrectionApplicationResult::pasteFailed:
        qCWarning(lcInputMonitoring, "Undo not pasted; result=%s",
                  qPrintable(TextCorrectionApplicationResults::caseName(applied)));
        finishWithError(notPastedMessage(applied), id);
        break;
    }
}

} // namespace quillo
