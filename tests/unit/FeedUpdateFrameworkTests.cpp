// The update framework over a scripted transport and a virtual clock: scheduled and manual
// checks, the signed feed's verdicts, downloads that must match the feed, and the hand-over
// of the verified package to the desktop.
#include "UpdateTestSupport.h"

#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Services/FeedUpdateFramework.h"
#include "Services/RecordingUpdateUserDriver.h"
#include "Services/ScriptedCloudHttpTransport.h"
#include "Support/VirtualClock.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quillo;
using namespace updatetest;
using Step = ScriptedCloudHttpTransport::Step;

namespace {

const QUrl kFeedUrl(QStringLiteral("https://updates.example/feed.json"));

class RecordingDelegate final : public UpdateFrameworkDelegate {
public:
    QStringList events;
    bool prompt = false;

    bool shouldPromptForPermissionToCheckForUpdates() override { return prompt; }
    void didFindValidUpdate(const UpdateFeedItem& item) override {
        events.append(QStringLiteral("found ") + item.version);
    }
    void didNotFindUpdate() override { events.append(QStringLiteral("none")); }
    void willShowUpdate(const UpdateFeedItem& item) override { events.append(QStringLiteral("show ") + item.version); }
    void userDidMakeChoice(UpdateUserChoice choice, const UpdateFeedItem&, std::optional<UpdateStage> state) override {
        static const char* names[] = {"install", "skip", "dismiss"};
        events.append(QStringLiteral("choice %1 %2")
                          .arg(QLatin1String(names[static_cast<int>(choice)]),
                               state ? (*state == UpdateStage::downloaded ? QStringLiteral("downloaded")
                                                                          : QStringLiteral("notDownloaded"))
                                     : QStringLiteral("none")));
    }
    bool supportsGentleScheduledUpdateReminders() override { return true; }
    bool standardUserDriverShouldHandleShowingScheduledUpdate(const UpdateFeedItem& item) override {
        return item.critical;
    }
};

// A desktop that may refuse to open files.
class TestWorkspace final : public Workspace {
public:
    bool opens = true;
    QList<QUrl> opened;
    std::optional<RunningApplication> frontmostApplication() const override { return std::nullopt; }
    bool isTerminated(qint32) const override { return false; }
    qint32 currentProcessIdentifier() const override { return 1; }
    bool openUrl(const QUrl& url) override {
        opened.append(url);
        return opens;
    }
};

class FeedUpdateFrameworkTest : public ::testing::Test {
protected:
    VirtualClock clock;
    ScriptedCloudHttpTransport transport{clock};
    InMemoryUserDefaults defaults;
    TestWorkspace workspace;
    RecordingUpdateUserDriver driver;
    RecordingDelegate delegate;
    QTemporaryDir cache;
    TestSigningKey key;
    QByteArray feedDocument;
    int feedStatus = 200;
    QHash<QString, QByteArray> packages; // URL -> bytes served
    std::optional<bool> automaticByDefault = true;
    std::unique_ptr<FeedUpdateFramework> framework;

    void SetUp() override {
        publish({item(QStringLiteral("2.0"), QStringLiteral("200"))});
        transport.setHandler([this](const CloudHttpRequest& request) {
            if (request.url == kFeedUrl) return Step::json(feedStatus, feedDocument);
            const auto it = packages.constFind(request.url.toString());
            if (it == packages.constEnd()) return Step::answer(404);
            return Step::answer(200, *it);
        });
    }

    void publish(const QJsonArray& items) {
        feedDocument = key.document(feed(items));
        for (const QJsonValue& value : items) {
            const QJsonObject object = value.toObject();
            const QString version = object.value(QStringLiteral("version")).toString();
            packages.insert(object.value(QStringLiteral("package")).toObject().value(QStringLiteral("url")).toString(),
                            packageBytes(version));
        }
    }

    void make(QUrl feedUrl = kFeedUrl) {
        UpdateFeedConfiguration configuration{feedUrl, key.publicKeyBase64(), automaticByDefault};
        framework = std::make_unique<FeedUpdateFramework>(
            FeedUpdateFramework::Environment{
                transport, defaults, clock, workspace, driver,
                InstalledRelease{QStringLiteral("1.0"), QStringLiteral("100"), QStringLiteral("6.1.0-18-amd64")},
                cache.filePath(QStringLiteral("Updates"))},
            configuration, delegate);
    }
    void start(QUrl feedUrl = kFeedUrl) {
        make(feedUrl);
        framework->startUpdater();
    }

    int feedRequests() const {
        return static_cast<int>(std::count_if(transport.sent().begin(), transport.sent().end(),
                                              [](const auto& sent) { return sent.request.url == kFeedUrl; }));
    }
    int packageRequests() const { return static_cast<int>(transport.sent().size()) - feedRequests(); }
    double wallSeconds() const { return static_cast<double>(clock.now().toMSecsSinceEpoch()) / 1000.0; }
    QString keptPackage() const { return cache.filePath(QStringLiteral("Updates/2.0-200/quillo-2.0.deb")); }
};

} // namespace

TEST_F(FeedUpdateFrameworkTest, ScheduledChecksFollowTheChoiceAndTheLastCheck) {
    make();
    EXPECT_FALSE(framework->canCheckForUpdates());
    EXPECT_FALSE(framework->nextScheduledCheck()); // not started
    framework->startUpdater();
    EXPECT_TRUE(framework->canCheckForUpdates());
    ASSERT_TRUE(framework->nextScheduledCheck());
    EXPECT_DOUBLE_EQ(*framework->nextScheduledCheck() - clock.uptimeSeconds(), 60.0);

    clock.advance(60);
    EXPECT_EQ(feedRequests(), 1);
    EXPECT_DOUBLE_EQ(*defaults.number(FeedUpdateFramework::lastCheckTimeKey), wallSeconds());
    // Gentle: found and reported, but no dialog for an ordinary update.
    EXPECT_EQ(delegate.events, QStringList{QStringLiteral("found 2.0")});
    EXPECT_TRUE(driver.shown.isEmpty());
    EXPECT_FALSE(framework->sessionInProgress());
    clock.advance(86399);
    EXPECT_EQ(feedRequests(), 1);
    clock.advance(1);
    EXPECT_EQ(feedRequests(), 2);

    // Off: no more checks; on again: the schedule resumes from the last check.
    SignalCount changed(framework.get(), &UpdateFramework::automaticallyChecksForUpdatesChanged);
    framework->setAutomaticallyChecksForUpdates(false);
    EXPECT_EQ(changed.size(), 1);
    EXPECT_FALSE(framework->nextScheduledCheck());
    clock.advance(3 * 86400);
    EXPECT_EQ(feedRequests(), 2);
    framework->setAutomaticallyChecksForUpdates(true);
    EXPECT_DOUBLE_EQ(*framework->nextScheduledCheck() - clock.uptimeSeconds(), 60.0); // overdue: after start-up

    // A new run an hour after the last check waits out the rest of the day.
    clock.advance(60);
    EXPECT_EQ(feedRequests(), 3);
    clock.advance(3600);
    start();
    EXPECT_DOUBLE_EQ(*framework->nextScheduledCheck() - clock.uptimeSeconds(), 86400.0 - 3600.0);
}

TEST_F(FeedUpdateFrameworkTest, NoScheduleWithoutAutomaticChecks) {
    automaticByDefault = std::nullopt;
    start();
    EXPECT_FALSE(framework->automaticallyChecksForUpdates());
    EXPECT_FALSE(framework->nextScheduledCheck());
    // The build's default, then the user's choice over it.
    automaticByDefault = true;
    start();
    EXPECT_TRUE(framework->nextScheduledCheck());
    defaults.setBoolean(FeedUpdateFramework::automaticChecksKey, false);
    start();
    EXPECT_FALSE(framework->nextScheduledCheck());
    // A framework told to ask first never starts checking on the build's default alone.
    defaults.remove(FeedUpdateFramework::automaticChecksKey);
    delegate.prompt = true;
    start();
    EXPECT_FALSE(framework->nextScheduledCheck());
}

TEST_F(FeedUpdateFrameworkTest, ManualCheckDownloadsVerifiesAndHandsThePackageToTheDesktop) {
    start();
    SignalCount canCheck(framework.get(), &UpdateFramework::canCheckForUpdatesChanged);
    framework->checkForUpdates();
    EXPECT_EQ(driver.shown, (QStringList{QStringLiteral("checking"), QStringLiteral("found 2.0")}));
    EXPECT_EQ(driver.foundStage, UpdateStage::notDownloaded);
    EXPECT_TRUE(framework->sessionInProgress());
    EXPECT_FALSE(framework->canCheckForUpdates());
    EXPECT_EQ(delegate.events, (QStringList{QStringLiteral("found 2.0"), QStringLiteral("show 2.0")}));

    driver.choose(UpdateUserChoice::install);
    EXPECT_EQ(driver.shown.mid(2), (QStringList{QStringLiteral("downloading 2.0"), QStringLiteral("installer 2.0")}));
    EXPECT_EQ(packageRequests(), 1);
    ASSERT_EQ(workspace.opened.size(), 1);
    EXPECT_EQ(workspace.opened[0], QUrl::fromLocalFile(keptPackage()));
    EXPECT_EQ(driver.installedPackage, keptPackage());
    QFile kept(keptPackage());
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), packageBytes(QStringLiteral("2.0")));
    EXPECT_EQ(kept.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), QFileDevice::Permissions());
    EXPECT_EQ(delegate.events.last(), QStringLiteral("choice install none"));

    driver.acknowledgeShown();
    EXPECT_FALSE(framework->sessionInProgress());
    EXPECT_TRUE(framework->canCheckForUpdates());
    EXPECT_EQ(driver.dismissals, 1);
    EXPECT_EQ(canCheck.size(), 2);
}

TEST_F(FeedUpdateFrameworkTest, AutomaticDownloadKeepsTheVerifiedPackageForOneClickInstall) {
    defaults.setBoolean(FeedUpdateFramework::automaticDownloadsKey, true);
    start();
    clock.advance(60);
    EXPECT_EQ(packageRequests(), 1);
    EXPECT_TRUE(QFile::exists(keptPackage()));
    EXPECT_TRUE(driver.shown.isEmpty());
    EXPECT_TRUE(workspace.opened.isEmpty()); // never installed without the user

    framework->checkForUpdates();
    EXPECT_EQ(driver.foundStage, UpdateStage::downloaded);
    driver.choose(UpdateUserChoice::install);
    EXPECT_EQ(packageRequests(), 1);
    EXPECT_EQ(workspace.opened.size(), 1);
    EXPECT_EQ(driver.shown.last(), QStringLiteral("installer 2.0"));

    // A kept file that changed on disk is not trusted: it is fetched again.
    driver.acknowledgeShown();
    QFile changed(keptPackage());
    ASSERT_TRUE(changed.open(QIODevice::ReadWrite));
    changed.write("X");
    changed.close();
    framework->checkForUpdates();
    EXPECT_EQ(driver.foundStage, UpdateStage::notDownloaded);
    driver.choose(UpdateUserChoice::install);
    EXPECT_EQ(packageRequests(), 2);
    EXPECT_EQ(workspace.opened.size(), 2);
}

TEST_F(FeedUpdateFrameworkTest, CriticalUpdatesInterruptEvenOnSchedule) {
    QJsonObject critical = item(QStringLiteral("2.0"), QStringLiteral("200"));
    critical.insert(QStringLiteral("critical"), true);
    publish({critical});
    start();
    clock.advance(60);
    EXPECT_EQ(driver.shown, QStringList{QStringLiteral("found 2.0")});
    EXPECT_TRUE(framework->sessionInProgress());
    // While it shows, the schedule waits and a second ask only brings it forward.
    clock.advance(2 * 86400);
    EXPECT_EQ(feedRequests(), 1);
    framework->checkForUpdates();
    framework->checkForUpdateInformation();
    EXPECT_EQ(driver.focusRequests, 1);
    EXPECT_EQ(feedRequests(), 1);

    driver.choose(UpdateUserChoice::dismiss);
    EXPECT_EQ(delegate.events.last(), QStringLiteral("choice dismiss notDownloaded"));
    EXPECT_FALSE(framework->sessionInProgress());
    EXPECT_TRUE(framework->nextScheduledCheck());
}

TEST_F(FeedUpdateFrameworkTest, FeedsThatFailTheirChecksAreRefusedAsAWhole) {
    const TestSigningKey stranger;
    struct Case {
        const char* name;
        std::function<void()> arrange;
        QString expected;
    };
    const QByteArray good = feed({item(QStringLiteral("2.0"), QStringLiteral("200"))});
    QByteArray changed = good;
    changed.replace("Fixes.", "Fixed.");
    const QByteArray tampered =
        R"({"feed":")" + changed.toBase64() + R"(","signature":")" + key.sign(good).toBase64() + R"("})";
    const Case cases[] = {
        {"signed by another key", [&] { feedDocument = stranger.document(good); },
         QStringLiteral("error signatureInvalid")},
        {"tampered", [&] { feedDocument = tampered; }, QStringLiteral("error signatureInvalid")},
        {"unsigned", [&] { feedDocument = R"({"feed":")" + good.toBase64() + R"("})"; },
         QStringLiteral("error signatureMissing")},
        {"server error", [&] { feedStatus = 503; }, QStringLiteral("error feedUnavailable(status: 503)")},
        {"not found", [&] { feedStatus = 404; }, QStringLiteral("error feedUnavailable(status: 404)")},
    };
    start();
    for (const Case& c : cases) {
        feedStatus = 200;
        feedDocument = key.document(good);
        c.arrange();
        driver.shown.clear();
        delegate.events.clear();
        framework->checkForUpdates();
        EXPECT_EQ(driver.shown, (QStringList{QStringLiteral("checking"), c.expected})) << c.name;
        EXPECT_TRUE(delegate.events.isEmpty()) << c.name;
        driver.acknowledgeShown();
        EXPECT_FALSE(framework->sessionInProgress()) << c.name;
    }
    transport.enqueue(Step::failure(NetworkErrorCode::cannotConnectToHost));
    framework->checkForUpdates();
    EXPECT_EQ(driver.error, UpdateError::feedUnavailable(-1));
    driver.acknowledgeShown();
    EXPECT_TRUE(workspace.opened.isEmpty());
}

TEST_F(FeedUpdateFrameworkTest, OnlyHttpsFeedsAreAsked) {
    start(QUrl(QStringLiteral("http://updates.example/feed.json")));
    framework->checkForUpdates();
    EXPECT_TRUE(transport.sent().empty());
    EXPECT_EQ(driver.error, UpdateError::insecureFeedURL());
}

TEST_F(FeedUpdateFrameworkTest, TheInstalledReleaseIsUpToDate) {
    publish({item(QStringLiteral("1.0"), QStringLiteral("100")), item(QStringLiteral("0.9"), QStringLiteral("90"))});
    start();
    framework->checkForUpdates();
    EXPECT_EQ(driver.shown, (QStringList{QStringLiteral("checking"), QStringLiteral("not found")}));
    EXPECT_EQ(delegate.events, QStringList{QStringLiteral("none")});
    driver.acknowledgeShown();
    EXPECT_FALSE(framework->sessionInProgress());
}

TEST_F(FeedUpdateFrameworkTest, DownloadsThatDoNotMatchTheFeedAreDiscarded) {
    start();
    const QString url = QStringLiteral("https://updates.example/quillo-2.0.deb");
    QByteArray same = packageBytes(QStringLiteral("2.0"));
    same[0] = 'P'; // same size, other bytes
    for (const QByteArray& served : {same, packageBytes(QStringLiteral("2.0")) + "!", QByteArray()}) {
        packages.insert(url, served);
        framework->checkForUpdates();
        driver.choose(UpdateUserChoice::install);
        EXPECT_EQ(driver.error, UpdateError::packageMismatch());
        driver.acknowledgeShown();
    }
    packages.remove(url);
    framework->checkForUpdates();
    driver.choose(UpdateUserChoice::install);
    EXPECT_EQ(driver.error, UpdateError::packageUnavailable(404));
    driver.acknowledgeShown();
    EXPECT_TRUE(workspace.opened.isEmpty());
    EXPECT_FALSE(QFile::exists(keptPackage()));
}

TEST_F(FeedUpdateFrameworkTest, ADesktopThatCannotOpenThePackageIsAnError) {
    workspace.opens = false;
    start();
    framework->checkForUpdates();
    driver.choose(UpdateUserChoice::install);
    EXPECT_EQ(driver.error, UpdateError::installerUnavailable());
    EXPECT_FALSE(delegate.events.contains(QStringLiteral("choice install none")));
}

TEST_F(FeedUpdateFrameworkTest, SkippedReleasesStayQuietUntilTheUserAsks) {
    start();
    framework->checkForUpdates();
    driver.choose(UpdateUserChoice::skip);
    EXPECT_EQ(defaults.string(FeedUpdateFramework::skippedReleaseKey), QStringLiteral("2.0+200"));
    EXPECT_EQ(delegate.events.last(), QStringLiteral("choice skip none"));
    EXPECT_FALSE(framework->sessionInProgress());

    delegate.events.clear();
    framework->checkForUpdateInformation();
    clock.advance(86400);
    EXPECT_EQ(delegate.events, (QStringList{QStringLiteral("none"), QStringLiteral("none")}));
    framework->checkForUpdates();
    EXPECT_EQ(driver.shown.last(), QStringLiteral("found 2.0"));
    driver.choose(UpdateUserChoice::dismiss);

    // A newer release is offered again.
    publish({item(QStringLiteral("2.1"), QStringLiteral("210"))});
    delegate.events.clear();
    framework->checkForUpdateInformation();
    EXPECT_EQ(delegate.events, QStringList{QStringLiteral("found 2.1")});
}

TEST_F(FeedUpdateFrameworkTest, InformationChecksShowNothingAndLeaveTheScheduleAlone) {
    start();
    framework->checkForUpdateInformation();
    EXPECT_EQ(delegate.events, QStringList{QStringLiteral("found 2.0")});
    EXPECT_TRUE(driver.shown.isEmpty());
    EXPECT_FALSE(defaults.contains(FeedUpdateFramework::lastCheckTimeKey));
    EXPECT_FALSE(framework->sessionInProgress());
    EXPECT_EQ(driver.dismissals, 0);
}

TEST_F(FeedUpdateFrameworkTest, CancellingACheckEndsTheSession) {
    start();
    transport.enqueue(Step::hang());
    framework->checkForUpdates();
    EXPECT_TRUE(framework->sessionInProgress());
    driver.cancelShown();
    EXPECT_FALSE(framework->sessionInProgress());
    EXPECT_EQ(driver.dismissals, 1);
    EXPECT_EQ(driver.shown, QStringList{QStringLiteral("checking")});

    // A download cancelled halfway keeps nothing.
    framework->checkForUpdates();
    transport.enqueue(Step::hang());
    driver.choose(UpdateUserChoice::install);
    driver.cancelShown();
    EXPECT_FALSE(framework->sessionInProgress());
    EXPECT_FALSE(QFile::exists(keptPackage()));
    EXPECT_TRUE(workspace.opened.isEmpty());
}

TEST_F(FeedUpdateFrameworkTest, GoingAwayMidCheckIsSafe) {
    start();
    transport.enqueue(Step::hang());
    framework->checkForUpdates();
    framework.reset();
    clock.advance(120);
    EXPECT_TRUE(delegate.events.isEmpty());
    // Late answers from the dialog find nobody and do nothing.
    driver.cancelShown();
}
