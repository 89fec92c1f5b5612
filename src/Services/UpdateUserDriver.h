#pragma once

#include "Services/UpdateFramework.h"
#include "Support/UpdateError.h"
#include "Support/UpdateFeed.h"

#include <QString>
#include <functional>

namespace quillo {

// The dialogs of an update session. The framework calls one show...() at a time for a session
// and ends every session that showed something with dismissUpdateInstallation(). Each callback
// answers at most once; answers that come after the session ended are ignored.
class UpdateUserDriver {
public:
    virtual ~UpdateUserDriver() = default;

    // "Checking for updates…" after the user asked; `cancel` stops the check.
    virtual void showUserInitiatedUpdateCheck(std::function<void()> cancel) = 0;
    // "Quillo X is available", with the release notes and the choices.
    virtual void showUpdateFound(const UpdateFeedItem& item, UpdateStage stage,
                                 std::function<void(UpdateUserChoice)> reply) = 0;
    // The installed version is the newest.
    virtual void showUpdateNotFound(std::function<void()> acknowledge) = 0;
    virtual void showUpdaterError(const UpdateError& error, std::function<void()> acknowledge) = 0;
    // The package is being downloaded and verified; `cancel` stops it.
    virtual void showDownloadInProgress(const UpdateFeedItem& item, std::function<void()> cancel) = 0;
    // The verified package went to the desktop's installer (kept at `packagePath`).
    virtual void showInstallerOpened(const UpdateFeedItem& item, const QString& packagePath,
                                     std::function<void()> acknowledge) = 0;
    // The user asked again while a session shows a dialog: bring it forward.
    virtual void showUpdateInFocus() = 0;
    // The session is over: close whatever it showed.
    virtual void dismissUpdateInstallation() = 0;
};

} // namespace quillo
