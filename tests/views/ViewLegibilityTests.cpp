// How the toast's content, the start-up window's close button and secondary text come out on
// screen: faults here were invisible to the behaviour tests and only showed in screenshots.
#include "Support/VirtualClock.h"
#include "Views/CorrectionCompactToastView.h"
#include "Views/CorrectionToastView.h"
#include "Views/SettingsControls.h"
#include "Views/StartupWindow.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace quillo;

namespace {

double centreY(QWidget* child, QWidget* root) { return child->mapTo(root, QPoint()).y() + child->height() / 2.0; }

template <typename View> void layOut(View& view) {
    view.layout()->activate();
    view.ensurePolished();
}

} // namespace

TEST(ToastContent, FloatingPillsCentreTheirContentAndNotchPillsClearTheHousing) {
    VirtualClock clock;
    const CorrectionToastFrame floating{QSizeF(180, 56), 14.0, false};
    CorrectionCompactToastView success(CorrectionToastStatusKind::success(), floating, true, clock);
    layOut(success);
    auto* text = success.findChild<QLabel*>(QStringLiteral("statusText"));
    auto* icon = success.findChild<QLabel*>(QStringLiteral("statusIcon"));
    EXPECT_NEAR(centreY(text, &success), success.height() / 2.0, 1.0);
    EXPECT_NEAR(centreY(icon, &success), success.height() / 2.0, 1.0);

    // An error's mark stands level with its sentence, not above it.
    const CorrectionToastFrame errorFrame{QSizeF(390, 98), 14.0, false};
    CorrectionCompactToastView error(
        CorrectionToastStatusKind::error(QStringLiteral("Top up your balance, then try again.")), errorFrame, false,
        clock);
    layOut(error);
    EXPECT_NEAR(centreY(error.findChild<QLabel*>(QStringLiteral("statusIcon")), &error),
                centreY(error.findChild<QLabel*>(QStringLiteral("statusText")), &error), 1.0);

    // Hanging from a camera housing, everything stays below it.
    const CorrectionToastFrame notch{QSizeF(360, 100), 58.0, true};
    CorrectionCompactToastView hanging(CorrectionToastStatusKind::success(), notch, true, clock);
    layOut(hanging);
    EXPECT_GE(hanging.findChild<QLabel*>(QStringLiteral("statusText"))->mapTo(&hanging, QPoint()).y(), 58);
}

TEST(ToastContent, PreviewCentresShortTextAndKeepsTheStartOfLongText) {
    const QList<CorrectionPreviewSegment> shortText{{QStringLiteral("Let's meet on Tuesday."), false}};
    CorrectionToastView preview(shortText, std::nullopt, CorrectionToastFrame{QSizeF(400, 120), 14.0, false}, false);
    layOut(preview);
    auto* label = preview.findChild<QLabel*>(QStringLiteral("previewText"));
    EXPECT_NEAR(centreY(label, &preview), preview.height() / 2.0, 1.5);

    QString words;
    for (int i = 0; i < 400; ++i) words += QStringLiteral("word ");
    CorrectionToastView longPreview({{words, false}}, std::nullopt, CorrectionToastFrame{QSizeF(400, 180), 14.0, false},
                                    false);
    layOut(longPreview);
    auto* longLabel = longPreview.findChild<QLabel*>(QStringLiteral("previewText"));
    EXPECT_TRUE(longLabel->alignment() & Qt::AlignTop);
    EXPECT_EQ(longLabel->mapTo(&longPreview, QPoint()).y(), longPreview.layout()->contentsMargins().top())
        << "a text too long for the toast starts at the top margin";
}

TEST(StartupWindowTest, CloseButtonLiesInsideTheWindow) {
    StartupWindow window(new QWidget, true, false);
    window.show();
    auto* close = window.findChild<QToolButton*>(QStringLiteral("closeButton"));
    ASSERT_NE(close, nullptr);
    EXPECT_TRUE(window.rect().contains(close->geometry())) << "the mark would be drawn past the edge";
    window.hide();
}

TEST(SecondaryText, IsDrawnLighterThanPrimaryText) {
    // Rendered, not read from a property: style sheet colours Qt does not know are dropped silently.
    auto darkest = [](QLabel* label) {
        label->adjustSize();
        QImage image(label->size(), QImage::Format_RGB32);
        image.fill(label->palette().color(QPalette::Window));
        label->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        int value = 255;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) value = std::min(value, qGray(image.pixel(x, y)));
        return value;
    };
    QWidget parent;
    QLabel primary(QStringLiteral("Balance"), &parent);
    QLabel* secondary = SettingsControls::secondaryLabel(QStringLiteral("Balance"), &parent);
    EXPECT_GT(darkest(secondary), darkest(&primary) + 40);
}
