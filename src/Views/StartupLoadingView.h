#pragma once

#include "Support/InputPermissionCoordinator.h"
#include "Views/StartupLoadingRules.h"

#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;

namespace quillo {

// The loading window's content: engine, account and permission rows, and one button that
// sends the window away. It dismisses itself as soon as everything is ready.
class StartupLoadingView : public QWidget {
    Q_OBJECT
public:
    using InputsSource = std::function<StartupLoadingInputs()>;

    StartupLoadingView(InputsSource inputs, InputPermissionCoordinator& permission, QString displayName,
                       std::function<void()> dismiss, QWidget* parent = nullptr);

    // Calls `dismiss` when the engine is configured, the user signed in and the permission granted.
    void dismissIfReady();
    // Re-reads the services (their signed-in or error state changed) and re-checks.
    void inputsChanged();
    // The application came to the front again (perhaps from the desktop's settings).
    void applicationBecameActive();

    StartupStatusState engineState() const { return StartupLoadingRules::engineStatus(inputs_); }
    QString dismissButtonTitle() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Row {
        QLabel* mark;
        QLabel* detail;
    };
    Row addRow(const QString& title, const char* name);
    void setMark(Row row, StartupStatusState state);
    void refresh();
    bool permissionGranted() const;

    InputsSource source_;
    InputPermissionCoordinator& permission_;
    QString displayName_;
    std::function<void()> dismiss_;
    StartupLoadingInputs inputs_;
    Row engine_{};
    Row account_{};
    Row permissionRow_{};
    QPushButton* permissionButton_ = nullptr;
    QLabel* permissionNote_ = nullptr;
    QPushButton* dismissButton_ = nullptr;
    bool dismissed_ = false;
};

} // namespace quillo
