#pragma once

#include <QPoint>
#include <QWidget>
#include <optional>

class QToolButton;

namespace quillo {

// The 430 × 270 rounded window of the splash and the loading window: no title bar, a
// translucent background, moved by dragging anywhere; the splash floats above other windows.
class StartupWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int width = 430;
    static constexpr int height = 270;

    StartupWindow(QWidget* content, bool closable, bool floating);

    bool isClosable() const { return closeButton_ != nullptr; }

signals:
    // The user sent the window away with its close button.
    void closeRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QToolButton* closeButton_ = nullptr;
    std::optional<QPoint> dragOffset_;
};

} // namespace quillo
