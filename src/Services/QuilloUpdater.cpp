#include "Services/QuilloUpdater.h"

namespace quillo {

QuilloUpdater::QuilloUpdater(QObject* parent) : QObject(parent) {}

QuilloUpdater::~QuilloUpdater() = default;

QString QuilloUpdater::unavailableReason() const {
    if (isConfigured_) return {};
    return isTestBuild_ ? testBuildMessage : notConfiguredMessage;
}

void QuilloUpdater::setAutomaticallyChecksForUpdates(bool value) {
    if (automaticallyChecksForUpdates_ == value) return;
    automaticallyChecksForUpdates_ = value;
    emit automaticallyChecksForUpdatesChanged();
}

void QuilloUpdater::setAutomaticallyDownloadsUpdates(bool value) {
    if (automaticallyDownloadsUpdates_ == value) return;
    automaticallyDownloadsUpdates_ = value;
    emit automaticallyDownloadsUpdatesChanged();
}

void QuilloUpdater::checkForUpdates() {}

void QuilloUpdater::refreshUpdateAvailability() {}

void QuilloUpdater::startAfterOnboarding() {}

void QuilloUpdater::applyOnboardingPreferences(bool checkAutomatically, bool installAutomatically) {
    setAutomaticallyChecksForUpdates(checkAutomatically);
    setAutomaticallyDownloadsUpdates(checkAutomatically && installAutomatically);
}

} // namespace quillo
