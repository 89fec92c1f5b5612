#pragma once

#include <QWidget>

namespace quillo {

class LaunchAtLoginSettings;
class UserDefaults;

// The settings window's general switches: monitoring, the preview and launch at login.
class BasicSettingsWindow : public QWidget {
    Q_OBJECT
public:
    BasicSettingsWindow(UserDefaults& defaults, LaunchAtLoginSettings& launchAtLogin, QWidget* parent = nullptr);

signals:
    void closed();
    void restartOnboardingRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
};

} // namespace quillo
