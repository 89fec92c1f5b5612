#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Support/VirtualClock.h"
#include "Views/CorrectionCompactToastView.h"
#include "Views/CorrectionToastController.h"
#include "Views/CorrectionToastView.h"
#include "Views/CorrectionToastWindow.h"
#include "ViewsTestSupport.h"

#include <QApplication>
#include <QEnterEvent>
#include <QLabel>
#include <gtest/gtest.h>

using namespace quillo;
using namespace quillo::testing;

namespace {

class ToastControllerTest : public ::testing::Test {
protected:
    VirtualClock clock;
    InMemoryUserDefaults defaults;
    FakeToastScreens screens;
    RecordingAnnouncer announcer;
    bool reduceMotion = true;
    QList<QPair<QString, QString>> diffed;
    std::unique_ptr<CorrectionToastController> controller;

    void SetUp() override {
        controller = std::make_unique<CorrectionToastController>(CorrectionToastController::Dependencies{
            defaults, screens, clock, &announcer, [this] { return AccessibilityMotionPolicy::make(reduceMotion); },
            [this](const QString& original, const QString& corrected) {
                diffed.append({original, corrected});
                return QList<CorrectionPreviewSegment>{{corrected, true}};
            }});
    }
    void TearDown() override {
        controller.reset();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    CorrectionCompactToastView* compact() const {
        return controller->window() ? controller->window()->findChild<CorrectionCompactToastView*>() : nullptr;
    }
    CorrectionToastView* preview() const {
        return controller->window() ? controller->window()->findChild<CorrectionToastView*>() : nullptr;
    }
    // Advances and reports whether the toast is still up just before and just after `seconds`.
    void expectLifetime(double seconds) {
        clock.advance(seconds - 0.01);
        EXPECT_NE(controller->window(), nullptr) << "gone before " << seconds;
        clock.advance(0.02);
        EXPECT_EQ(controller->window(), nullptr) << "still up after " << seconds;
    }
};

} // namespace

TEST_F(ToastControllerTest, PreviewDurationsFromTheStoredSetting) {
    struct Case {
        std::optional<double> stored;
        double seconds;
    };
    for (const Case c : {Case{std::nullopt, 3.5}, Case{-1.0, 3.5}, Case{0.5, 1.2}, Case{6.0, 6.0}}) {
        if (c.stored) defaults.setNumber(CorrectionToastController::previewDurationKey, *c.stored);
        else defaults.remove(CorrectionToastController::previewDurationKey);
        controller->show(QStringLiteral("teh cat"), QStringLiteral("the cat"), std::nullopt);
        ASSERT_NE(preview(), nullptr);
        expectLifetime(c.seconds);
    }
}

TEST_F(ToastControllerTest, PreviewIsCutAndPlacedOnThePointersScreen) {
    screens.list.push_back(
        ToastScreen{QRectF(1440, 0, 1920, 1080), QRectF(1440, 0, 1920, 1040), 0.0, std::nullopt, std::nullopt});
    screens.pointer = QPointF(2000, 500);
    controller->show(QStringLiteral("  old "), QString(5000, QLatin1Char('x')), QStringLiteral("Switched to Fast"));
    ASSERT_EQ(diffed.size(), 1);
    EXPECT_EQ(diffed[0].first, QStringLiteral("old"));
    EXPECT_EQ(diffed[0].second, QString(1200, QLatin1Char('x')) + QStringLiteral("..."));
    const QRect target = controller->targetGeometry();
    EXPECT_EQ(target.x() + target.width() / 2, 1440 + 960);
    EXPECT_EQ(target.top(), 0); // top of that screen's visible frame
    EXPECT_EQ(preview()->routingNotice(), QStringLiteral("Switched to Fast"));
    EXPECT_TRUE(controller->window()->findChild<QLabel*>(QStringLiteral("routingNotice")));
}

TEST_F(ToastControllerTest, HoverKeepsThePreviewUntilThePointerLeaves) {
    controller->show(QStringLiteral("a"), QStringLiteral("b"), std::nullopt);
    auto* window = qobject_cast<CorrectionToastWindow*>(controller->window());
    ASSERT_TRUE(window && window->acceptsPointer());
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(window, &enter);
    EXPECT_TRUE(preview()->isHovered());
    clock.advance(600);
    EXPECT_NE(controller->window(), nullptr);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(window, &leave);
    expectLifetime(2.0);
}

TEST_F(ToastControllerTest, DisabledPreviewShowsTheSuccessPillAndAnnounces) {
    defaults.setBoolean(CorrectionToastController::showNotificationsKey, false);
    defaults.setString(CorrectionSettingsKeys::compactPresentation, QStringLiteral("mini"));
    controller->show(QStringLiteral("a"), QStringLiteral("b"), std::nullopt);
    EXPECT_TRUE(diffed.isEmpty());
    ASSERT_NE(compact(), nullptr);
    EXPECT_EQ(controller->compactPlacement(), CompactToastPlacement::mini);
    // 164 × 38 near the bottom: 900 − 24 − 38.
    EXPECT_EQ(controller->targetGeometry(), QRect(720 - 82, 900 - 24 - 38, 164, 38));
    EXPECT_EQ(controller->dismissalOffsetDirection(), -1);
    ASSERT_EQ(announcer.announcements.size(), 1);
    EXPECT_EQ(announcer.announcements[0].first, QStringLiteral("Correction completed"));
    EXPECT_EQ(announcer.announcements[0].second, AccessibilityAnnouncer::Priority::medium);
    expectLifetime(0.7);
}

TEST_F(ToastControllerTest, MiniIsIgnoredWhileThePreviewIsOn) {
    defaults.setString(CorrectionSettingsKeys::compactPresentation, QStringLiteral("mini"));
    controller->showProcessing();
    EXPECT_EQ(controller->compactPlacement(), CompactToastPlacement::notch);
    // No camera housing: 14-point padding, not attached, under the panel.
    EXPECT_EQ(controller->targetGeometry(), QRect(720 - 85, 32, 170, 42 + 14));
}

TEST_F(ToastControllerTest, ProcessingStaysUntilAnErrorReplacesItAtOnce) {
    controller->showProcessing();
    ASSERT_NE(compact(), nullptr);
    EXPECT_EQ(compact()->accessibleName(), QStringLiteral("Correction in progress"));
    EXPECT_FALSE(controller->hasPendingDismissal());
    clock.advance(120);
    ASSERT_NE(compact(), nullptr);
    const QWidget* processingWindow = controller->window();

    controller->showError(QStringLiteral("No internet connection."));
    EXPECT_NE(controller->window(), processingWindow);
    EXPECT_EQ(compact()->status().kind, CorrectionToastStatusKind::Kind::error);
    EXPECT_EQ(compact()->accessibleName(), QStringLiteral("Correction failed"));
    EXPECT_FALSE(processingWindow->isVisible());
    expectLifetime(4.5);
}

TEST_F(ToastControllerTest, ReplacingCancelsTheOlderDismissal) {
    controller->showSuccess(std::nullopt);
    clock.advance(1.0);
    controller->showProcessing();
    clock.advance(1.0); // the success's 1.2 s would have fallen here
    ASSERT_NE(compact(), nullptr);
    EXPECT_EQ(compact()->status().kind, CorrectionToastStatusKind::Kind::processing);
}

TEST_F(ToastControllerTest, AnimatedPresentationAndDismissal) {
    reduceMotion = false;
    controller->showSuccess(QStringLiteral("Switched to Fast · billed as Very Very Fast."));
    QWidget* window = controller->window();
    const QRect target = controller->targetGeometry();
    EXPECT_EQ(target.size(), QSize(180, 58 + 14));
    // Starts 18 points above its place, transparent.
    EXPECT_EQ(window->geometry().top(), target.top() - 18);
    EXPECT_DOUBLE_EQ(window->windowOpacity(), 0.0);
    clock.advance(0.25);
    EXPECT_EQ(window->geometry(), target);
    EXPECT_DOUBLE_EQ(window->windowOpacity(), 1.0);

    // 1.2 s after showing the dismissal starts; the window closes 0.22 s later.
    clock.advance(1.2 - 0.25 + 0.1);
    ASSERT_EQ(controller->window(), window);
    EXPECT_LT(window->windowOpacity(), 1.0);
    EXPECT_LT(window->geometry().top(), target.top());
    clock.advance(0.11);
    EXPECT_EQ(controller->window(), window);
    clock.advance(0.02);
    EXPECT_EQ(controller->window(), nullptr);
}

TEST_F(ToastControllerTest, ToastDuringADismissalIsNotClosedByIt) {
    reduceMotion = false;
    controller->showSuccess(std::nullopt);
    clock.advance(1.25); // dismissal animation running
    controller->showProcessing();
    QWidget* processing = controller->window();
    clock.advance(1.0);
    EXPECT_EQ(controller->window(), processing);
    EXPECT_DOUBLE_EQ(processing->windowOpacity(), 1.0);
}

TEST_F(ToastControllerTest, ForceDismissAndTheWindowNeverTakesFocus) {
    controller->show(QStringLiteral("a"), QStringLiteral("b"), std::nullopt);
    const Qt::WindowFlags flags = controller->window()->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(flags.testFlag(Qt::X11BypassWindowManagerHint));
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::ToolTip);
    EXPECT_TRUE(controller->window()->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_FALSE(flags.testFlag(Qt::WindowTransparentForInput)); // the preview takes hover

    controller->showProcessing();
    EXPECT_TRUE(controller->window()->windowFlags().testFlag(Qt::WindowTransparentForInput));
    controller->forceDismiss();
    EXPECT_EQ(controller->window(), nullptr);
    EXPECT_FALSE(controller->hasPendingDismissal());
}

TEST_F(ToastControllerTest, ProcessingDotsWalkOnTheClock) {
    controller->showProcessing();
    ASSERT_NE(compact(), nullptr);
    EXPECT_EQ(compact()->litDot(), 0);
    clock.advance(CorrectionCompactToastView::dotStepSeconds);
    EXPECT_EQ(compact()->litDot(), 1);
    clock.advance(2 * CorrectionCompactToastView::dotStepSeconds);
    EXPECT_EQ(compact()->litDot(), 0);
}

TEST(CorrectionToastView, RichTextEscapesAndMarksChanges) {
    const QList<CorrectionPreviewSegment> segments{{QStringLiteral("<b>&"), true}, {QStringLiteral(" cat\nx"), false}};
    const QString plain = CorrectionToastView::richText(segments, false);
    EXPECT_TRUE(plain.contains(QStringLiteral("&lt;b&gt;&amp;")));
    EXPECT_FALSE(plain.contains(QStringLiteral("<b>")));
    EXPECT_TRUE(plain.contains(QStringLiteral(" cat<br/>x")));
    EXPECT_FALSE(plain.contains(QStringLiteral("underline")));
    EXPECT_TRUE(CorrectionToastView::richText(segments, true).contains(QStringLiteral("underline")));
}
