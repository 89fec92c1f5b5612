#include "Views/TriggerKeyDetection.h"

#include "Models/CorrectionTriggerPreference.h"
#include "Platform/UserDefaults.h"
#include "Services/KeyboardPreferences.h"
#include "Views/SettingsWindowRules.h"

#include <QPointer>

namespace quillo {

TriggerKeyDetection::TriggerKeyDetection(UserDefaults& defaults, LocalKeyEventMonitor& monitor, Clock& clock,
                                         QObject* parent)
    : QObject(parent), defaults_(defaults), monitor_(monitor), clock_(clock) {}

TriggerKeyDetection::~TriggerKeyDetection() {
    // No monitor may outlive the window that asked for it.
    installation_.reset();
    if (timeout_) clock_.cancelScheduled(*timeout_);
}

void TriggerKeyDetection::start() {
    stop(false);
    isDetecting_ = true;
    message_ = SettingsWindowRules::detectionPrompt;
    detectionIdentifier_ = QUuid::createUuid();
    installation_ = monitor_.install([this](const KeyboardEvent& event) { return handle(event); });

    QPointer<TriggerKeyDetection> self(this);
    const QUuid identifier = detectionIdentifier_;
    timeout_ = clock_.schedule(SettingsWindowRules::detectionTimeoutSeconds, [self, identifier] {
        // Only the detection that scheduled it may be ended by it.
        if (!self || self->detectionIdentifier_ != identifier || !self->isDetecting_) return;
        self->timeout_.reset();
        self->message_ = SettingsWindowRules::detectionTimedOut;
        self->stop(true);
    });
    emit changed();
}

void TriggerKeyDetection::stop(bool keepMessage) {
    const bool wasActive = isDetecting_ || installation_ || (!keepMessage && message_);
    installation_.reset();
    if (timeout_) {
        clock_.cancelScheduled(*timeout_);
        timeout_.reset();
    }
    isDetecting_ = false;
    if (!keepMessage) message_.reset();
    if (wasActive) emit changed();
}

bool TriggerKeyDetection::handle(const KeyboardEvent& event) {
    if (event.type != KeyboardEvent::Type::keyDown && event.type != KeyboardEvent::Type::flagsChanged) return false;
    if (!isDetecting_) return false;
    if (const auto preference = CorrectionTriggerPreference::fromCaptureEvent(event)) {
        defaults_.setString(KeyboardSettingsKeys::triggerPreference, preference->storageValue());
        message_ = SettingsWindowRules::triggerSetMessage(preference->title);
        stop(true);
        return true;
    }
    if (event.type == KeyboardEvent::Type::keyDown) {
        message_ = SettingsWindowRules::typingKeyRefused;
        emit changed();
    }
    return true;
}

} // namespace quillo
