#pragma once

#include <QWidget>

namespace quillo {

class MenuBarPopoverView;

// The window around the popover content: a frameless popup under the tray icon that goes
// away on an outside click, or, when the desktop has no tray, a small ordinary window.
class MenuBarPopover : public QWidget {
    Q_OBJECT
public:
    enum class Mode { popup, window };

    MenuBarPopover(Mode mode, MenuBarPopoverView* content);

    Mode mode() const { return mode_; }
    MenuBarPopoverView* content() const { return content_; }
    // Sizes to the content and shows with its top-left corner at `origin`.
    void present(QPoint origin);

signals:
    void willClose();
    void didClose();

protected:
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    Mode mode_;
    MenuBarPopoverView* content_;
};

} // namespace quillo
