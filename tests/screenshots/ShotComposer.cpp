#include "ShotComposer.h"

#include "ScreenshotStage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <vector>

namespace quillo::screenshots {

namespace {

// Waits for `done` while the event loop runs, at most `seconds` of real time: the X server
// and the window manager answer in their own time.
template <typename Predicate> bool waitFor(Predicate done, int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > milliseconds) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// One pass of a horizontal then vertical running-sum blur over an alpha plane.
void boxBlur(std::vector<float>& alpha, int width, int height, int radius) {
    std::vector<float> line(std::size_t(std::max(width, height)));
    const float scale = 1.0f / float(2 * radius + 1);
    auto pass = [&](int count, int length, auto at) {
        for (int i = 0; i < count; ++i) {
            float sum = 0;
            for (int k = -radius; k <= radius; ++k) sum += at(i, std::clamp(k, 0, length - 1));
            for (int j = 0; j < length; ++j) {
                line[std::size_t(j)] = sum * scale;
                sum += at(i, std::min(j + radius + 1, length - 1)) - at(i, std::max(j - radius, 0));
            }
            for (int j = 0; j < length; ++j) at(i, j) = line[std::size_t(j)];
        }
    };
    pass(height, width, [&](int y, int x) -> float& { return alpha[std::size_t(y) * width + x]; });
    pass(width, height, [&](int x, int y) -> float& { return alpha[std::size_t(y) * width + x]; });
}

// A picture of one colour only: the window was never painted, or the grab missed it.
bool isBlank(const QImage& image) {
    if (image.isNull()) return true;
    const QImage pixels = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb first = pixels.pixel(0, 0);
    for (int y = 0; y < pixels.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        for (int x = 0; x < pixels.width(); ++x)
            if (row[x] != first) return false;
    }
    return true;
}

} // namespace

void ShotComposer::waitUntilShown(QWidget* window) {
    window->show();
    window->raise();
    if (!QTest::qWaitForWindowExposed(window, 10000))
        qWarning("window %s was never exposed", qPrintable(window->windowTitle()));
    // A managed, decorated window learns its frame from the window manager shortly after mapping.
    const bool framed = !(window->windowFlags() & (Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint));
    if (framed) waitFor([window] { return window->frameGeometry() != window->geometry(); }, 15000);
    settle(window);
}

void ShotComposer::settle(QWidget* window) {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    window->repaint();
    QCoreApplication::processEvents();
}

QImage ShotComposer::decorated(QWidget* window) {
    // A loaded X server may not have drawn the window yet: grab again until it has.
    QImage image;
    waitFor(
        [&] {
            settle(window);
            const QRect frame = window->frameGeometry();
            image = window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).toImage();
            return !isBlank(image);
        },
        30000); // a busy X server may take seconds to draw a new window
    return isBlank(image) ? QImage() : image;
}

QImage ShotComposer::floating(QWidget* window) {
    settle(window);
    const QPixmap picture = window->grab();
    if (isBlank(picture.toImage())) return {};
    return shadowed(picture.toImage(), picture.devicePixelRatio());
}

QImage ShotComposer::toast(ScreenshotStage& stage) {
    // The entrance runs on the virtual clock: past its end, well before the dismissal.
    stage.clock.advance(0.5);
    QWidget* window = stage.toast->window();
    if (!window) return {};
    waitFor([window] { return window->isVisible() && window->windowHandle() && window->windowHandle()->isExposed(); },
            5000);
    return floating(window);
}

QImage ShotComposer::shadowed(const QImage& source, double dpr) {
    QImage picture = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    // Pixels are laid one to one: the result carries the ratio.
    picture.setDevicePixelRatio(1.0);
    const int pad = int(std::lround(margin * dpr));
    const int width = picture.width() + 2 * pad;
    const int height = picture.height() + 2 * pad;

    // The window's own outline, blurred and dropped a little, as a shadow.
    std::vector<float> alpha(std::size_t(width) * height, 0.0f);
    const int drop = int(std::lround(6 * dpr));
    for (int y = 0; y < picture.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            alpha[std::size_t(y + pad + drop) * width + (x + pad)] = float(qAlpha(row[x])) / 255.0f;
    }
    const int radius = int(std::lround(6 * dpr));
    for (int i = 0; i < 3; ++i) boxBlur(alpha, width, height, radius);

    QImage result(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const float shade = 1.0f - 0.28f * alpha[std::size_t(y) * width + x];
            row[x] = qRgb(int(backdrop.red() * shade), int(backdrop.green() * shade), int(backdrop.blue() * shade));
        }
    }
    QPainter painter(&result);
    painter.drawImage(pad, pad, picture);
    painter.end();
    result.setDevicePixelRatio(dpr);
    return result;
}

} // namespace quillo::screenshots
