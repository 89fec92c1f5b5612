#include "Support/VirtualClock.h"
#include "Views/MenuBarPopoverRules.h"
#include "Views/MenuBarStatusIcon.h"
#include "Views/MenuBarStatusIndicator.h"
#include "Views/PopoverPlacement.h"
#include "Views/PopoverWindowTransition.h"
#include "Views/QuilloTrayItem.h"

#include <QImage>
#include <gtest/gtest.h>

using namespace quillo;

TEST(MenuBarStatusIcon, FourStates) {
    struct Case {
        CorrectionStatus status;
        QuilloSymbol symbol;
        const char* description;
        std::optional<QColor> tint;
        std::optional<double> idleAfter;
    };
    const Case cases[] = {
        {CorrectionStatus::idle, QuilloSymbol::menuBarIcon, "Quillo", std::nullopt, std::nullopt},
        {CorrectionStatus::processing, QuilloSymbol::sparkles, "Processing...", QuilloPalette::purple, std::nullopt},
        {CorrectionStatus::success, QuilloSymbol::checkmarkCircleFill, "Corrected!", QuilloPalette::green, 1.5},
        {CorrectionStatus::error, QuilloSymbol::exclamationmarkTriangleFill, "Error", QuilloPalette::red, 2.0},
    };
    for (const auto& c : cases) {
        const auto a = MenuBarStatusIcon::appearance(c.status);
        EXPECT_EQ(a.symbol, c.symbol) << c.description;
        EXPECT_EQ(a.accessibilityDescription, QString::fromUtf8(c.description));
        EXPECT_EQ(a.tint, c.tint) << c.description;
        EXPECT_EQ(a.returnToIdleAfter, c.idleAfter) << c.description;
    }
}

TEST(MenuBarUpdateBadge, FrameAndToolTip) {
    EXPECT_EQ(MenuBarUpdateBadge::frame({18, 18}), QRectF(12, 2, 5, 5));
    EXPECT_EQ(MenuBarUpdateBadge::frame({24, 22}), QRectF(18, 2, 5, 5));
    EXPECT_EQ(MenuBarUpdateBadge::toolTip(QStringLiteral("1.4")), QStringLiteral("Quillo — Update available"));
    EXPECT_EQ(MenuBarUpdateBadge::toolTip(std::nullopt), QStringLiteral("Quillo"));

    // The dot is drawn orange in the top-right corner of the icon.
    const QImage badged =
        QuilloTrayItem::render(MenuBarStatusIcon::appearance(CorrectionStatus::idle), true, 18, Qt::white).toImage();
    const QImage plain =
        QuilloTrayItem::render(MenuBarStatusIcon::appearance(CorrectionStatus::idle), false, 18, Qt::white).toImage();
    EXPECT_EQ(badged.pixelColor(14, 4).rgb(), MenuBarUpdateBadge::color.rgb());
    EXPECT_NE(plain.pixelColor(14, 4).rgb(), MenuBarUpdateBadge::color.rgb());
}

TEST(MenuBarStatusIndicator, ReturnsToIdleAndNewerStatusWins) {
    VirtualClock clock;
    MenuBarStatusIndicator indicator(clock);
    indicator.updateStatusIcon(CorrectionStatus::success);
    clock.advance(1.49);
    EXPECT_EQ(indicator.status(), CorrectionStatus::success);
    clock.advance(0.02);
    EXPECT_EQ(indicator.status(), CorrectionStatus::idle);

    indicator.updateStatusIcon(CorrectionStatus::error);
    clock.advance(1.99);
    EXPECT_EQ(indicator.status(), CorrectionStatus::error);
    clock.advance(0.02);
    EXPECT_EQ(indicator.status(), CorrectionStatus::idle);

    // A success followed within 1.5 s by processing stays on processing.
    indicator.updateStatusIcon(CorrectionStatus::success);
    clock.advance(1.0);
    indicator.updateStatusIcon(CorrectionStatus::processing);
    EXPECT_FALSE(indicator.hasPendingReset());
    clock.advance(10);
    EXPECT_EQ(indicator.status(), CorrectionStatus::processing);
    EXPECT_EQ(indicator.toolTip(), QStringLiteral("Processing..."));

    indicator.setAvailableUpdate(QStringLiteral("2.0"));
    EXPECT_TRUE(indicator.showsUpdateBadge());
    EXPECT_EQ(indicator.toolTip(), QStringLiteral("Quillo — Update available"));
    indicator.setAvailableUpdate(std::nullopt);
    EXPECT_FALSE(indicator.showsUpdateBadge());
}

TEST(MenuBarPopoverRules, StatusOrderFirstMatchWins) {
    const auto make = [](bool signedIn, std::optional<double> credits, bool error, bool online, bool configured) {
        MenuBarPopoverInputs in;
        in.signedIn = signedIn;
        in.availableCredits = credits;
        if (error) in.cloudErrorMessage = QStringLiteral("Server unavailable");
        in.networkConnected = online;
        in.cloudConfigured = configured;
        return in;
    };
    struct Case {
        MenuBarPopoverInputs in;
        const char* text;
    };
    const Case cases[] = {
        {make(false, 0.0, true, false, false), "Account"}, // signed out beats everything
        {make(false, std::nullopt, false, true, true), "Account"},
        {make(true, 0.1, true, false, true), "Low credit"}, // exactly 0.1 warns, before the error
        {make(true, 0.0, false, true, true), "Low credit"},
        {make(true, -3.0, false, true, true), "Low credit"},
        {make(true, 0.11, true, false, true), "Error"},
        {make(true, std::nullopt, true, true, true), "Error"}, // loading balance never claims low credit
        {make(true, 5.0, false, false, true), "Offline"},
        {make(true, 5.0, false, true, true), "Ready"},
        {make(true, std::nullopt, false, true, true), "Ready"},
        {make(true, 5.0, false, true, false), "Connecting"},
    };
    for (const auto& c : cases) EXPECT_EQ(MenuBarPopoverRules::statusText(c.in), QString::fromUtf8(c.text)) << c.text;

    EXPECT_EQ(MenuBarPopoverRules::statusColor(MenuBarPopoverStatus::ready), QuilloPalette::green);
    EXPECT_EQ(MenuBarPopoverRules::statusColor(MenuBarPopoverStatus::error), QuilloPalette::red);
    EXPECT_EQ(MenuBarPopoverRules::statusColor(MenuBarPopoverStatus::lowCredit), QuilloPalette::orange);
    EXPECT_EQ(MenuBarPopoverRules::statusColor(make(true, 0.1, false, true, true)), QuilloPalette::orange);
    EXPECT_EQ(MenuBarPopoverRules::statusColor(make(true, 0.11, false, true, true)), QuilloPalette::green);
}

TEST(MenuBarPopoverRules, BalanceTextsAndLowCreditWarning) {
    MenuBarPopoverInputs in;
    EXPECT_EQ(MenuBarPopoverRules::balanceText(in), QStringLiteral("Sign in"));
    in.availableCredits = 0.05;
    EXPECT_FALSE(MenuBarPopoverRules::showsLowCreditWarning(in)); // signed out
    in.signedIn = true;
    in.availableCredits.reset();
    EXPECT_EQ(MenuBarPopoverRules::balanceText(in), QStringLiteral("..."));
    EXPECT_FALSE(MenuBarPopoverRules::showsLowCreditWarning(in));
    struct Case {
        double credits;
        const char* text;
        bool warns;
    };
    for (const Case c : {Case{0.1, "0.10", true}, Case{0.11, "0.11", false}, Case{12.345, "12.35", false},
                         Case{0.0, "0.00", true}, Case{1234.5, "1234.50", false}}) {
        in.availableCredits = c.credits;
        EXPECT_EQ(MenuBarPopoverRules::balanceText(in), QString::fromUtf8(c.text));
        EXPECT_EQ(MenuBarPopoverRules::showsLowCreditWarning(in), c.warns) << c.credits;
    }
}

TEST(PopoverPlacement, UnderOrAboveTheIconInsideTheScreen) {
    const QRect available(0, 28, 1920, 1052);
    const QSize size(320, 300);
    // Top panel: centred under the icon.
    EXPECT_EQ(PopoverPlacement::origin(size, QRect(1000, 2, 24, 24), available), QPoint(1012 - 160, 30));
    // Icon at the right edge: kept on screen.
    EXPECT_EQ(PopoverPlacement::origin(size, QRect(1890, 2, 24, 24), available), QPoint(1600, 30));
    // Bottom panel: above the icon.
    EXPECT_EQ(PopoverPlacement::origin(size, QRect(1000, 1050, 24, 24), QRect(0, 0, 1920, 1080)),
              QPoint(852, 1050 - 4 - 300));
    // No icon geometry (some tray hosts hide it): the top-right corner.
    EXPECT_EQ(PopoverPlacement::origin(size, QRect(), available), QPoint(1920 - 320 - 12, 40));
}

TEST(PopoverWindowTransition, WindowsWaitForThePopoverToClose) {
    bool shown = true;
    int closeCalls = 0;
    PopoverWindowTransition transition({[&] { return shown; }, [&] { ++closeCalls; }});
    int opened = 0;
    transition.presentAfterClosing([&] {
        EXPECT_FALSE(shown);
        ++opened;
    });
    EXPECT_EQ(closeCalls, 1);
    EXPECT_EQ(opened, 0);
    transition.popoverWillClose();
    // Asked again while closing: replaces the pending action, no second close.
    transition.presentAfterClosing([&] {
        EXPECT_FALSE(shown);
        opened += 10;
    });
    EXPECT_EQ(closeCalls, 1);
    shown = false;
    transition.popoverDidClose();
    EXPECT_EQ(opened, 10);
    transition.popoverDidClose(); // runs once only
    EXPECT_EQ(opened, 10);
    // Popover not up: at once.
    transition.presentAfterClosing([&] { ++opened; });
    EXPECT_EQ(opened, 11);
    EXPECT_FALSE(transition.hasPendingPresentation());
}
