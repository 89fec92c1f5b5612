#pragma once

#include "Platform/UserDefaults.h"
#include "Services/UpdateFramework.h"
#include "Support/Clock.h"
#include "Support/QuilloBundleInfo.h"
#include "Support/UpdateFeedConfiguration.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace quillo {

// Software updates: checks start only after onboarding, follow the user's two update choices,
// and publish whether a newer version is available (the tray badge and the settings banner).
// Main thread only.
class QuilloUpdater : public QObject {
    Q_OBJECT
public:
    // Makes the update framework for a configured build, with the updater as its delegate.
    using FrameworkFactory =
        std::function<std::unique_ptr<UpdateFramework>(const UpdateFeedConfiguration&, UpdateFrameworkDelegate&)>;

    struct Dependencies {
        UserDefaults& defaults;
        Clock& clock;
        QuilloInfoDictionary info = QuilloBundleInfo::main();
        FrameworkFactory makeFramework;
    };

    static inline const QString onboardingCompletedVersionKey = QStringLiteral("quilloOnboardingCompletedVersion");
    // Silent availability checks are at most this far apart.
    static constexpr double informationCheckInterval = 3600.0;

    // An updater that can do nothing: no feed is configured.
    explicit QuilloUpdater(QObject* parent = nullptr);
    // Reads the build's update configuration from `info`; makes and (after onboarding) starts
    // the framework when updates are possible in this build.
    explicit QuilloUpdater(Dependencies dependencies, QObject* parent = nullptr);
    ~QuilloUpdater() override;

    bool canCheckForUpdates() const { return canCheckForUpdates_; }
    bool isConfigured() const { return isConfigured_; }
    // Why updates are off, for the settings window: empty when configured.
    QString unavailableReason() const;
    bool isTestBuild() const { return isTestBuild_; }
    const std::optional<QString>& availableVersion() const { return availableVersion_; }
    bool automaticallyChecksForUpdates() const { return automaticallyChecksForUpdates_; }
    bool automaticallyDownloadsUpdates() const { return automaticallyDownloadsUpdates_; }
    bool hasStarted() const { return hasStarted_; }
    // The framework behind the updater; none when updates are not configured.
    UpdateFramework* updaterController() const { return framework_.get(); }
    // Uptime of the last silent availability check.
    std::optional<double> lastInformationCheck() const { return lastInformationCheck_; }

    void setAutomaticallyChecksForUpdates(bool value);
    void setAutomaticallyDownloadsUpdates(bool value);

    // A check with the standard user interface; nothing without a feed.
    void checkForUpdates();
    // A silent availability check, at most once an hour.
    void refreshUpdateAvailability();
    void startAfterOnboarding();
    void applyOnboardingPreferences(bool checkAutomatically, bool installAutomatically);

    static inline const QString testBuildMessage = QStringLiteral("Sparkle updates are disabled in this test build.");
    static inline const QString notConfiguredMessage = QStringLiteral("Updates are not configured yet.");

signals:
    void canCheckForUpdatesChanged();
    void availableVersionChanged();
    void automaticallyChecksForUpdatesChanged();
    void automaticallyDownloadsUpdatesChanged();

protected:
    bool canCheckForUpdates_ = false;
    bool isConfigured_ = false;
    bool isTestBuild_ = false;
    std::optional<QString> availableVersion_;
    bool automaticallyChecksForUpdates_ = false;
    bool automaticallyDownloadsUpdates_ = false;
    bool hasStarted_ = false;

private:
    class FrameworkDelegate;

    void setAvailableVersion(std::optional<QString> version);
    void mirrorFramework();
    void setPublished(bool& field, bool value, void (QuilloUpdater::*changed)());

    Clock* clock_ = nullptr;
    std::unique_ptr<FrameworkDelegate> delegate_;
    std::unique_ptr<UpdateFramework> framework_;
    std::optional<double> lastInformationCheck_;
};

} // namespace quillo
