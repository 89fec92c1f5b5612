#pragma once

#include "Views/MenuBarPopoverRules.h"

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QToolButton;

namespace quillo {

// The popover's content: status, speed, balance, low-credit warning, Settings and Quit.
// It changes nothing itself; the buttons are signals for the shell.
class MenuBarPopoverView : public QWidget {
    Q_OBJECT
public:
    explicit MenuBarPopoverView(QWidget* parent = nullptr);

    void setInputs(const MenuBarPopoverInputs& inputs);
    const MenuBarPopoverInputs& inputs() const { return inputs_; }
    // A line above the footer (the missing-tray notice); empty hides it.
    void setNotice(const QString& notice);
    // Shows "Undo Last Correction" while an undo is offered.
    void setUndoAvailable(bool available);

signals:
    void settingsRequested();
    void creditPacksRequested();
    void quitRequested();
    void undoRequested();

private:
    void refresh();

    MenuBarPopoverInputs inputs_;
    QLabel* statusBadge_ = nullptr;
    QLabel* speedTitle_ = nullptr;
    QLabel* engineState_ = nullptr;
    QLabel* balanceTitle_ = nullptr;
    QLabel* balanceValue_ = nullptr;
    QLabel* balanceHint_ = nullptr;
    QToolButton* topUp_ = nullptr;
    QProgressBar* refreshing_ = nullptr;
    QLabel* refreshingText_ = nullptr;
    QWidget* lowCredit_ = nullptr;
    QLabel* notice_ = nullptr;
    QPushButton* undo_ = nullptr;
};

} // namespace quillo
