#pragma once

#include <QWidget>

namespace quillo {

// The first-launch window: what Quillo does and one button that completes the welcome.
class WelcomeWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int width = 780;
    static constexpr int height = 620;

    explicit WelcomeWindow(bool canCancel, QWidget* parent = nullptr);
    bool canCancel() const { return canCancel_; }

signals:
    void finished();
    // Closed by the window's close button.
    void closedByUser();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool canCancel_;
    bool finishing_ = false;
};

} // namespace quillo
