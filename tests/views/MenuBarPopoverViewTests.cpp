#include "Views/MenuBarPopover.h"
#include "Views/MenuBarPopoverView.h"
#include "Views/PopoverWindowTransition.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace quillo;

namespace {
QString labelText(QWidget& root, const char* name) {
    auto* label = root.findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("<missing>");
}
bool visible(QWidget& root, const char* name) {
    auto* w = root.findChild<QWidget*>(QString::fromLatin1(name));
    return w && w->isVisibleTo(&root);
}
} // namespace

TEST(MenuBarPopoverView, ShowsTheDerivedState) {
    MenuBarPopoverView view;
    EXPECT_EQ(labelText(view, "statusBadge"), QStringLiteral("Account"));
    EXPECT_EQ(view.findChild<QLabel*>(QStringLiteral("statusBadge"))->accessibleName(),
              QStringLiteral("Quillo status"));
    EXPECT_EQ(labelText(view, "balanceTitle"), QStringLiteral("Sign in required"));
    EXPECT_EQ(labelText(view, "balanceValue"), QStringLiteral("Sign in"));
    EXPECT_TRUE(visible(view, "balanceHint"));
    EXPECT_FALSE(visible(view, "topUp"));

    MenuBarPopoverInputs in;
    in.signedIn = true;
    in.networkConnected = true;
    in.cloudConfigured = true;
    in.isRefreshing = true;
    in.cloudModel = CloudCorrectionModel::fast;
    view.setInputs(in);
    EXPECT_EQ(labelText(view, "statusBadge"), QStringLiteral("Ready"));
    EXPECT_EQ(labelText(view, "balanceValue"), QStringLiteral("..."));
    EXPECT_EQ(labelText(view, "speedTitle"), QStringLiteral("Fast"));
    EXPECT_EQ(labelText(view, "engineState"), QStringLiteral("Ready"));
    EXPECT_TRUE(visible(view, "refreshing"));
    EXPECT_FALSE(visible(view, "lowCredit"));

    in.isRefreshing = false;
    in.availableCredits = 0.1;
    view.setInputs(in);
    EXPECT_EQ(labelText(view, "statusBadge"), QStringLiteral("Low credit"));
    EXPECT_TRUE(visible(view, "lowCredit"));
    EXPECT_FALSE(visible(view, "refreshing"));

    QSignalSpy packs(&view, &MenuBarPopoverView::creditPacksRequested);
    QSignalSpy settings(&view, &MenuBarPopoverView::settingsRequested);
    view.findChild<QPushButton*>(QStringLiteral("lowCreditTopUp"))->click();
    view.findChild<QToolButton*>(QStringLiteral("topUp"))->click();
    view.findChild<QPushButton*>(QStringLiteral("settings"))->click();
    EXPECT_EQ(packs.count(), 2);
    EXPECT_EQ(settings.count(), 1);
}

TEST(MenuBarPopover, SettingsOpenOnlyAfterThePopoverHasGone) {
    auto* content = new MenuBarPopoverView;
    MenuBarPopover popover(MenuBarPopover::Mode::popup, content);
    PopoverWindowTransition transition({[&] { return popover.isVisible(); }, [&] { popover.hide(); }});
    QObject::connect(&popover, &MenuBarPopover::willClose, [&] { transition.popoverWillClose(); });
    QObject::connect(&popover, &MenuBarPopover::didClose, [&] { transition.popoverDidClose(); });

    popover.present(QPoint(100, 40));
    ASSERT_TRUE(popover.isVisible());
    EXPECT_EQ(popover.pos(), QPoint(100, 40));
    bool popoverUpWhenOpened = true;
    int opened = 0;
    QObject::connect(content, &MenuBarPopoverView::settingsRequested, [&] {
        transition.presentAfterClosing([&] {
            popoverUpWhenOpened = popover.isVisible();
            ++opened;
        });
    });
    content->findChild<QPushButton*>(QStringLiteral("settings"))->click();
    EXPECT_EQ(opened, 1);
    EXPECT_FALSE(popoverUpWhenOpened);

    // Control+, is the same request, through the same transition.
    popover.present(QPoint(100, 40));
    popover.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&popover));
    QTest::keyClick(&popover, Qt::Key_Comma, Qt::ControlModifier);
    EXPECT_EQ(opened, 2);
    EXPECT_FALSE(popoverUpWhenOpened);
    EXPECT_TRUE(popover.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(popover.windowFlags() & Qt::WindowType_Mask, Qt::Popup);

    MenuBarPopover window(MenuBarPopover::Mode::window, new MenuBarPopoverView);
    EXPECT_EQ(window.windowFlags() & Qt::WindowType_Mask, Qt::Window);
}
