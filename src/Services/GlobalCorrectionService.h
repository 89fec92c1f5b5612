#pragma once

#include "Models/CorrectionModels.h"
#include "Models/CorrectionTriggerPreference.h"
#include "Models/KeyboardEvent.h"
#include "Platform/AccessibilityAnnouncer.h"
#include "Platform/AccessibilityPermission.h"
#include "Platform/EventTap.h"
#include "Platform/UserDefaults.h"
#include "Platform/Workspace.h"
#include "Services/CloudCorrectionProviding.h"
#include "Services/CorrectionHistorySink.h"
#include "Services/CorrectionPipeline.h"
#include "Services/CorrectionToastPresenting.h"
#include "Services/QuilloSessionProviding.h"
#include "Services/TextInsertionEngine.h"
#include "Services/TextTargetProviding.h"
#include "Support/Cancellation.h"
#include "Support/Clock.h"
#include "Support/UserFacingErrorCatalog.h"

#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QUuid>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

namespace quillo {

// User-defaults keys the correction service reads on every use.
namespace CorrectionServiceSettingsKeys {
inline const QString autoCorrect = QStringLiteral("autoCorrect");
} // namespace CorrectionServiceSettingsKeys

// Watches the keyboard for the trigger gesture and runs one correction at a time: capture,
// correct, verify and paste, then report through the toast, an announcement, the status
// callback, the diagnostic log and the history. Main thread only.
class GlobalCorrectionService : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isMonitoring READ isMonitoring NOTIFY isMonitoringChanged)

public:
    using StatusCallback = std::function<void(CorrectionStatus)>;

    // The collaborators; every reference must outlive the service.
    struct Environment {
        UserDefaults& defaults;
        EventTap& eventTap;
        AccessibilityPermission& permission;
        Workspace& workspace;
        CorrectionToastPresenting& toast;
        AccessibilityAnnouncer& announcer;
        CorrectionHistorySink* history = nullptr; // none: nothing is recorded
        Clock& clock;
        // The desktop of the default text insertion engine; without it and without an injected
        // provider nothing can be captured.
        std::optional<TextInsertionEngine::Platform> desktop;
    };

    static constexpr qsizetype cloudChunkCharacters = 9000;
    static constexpr double resumeRetentionSeconds = 600.0;
    // A modifier trigger held longer than this is a shortcut in the making, not a press.
    static constexpr double modifierTriggerMaximumHold = 1.2;
    static constexpr double doubleTapInterval = 0.55;
    // How long after a paste the last correction can still be taken back.
    static constexpr double undoAvailableSeconds = 60.0;

    static inline const QString undoneNotice = QStringLiteral("Undone: your original text is back.");
    static inline const QString undoFieldChangedMessage =
        QStringLiteral("Not undone: the field changed after the correction. Quillo left it as it is.");

    // Without `pipeline` one is built over `cloudService` (which must then be given and outlive
    // the service), scoped to the signed-in session of `sessions`.
    GlobalCorrectionService(Environment environment, CloudCorrectionProviding* cloudService,
                            std::unique_ptr<CorrectionPipeline> pipeline = nullptr,
                            TextTargetProviding* textTargetProvider = nullptr, StatusCallback onStatusChange = {},
                            QuilloSessionProviding* sessions = nullptr, QObject* parent = nullptr);
    ~GlobalCorrectionService() override;

    // True when monitoring is (already) on; false, with a toast saying why, when it cannot start.
    bool startMonitoring();
    void stopMonitoring();
    bool isMonitoring() const { return isMonitoring_; }

    // What the event tap delivers.
    void handleKeyEvent(const KeyboardEvent& event);
    void handleTapDisabled();

    // Starts a correction unless one is running.
    void triggerCorrection();
    // A trigger handed over by `quillo --trigger` (a desktop shortcut): a press like the key's,
    // counted only while monitoring runs, so a shortcut cannot act where the key would not.
    // False when it was ignored.
    bool handleTriggerCommand();
    // The press identity of the command, for double-tap detection.
    static inline const QString triggerCommandIdentity = QStringLiteral("command");

    // True for undoAvailableSeconds after a whole field was corrected, until another correction
    // starts, the undo runs or monitoring stops. A corrected selection cannot be found again
    // without guessing, so it offers no undo.
    bool canUndoLastCorrection() const { return undoable_.has_value(); }
    // Pastes the original text back, only while the same field still holds exactly the
    // correction; otherwise the field is left alone and the toast says why.
    void undoLastCorrection();

    bool isCorrectionRunning() const { return correctionTask_ != nullptr || activeCorrectionID_.has_value(); }
    std::optional<QUuid> activeCorrectionID() const { return activeCorrectionID_; }
    CorrectionPipeline& correctionPipeline() { return *correctionPipeline_; }
    // The injected provider, else the default engine (created now if need be); none when neither
    // is possible.
    TextTargetProviding* textTargetProvider();

    // "<user id>:<session id of the access token>"; none when signed out or the token has no
    // session identifier.
    static std::optional<QString> sessionScope(const std::optional<QuilloAuthSession>& session);

    // The sentence shown for a failed correction.
    static QString errorGuidance(const std::exception_ptr& error);
    template <typename E> static QString errorGuidance(const E& error) {
        return errorGuidance(std::make_exception_ptr(error));
    }
    // The catalogue failure a capture failure maps to (captured maps to unexpected).
    static UserFacingErrorCatalog::CorrectionFailure captureFailure(TextCorrectionCaptureResult::Kind kind);

signals:
    void isMonitoringChanged(bool isMonitoring);
    void undoAvailabilityChanged(bool available);

private:
    CorrectionTriggerPreference currentTrigger() const;
    bool autoCorrectEnabled() const;
    CorrectionPipelineConfiguration currentConfiguration() const;

    void processModifierTrigger(const KeyboardEvent& event);
    void registerTriggerPress(const QString& identity);
    void resetModifierTrigger();
    void synchronizeConsumedKey();
    void setMonitoring(bool monitoring);

    void reportFailure(const UserFacingErrorCatalog::CorrectionFailure& failure);
    void showError(const QString& message);
    void finishWithError(const QString& message, const QUuid& id);
    void endIfActive(const QUuid& id);
    bool isCurrent(const QUuid& id, const CancellationToken& token) const;
    // After a suspension: whether the correction (or undo) is still this service's to finish;
    // one that was superseded meanwhile is ended here.
    bool stillOwns(const QUuid& id, const CancellationToken& token);
    // The sentence for a paste that did not happen.
    static QString notPastedMessage(TextCorrectionApplicationResult result);
    // Ends a correction or undo whose capture was refused, with the refusal's sentence.
    void finishWithCaptureRefusal(const TextCorrectionCaptureResult& capture, const QUuid& id);
    void setStatus(CorrectionStatus status);

    void startCorrectionTask(QUuid id, const CancellationToken& token);
    QCoro::Task<> runCorrection(QUuid id, CancellationToken token);

    // Undo (GlobalCorrectionUndo.cpp).
    void rememberUndoable(const TextCorrectionTarget& target, const QString& corrected);
    void forgetUndoable();
    QCoro::Task<> runUndo(QUuid id, CancellationToken token, TextCorrectionTarget corrected, QString original);

    void observeSessions(QuilloSessionProviding* sessions);
    void sessionScopeDelivered(const std::optional<QString>& scope);

    Environment env_;
    TextTargetProviding* injectedTextTargetProvider_;
    std::unique_ptr<TextInsertionEngine> defaultTextTargetProvider_;
    StatusCallback onStatusChange_;
    QuilloSessionProviding* sessions_;
    std::unique_ptr<CorrectionPipeline> correctionPipeline_;
    QMetaObject::Connection correctionSessionObservation_;
    std::optional<std::optional<QString>> lastDeliveredScope_;

    bool isMonitoring_ = false;
    QMetaObject::Connection keyEventConnection_;
    QMetaObject::Connection tapDisabledConnection_;
    QMetaObject::Connection consumedKeyObservation_;

    std::unique_ptr<CancellationSource> correctionTask_;
    std::optional<Clock::TimerId> pendingTaskStart_;
    std::optional<QUuid> activeCorrectionID_;

    struct UndoableCorrection {
        TextCorrectionTarget corrected; // the field as the paste left it
        QString original;
    };
    std::optional<UndoableCorrection> undoable_;
    std::optional<Clock::TimerId> undoExpiry_;

    std::optional<CorrectionTriggerPreference> activeModifierTrigger_;
    bool modifierTriggerWasInterrupted_ = false;
    double modifierTriggerStartedAt_;
    std::optional<QString> lastTriggerTapIdentity_;
    double lastTriggerTapAt_;
};

} // namespace quillo
