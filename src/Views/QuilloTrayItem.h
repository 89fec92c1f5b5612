#pragma once

#include "Views/MenuBarStatusIndicator.h"

#include <QObject>
#include <QPixmap>
#include <QRect>
#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace quillo {

// The tray icon: draws the indicator's state (symbol, tint, update badge) and reports clicks.
// Only made when the desktop has a tray host.
class QuilloTrayItem : public QObject {
    Q_OBJECT
public:
    explicit QuilloTrayItem(MenuBarStatusIndicator& indicator, QObject* parent = nullptr);
    ~QuilloTrayItem() override;

    static bool isAvailable();
    void show();
    QRect geometry() const;
    QSystemTrayIcon* trayIcon() const { return tray_; }
    // The context menu's "Undo Last Correction", enabled only while an undo is offered.
    void setUndoAvailable(bool available);
    QAction* undoAction() const { return undoAction_; }

    // The icon for a state, at `side` pixels: the idle mark follows the panel's text colour.
    static QPixmap render(const MenuBarStatusAppearance& appearance, bool badge, int side, const QColor& idleColor);

signals:
    void clicked();
    void undoRequested();

private:
    void refresh();

    MenuBarStatusIndicator& indicator_;
    QSystemTrayIcon* tray_;
    std::unique_ptr<QMenu> menu_;
    QAction* undoAction_ = nullptr;
};

} // namespace quillo
