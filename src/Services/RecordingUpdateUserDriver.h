#pragma once

#include "Services/UpdateUserDriver.h"

#include <QStringList>
#include <optional>

namespace quillo {

// A user driver that records what it was asked to show and keeps the callbacks, so a test
// answers as the user would (or leaves the dialog up).
class RecordingUpdateUserDriver final : public UpdateUserDriver {
public:
    void showUserInitiatedUpdateCheck(std::function<void()> cancel) override {
        shown.append(QStringLiteral("checking"));
        this->cancel = std::move(cancel);
    }
    void showUpdateFound(const UpdateFeedItem& item, UpdateStage stage,
                         std::function<void(UpdateUserChoice)> reply) override {
        shown.append(QStringLiteral("found ") + item.displayVersion);
        foundItem = item;
        foundStage = stage;
        this->reply = std::move(reply);
    }
    void showUpdateNotFound(std::function<void()> acknowledge) override {
        shown.append(QStringLiteral("not found"));
        this->acknowledge = std::move(acknowledge);
    }
    void showUpdaterError(const UpdateError& error, std::function<void()> acknowledge) override {
        shown.append(QStringLiteral("error ") + error.description());
        this->error = error;
        this->acknowledge = std::move(acknowledge);
    }
    void showDownloadInProgress(const UpdateFeedItem& item, std::function<void()> cancel) override {
        shown.append(QStringLiteral("downloading ") + item.displayVersion);
        this->cancel = std::move(cancel);
    }
    void showInstallerOpened(const UpdateFeedItem& item, const QString& packagePath,
                             std::function<void()> acknowledge) override {
        shown.append(QStringLiteral("installer ") + item.displayVersion);
        installedPackage = packagePath;
        this->acknowledge = std::move(acknowledge);
    }
    void showUpdateInFocus() override { ++focusRequests; }
    void dismissUpdateInstallation() override { ++dismissals; }

    // Answers as the user; each callback runs once.
    void choose(UpdateUserChoice choice) { take(reply)(choice); }
    void acknowledgeShown() { take(acknowledge)(); }
    void cancelShown() { take(cancel)(); }

    QStringList shown;
    std::optional<UpdateFeedItem> foundItem;
    std::optional<UpdateStage> foundStage;
    std::optional<UpdateError> error;
    QString installedPackage;
    int focusRequests = 0;
    int dismissals = 0;
    std::function<void()> cancel;
    std::function<void()> acknowledge;
    std::function<void(UpdateUserChoice)> reply;

private:
    template <typename F> static F take(F& callback) {
        F taken = std::move(callback);
        callback = nullptr;
        if (!taken) taken = [](auto...) {};
        return taken;
    }
};

} // namespace quillo
