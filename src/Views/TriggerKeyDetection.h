#pragma once

#include "Models/KeyboardEvent.h"
#include "Platform/LocalKeyEventMonitor.h"
#include "Support/Clock.h"

#include <QObject>
#include <QString>
#include <QUuid>
#include <memory>
#include <optional>

namespace quillo {

class UserDefaults;

// "Detect key" of the settings: while it runs, every key-down and modifier change bound for
// the application's windows is swallowed and offered as the new trigger. A key that types text
// is refused (and detection goes on); the first acceptable key is stored. Detection ends by
// itself 8 s after it started. Main thread only.
class TriggerKeyDetection : public QObject {
    Q_OBJECT
public:
    TriggerKeyDetection(UserDefaults& defaults, LocalKeyEventMonitor& monitor, Clock& clock, QObject* parent = nullptr);
    ~TriggerKeyDetection() override;

    bool isDetecting() const { return isDetecting_; }
    const std::optional<QString>& message() const { return message_; }
    const QUuid& detectionIdentifier() const { return detectionIdentifier_; }
    bool hasMonitor() const { return installation_ != nullptr; }

    void start();
    void stop(bool keepMessage);

signals:
    void changed();

private:
    bool handle(const KeyboardEvent& event);

    UserDefaults& defaults_;
    LocalKeyEventMonitor& monitor_;
    Clock& clock_;
    bool isDetecting_ = false;
    std::optional<QString> message_;
    QUuid detectionIdentifier_;
    std::unique_ptr<LocalKeyEventMonitor::Installation> installation_;
    std::optional<Clock::TimerId> timeout_;
};

} // namespace quillo
