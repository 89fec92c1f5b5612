#include "Views/StartupWindow.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillo {

StartupWindow::StartupWindow(QWidget* content, bool closable, bool floating)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | (floating ? Qt::WindowStaysOnTopHint : Qt::Widget)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowTitle(QStringLiteral("Quillo"));
    setFixedSize(width, height);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 22, 24, 20);
    layout->addWidget(content);
    if (closable) {
        closeButton_ = new QToolButton(this);
        closeButton_->setObjectName(QStringLiteral("closeButton"));
        closeButton_->setText(QStringLiteral("✕"));
        closeButton_->setAutoRaise(true);
        closeButton_->setAccessibleName(QStringLiteral("Close"));
        // Outside any layout a button keeps Qt's default 100 × 30, which put the mark past the edge.
        closeButton_->setFixedSize(26, 26);
        connect(closeButton_, &QToolButton::clicked, this, [this] {
            emit closeRequested();
            close();
        });
    }
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width / 2, height / 2));
    }
}

void StartupWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(palette().color(QPalette::Mid), 1));
    p.setBrush(palette().color(QPalette::Window));
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 16, 16);
}

void StartupWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
    QWidget::mousePressEvent(event);
}

void StartupWindow::mouseMoveEvent(QMouseEvent* event) {
    if (dragOffset_ && (event->buttons() & Qt::LeftButton)) move(event->globalPosition().toPoint() - *dragOffset_);
    QWidget::mouseMoveEvent(event);
}

void StartupWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (closeButton_) closeButton_->move(width - 34, 8);
}

} // namespace quillo
