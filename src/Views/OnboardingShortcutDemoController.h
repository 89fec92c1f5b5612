#pragma once

#include "Models/CorrectionTriggerPreference.h"
#include "Models/KeyboardEvent.h"
#include "Platform/LocalKeyEventMonitor.h"
#include "Support/Clock.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

namespace quillo {

class UserDefaults;

// The onboarding practice: while the window is up, a local key monitor recognises the trigger
// the user chose and applies a prepared correction to the window's own sample text. No cloud
// request, credit or permission is involved. Main thread only.
class OnboardingShortcutDemoController : public QObject {
    Q_OBJECT
public:
    enum class Exercise { wholeField, selection };

    // A location/length range in UTF-16 units; location -1 when there is no selection.
    struct TextRange {
        qsizetype location = -1;
        qsizetype length = 0;
        bool operator==(const TextRange&) const = default;
    };

    // A modifier trigger held longer than this is a shortcut in the making, not a press.
    static constexpr double modifierTriggerMaximumHold = 1.2;
    static constexpr double doubleTapInterval = 0.55;

    static inline const QString wholeFieldSample =
        QStringLiteral("Quillo corect yor speling, gramar and punctation instanly in evry app.");
    static inline const QString wholeFieldCorrected =
        QStringLiteral("Quillo corrects your spelling, grammar, and punctuation instantly in every app.");
    static inline const QString selectionSample =
        QStringLiteral("Quillo corrects only the text you select, leving evrything els untuched.");
    static inline const QString selectionPhrase = QStringLiteral("leving evrything els untuched");
    static inline const QString selectionReplacement = QStringLiteral("leaving everything else untouched");

    static inline const QString initialMessage = QStringLiteral("Press your configured trigger to correct the sample.");
    static inline const QString chooseTriggerMessage = QStringLiteral("Choose your correction key to try the sample.");
    static inline const QString wholeFieldPrompt =
        QStringLiteral("Press your configured trigger to correct the whole field.");
    static inline const QString selectionPrompt =
        QStringLiteral("Select “leving evrything els untuched”, then press your trigger.");
    static inline const QString captureMessage = QStringLiteral("Press the key you want to use as your trigger.");
    static inline const QString typingKeyRefused = QStringLiteral("Typing keys are not accepted as triggers.");
    static inline const QString firstTapMessage = QStringLiteral("First tap detected — tap once more.");
    static inline const QString alreadyCorrectedMessage =
        QStringLiteral("Shortcut detected again. The sample is already corrected.");
    static inline const QString wholeFieldSuccess = QStringLiteral("Whole field corrected.");
    static inline const QString selectionSuccess =
        QStringLiteral("Selection corrected. Everything else stayed unchanged.");
    static inline const QString selectWholePhraseMessage =
        QStringLiteral("Select “leving evrything els untuched”, then try again.");
    // "Trigger set to <title>. Try it now."
    static QString triggerSetMessage(const QString& title);

    OnboardingShortcutDemoController(UserDefaults& defaults, LocalKeyEventMonitor& monitor,
                                     Clock& clock = Clock::shared(), QObject* parent = nullptr);
    ~OnboardingShortcutDemoController() override;

    // Published state.
    const QString& demoText() const { return demoText_; }
    const QString& selectionText() const { return selectionText_; }
    TextRange selectedRange() const { return selectedRange_; }
    bool hasChosenTrigger() const { return hasChosenTrigger_; }
    bool isCapturing() const { return isCapturing_; }
    bool hasSucceeded() const { return hasSucceeded_; }
    const QString& statusMessage() const { return statusMessage_; }

    Exercise exercise() const { return exercise_; }
    bool isMonitoring() const { return installation_ != nullptr; }
    // The trigger the practice reacts to: the one stored in the settings.
    CorrectionTriggerPreference selectedTrigger() const;

    // Switching exercises puts the new exercise's sample in place.
    void setExercise(Exercise exercise);
    // The selection of the view's text view over `demoText`.
    void setSelectedRange(TextRange range);

    // The next key or modifier pressed becomes the trigger.
    void beginCapture();
    void cancelCapture();
    // Practise with the trigger already stored instead of choosing a new one.
    void useCurrentTrigger();

    void start();
    void stop();
    void resetDemo();
    void applyPreparedCorrection();

    // The local monitor's handler; true swallows the event.
    bool handleEvent(const KeyboardEvent& event);
    // A trigger from `quillo --trigger` (the desktop's shortcut): a press of the practice's
    // trigger while the practice runs; false when it was ignored.
    bool handleTriggerCommand();

signals:
    void demoTextChanged();
    void selectionTextChanged();
    void selectedRangeChanged();
    void hasChosenTriggerChanged();
    void isCapturingChanged();
    void hasSucceededChanged();
    void statusMessageChanged();
    void exerciseChanged();
    // A new trigger was stored by capture.
    void triggerChanged();

private:
    bool processModifierEvent(const KeyboardEvent& event, const CorrectionTriggerPreference& trigger);
    void registerPress(const QString& identity);
    void resetGestureState();
    QString sampleForExercise() const;

    void setDemoText(const QString& text);
    void setSelection(TextRange range);
    void setHasChosenTrigger(bool value);
    void setCapturing(bool value);
    void setHasSucceeded(bool value);
    void setStatusMessage(const QString& message);

    UserDefaults& defaults_;
    LocalKeyEventMonitor& monitorSource_;
    Clock& clock_;

    QString demoText_;
    QString selectionText_;
    TextRange selectedRange_{0, 0};
    bool hasChosenTrigger_ = false;
    bool isCapturing_ = false;
    bool hasSucceeded_ = false;
    QString statusMessage_;

    Exercise exercise_ = Exercise::wholeField;
    std::unique_ptr<LocalKeyEventMonitor::Installation> installation_;
    std::optional<CorrectionTriggerPreference> activeModifierTrigger_;
    bool modifierTriggerWasInterrupted_ = false;
    double modifierTriggerStartedAt_;
    std::optional<QString> lastTriggerTapIdentity_;
    double lastTriggerTapAt_;
};

} // namespace quillo
