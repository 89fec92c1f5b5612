#include "Views/OnboardingShortcutDemoController.h"

#include "Models/ModifierFlags.h"
#include "Models/VirtualKeyCode.h"
#include "Services/KeyboardPreferences.h"

#include <limits>

namespace quillo {

namespace {
constexpr double distantPast = -std::numeric_limits<double>::infinity();
// Virtual time lands exactly on the limits; rounding must not push it over.
constexpr double timingTolerance = 1e-9;
} // namespace

QString OnboardingShortcutDemoController::triggerSetMessage(const QString& title) {
    return QStringLiteral("Trigger set to ") + title + QStringLiteral(". Try it now.");
}

OnboardingShortcutDemoController::OnboardingShortcutDemoController(UserDefaults& defaults,
                                                                   LocalKeyEventMonitor& monitor, Clock& clock,
                                                                   QObject* parent)
    : QObject(parent), defaults_(defaults), monitorSource_(monitor), clock_(clock), demoText_(wholeFieldSample),
      statusMessage_(initialMessage), modifierTriggerStartedAt_(distantPast), lastTriggerTapAt_(distantPast) {}

OnboardingShortcutDemoController::~OnboardingShortcutDemoController() = default;

CorrectionTriggerPreference OnboardingShortcutDemoController::selectedTrigger() const {
    return KeyboardPreferences(defaults_).triggerPreference();
}

// MARK: - View inputs

void OnboardingShortcutDemoController::setExercise(Exercise exercise) {
    if (exercise == exercise_) return;
    exercise_ = exercise;
    emit exerciseChanged();
    resetDemo();
}

void OnboardingShortcutDemoController::setSelectedRange(TextRange range) { setSelection(range); }

void OnboardingShortcutDemoController::beginCapture() {
    resetGestureState();
    setCapturing(true);
    setStatusMessage(captureMessage);
}

void OnboardingShortcutDemoController::cancelCapture() {
    if (!isCapturing_) return;
    setCapturing(false);
    resetDemo();
}

void OnboardingShortcutDemoController::useCurrentTrigger() {
    setCapturing(false);
    setHasChosenTrigger(true);
    resetDemo();
}

// MARK: - Lifecycle

void OnboardingShortcutDemoController::start() {
    if (installation_) return;
    // The installation belongs to this object, so the handler never outlives it.
    installation_ = monitorSource_.install([this](const KeyboardEvent& event) { return handleEvent(event); });
}

void OnboardingShortcutDemoController::stop() {
    installation_.reset();
    resetGestureState();
    // Capture needs the monitor; without it the window would wait for a key forever.
    cancelCapture();
}

void OnboardingShortcutDemoController::resetDemo() {
    setDemoText(sampleForExercise());
    setSelection({0, 0});
    setHasSucceeded(false);
    resetGestureState();
    if (!hasChosenTrigger_) setStatusMessage(chooseTriggerMessage);
    else if (exercise_ == Exercise::wholeField) setStatusMessage(wholeFieldPrompt);
    else setStatusMessage(selectionPrompt);
}

void OnboardingShortcutDemoController::resetGestureState() {
    activeModifierTrigger_.reset();
    modifierTriggerWasInterrupted_ = false;
    modifierTriggerStartedAt_ = distantPast;
    lastTriggerTapIdentity_.reset();
    lastTriggerTapAt_ = distantPast;
}

QString OnboardingShortcutDemoController::sampleForExercise() const {
    return exercise_ == Exercise::wholeField ? wholeFieldSample : selectionSample;
}

// MARK: - Events

bool OnboardingShortcutDemoController::handleEvent(const KeyboardEvent& event) {
    const bool relevant = event.type == KeyboardEvent::Type::keyDown || event.type == KeyboardEvent::Type::flagsChanged;
    if (!relevant) return false;

    if (isCapturing_) {
        auto preference = CorrectionTriggerPreference::fromCaptureEvent(event);
        // Letting go of a modifier held since before the capture began is not choosing it.
        if (preference && preference->modifierFlagRawValue &&
            (event.modifierFlags & *preference->modifierFlagRawValue) == 0)
            preference.reset();
        if (preference) {
            KeyboardPreferences(defaults_).setTriggerPreference(*preference);
            setHasChosenTrigger(true);
            setCapturing(false);
            resetDemo();
            setStatusMessage(triggerSetMessage(preference->title));
            emit triggerChanged();
        } else if (event.type == KeyboardEvent::Type::keyDown) {
            setStatusMessage(typingKeyRefused);
        }
        // Nothing pressed while choosing reaches the window's controls.
        return true;
    }

    if (!hasChosenTrigger_) return false;
    const CorrectionTriggerPreference trigger = selectedTrigger();
    if (event.type == KeyboardEvent::Type::flagsChanged) return processModifierEvent(event, trigger);

    if (activeModifierTrigger_) modifierTriggerWasInterrupted_ = true;
    const auto code = trigger.keyDownCode();
    if (code && *code == event.keyCode) {
        registerPress(trigger.identity());
        return true;
    }
    return false;
}

bool OnboardingShortcutDemoController::processModifierEvent(const KeyboardEvent& event,
                                                            const CorrectionTriggerPreference& trigger) {
    // The trigger was changed while one was held: that hold no longer means anything.
    if (activeModifierTrigger_ && *activeModifierTrigger_ != trigger) {
        activeModifierTrigger_.reset();
        modifierTriggerWasInterrupted_ = false;
    }
    if (!trigger.isModifierTrigger() || !trigger.modifierFlagRawValue) return false;

    const std::uint64_t flags = event.modifierFlags;
    const bool pressed = trigger.isPressed(flags);

    if (!activeModifierTrigger_) {
        // The same flag from another key (left Command for a right Command trigger) is not the trigger.
        if (!pressed || !trigger.matchesModifierEvent(event.keyCode, flags)) return false;
        activeModifierTrigger_ = trigger;
        modifierTriggerWasInterrupted_ = false;
        modifierTriggerStartedAt_ = clock_.uptimeSeconds();
        return true;
    }

    if (pressed) {
        // The Globe key may report itself under other key codes, but never under another modifier's.
        const bool otherModifierKey =
            event.keyCode >= VirtualKeyCode::rightCommand && event.keyCode <= VirtualKeyCode::rightControl;
        const bool belongsToTrigger = event.keyCode == trigger.keyCode ||
                                      (*trigger.modifierFlagRawValue == ModifierFlags::function && !otherModifierKey);
        if (!belongsToTrigger) {
            // Another modifier joined in: the user is making a shortcut, not pressing the trigger.
            modifierTriggerWasInterrupted_ = true;
            return false;
        }
        return true;
    }

    const double held = clock_.uptimeSeconds() - modifierTriggerStartedAt_;
    const bool interrupted = modifierTriggerWasInterrupted_;
    activeModifierTrigger_.reset();
    modifierTriggerWasInterrupted_ = false;
    modifierTriggerStartedAt_ = distantPast;
    if (!interrupted && held <= modifierTriggerMaximumHold + timingTolerance) registerPress(trigger.identity());
    return true;
}

bool OnboardingShortcutDemoController::handleTriggerCommand() {
    if (!isMonitoring() || isCapturing_) return false;
    registerPress(QStringLiteral("command"));
    return true;
}

void OnboardingShortcutDemoController::registerPress(const QString& identity) {
    if (KeyboardPreferences(defaults_).activation() != CorrectionTriggerActivation::doubleTap) {
        applyPreparedCorrection();
        return;
    }
    const double now = clock_.uptimeSeconds();
    if (lastTriggerTapIdentity_ == identity && now - lastTriggerTapAt_ <= doubleTapInterval + timingTolerance) {
        // A completed pair: the next press starts a new one.
        lastTriggerTapAt_ = distantPast;
        applyPreparedCorrection();
        return;
    }
    lastTriggerTapIdentity_ = identity;
    lastTriggerTapAt_ = now;
    setStatusMessage(firstTapMessage);
}

// MARK: - Correction

void OnboardingShortcutDemoController::applyPreparedCorrection() {
    if (hasSucceeded_) {
        setStatusMessage(alreadyCorrectedMessage);
        return;
    }
    if (exercise_ == Exercise::wholeField) {
        setDemoText(wholeFieldCorrected);
        setSelection({0, 0});
        setHasSucceeded(true);
        setStatusMessage(wholeFieldSuccess);
        return;
    }

    const TextRange range = selectedRange_;
    const bool usable = range.location >= 0 && range.length > 0 && range.location <= demoText_.size() &&
                        range.length <= demoText_.size() - range.location;
    if (usable) {
        QString selected = demoText_.mid(range.location, range.length);
        const qsizetype phraseAt = selected.indexOf(selectionPhrase);
        if (phraseAt >= 0) {
            selected.replace(phraseAt, selectionPhrase.size(), selectionReplacement);
            QString text = demoText_;
            text.replace(range.location, range.length, selected);
            setDemoText(text);
            setSelection({range.location, selected.size()});
            setHasSucceeded(true);
            setStatusMessage(selectionSuccess);
            return;
        }
    }
    setStatusMessage(selectWholePhraseMessage);
}

// MARK: - Published state

void OnboardingShortcutDemoController::setDemoText(const QString& text) {
    if (text == demoText_) return;
    demoText_ = text;
    emit demoTextChanged();
}

void OnboardingShortcutDemoController::setSelection(TextRange range) {
    const bool valid = range.location >= 0 && range.length >= 0 && range.location <= demoText_.size() &&
                       range.length <= demoText_.size() - range.location;
    const QString text = valid ? demoText_.mid(range.location, range.length) : QString();
    if (range != selectedRange_) {
        selectedRange_ = range;
        emit selectedRangeChanged();
    }
    if (text != selectionText_) {
        selectionText_ = text;
        emit selectionTextChanged();
    }
}

void OnboardingShortcutDemoController::setHasChosenTrigger(bool value) {
    if (value == hasChosenTrigger_) return;
    hasChosenTrigger_ = value;
    emit hasChosenTriggerChanged();
}

void OnboardingShortcutDemoController::setCapturing(bool value) {
    if (value == isCapturing_) return;
    isCapturing_ = value;
    emit isCapturingChanged();
}

void OnboardingShortcutDemoController::setHasSucceeded(bool value) {
    if (value == hasSucceeded_) return;
    hasSucceeded_ = value;
    emit hasSucceededChanged();
}

void OnboardingShortcutDemoController::setStatusMessage(const QString& message) {
    // Said again even when unchanged: a repeated first tap is news to the user.
    statusMessage_ = message;
    emit statusMessageChanged();
}

} // namespace quillo
