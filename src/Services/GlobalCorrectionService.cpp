#include "Services/GlobalCorrectionService.h"

#include "Models/NetworkErrorCode.h"
#include "Services/CorrectionPipelineError.h"
#include "Services/KeyboardPreferences.h"
#include "Services/QuilloCloudError.h"
#include "Services/QuilloDiagnostics.h"
#include "Support/CorrectionChunkingError.h"
#include "Support/CorrectionTextIntegrity.h"
#include "Support/Logging.h"
#include "Support/SessionIdentity.h"

#include <QPointer>
#include <limits>
#include <stdexcept>

namespace quillo {

namespace {

using Failure = UserFacingErrorCatalog::CorrectionFailure;
using Priority = AccessibilityAnnouncer::Priority;

constexpr double distantPast = -std::numeric_limits<double>::infinity();
// Absorbs the rounding of clock arithmetic, so "at most 1.2 s" holds for a 1.2 s hold.
constexpr double timingTolerance = 1e-9;

const QString inProgressAnnouncement = QStringLiteral("Correction in progress");
const QString completedAnnouncement = QStringLiteral("Correction completed");
const QString failedAnnouncementPrefix = QStringLiteral("Correction failed. ");

QString describe(const std::exception_ptr& error) {
    if (!error) return QStringLiteral("unknown error");
    try {
        std::rethrow_exception(error);
    } catch (const QuilloCloudError& e) {
        return e.description();
    } catch (const NetworkError& e) {
        return QStringLiteral("network error %1").arg(networkErrorCodeName(e.code));
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {}
    return QStringLiteral("unknown error");
}

bool isCancellation(const std::exception_ptr& error) {
    if (!error) return false;
    try {
        std::rethrow_exception(error);
    } catch (const CancellationError&) {
        return true;
    } catch (...) {}
    return false;
}

std::optional<QString> routingNotice(const QuilloCorrectionResult& result) {
    return result.routing ? result.routing->discreetNotice() : std::nullopt;
}

} // namespace

GlobalCorrectionService::GlobalCorrectionService(Environment environment, CloudCorrectionProviding* cloudService,
                                                 std::unique_ptr<CorrectionPipeline> pipeline,
                                                 TextTargetProviding* textTargetProvider, StatusCallback onStatusChange,
                                                 QuilloSessionProviding* sessions, QObject* parent)
    : QObject(parent), env_(std::move(environment)), injectedTextTargetProvider_(textTargetProvider),
      onStatusChange_(std::move(onStatusChange)), sessions_(sessions), correctionPipeline_(std::move(pipeline)),
      modifierTriggerStartedAt_(distantPast), lastTriggerTapAt_(distantPast) {
    if (!correctionPipeline_) {
        if (!cloudService) throw std::invalid_argument("GlobalCorrectionService needs a cloud service or a pipeline");
        QPointer<QuilloSessionProviding> weakSessions(sessions);
        correctionPipeline_ = std::make_unique<CorrectionPipeline>(
            *cloudService, cloudChunkCharacters,
            [weakSessions]() -> std::optional<QString> {
                return weakSessions ? sessionScope(weakSessions->currentSession()) : std::nullopt;
            },
            resumeRetentionSeconds, env_.clock);
    }
    observeSessions(sessions);
    connect(&env_.workspace, &Workspace::applicationActivated, this, [this] { resetModifierTrigger(); });
}

GlobalCorrectionService::~GlobalCorrectionService() {
    QObject::disconnect(keyEventConnection_);
    QObject::disconnect(tapDisabledConnection_);
    if (isMonitoring_) {
        env_.eventTap.setEnabled(false);
        env_.eventTap.destroy();
    }
    if (pendingTaskStart_) env_.clock.cancelScheduled(*pendingTaskStart_);
    if (undoExpiry_) env_.clock.cancelScheduled(*undoExpiry_);
    // Cancel while the pipeline and the engine still exist: a cancelled run unwinds at once
    // and, having lost its identifier, touches nothing on the way out.
    auto task = std::move(correctionTask_);
    activeCorrectionID_.reset();
    if (task) task->cancel();
}

// MARK: - Settings

CorrectionTriggerPreference GlobalCorrectionService::currentTrigger() const {
    return KeyboardPreferences(env_.defaults).triggerPreference();
}

bool GlobalCorrectionService::autoCorrectEnabled() const {
    return env_.defaults.boolean(CorrectionServiceSettingsKeys::autoCorrect, true);
}

CorrectionPipelineConfiguration GlobalCorrectionService::currentConfiguration() const {
    return {CloudCorrectionModels::storedValue(env_.defaults.string(CorrectionSettingsKeys::cloudModel)),
            CorrectionWritingModes::storedValue(env_.defaults.string(CorrectionSettingsKeys::writingMode))};
}

TextTargetProviding* GlobalCorrectionService::textTargetProvider() {
    if (injectedTextTargetProvider_) return injectedTextTargetProvider_;
    if (!defaultTextTargetProvider_ && env_.desktop) {
        // The layout is read at every shortcut, so a change in the settings applies at once.
        UserDefaults& defaults = env_.defaults;
        defaultTextTargetProvider_ = std::make_unique<TextInsertionEngine>(
            *env_.desktop,
            [&defaults](QChar letter) {
                return PhysicalKeyboardLayouts::shortcutKeyCode(KeyboardPreferences(defaults).physicalKeyboardLayout(),
                                                                letter);
            },
            env_.clock);
    }
    return defaultTextTargetProvider_.get();
}

// MARK: - Session scope

std::optional<QString> GlobalCorrectionService::sessionScope(const std::optional<QuilloAuthSession>& session) {
    if (!session) return std::nullopt;
    const auto sessionID = AccessTokenSessionIdentity::sessionID(session->accessToken);
    if (!sessionID) return std::nullopt;
    return session->userId + u':' + *sessionID;
}

void GlobalCorrectionService::observeSessions(QuilloSessionProviding* sessions) {
    if (!sessions) return;
    correctionSessionObservation_ = connect(
        sessions, &QuilloSessionProviding::sessionChanged, this,
        [this](const std::optional<QuilloAuthSession>& session) { sessionScopeDelivered(sessionScope(session)); });
    // The current value counts as the first one delivered.
    sessionScopeDelivered(sessionScope(sessions->currentSession()));
}

void GlobalCorrectionService::sessionScopeDelivered(const std::optional<QString>& scope) {
    if (lastDeliveredScope_ && *lastDeliveredScope_ == scope) return;
    lastDeliveredScope_ = scope;
    correctionPipeline_->discardResumeState();
}

// MARK: - Monitoring

void GlobalCorrectionService::setMonitoring(bool monitoring) {
    if (isMonitoring_ == monitoring) return;
    isMonitoring_ = monitoring;
    emit isMonitoringChanged(monitoring);
}

bool GlobalCorrectionService::startMonitoring() {
    if (isMonitoring_) return true;

    if (!env_.permission.isProcessTrusted()) {
        QuilloDiagnostics::record(QuilloDiagnosticEvent::inputPermissionMissing);
        qCCritical(lcInputMonitoring, "Correction monitoring cannot start because an input permission is missing");
        reportFailure(Failure::inputPermissionsMissing());
        return false;
    }

    EventTap& tap = env_.eventTap;
    if (!tap.create()) {
        QuilloDiagnostics::record(QuilloDiagnosticEvent::monitoringFailed);
        qCCritical(lcInputMonitoring, "The desktop refused to create the correction keyboard event tap");
        reportFailure(Failure::keyboardMonitoringUnavailable());
        return false;
    }
    if (!tap.attachToMainLoop()) {
        tap.destroy();
        QuilloDiagnostics::record(QuilloDiagnosticEvent::monitoringFailed);
        qCCritical(lcInputMonitoring, "Unable to create the correction keyboard run-loop source");
        reportFailure(Failure::monitoringStartFailed());
        return false;
    }

    keyEventConnection_ =
        connect(&tap, &EventTap::keyEvent, this, &GlobalCorrectionService::handleKeyEvent, Qt::DirectConnection);
    tapDisabledConnection_ = connect(&tap, &EventTap::disabledByTimeout, this,
                                     &GlobalCorrectionService::handleTapDisabled, Qt::DirectConnection);
    tap.setEnabled(true);
    setMonitoring(true);
    consumedKeyObservation_ = connect(&env_.defaults, &UserDefaults::changed, this, [this](const QString& key) {
        if (key == KeyboardSettingsKeys::triggerPreference || key == KeyboardSettingsKeys::triggerKey ||
            key == CorrectionServiceSettingsKeys::autoCorrect)
            synchronizeConsumedKey();
    });
    synchronizeConsumedKey();
    QuilloDiagnostics::record(QuilloDiagnosticEvent::monitoringStarted);
    qCInfo(lcInputMonitoring, "Correction trigger monitoring started");
    return true;
}

void GlobalCorrectionService::stopMonitoring() {
    if (!isMonitoring_) return;
    EventTap& tap = env_.eventTap;
    tap.setEnabled(false);
    QObject::disconnect(keyEventConnection_);
    QObject::disconnect(tapDisabledConnection_);
    QObject::disconnect(consumedKeyObservation_);
    tap.setConsumedKey(std::nullopt);
    tap.destroy();
    setMonitoring(false);
    QuilloDiagnostics::record(QuilloDiagnosticEvent::monitoringStopped);

    if (pendingTaskStart_) {
        env_.clock.cancelScheduled(*pendingTaskStart_);
        pendingTaskStart_.reset();
    }
    // Empty the slot first: cancelling resumes the run at once, and it must find itself
    // already forgotten rather than clear the slot under our feet.
    auto task = std::move(correctionTask_);
    activeCorrectionID_.reset();
    if (task) task->cancel();
    forgetUndoable();

    env_.toast.forceDismiss();
    setStatus(CorrectionStatus::idle);
}

// MARK: - Key events

void GlobalCorrectionService::synchronizeConsumedKey() {
    // An ordinary key as trigger must not also reach the application (F8 types "~" in a shell);
    // a modifier stays listen-only, and with corrections off every key goes where it always did.
    const auto code = autoCorrectEnabled() ? currentTrigger().keyDownCode() : std::nullopt;
    if (!env_.eventTap.setConsumedKey(code) && code)
        qCWarning(lcInputMonitoring, "The trigger key could not be reserved; applications also receive it");
}

void GlobalCorrectionService::handleTapDisabled() {
    if (isMonitoring_) env_.eventTap.setEnabled(true);
}

void GlobalCorrectionService::handleKeyEvent(const KeyboardEvent& event) {
    switch (event.type) {
    case KeyboardEvent::Type::flagsChanged: processModifierTrigger(event); return;
    case KeyboardEvent::Type::keyDown: {
        if (activeModifierTrigger_) modifierTriggerWasInterrupted_ = true;
        const CorrectionTriggerPreference trigger = currentTrigger();
        const auto code = trigger.keyDownCode();
        if (code && *code == event.keyCode) registerTriggerPress(trigger.identity());
        return;
    }
    case KeyboardEvent::Type::keyUp:
    case KeyboardEvent::Type::other: return;
    }
}

void GlobalCorrectionService::processModifierTrigger(const KeyboardEvent& event) {
    const CorrectionTriggerPreference trigger = currentTrigger();
    if (!trigger.isModifierTrigger()) return;
    const std::uint64_t flags = event.modifierFlags;

    if (!trigger.matchesModifierEvent(event.keyCode, flags)) {
        if (!activeModifierTrigger_) return;
        if (*activeModifierTrigger_ != trigger) {
            modifierTriggerWasInterrupted_ = true;
            return;
        }
        // The held trigger, reported under another key code: judge its flags all the same.
    }

    if (trigger.isPressed(flags)) {
        if (!activeModifierTrigger_) {
            activeModifierTrigger_ = trigger;
            modifierTriggerWasInterrupted_ = false;
            modifierTriggerStartedAt_ = env_.clock.uptimeSeconds();
        }
        return;
    }

    if (activeModifierTrigger_ && *activeModifierTrigger_ == trigger) {
        const double held = env_.clock.uptimeSeconds() - modifierTriggerStartedAt_;
        const bool interrupted = modifierTriggerWasInterrupted_;
        resetModifierTrigger();
        if (!interrupted && held <= modifierTriggerMaximumHold + timingTolerance)
            registerTriggerPress(trigger.identity());
    }
}

void GlobalCorrectionService::resetModifierTrigger() {
    activeModifierTrigger_.reset();
    modifierTriggerWasInterrupted_ = false;
}

bool GlobalCorrectionService::handleTriggerCommand() {
    if (!isMonitoring_) {
        qCInfo(lcInputMonitoring, "Trigger command ignored because correction monitoring is off");
        return false;
    }
    if (!autoCorrectEnabled()) return false;
    registerTriggerPress(triggerCommandIdentity);
    return true;
}

void GlobalCorrectionService::registerTriggerPress(const QString& identity) {
    if (!autoCorrectEnabled()) return;
    if (KeyboardPreferences(env_.defaults).activation() != CorrectionTriggerActivation::doubleTap) {
        triggerCorrection();
        return;
    }
    const double now = env_.clock.uptimeSeconds();
    if (lastTriggerTapIdentity_ == identity && now - lastTriggerTapAt_ <= doubleTapInterval + timingTolerance) {
        // A completed pair: the next press starts a new one.
        lastTriggerTapIdentity_.reset();
        lastTriggerTapAt_ = distantPast;
        if (autoCorrectEnabled()) triggerCorrection();
        return;
    }
    lastTriggerTapIdentity_ = identity;
    lastTriggerTapAt_ = now;
}

// MARK: - Correction

void GlobalCorrectionService::triggerCorrection() {
    if (isCorrectionRunning()) {
        qCDebug(lcInputMonitoring, "Correction trigger ignored because a correction is already in progress");
        env_.toast.showProcessing();
        env_.announcer.announce(inProgressAnnouncement, Priority::low);
        return;
    }
    // A new correction may change the field again: the old one can no longer be taken back.
    forgetUndoable();
    const QUuid id = QUuid::createUuid();
    QuilloDiagnostics::record(QuilloDiagnosticEvent::correctionStarted, id);
    activeCorrectionID_ = id;
    setStatus(CorrectionStatus::processing);
    env_.toast.showProcessing();
    env_.announcer.announce(inProgressAnnouncement, Priority::low);

    correctionTask_ = std::make_unique<CancellationSource>();
    startCorrectionTask(id, correctionTask_->token());
}

void GlobalCorrectionService::startCorrectionTask(QUuid id, const CancellationToken& token) {
    // The run starts from the event loop, not inside the key handler that triggered it.
    QPointer<GlobalCorrectionService> self(this);
    pendingTaskStart_ = env_.clock.schedule(0.0, [self, id, token] {
        if (!self) return;
        self->pendingTaskStart_.reset();
        auto task = self->runCorrection(id, token);
        Q_UNUSED(task); // detached; the run guards itself with its identifier and `self`
    });
}

bool GlobalCorrectionService::isCurrent(const QUuid& id, const CancellationToken& token) const {
    return activeCorrectionID_ == id && !token.isCancelled();
}

void GlobalCorrectionService::endIfActive(const QUuid& id) {
    if (activeCorrectionID_ != id) return;
    correctionTask_.reset();
    activeCorrectionID_.reset();
}

void GlobalCorrectionService::setStatus(CorrectionStatus status) {
    if (onStatusChange_) onStatusChange_(status);
}

void GlobalCorrectionService::showError(const QString& message) {
    env_.toast.showError(message);
    env_.announcer.announce(failedAnnouncementPrefix + message, Priority::high);
}

void GlobalCorrectionService::reportFailure(const Failure& failure) {
    showError(UserFacingErrorCatalog::correction(failure));
}

void GlobalCorrectionService::finishWithError(const QString& message, const QUuid& id) {
    if (activeCorrectionID_ != id) return;
    correctionTask_.reset();
    activeCorrectionID_.reset();
    showError(message);
    setStatus(CorrectionStatus::error);
}

bool GlobalCorrectionService::stillOwns(const QUuid& id, const CancellationToken& token) {
    if (isCurrent(id, token)) return true;
    endIfActive(id);
    return false;
}

QString GlobalCorrectionService::notPastedMessage(TextCorrectionApplicationResult result) {
    return TextCorrectionApplicationResults::userMessage(result).value_or(
        UserFacingErrorCatalog::correction(Failure::pasteFailed()));
}

void GlobalCorrectionService::finishWithCaptureRefusal(const TextCorrectionCaptureResult& capture, const QUuid& id) {
    finishWithError(UserFacingErrorCatalog::correction(captureFailure(capture.kind())), id);
}

Failure GlobalCorrectionService::captureFailure(TextCorrectionCaptureResult::Kind kind) {
    switch (kind) {
    case TextCorrectionCaptureResult::Kind::noEditableTarget: return Failure::noTextTarget();
    case TextCorrectionCaptureResult::Kind::secureField: return Failure::secureTextField();
    case TextCorrectionCaptureResult::Kind::terminal: return Failure::terminalApplication();
    case TextCorrectionCaptureResult::Kind::fieldTooLong: return Failure::automaticTextTooLong();
    case TextCorrectionCaptureResult::Kind::captured: break;
    }
    return Failure::unexpected();
}

QCoro::Task<> GlobalCorrectionService::runCorrection(QUuid id, CancellationToken token) {
    // Every suspension may outlive the service or the correction: re-check both after each.
    QPointer<GlobalCorrectionService> self(this);
    if (!isCurrent(id, token)) co_return;

    std::exception_ptr failure;
    try {
        TextTargetProviding* provider = textTargetProvider();
        TextCorrectionCaptureResult capture = TextCorrectionCaptureResult::noEditableTarget();
        if (provider) capture = co_await provider->captureTarget(token);
        if (!self || !isCurrent(id, token)) co_return;

        if (!capture.isCaptured()) {
            QuilloDiagnostics::record(QuilloDiagnosticEvent::correctionCaptureUnavailable, id);
            finishWithCaptureRefusal(capture, id);
            co_return;
        }
        const TextCorrectionTarget target = *capture.target();

        const CorrectionPipelineConfiguration configuration = currentConfiguration();
        const std::optional<QuilloCorrectionResult> result =
            co_await correctionPipeline_->correct(target.text, configuration, token);
        if (!self || !stillOwns(id, token)) co_return;

        if (!result) {
            reportFailure(Failure::unavailableResult());
            setStatus(CorrectionStatus::error);
            endIfActive(id);
            co_return;
        }

        const QString normalized = CorrectionTextIntegrity::normalizedCorrection(result->correction, target.text);
        const std::optional<QString> notice = routingNotice(*result);

        if (normalized == target.text) {
            QuilloDiagnostics::record(QuilloDiagnosticEvent::correctionUnchanged, id);
            qCInfo(lcInputMonitoring, "Correction completed; changed=false");
            env_.toast.showSuccess(notice);
            env_.announcer.announce(completedAnnouncement, Priority::medium);
            setStatus(CorrectionStatus::success);
            endIfActive(id);
            co_return;
        }

        const TextCorrectionApplicationResult applied = co_await provider->applyCorrection(target, normalized, token);
        if (!self || !stillOwns(id, token)) co_return;

        if (applied == TextCorrectionApplicationResult::applied) {
            env_.toast.show(target.text, normalized, notice);
            if (env_.history)
                env_.history->append(target.text, normalized, result->usedModels, configuration.writingMode);
            QuilloDiagnostics::record(QuilloDiagnosticEvent::correctionSucceeded, id);
            qCInfo(lcInputMonitoring, "Correction completed; changed=true");
            setStatus(CorrectionStatus::success);
            if (target.capturedFullField) rememberUndoable(target, normalized);
        } else {
            QuilloDiagnostics::record(QuilloDiagnosticEvent::correctionTargetChanged, id);
            qCWarning(lcInputMonitoring, "Correction discarded because the focused target changed");
            showError(notPastedMessage(applied));
            setStatus(CorrectionStatus::error);
        }
        endIfActive(id);
        co_return;
    } catch (...) {
        failure = std::current_exception();
    }

    if (!self) co_return;
    if (isCancellation(failure)) {
        QuilloDiagnostics::record(QuilloDiagnosticEvent::correctionCancelled, id);
        qCDebug(lcInputMonitoring, "Superseded correction cancelled");
        // Stopped from outside: whoever cancelled has already reset the toast and the status.
        // Cancelled by the pipeline itself (superseded, session changed) while still ours: the
        // processing toast and status would otherwise stay up for good.
        if (isCurrent(id, token)) {
            env_.toast.forceDismiss();
            setStatus(CorrectionStatus::idle);
        }
    } else if (isCurrent(id, token)) {
        QuilloDiagnostics::record(QuilloDiagnosticEvent::correctionFailed, id);
        qCCritical(lcInputMonitoring, "Correction failed: %s", qPrintable(describe(failure)));
        showError(errorGuidance(failure));
        setStatus(CorrectionStatus::error);
    }
    endIfActive(id);
}

// MARK: - Error guidance

QString GlobalCorrectionService::errorGuidance(const std::exception_ptr& error) {
    using UserFacingErrorCatalog::correction;
    if (!error) return correction(Failure::unexpected());
    try {
        std::rethrow_exception(error);
    } catch (const CorrectionPipelineError& e) {
        if (e.kind() == CorrectionPipelineError::Kind::unavailable) return correction(Failure::unavailableResult());
        QString text = errorGuidance(e.underlying());
        text += u' ';
        text += QString::number(e.completed());
        text += QStringLiteral(" completed sections");
        if (const auto charged = e.chargedCredits())
            text += QStringLiteral(" (") + QString::asprintf("%.6f", *charged) + QStringLiteral(" credits)");
        text +=
            QStringLiteral(" are kept temporarily. Retry the unchanged text now to reuse them without another charge.");
        return text;
    } catch (const CorrectionChunkingError&) {
        return QStringLiteral(
            "This text contains an unusually long combined character. Shorten that part and try again.");
    } catch (const QuilloCloudError& e) {
        switch (e.kind()) {
        case QuilloCloudError::Kind::temporarilyBusy: return correction(Failure::capacityBusy(e.retryAfterSeconds()));
        case QuilloCloudError::Kind::httpError: return correction(Failure::http(e.status()));
        case QuilloCloudError::Kind::authenticationRequired: return correction(Failure::authenticationRequired());
        case QuilloCloudError::Kind::insufficientCredits: return correction(Failure::insufficientCredits());
        case QuilloCloudError::Kind::secureRandomUnavailable: return correction(Failure::secureRecoveryUnavailable());
        }
    } catch (const NetworkError& e) {
        return correction(Failure::network(e.code));
    } catch (const CloudRequestEncodingError&) {
        return correction(Failure::requestEncoding());
    } catch (const CloudResponseDecodingError&) {
        return correction(Failure::invalidResponse());
    } catch (...) {}
    return correction(Failure::unexpected());
}

} // namespace quillo
