#pragma once

#include "Support/UpdateFeed.h"

#include <QObject>
#include <optional>

namespace quillo {

// Where an update stands when the user answers it.
enum class UpdateStage {
    notDownloaded,
    downloaded, // the verified package waits in the cache folder
};

// The user's answer to an update shown to them.
enum class UpdateUserChoice {
    install, // download (when needed), verify and hand the package to the desktop
    skip,    // never offer this release again unprompted
    dismiss, // remind later
};

// The questions the update framework asks its owner, and what it tells it.
class UpdateFrameworkDelegate {
public:
    virtual ~UpdateFrameworkDelegate() = default;

    // Whether to ask the user before the first automatic check.
    virtual bool shouldPromptForPermissionToCheckForUpdates() = 0;
    // A check found an update for this installation.
    virtual void didFindValidUpdate(const UpdateFeedItem& item) = 0;
    // A check found nothing newer (or only a skipped release).
    virtual void didNotFindUpdate() = 0;
    // The user driver is about to show this update.
    virtual void willShowUpdate(const UpdateFeedItem& item) = 0;
    // The user answered an update. `state` is where the update still stands, or none when the
    // answer left nothing pending (skipped, or handed to the desktop's installer).
    virtual void userDidMakeChoice(UpdateUserChoice choice, const UpdateFeedItem& item,
                                   std::optional<UpdateStage> state) = 0;
    // Whether scheduled checks may find updates without showing them (the owner reminds gently).
    virtual bool supportsGentleScheduledUpdateReminders() = 0;
    // For a scheduled check that found `item`: whether the user driver shows it right away.
    virtual bool standardUserDriverShouldHandleShowingScheduledUpdate(const UpdateFeedItem& item) = 0;
};

// The software-update framework behind the updater: a feed checked on a schedule and on
// demand, downloads and their hand-over to the desktop. The updater reaches it only through
// this seam, so that its own rules are tested with a fake. Main thread only.
class UpdateFramework : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~UpdateFramework() override = default;

    // Starts scheduled checks (when automatic checks are on) and allows manual ones.
    virtual void startUpdater() = 0;
    virtual bool hasStarted() const = 0;

    virtual bool automaticallyChecksForUpdates() const = 0;
    virtual void setAutomaticallyChecksForUpdates(bool value) = 0;
    virtual bool automaticallyDownloadsUpdates() const = 0;
    virtual void setAutomaticallyDownloadsUpdates(bool value) = 0;
    // Started, and no session in progress.
    virtual bool canCheckForUpdates() const = 0;
    // A check, download or dialog of an update is under way.
    virtual bool sessionInProgress() const = 0;

    // A check with the user driver's dialogs.
    virtual void checkForUpdates() = 0;
    // A check without any dialog: only the delegate hears of the result.
    virtual void checkForUpdateInformation() = 0;

signals:
    void canCheckForUpdatesChanged();
    void automaticallyChecksForUpdatesChanged();
    void automaticallyDownloadsUpdatesChanged();
};

} // namespace quillo
