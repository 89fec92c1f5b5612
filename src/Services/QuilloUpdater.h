#pragma once

#include <QObject>
#include <QString>
#include <optional>

namespace quillo {

// Software updates: checks start only after onboarding, follow the user's two update choices,
// and publish whether a newer version is available (the tray badge and the settings banner).
// Main thread only.
class QuilloUpdater : public QObject {
    Q_OBJECT
public:
    // An updater that can do nothing: no feed is configured.
    explicit QuilloUpdater(QObject* parent = nullptr);
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
};

} // namespace quillo
