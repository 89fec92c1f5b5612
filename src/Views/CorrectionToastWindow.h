#pragma once

#include <QWidget>

namespace quillo {

// The one floating toast window. It must never take keyboard focus from the application the
// user is typing in:
// - Qt::ToolTip with X11BypassWindowManagerHint makes it override-redirect on X11, so the
//   window manager neither decorates, stacks below panels, lists nor focuses it;
// - WindowDoesNotAcceptFocus clears the input hint for managers that do see it;
// - WA_ShowWithoutActivating keeps show() from asking for activation;
// - the compact pill also passes the pointer through (WindowTransparentForInput).
class CorrectionToastWindow : public QWidget {
    Q_OBJECT
public:
    explicit CorrectionToastWindow(bool acceptsPointer, QWidget* content);

    bool acceptsPointer() const { return acceptsPointer_; }
    QWidget* content() const { return content_; }

    static Qt::WindowFlags windowFlags(bool acceptsPointer);

signals:
    void hoverChanged(bool hovered);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool acceptsPointer_;
    QWidget* content_;
};

} // namespace quillo
