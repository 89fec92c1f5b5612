#pragma once

#include "Services/UpdateFramework.h"
#include "Support/UpdateFeedConfiguration.h"

namespace quillo {

// An update framework that only records what it is asked, for tests of the updater's rules.
// Tests play the framework's side through `delegate` and the set...() helpers.
class FakeUpdateFramework final : public UpdateFramework {
    Q_OBJECT
public:
    FakeUpdateFramework(UpdateFeedConfiguration configuration, UpdateFrameworkDelegate& delegate)
        : configuration(std::move(configuration)), delegate(delegate) {}

    void startUpdater() override {
        ++starts;
        started = true;
        setCanCheck(!inSession);
    }
    bool hasStarted() const override { return started; }
    bool automaticallyChecksForUpdates() const override { return automaticChecks; }
    void setAutomaticallyChecksForUpdates(bool value) override {
        ++automaticChecksWrites;
        if (automaticChecks == value) return;
        automaticChecks = value;
        emit automaticallyChecksForUpdatesChanged();
    }
    bool automaticallyDownloadsUpdates() const override { return automaticDownloads; }
    void setAutomaticallyDownloadsUpdates(bool value) override {
        ++automaticDownloadsWrites;
        if (automaticDownloads == value) return;
        automaticDownloads = value;
        emit automaticallyDownloadsUpdatesChanged();
    }
    bool canCheckForUpdates() const override { return canCheck; }
    bool sessionInProgress() const override { return inSession; }
    void checkForUpdates() override { ++userChecks; }
    void checkForUpdateInformation() override { ++informationChecks; }

    // The framework's own side.
    void setCanCheck(bool value) {
        if (canCheck == value) return;
        canCheck = value;
        emit canCheckForUpdatesChanged();
    }
    void setSessionInProgress(bool value) {
        inSession = value;
        setCanCheck(started && !value);
    }

    UpdateFeedConfiguration configuration;
    UpdateFrameworkDelegate& delegate;
    bool started = false;
    bool automaticChecks = false;
    bool automaticDownloads = false;
    bool canCheck = false;
    bool inSession = false;
    int starts = 0;
    int userChecks = 0;
    int informationChecks = 0;
    int automaticChecksWrites = 0;
    int automaticDownloadsWrites = 0;
};

} // namespace quillo
