#include "Views/MenuBarPopover.h"

#include "Views/MenuBarPopoverView.h"

#include <QPainter>
#include <QVBoxLayout>

namespace quillo {

MenuBarPopover::MenuBarPopover(Mode mode, MenuBarPopoverView* content)
    : QWidget(nullptr, mode == Mode::popup ? Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint
                                           : Qt::Window | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint),
      mode_(mode), content_(content) {
    setWindowTitle(QStringLiteral("Quillo"));
    if (mode == Mode::popup) setAttribute(Qt::WA_TranslucentBackground);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(mode == Mode::popup ? 1 : 0, mode == Mode::popup ? 1 : 0, mode == Mode::popup ? 1 : 0,
                               mode == Mode::popup ? 1 : 0);
    layout->addWidget(content);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void MenuBarPopover::present(QPoint origin) {
    layout()->activate();
    adjustSize();
    move(origin);
    show();
    raise();
    if (mode_ == Mode::window) activateWindow();
    content_->setFocus(Qt::PopupFocusReason);
}

void MenuBarPopover::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    emit willClose();
    emit didClose();
}

void MenuBarPopover::paintEvent(QPaintEvent*) {
    if (mode_ != Mode::popup) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(palette().color(QPalette::Mid), 1));
    p.setBrush(palette().color(QPalette::Window));
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
}

} // namespace quillo
