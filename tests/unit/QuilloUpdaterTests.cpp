// The updater's own rules over a fake framework: which builds can update, when the framework
// starts, the two choices, the hourly limit on silent checks and the framework's answers.
#include "UpdateTestSupport.h"

#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Services/FakeUpdateFramework.h"
#include "Services/QuilloUpdater.h"
#include "Support/VirtualClock.h"

#include <gtest/gtest.h>

using namespace quillo;

namespace {

const QString kFeed = QStringLiteral("https://updates.example/feed.json");
const QString kKey = QStringLiteral("ve+JnEM4VSdDhcDSwDn5c5aVxwT47q8Yh4Ai26/lNYk=");

UpdateFeedItem itemVersion(const QString& display, bool critical = false) {
    UpdateFeedItem item;
    item.version = display + QStringLiteral(".0");
    item.buildNumber = QStringLiteral("7");
    item.displayVersion = display;
    item.critical = critical;
    return item;
}

class QuilloUpdaterTest : public ::testing::Test {
protected:
    VirtualClock clock;
    InMemoryUserDefaults defaults;
    QuilloInfoDictionary info{{QuilloBundleInfo::bundleIdentifierKey, QStringLiteral("com.quillo.app")},
                              {QuilloBundleInfo::updateFeedUrlKey, kFeed},
                              {QuilloBundleInfo::updatePublicKeyKey, kKey}};
    int frameworksMade = 0;
    FakeUpdateFramework* framework = nullptr;
    std::function<void(FakeUpdateFramework&)> prepare;

    std::unique_ptr<QuilloUpdater> make() {
        return std::make_unique<QuilloUpdater>(QuilloUpdater::Dependencies{
            defaults, clock, info,
            [this](const UpdateFeedConfiguration& configuration, UpdateFrameworkDelegate& delegate) {
                ++frameworksMade;
                auto fake = std::make_unique<FakeUpdateFramework>(configuration, delegate);
                framework = fake.get();
                if (prepare) prepare(*fake);
                return fake;
            }});
    }
    void onboardingDone() { defaults.setInteger(QuilloUpdater::onboardingCompletedVersionKey, 1); }
};

} // namespace

TEST_F(QuilloUpdaterTest, TestBuildsNeverMakeAFramework) {
    info.insert(QuilloBundleInfo::bundleIdentifierKey, UpdateFeedConfiguration::testBuildBundleIdentifier);
    onboardingDone();
    auto updater = make();
    EXPECT_EQ(frameworksMade, 0);
    EXPECT_FALSE(updater->isConfigured());
    EXPECT_TRUE(updater->isTestBuild());
    EXPECT_EQ(updater->unavailableReason(), QStringLiteral("Sparkle updates are disabled in this test build."));
    EXPECT_EQ(updater->updaterController(), nullptr);
    // Every action is a quiet no-op.
    updater->checkForUpdates();
    updater->refreshUpdateAvailability();
    updater->startAfterOnboarding();
    EXPECT_FALSE(updater->hasStarted());
    EXPECT_FALSE(updater->canCheckForUpdates());
}

TEST_F(QuilloUpdaterTest, PlaceholdersLeaveUpdatesUnconfigured) {
    const QList<QPair<QString, QVariant>> cases = {
        {QuilloBundleInfo::updateFeedUrlKey, QStringLiteral("https://updates.example/$(SU_FEED_URL)")},
        {QuilloBundleInfo::updateFeedUrlKey, QStringLiteral("REPLACE_WITH_FEED_URL")},
        {QuilloBundleInfo::updateFeedUrlKey, QStringLiteral("   ")},
        {QuilloBundleInfo::updateFeedUrlKey, QStringLiteral("no url at all")},
        {QuilloBundleInfo::updatePublicKeyKey, QStringLiteral("$(SU_PUBLIC_ED_KEY)")},
        {QuilloBundleInfo::updatePublicKeyKey, QStringLiteral("\n")},
        {QuilloBundleInfo::updatePublicKeyKey, QStringLiteral("REPLACE_WITH_PUBLIC_KEY")},
    };
    onboardingDone();
    for (const auto& [key, value] : cases) {
        const QuilloInfoDictionary saved = info;
        info.insert(key, value);
        auto updater = make();
        EXPECT_FALSE(updater->isConfigured()) << qPrintable(value.toString());
        EXPECT_FALSE(updater->isTestBuild());
        EXPECT_EQ(updater->unavailableReason(), QStringLiteral("Updates are not configured yet."));
        info = saved;
    }
    EXPECT_EQ(frameworksMade, 0);
    info.remove(QuilloBundleInfo::updateFeedUrlKey);
    EXPECT_FALSE(make()->isConfigured());
}

TEST_F(QuilloUpdaterTest, ConfiguredBuildMirrorsTheFrameworkAndStartsOnlyAfterOnboarding) {
    prepare = [](FakeUpdateFramework& fake) {
        fake.automaticChecks = true;
        fake.automaticDownloads = true;
    };
    auto updater = make();
    ASSERT_EQ(frameworksMade, 1);
    EXPECT_TRUE(updater->isConfigured());
    EXPECT_TRUE(updater->unavailableReason().isEmpty());
    EXPECT_EQ(framework->configuration.feedUrl, QUrl(kFeed));
    EXPECT_EQ(framework->configuration.publicKey, kKey);
    EXPECT_TRUE(updater->automaticallyChecksForUpdates());
    EXPECT_TRUE(updater->automaticallyDownloadsUpdates());
    // Onboarding has not been completed: not started, no silent check.
    EXPECT_EQ(framework->starts, 0);
    EXPECT_FALSE(updater->hasStarted());
    updater->refreshUpdateAvailability();
    EXPECT_EQ(framework->informationChecks, 0);

    SignalCount canCheck(updater.get(), &QuilloUpdater::canCheckForUpdatesChanged);
    updater->startAfterOnboarding();
    updater->startAfterOnboarding();
    EXPECT_EQ(framework->starts, 1);
    EXPECT_TRUE(updater->hasStarted());
    EXPECT_TRUE(updater->canCheckForUpdates());
    EXPECT_EQ(canCheck.size(), 1);
    framework->setSessionInProgress(true);
    EXPECT_FALSE(updater->canCheckForUpdates());

    // Onboarding completed before: started at creation.
    onboardingDone();
    auto again = make();
    EXPECT_EQ(framework->starts, 1);
    EXPECT_TRUE(again->hasStarted());
}

TEST_F(QuilloUpdaterTest, ManualCheckGoesToTheFramework) {
    onboardingDone();
    auto updater = make();
    updater->checkForUpdates();
    EXPECT_EQ(framework->userChecks, 1);
    EXPECT_EQ(framework->informationChecks, 0);
}

TEST_F(QuilloUpdaterTest, SilentChecksAtMostOnceAnHourAndNeverDuringASession) {
    onboardingDone();
    auto updater = make();
    updater->refreshUpdateAvailability();
    clock.advance(1800);
    updater->refreshUpdateAvailability();
    EXPECT_EQ(framework->informationChecks, 1);
    clock.advance(1799.9);
    updater->refreshUpdateAvailability();
    EXPECT_EQ(framework->informationChecks, 1);
    clock.advance(0.1);
    updater->refreshUpdateAvailability();
    EXPECT_EQ(framework->informationChecks, 2);

    // A session in progress: skipped without counting as the hour's check.
    clock.advance(3600);
    framework->setSessionInProgress(true);
    updater->refreshUpdateAvailability();
    EXPECT_EQ(framework->informationChecks, 2);
    framework->setSessionInProgress(false);
    updater->refreshUpdateAvailability();
    EXPECT_EQ(framework->informationChecks, 3);
}

TEST_F(QuilloUpdaterTest, OnboardingChoicesNeverInstallWithoutChecking) {
    struct Case {
        bool check, install, storedCheck, storedDownload;
    };
    for (const Case c : {Case{false, true, false, false}, Case{true, true, true, true}, Case{true, false, true, false},
                         Case{false, false, false, false}}) {
        prepare = [](FakeUpdateFramework& fake) {
            fake.automaticChecks = true;
            fake.automaticDownloads = true;
        };
        auto updater = make();
        updater->applyOnboardingPreferences(c.check, c.install);
        EXPECT_EQ(framework->automaticChecks, c.storedCheck);
        EXPECT_EQ(framework->automaticDownloads, c.storedDownload);
        EXPECT_EQ(updater->automaticallyChecksForUpdates(), c.storedCheck);
        EXPECT_EQ(updater->automaticallyDownloadsUpdates(), c.storedDownload);
    }
    // Unconfigured: only the published fields follow.
    info.remove(QuilloBundleInfo::updateFeedUrlKey);
    auto plain = make();
    plain->applyOnboardingPreferences(false, true);
    EXPECT_FALSE(plain->automaticallyChecksForUpdates());
    EXPECT_FALSE(plain->automaticallyDownloadsUpdates());
}

TEST_F(QuilloUpdaterTest, FlagsGoBothWays) {
    auto updater = make();
    SignalCount checks(updater.get(), &QuilloUpdater::automaticallyChecksForUpdatesChanged);
    SignalCount downloads(updater.get(), &QuilloUpdater::automaticallyDownloadsUpdatesChanged);

    updater->setAutomaticallyChecksForUpdates(true);
    EXPECT_TRUE(framework->automaticChecks);
    EXPECT_EQ(framework->automaticChecksWrites, 1);
    EXPECT_EQ(checks.size(), 1);
    // The framework already holds the value: nothing is written.
    updater->setAutomaticallyChecksForUpdates(true);
    EXPECT_EQ(framework->automaticChecksWrites, 1);

    // A change made in the framework reaches the published field.
    framework->setAutomaticallyDownloadsUpdates(true);
    EXPECT_TRUE(updater->automaticallyDownloadsUpdates());
    EXPECT_EQ(downloads.size(), 1);
    framework->setAutomaticallyChecksForUpdates(false);
    EXPECT_FALSE(updater->automaticallyChecksForUpdates());
    EXPECT_EQ(checks.size(), 2);
}

TEST_F(QuilloUpdaterTest, FrameworkAnswersPublishTheAvailableVersion) {
    onboardingDone();
    auto updater = make();
    UpdateFrameworkDelegate& delegate = framework->delegate;
    SignalCount available(updater.get(), &QuilloUpdater::availableVersionChanged);

    EXPECT_FALSE(delegate.shouldPromptForPermissionToCheckForUpdates());
    EXPECT_TRUE(delegate.supportsGentleScheduledUpdateReminders());
    EXPECT_FALSE(delegate.standardUserDriverShouldHandleShowingScheduledUpdate(itemVersion(QStringLiteral("2.1"))));
    EXPECT_TRUE(
        delegate.standardUserDriverShouldHandleShowingScheduledUpdate(itemVersion(QStringLiteral("2.1"), true)));

    delegate.didFindValidUpdate(itemVersion(QStringLiteral("2.1")));
    EXPECT_EQ(updater->availableVersion(), QStringLiteral("2.1"));
    delegate.willShowUpdate(itemVersion(QStringLiteral("2.1")));
    EXPECT_EQ(available.size(), 1);
    delegate.willShowUpdate(itemVersion(QStringLiteral("2.2")));
    EXPECT_EQ(updater->availableVersion(), QStringLiteral("2.2"));

    // Remind later keeps the badge; an answer that leaves nothing pending clears it.
    delegate.userDidMakeChoice(UpdateUserChoice::dismiss, itemVersion(QStringLiteral("2.2")), UpdateStage::downloaded);
    EXPECT_EQ(updater->availableVersion(), QStringLiteral("2.2"));
    delegate.userDidMakeChoice(UpdateUserChoice::skip, itemVersion(QStringLiteral("2.2")), std::nullopt);
    EXPECT_FALSE(updater->availableVersion());

    delegate.didFindValidUpdate(itemVersion(QStringLiteral("2.3")));
    delegate.didNotFindUpdate();
    EXPECT_FALSE(updater->availableVersion());
    EXPECT_EQ(available.size(), 5);
}
