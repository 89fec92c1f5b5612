#include "Services/QuilloUpdater.h"

#include "Support/Logging.h"
#include "Support/QuilloAppEnvironment.h"

namespace quillo {

// The framework's questions, answered for the updater.
class QuilloUpdater::FrameworkDelegate final : public UpdateFrameworkDelegate {
public:
    explicit FrameworkDelegate(QuilloUpdater& owner) : owner_(owner) {}

    // The onboarding choices replace that question.
    bool shouldPromptForPermissionToCheckForUpdates() override { return false; }
    void didFindValidUpdate(const UpdateFeedItem& item) override { owner_.setAvailableVersion(item.displayVersion); }
    void didNotFindUpdate() override { owner_.setAvailableVersion(std::nullopt); }
    void willShowUpdate(const UpdateFeedItem& item) override { owner_.setAvailableVersion(item.displayVersion); }
    void userDidMakeChoice(UpdateUserChoice, const UpdateFeedItem&, std::optional<UpdateStage> state) override {
        if (!state) owner_.setAvailableVersion(std::nullopt);
    }
    // Non-critical updates found on schedule show as the badge; critical ones interrupt.
    bool supportsGentleScheduledUpdateReminders() override { return true; }
    bool standardUserDriverShouldHandleShowingScheduledUpdate(const UpdateFeedItem& item) override {
        return item.critical;
    }

private:
    QuilloUpdater& owner_;
};

QuilloUpdater::QuilloUpdater(QObject* parent) : QObject(parent), clock_(&Clock::shared()) {}

QuilloUpdater::QuilloUpdater(Dependencies dependencies, QObject* parent)
    : QObject(parent), clock_(&dependencies.clock), delegate_(std::make_unique<FrameworkDelegate>(*this)) {
    isTestBuild_ = QuilloAppEnvironment::current(dependencies.info).bundleIdentifier ==
                   UpdateFeedConfiguration::testBuildBundleIdentifier;
    if (isTestBuild_) return;
    const auto configuration = UpdateFeedConfiguration::from(dependencies.info);
    if (!configuration || !dependencies.makeFramework) {
        qCInfo(lcUpdates, "Updates are not configured in this build");
        return;
    }
    framework_ = dependencies.makeFramework(*configuration, *delegate_);
    if (!framework_) return;
    isConfigured_ = true;

    connect(framework_.get(), &UpdateFramework::canCheckForUpdatesChanged, this, &QuilloUpdater::mirrorFramework);
    connect(framework_.get(), &UpdateFramework::automaticallyChecksForUpdatesChanged, this,
            &QuilloUpdater::mirrorFramework);
    connect(framework_.get(), &UpdateFramework::automaticallyDownloadsUpdatesChanged, this,
            &QuilloUpdater::mirrorFramework);
    mirrorFramework();

    if (dependencies.defaults.integer(onboardingCompletedVersionKey, 0) >= 1) {
        framework_->startUpdater();
        hasStarted_ = true;
    }
}

QuilloUpdater::~QuilloUpdater() {
    // The framework calls its delegate until it is gone.
    framework_.reset();
}

QString QuilloUpdater::unavailableReason() const {
    if (isConfigured_) return {};
    return isTestBuild_ ? testBuildMessage : notConfiguredMessage;
}

void QuilloUpdater::setPublished(bool& field, bool value, void (QuilloUpdater::*changed)()) {
    if (field == value) return;
    field = value;
    emit(this->*changed)();
}

void QuilloUpdater::mirrorFramework() {
    if (!framework_) return;
    setPublished(canCheckForUpdates_, framework_->canCheckForUpdates(), &QuilloUpdater::canCheckForUpdatesChanged);
    setPublished(automaticallyChecksForUpdates_, framework_->automaticallyChecksForUpdates(),
                 &QuilloUpdater::automaticallyChecksForUpdatesChanged);
    setPublished(automaticallyDownloadsUpdates_, framework_->automaticallyDownloadsUpdates(),
                 &QuilloUpdater::automaticallyDownloadsUpdatesChanged);
}

void QuilloUpdater::setAvailableVersion(std::optional<QString> version) {
    if (availableVersion_ == version) return;
    availableVersion_ = std::move(version);
    emit availableVersionChanged();
}

void QuilloUpdater::setAutomaticallyChecksForUpdates(bool value) {
    setPublished(automaticallyChecksForUpdates_, value, &QuilloUpdater::automaticallyChecksForUpdatesChanged);
    if (framework_ && framework_->automaticallyChecksForUpdates() != value)
        framework_->setAutomaticallyChecksForUpdates(value);
}

void QuilloUpdater::setAutomaticallyDownloadsUpdates(bool value) {
    setPublished(automaticallyDownloadsUpdates_, value, &QuilloUpdater::automaticallyDownloadsUpdatesChanged);
    if (framework_ && framework_->automaticallyDownloadsUpdates() != value)
        framework_->setAutomaticallyDownloadsUpdates(value);
}

void QuilloUpdater::checkForUpdates() {
    if (framework_) framework_->checkForUpdates();
}

void QuilloUpdater::refreshUpdateAvailability() {
    if (!hasStarted_ || !framework_ || framework_->sessionInProgress()) return;
    const double now = clock_->uptimeSeconds();
    if (lastInformationCheck_ && now - *lastInformationCheck_ < informationCheckInterval) return;
    lastInformationCheck_ = now;
    framework_->checkForUpdateInformation();
}

void QuilloUpdater::startAfterOnboarding() {
    if (!framework_ || hasStarted_) return;
    framework_->startUpdater();
    hasStarted_ = true;
}

void QuilloUpdater::applyOnboardingPreferences(bool checkAutomatically, bool installAutomatically) {
    // Installing automatically means nothing without checking automatically.
    const bool downloads = checkAutomatically && installAutomatically;
    if (framework_) {
        framework_->setAutomaticallyChecksForUpdates(checkAutomatically);
        framework_->setAutomaticallyDownloadsUpdates(downloads);
    }
    setPublished(automaticallyChecksForUpdates_, checkAutomatically,
                 &QuilloUpdater::automaticallyChecksForUpdatesChanged);
    setPublished(automaticallyDownloadsUpdates_, downloads, &QuilloUpdater::automaticallyDownloadsUpdatesChanged);
}

} // namespace quillo
