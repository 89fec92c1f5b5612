#include "Views/CorrectionToastWindow.h"

#include <QEnterEvent>
#include <QVBoxLayout>

namespace quillo {

Qt::WindowFlags CorrectionToastWindow::windowFlags(bool acceptsPointer) {
    Qt::WindowFlags flags = Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                            Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint;
    if (!acceptsPointer) flags |= Qt::WindowTransparentForInput;
    return flags;
}

CorrectionToastWindow::CorrectionToastWindow(bool acceptsPointer, QWidget* content)
    : QWidget(nullptr, windowFlags(acceptsPointer)), acceptsPointer_(acceptsPointer), content_(content) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFocusPolicy(Qt::NoFocus);
    if (!acceptsPointer) setAttribute(Qt::WA_TransparentForMouseEvents);
    setWindowTitle(QStringLiteral("Quillo"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
}

void CorrectionToastWindow::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    if (acceptsPointer_) emit hoverChanged(true);
}

void CorrectionToastWindow::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (acceptsPointer_) emit hoverChanged(false);
}

} // namespace quillo
