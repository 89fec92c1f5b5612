#pragma once

#include <QColor>
#include <QImage>

class QWidget;

namespace quillo::screenshots {

class ScreenshotStage;

// Takes pictures of windows that are on the screen: decorated windows with the window
// manager's frame as the screen shows them, frameless ones (popover, toast, loading window)
// from their own rendering, laid on a plain backdrop with a soft shadow.
class ShotComposer {
public:
    static inline const QColor backdrop = QColor(0xdd, 0xde, 0xe3);
    static constexpr int margin = 36; // around frameless windows, in device-independent pixels

    // Until the window is mapped, framed by the window manager (when it gets a frame) and painted.
    void waitUntilShown(QWidget* window);
    // Lets pending layout and paint events run.
    void settle(QWidget* window);

    QImage decorated(QWidget* window);
    QImage floating(QWidget* window);
    // The toast controller's window once its entrance has finished.
    QImage toast(ScreenshotStage& stage);

private:
    static QImage shadowed(const QImage& picture, double devicePixelRatio);
};

} // namespace quillo::screenshots
