#pragma once

#include "Services/UpdateUserDriver.h"
#include "Views/UpdateDialog.h"

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <functional>

namespace quillo {

// The update dialogs as Qt Widgets: one "Software Update" window per session, made when a
// session first shows something and released when it ends. Main thread only.
class WidgetUpdateUserDriver final : public QObject, public UpdateUserDriver {
    Q_OBJECT
public:
    // `installedVersion`: the running version as the user knows it; `openUrl` opens a release page.
    WidgetUpdateUserDriver(QString installedVersion, std::function<bool(const QUrl&)> openUrl,
                           QObject* parent = nullptr);
    ~WidgetUpdateUserDriver() override;

    void showUserInitiatedUpdateCheck(std::function<void()> cancel) override;
    void showUpdateFound(const UpdateFeedItem& item, UpdateStage stage,
                         std::function<void(UpdateUserChoice)> reply) override;
    void showUpdateNotFound(std::function<void()> acknowledge) override;
    void showUpdaterError(const UpdateError& error, std::function<void()> acknowledge) override;
    void showDownloadInProgress(const UpdateFeedItem& item, std::function<void()> cancel) override;
    void showInstallerOpened(const UpdateFeedItem& item, const QString& packagePath,
                             std::function<void()> acknowledge) override;
    void showUpdateInFocus() override;
    void dismissUpdateInstallation() override;

    // The open window, for the shell and tests.
    UpdateDialog* dialog() const { return dialog_.data(); }

private:
    UpdateDialog& present();
    void clearCallbacks();

    QString installedVersion_;
    std::function<bool(const QUrl&)> openUrl_;
    QPointer<UpdateDialog> dialog_;
    std::function<void()> cancel_;
    std::function<void()> acknowledge_;
    std::function<void(UpdateUserChoice)> reply_;
};

} // namespace quillo
