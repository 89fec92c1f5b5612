#include "Views/QuilloTrayItem.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QPalette>
#include <QSystemTrayIcon>

namespace quillo {

QuilloTrayItem::QuilloTrayItem(MenuBarStatusIndicator& indicator, QObject* parent)
    : QObject(parent), indicator_(indicator), tray_(new QSystemTrayIcon(this)), menu_(std::make_unique<QMenu>()) {
    connect(&indicator_, &MenuBarStatusIndicator::changed, this, &QuilloTrayItem::refresh);
    // The context click opens the menu instead.
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) emit clicked();
    });
    undoAction_ = menu_->addAction(QStringLiteral("Undo Last Correction"));
    undoAction_->setObjectName(QStringLiteral("undoLastCorrection"));
    undoAction_->setEnabled(false);
    connect(undoAction_, &QAction::triggered, this, &QuilloTrayItem::undoRequested);
    tray_->setContextMenu(menu_.get());
    refresh();
}

QuilloTrayItem::~QuilloTrayItem() = default;

bool QuilloTrayItem::isAvailable() { return QSystemTrayIcon::isSystemTrayAvailable(); }

void QuilloTrayItem::show() { tray_->show(); }

void QuilloTrayItem::setUndoAvailable(bool available) { undoAction_->setEnabled(available); }

QRect QuilloTrayItem::geometry() const { return tray_->geometry(); }

QPixmap QuilloTrayItem::render(const MenuBarStatusAppearance& appearance, bool badge, int side,
                               const QColor& idleColor) {
    QPixmap icon = QuilloSymbols::pixmap(appearance.symbol, QSize(side, side), appearance.tint.value_or(idleColor));
    if (!badge) return icon;
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    const double scale = side / MenuBarStatusIcon::iconSide;
    const QRectF dot = MenuBarUpdateBadge::frame(QSizeF(MenuBarStatusIcon::iconSide, MenuBarStatusIcon::iconSide));
    painter.setPen(Qt::NoPen);
    painter.setBrush(MenuBarUpdateBadge::color);
    painter.drawEllipse(QRectF(dot.x() * scale, dot.y() * scale, dot.width() * scale, dot.height() * scale));
    return icon;
}

void QuilloTrayItem::refresh() {
    const QColor idle = QApplication::palette().color(QPalette::WindowText);
    QIcon icon;
    for (int side : {16, 22, 24, 32, 48})
        icon.addPixmap(render(indicator_.appearance(), indicator_.showsUpdateBadge(), side, idle));
    tray_->setIcon(icon);
    tray_->setToolTip(indicator_.toolTip());
}

} // namespace quillo
