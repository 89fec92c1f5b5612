#include "Views/CorrectionToastLayout.h"

#include <gtest/gtest.h>

using namespace quillo;
namespace L = CorrectionToastLayout;

namespace {

ToastScreen plainScreen(double w = 1440, double h = 900, double x = 0, double panel = 32) {
    return ToastScreen{QRectF(x, 0, w, h), QRectF(x, panel, w, h - panel), 0.0, std::nullopt, std::nullopt};
}

ToastScreen notchedScreen(double inset = 38, bool auxiliary = true) {
    ToastScreen s{QRectF(0, 0, 1512, 982), QRectF(0, 38, 1512, 944), inset, std::nullopt, std::nullopt};
    if (auxiliary) {
        s.auxiliaryTopLeftArea = QRectF(0, 0, 660, inset);
        s.auxiliaryTopRightArea = QRectF(852, 0, 660, inset);
    }
    return s;
}

PreviewTextMetrics fixedMetrics(double widest, double height) {
    return {widest, [height](double) { return height; }};
}

} // namespace

TEST(CorrectionToastLayout, NotchRectangleAndTopPadding) {
    EXPECT_EQ(L::notchRect(std::nullopt), std::nullopt);
    EXPECT_EQ(L::notchRect(plainScreen()), std::nullopt);
    ToastScreen negative = plainScreen();
    negative.topSafeAreaInset = -4;
    EXPECT_EQ(L::notchRect(negative), std::nullopt);

    // Between the two strips beside the housing.
    EXPECT_EQ(L::notchRect(notchedScreen()), QRectF(660, 0, 192, 38));
    // Without the strips (or overlapping ones): 184 wide, centred.
    EXPECT_EQ(L::notchRect(notchedScreen(38, false)), QRectF(756 - 92, 0, 184, 38));
    ToastScreen overlapping = notchedScreen();
    overlapping.auxiliaryTopRightArea = QRectF(600, 0, 900, 38);
    EXPECT_EQ(L::notchRect(overlapping), QRectF(756 - 92, 0, 184, 38));

    struct Case {
        std::optional<double> inset;
        double padding;
    };
    const Case cases[] = {{std::nullopt, 14}, {20, 48}, {38, 48}, {45, 55}, {58, 68}, {90, 68}};
    for (const auto& c : cases) {
        std::optional<QRectF> notch;
        if (c.inset) notch = QRectF(0, 0, 184, *c.inset);
        EXPECT_DOUBLE_EQ(L::topPadding(notch), c.padding) << c.inset.value_or(-1);
    }
}

TEST(CorrectionToastLayout, ScreenChoiceFollowsThePointer) {
    const std::vector<ToastScreen> screens{plainScreen(1920, 1080, 0), plainScreen(1280, 1024, 1920)};
    EXPECT_EQ(L::chooseScreen(screens, {2000, 500}, 0), screens[1]);
    EXPECT_EQ(L::chooseScreen(screens, {10, 10}, 1), screens[0]);
    // Off every screen: the main one.
    EXPECT_EQ(L::chooseScreen(screens, {-50, -50}, 1), screens[1]);
    const ToastScreen none = L::chooseScreen({}, {0, 0}, std::nullopt);
    EXPECT_EQ(none.frame, QRectF(0, 0, 1440, 900));
    EXPECT_EQ(none.topSafeAreaInset, 0.0);
}

TEST(CorrectionToastLayout, PreviewTextIsTrimmedAndCutAt1200Scalars) {
    EXPECT_EQ(L::previewText(QStringLiteral("  \n hello \t\n")), QStringLiteral("hello"));
    const QString exact(1200, QLatin1Char('a'));
    EXPECT_EQ(L::previewText(exact), exact);
    EXPECT_EQ(L::previewText(QString(5000, QLatin1Char('b'))), QString(1200, QLatin1Char('b')) + QStringLiteral("..."));

    // Scalars, not UTF-16 units: 1201 emoji keep 1200 whole pairs.
    QString emoji;
    for (int i = 0; i < 1201; ++i) emoji += QString::fromUcs4(U"\U0001F600", 1);
    const QString cut = L::previewText(emoji);
    EXPECT_EQ(cut.size(), 2400 + 3);
    EXPECT_TRUE(cut.endsWith(QStringLiteral("...")));
    EXPECT_TRUE(QChar::isLowSurrogate(cut.at(2399).unicode()));
    // White space beyond the cut is not counted.
    EXPECT_EQ(L::previewText(QStringLiteral("   ") + exact + QStringLiteral("  ")), exact);
}

TEST(CorrectionToastLayout, PreviewSizeLimits) {
    struct Case {
        const char* name;
        ToastScreen screen;
        double widest, textHeight;
        bool notice;
        QSizeF size;
        double padding;
        bool attached;
    };
    const Case cases[] = {
        // 360 minimum width; text height 24 minimum; 14 + 24 + 22 + 10 + 14 = 84 < 14 + 78 = 92.
        {"short", plainScreen(), 20, 10, false, {360, 92}, 14, false},
        {"notice adds 13", plainScreen(), 20, 60, true, {360, 14 + 66 + 22 + 13 + 10 + 14}, 14, false},
        // Width rounds up: 400.2 + 56 → 457.
        {"rounded width", plainScreen(), 400.2, 40, false, {457, 14 + 46 + 46}, 14, false},
        // 1440 − 96 = 1344 is above the 820 cap.
        {"wide text", plainScreen(), 2000, 40, false, {820, 106}, 14, false},
        // Narrow display: max width 500 − 96 = 404.
        {"narrow display", plainScreen(500, 900), 2000, 40, false, {404, 106}, 14, false},
        // Tiny display: max width floors at 360.
        {"tiny display", plainScreen(300, 900), 2000, 40, false, {360, 106}, 14, false},
        // Text height caps at 220, height at 0.45 × 868 = 390.6 → 360.
        {"tall text", plainScreen(), 300, 5000, false, {360, 14 + 220 + 46}, 14, false},
        {"short display", plainScreen(1440, 300), 300, 5000, false, {360, 180}, 14, false},
        {"notched", notchedScreen(), 20, 10, false, {360, 48 + 78}, 48, true},
    };
    for (const auto& c : cases) {
        const auto frame = L::previewFrame(c.screen, fixedMetrics(c.widest, c.textHeight), c.notice);
        EXPECT_EQ(frame.size, c.size) << c.name;
        EXPECT_DOUBLE_EQ(frame.topPadding, c.padding) << c.name;
        EXPECT_EQ(frame.attachesToNotch, c.attached) << c.name;
    }
}

TEST(CorrectionToastLayout, PreviewWrapsAtWidthLess48ButNotUnder220) {
    double askedWidth = 0;
    PreviewTextMetrics metrics{10, [&](double w) {
                                   askedWidth = w;
                                   return 20.0;
                               }};
    L::previewFrame(plainScreen(), metrics, false);
    EXPECT_DOUBLE_EQ(askedWidth, 312); // 360 − 48
    metrics.widestLineWidth = 600;
    L::previewFrame(plainScreen(), metrics, false);
    EXPECT_DOUBLE_EQ(askedWidth, 608);
}

TEST(CorrectionToastLayout, CompactSizes) {
    using S = CorrectionToastStatusKind;
    using P = CompactToastPlacement;
    const ToastScreen plain = plainScreen();
    const ToastScreen notched = notchedScreen();
    struct Case {
        const char* name;
        S status;
        P placement;
        ToastScreen screen;
        QSizeF size;
        bool attached;
    };
    const Case cases[] = {
        {"processing notch, no housing", S::processing(), P::notch, plain, {170, 42 + 14}, false},
        {"processing mini", S::processing(), P::mini, plain, {156, 38}, false},
        {"success notch", S::success(), P::notch, plain, {180, 56}, false},
        {"success mini", S::success(), P::mini, plain, {164, 38}, false},
        {"empty notice counts as none", S::success(QString()), P::mini, plain, {164, 38}, false},
        {"success notice notch", S::success(QStringLiteral("n")), P::notch, plain, {180, 72}, false},
        {"success notice mini", S::success(QStringLiteral("n")), P::mini, plain, {260, 54}, false},
        {"error notch", S::error(QStringLiteral("x")), P::notch, plain, {390, 98}, false},
        {"error mini wide", S::error(QStringLiteral("x")), P::mini, plain, {360, 80}, false},
        {"error mini mid", S::error(QStringLiteral("x")), P::mini, plainScreen(348), {300, 80}, false},
        {"error mini tiny", S::error(QStringLiteral("x")), P::mini, plainScreen(200), {240, 80}, false},
        // Attached to a housing: padding 48 and at least 360 wide.
        {"processing notched", S::processing(), P::notch, notched, {360, 90}, true},
        {"error notched", S::error(QStringLiteral("x")), P::notch, notched, {390, 132}, true},
        {"mini never attaches", S::processing(), P::mini, notched, {156, 38}, false},
    };
    for (const auto& c : cases) {
        const auto frame = L::compactFrame(c.status, c.placement, c.screen);
        EXPECT_EQ(frame.size, c.size) << c.name;
        EXPECT_EQ(frame.attachesToNotch, c.attached) << c.name;
    }
}

TEST(CorrectionToastLayout, Placement) {
    const ToastScreen plain = plainScreen(1440, 900, 100, 32);
    // Hangs just below the panel, centred on the visible frame.
    EXPECT_EQ(L::notchPlacement({360, 92}, plain), QPointF(100 + 720 - 180, 32));
    // Mini: bottom edge 24 above the visible frame's bottom (900).
    EXPECT_EQ(L::miniPlacement({164, 38}, plain), QPointF(100 + 720 - 82, 900 - 24 - 38));
    // Notch: centred on the housing, top of the screen.
    ToastScreen off = notchedScreen();
    off.auxiliaryTopLeftArea = QRectF(0, 0, 400, 38);
    off.auxiliaryTopRightArea = QRectF(600, 0, 912, 38);
    EXPECT_EQ(L::notchPlacement({360, 90}, off), QPointF(500 - 180, 0));

    EXPECT_EQ(L::dismissalDirection(std::nullopt), 1);
    EXPECT_EQ(L::dismissalDirection(CompactToastPlacement::notch), 1);
    EXPECT_EQ(L::dismissalDirection(CompactToastPlacement::mini), -1);
}

TEST(CorrectionToastLayout, DismissalDelays) {
    struct Case {
        std::optional<double> stored;
        double seconds;
    };
    const Case preview[] = {{std::nullopt, 3.5}, {0.0, 3.5}, {-2.0, 3.5},  {0.5, 1.2},
                            {1.2, 1.2},          {3.0, 3.0}, {60.0, 60.0}, {std::nan(""), 3.5}};
    for (const auto& c : preview) EXPECT_DOUBLE_EQ(L::previewDuration(c.stored), c.seconds) << c.stored.value_or(-99);

    using F = CompactCorrectionFeedbackState;
    using P = CompactCorrectionPresentation;
    EXPECT_EQ(CompactCorrectionToastTiming::dismissDelay(F::processing, P::notch), std::nullopt);
    EXPECT_EQ(CompactCorrectionToastTiming::dismissDelay(F::processing, P::mini), std::nullopt);
    EXPECT_EQ(CompactCorrectionToastTiming::dismissDelay(F::success, P::notch), 1.2);
    EXPECT_EQ(CompactCorrectionToastTiming::dismissDelay(F::success, P::mini), 0.7);
    EXPECT_EQ(CompactCorrectionToastTiming::dismissDelay(F::error, P::notch), 4.5);
    EXPECT_EQ(CompactCorrectionToastTiming::dismissDelay(F::error, P::mini), 4.5);
}
