// The whole update path against a real quillo-cloud over HTTPS on loopback: the server signs
// its test feed with this suite's key; the updater (the real framework behind it) fetches it
// through the Qt transport, verifies it, publishes the version, and the application delegate
// badges the tray item. Tampered feeds and packages must be refused.
#include "CloudTestServer.h"

#include "App/AppDelegate.h"
#include "Platform/Fake/FakeAccessibilityPermission.h"
#include "Platform/Fake/FakeWorkspace.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Services/FeedUpdateFramework.h"
#include "Services/QtCloudHttpTransport.h"
#include "Services/QuilloUpdater.h"
#include "Services/RecordingUpdateUserDriver.h"
#include "Support/VirtualClock.h"
#include "Views/QuilloTrayItem.h"
#include "views/SignedOutCloudState.h"
#include "views/ViewsTestSupport.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QSystemTrayIcon>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

using namespace quillo;

namespace {

const char* kKeyDir = QUILLO_UPDATE_TEST_KEY_DIR;

// Runs the event loop until `done` holds; the guard only stops a broken test from hanging.
template <typename Predicate> bool pumpUntil(Predicate done) {
    QElapsedTimer guard;
    guard.start();
    while (!done()) {
        if (guard.elapsed() > 30000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

QString publicKey() {
    std::ifstream in(std::string(kKeyDir) + "/update-ed25519.pub");
    std::string line;
    std::getline(in, line);
    return QString::fromStdString(line).trimmed();
}

class UpdatesAgainstServer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server = new cloudtest::CloudTestServer(
            {"--update-feed-version", "9.9.0", "--update-feed-build", "990", "--update-display-version", "9.9",
             "--update-notes", "Sharper corrections.", "--update-key", std::string(kKeyDir) + "/update-ed25519.key"});
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }

    void SetUp() override {
        ASSERT_EQ(server->control("update-feed", {{"version", "9.9.0"}, {"buildNumber", "990"}}).status, 200);
        defaults.setInteger(QuilloUpdater::onboardingCompletedVersionKey, 1);
        feedUrl = QString::fromStdString(server->base()) + QStringLiteral("/updates/feed.json");
    }
    void TearDown() override {
        appDelegate.reset();
        updater.reset();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void makeUpdater(const QString& key = publicKey()) {
        QuilloInfoDictionary info{{QuilloBundleInfo::bundleIdentifierKey, QStringLiteral("com.quillo.app")},
                                  {QuilloBundleInfo::shortVersionKey, QStringLiteral("0.1.0")},
                                  {QuilloBundleInfo::bundleVersionKey, QStringLiteral("1")},
                                  {QuilloBundleInfo::updateFeedUrlKey, feedUrl},
                                  {QuilloBundleInfo::updatePublicKeyKey, key}};
        updater = std::make_unique<QuilloUpdater>(QuilloUpdater::Dependencies{
            defaults, clock, info,
            [this](const UpdateFeedConfiguration& configuration, UpdateFrameworkDelegate& delegate) {
                auto made = std::make_unique<FeedUpdateFramework>(
                    FeedUpdateFramework::Environment{
                        transport, defaults, clock, workspace, driver,
                        InstalledRelease{QStringLiteral("0.1.0"), QStringLiteral("1"), QStringLiteral("6.1.0")},
                        cache.filePath(QStringLiteral("Updates"))},
                    configuration, delegate);
                framework = made.get();
                return made;
            }});
        ASSERT_TRUE(updater->isConfigured());
        ASSERT_TRUE(updater->hasStarted());
    }

    void launchDelegate() {
        AppDelegate::Environment env{defaults, clock, permission, workspace, screens, cloud};
        env.trayAvailable = [] { return true; };
        env.recordEvent = [](QuilloDiagnosticEvent) {};
        env.quit = [] {};
        env.updater = updater.get();
        appDelegate = std::make_unique<AppDelegate>(env);
        appDelegate->showEarlySplash();
        appDelegate->applicationWillFinishLaunching();
        appDelegate->applicationDidFinishLaunching();
    }

    bool sessionOver() {
        return pumpUntil([this] { return !framework->sessionInProgress(); });
    }
    bool shown(const QString& prefix) {
        return pumpUntil([&] { return !driver.shown.isEmpty() && driver.shown.last().startsWith(prefix); });
    }

    static cloudtest::CloudTestServer* server;
    QString feedUrl;
    VirtualClock clock;
    QtCloudHttpTransport transport{{QStringLiteral(QUILLO_TEST_CA_DIR "/ca.pem")}, clock};
    InMemoryUserDefaults defaults;
    FakeWorkspace workspace;
    FakeAccessibilityPermission permission;
    quillo::testing::FakeToastScreens screens;
    quillo::testing::SignedOutCloudState cloud;
    RecordingUpdateUserDriver driver;
    QTemporaryDir cache;
    FeedUpdateFramework* framework = nullptr;
    std::unique_ptr<QuilloUpdater> updater;
    std::unique_ptr<AppDelegate> appDelegate;
};

cloudtest::CloudTestServer* UpdatesAgainstServer::server = nullptr;

} // namespace

TEST_F(UpdatesAgainstServer, ANewerReleaseIsFoundAndBadgesTheTray) {
    makeUpdater();
    launchDelegate();
    EXPECT_FALSE(appDelegate->indicator().showsUpdateBadge());

    updater->refreshUpdateAvailability();
    ASSERT_TRUE(pumpUntil([this] { return updater->availableVersion().has_value(); }));
    EXPECT_EQ(updater->availableVersion(), QStringLiteral("9.9"));
    EXPECT_TRUE(appDelegate->indicator().showsUpdateBadge());
    ASSERT_NE(appDelegate->trayItem(), nullptr);
    EXPECT_EQ(appDelegate->trayItem()->trayIcon()->toolTip(), QStringLiteral("Quillo — Update available"));
    EXPECT_TRUE(sessionOver());
    EXPECT_TRUE(driver.shown.isEmpty()); // silent
    EXPECT_TRUE(updater->lastInformationCheck().has_value());
}

TEST_F(UpdatesAgainstServer, InstallingHandsTheServedPackageToTheDesktop) {
    makeUpdater();
    updater->checkForUpdates();
    ASSERT_TRUE(shown(QStringLiteral("found")));
    EXPECT_EQ(driver.shown.last(), QStringLiteral("found 9.9"));
    ASSERT_TRUE(driver.foundItem);
    EXPECT_EQ(driver.foundItem->releaseNotes, QStringLiteral("Sharper corrections."));
    EXPECT_EQ(driver.foundItem->package.url.host(), QStringLiteral("127.0.0.1"));

    driver.choose(UpdateUserChoice::install);
    ASSERT_TRUE(shown(QStringLiteral("installer")));
    ASSERT_EQ(workspace.openedUrls.size(), 1);
    QFile kept(workspace.openedUrls[0].toLocalFile());
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    // What the desktop got is byte for byte what the server serves.
    const cloudtest::Reply served = server->get(driver.foundItem->package.url.path().toStdString());
    ASSERT_EQ(served.status, 200);
    EXPECT_EQ(kept.readAll(), QByteArray::fromStdString(served.text));
    EXPECT_FALSE(updater->availableVersion()); // handed over: nothing pending
    driver.acknowledgeShown();
    EXPECT_FALSE(framework->sessionInProgress());
}

TEST_F(UpdatesAgainstServer, ATamperedFeedIsRefused) {
    ASSERT_EQ(server->control("update-feed", {{"tamperFeed", true}}).status, 200);
    makeUpdater();
    updater->checkForUpdates();
    ASSERT_TRUE(shown(QStringLiteral("error")));
    EXPECT_EQ(driver.error, UpdateError::signatureInvalid());
    EXPECT_FALSE(updater->availableVersion());
    driver.acknowledgeShown();

    updater->refreshUpdateAvailability();
    EXPECT_TRUE(sessionOver());
    EXPECT_FALSE(updater->availableVersion());
    EXPECT_TRUE(workspace.openedUrls.isEmpty());
}

TEST_F(UpdatesAgainstServer, AFeedSignedWithAnotherKeyIsRefused) {
    makeUpdater(QStringLiteral("ve+JnEM4VSdDhcDSwDn5c5aVxwT47q8Yh4Ai26/lNYk="));
    updater->checkForUpdates();
    ASSERT_TRUE(shown(QStringLiteral("error")));
    EXPECT_EQ(driver.error, UpdateError::signatureInvalid());
}

TEST_F(UpdatesAgainstServer, ATamperedPackageIsNeverOpened) {
    ASSERT_EQ(server->control("update-feed", {{"tamperPackage", true}}).status, 200);
    makeUpdater();
    updater->checkForUpdates();
    ASSERT_TRUE(shown(QStringLiteral("found")));
    driver.choose(UpdateUserChoice::install);
    ASSERT_TRUE(shown(QStringLiteral("error")));
    EXPECT_EQ(driver.error, UpdateError::packageMismatch());
    EXPECT_TRUE(workspace.openedUrls.isEmpty());
    EXPECT_EQ(updater->availableVersion(), QStringLiteral("9.9")); // still on offer
}

TEST_F(UpdatesAgainstServer, TheSameVersionIsUpToDate) {
    ASSERT_EQ(server->control("update-feed", {{"version", "0.1.0"}, {"buildNumber", "1"}}).status, 200);
    makeUpdater();
    launchDelegate();
    updater->refreshUpdateAvailability();
    ASSERT_TRUE(sessionOver());
    EXPECT_FALSE(updater->availableVersion());
    EXPECT_FALSE(appDelegate->indicator().showsUpdateBadge());

    updater->checkForUpdates();
    ASSERT_TRUE(shown(QStringLiteral("not found")));
    driver.acknowledgeShown();

    // A new build of the same version is an update.
    ASSERT_EQ(server->control("update-feed", {{"buildNumber", "2"}}).status, 200);
    clock.advance(3600);
    updater->refreshUpdateAvailability();
    ASSERT_TRUE(pumpUntil([this] { return updater->availableVersion().has_value(); }));
    EXPECT_TRUE(appDelegate->indicator().showsUpdateBadge());
}
