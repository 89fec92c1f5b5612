// The application delegate badges the tray item from the updater's available version.
#include "App/AppDelegate.h"
#include "Platform/Fake/FakeAccessibilityPermission.h"
#include "Platform/Fake/FakeWorkspace.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Services/FakeUpdateFramework.h"
#include "Services/QuilloUpdater.h"
#include "SignedOutCloudState.h"
#include "Support/VirtualClock.h"
#include "Views/QuilloTrayItem.h"
#include "ViewsTestSupport.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <gtest/gtest.h>

using namespace quillo;
using namespace quillo::testing;

namespace {

UpdateFeedItem release(const QString& display) {
    UpdateFeedItem item;
    item.version = display;
    item.buildNumber = QStringLiteral("1");
    item.displayVersion = display;
    return item;
}

} // namespace

TEST(UpdateBadge, FollowsTheAvailableVersion) {
    VirtualClock clock;
    InMemoryUserDefaults defaults;
    defaults.setInteger(AppDelegate::onboardingCompletedVersionKey, 1);
    FakeAccessibilityPermission permission;
    FakeWorkspace workspace;
    FakeToastScreens screens;
    SignedOutCloudState cloud;
    FakeUpdateFramework* framework = nullptr;
    QuilloInfoDictionary info{
        {QuilloBundleInfo::updateFeedUrlKey, QStringLiteral("https://updates.example/feed.json")},
        {QuilloBundleInfo::updatePublicKeyKey, QStringLiteral("ve+JnEM4VSdDhcDSwDn5c5aVxwT47q8Yh4Ai26/lNYk=")}};
    QuilloUpdater updater(QuilloUpdater::Dependencies{
        defaults, clock, info, [&](const UpdateFeedConfiguration& configuration, UpdateFrameworkDelegate& delegate) {
            auto fake = std::make_unique<FakeUpdateFramework>(configuration, delegate);
            framework = fake.get();
            return fake;
        }});
    ASSERT_NE(framework, nullptr);
    // Found before the tray exists: shown as soon as it does.
    framework->delegate.didFindValidUpdate(release(QStringLiteral("2.0")));

    AppDelegate::Environment env{defaults, clock, permission, workspace, screens, cloud};
    env.trayAvailable = [] { return true; };
    env.recordEvent = [](QuilloDiagnosticEvent) {};
    env.quit = [] {};
    env.updater = &updater;
    auto delegate = std::make_unique<AppDelegate>(env);
    delegate->showEarlySplash();
    delegate->applicationWillFinishLaunching();
    delegate->applicationDidFinishLaunching();
    EXPECT_TRUE(delegate->indicator().showsUpdateBadge());
    EXPECT_EQ(delegate->indicator().toolTip(), QStringLiteral("Quillo — Update available"));
    ASSERT_NE(delegate->trayItem(), nullptr);
    EXPECT_EQ(delegate->trayItem()->trayIcon()->toolTip(), QStringLiteral("Quillo — Update available"));

    framework->delegate.didNotFindUpdate();
    EXPECT_FALSE(delegate->indicator().showsUpdateBadge());
    EXPECT_EQ(delegate->trayItem()->trayIcon()->toolTip(), QStringLiteral("Quillo"));
    // A correction status still shows while an update waits; the tool tip keeps the update.
    framework->delegate.willShowUpdate(release(QStringLiteral("2.1")));
    delegate->updateStatusIcon(CorrectionStatus::processing);
    EXPECT_TRUE(delegate->indicator().showsUpdateBadge());
    EXPECT_EQ(delegate->indicator().toolTip(), QStringLiteral("Quillo — Update available"));

    delegate.reset();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
