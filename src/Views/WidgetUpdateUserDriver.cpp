#include "Views/WidgetUpdateUserDriver.h"

#include "Views/UpdateDialog.h"

namespace quillo {

namespace {

// Takes a stored callback so that it runs at most once.
template <typename F> F take(F& callback) {
    F taken = std::move(callback);
    callback = nullptr;
    return taken;
}

} // namespace

WidgetUpdateUserDriver::WidgetUpdateUserDriver(QString installedVersion, std::function<bool(const QUrl&)> openUrl,
                                               QObject* parent)
    : QObject(parent), installedVersion_(std::move(installedVersion)), openUrl_(std::move(openUrl)) {}

WidgetUpdateUserDriver::~WidgetUpdateUserDriver() {
    clearCallbacks();
    if (dialog_) {
        dialog_->closeQuietly();
        delete dialog_.data();
    }
}

void WidgetUpdateUserDriver::clearCallbacks() {
    cancel_ = nullptr;
    acknowledge_ = nullptr;
    reply_ = nullptr;
}

UpdateDialog& WidgetUpdateUserDriver::present() {
    clearCallbacks();
    if (!dialog_) {
        dialog_ = new UpdateDialog(installedVersion_);
        connect(dialog_, &UpdateDialog::cancelRequested, this, [this] {
            if (auto cancel = take(cancel_)) cancel();
        });
        connect(dialog_, &UpdateDialog::acknowledged, this, [this] {
            if (auto acknowledge = take(acknowledge_)) acknowledge();
        });
        connect(dialog_, &UpdateDialog::choiceMade, this, [this](UpdateUserChoice choice) {
            if (auto reply = take(reply_)) reply(choice);
        });
        connect(dialog_, &UpdateDialog::releasePageRequested, this, [this](const QUrl& url) {
            if (openUrl_) openUrl_(url);
        });
    }
    return *dialog_;
}

void WidgetUpdateUserDriver::showUserInitiatedUpdateCheck(std::function<void()> cancel) {
    UpdateDialog& dialog = present();
    cancel_ = std::move(cancel);
    dialog.showChecking();
    showUpdateInFocus();
}

void WidgetUpdateUserDriver::showUpdateFound(const UpdateFeedItem& item, UpdateStage stage,
                                             std::function<void(UpdateUserChoice)> reply) {
    UpdateDialog& dialog = present();
    reply_ = std::move(reply);
    dialog.showFound(item, stage);
    showUpdateInFocus();
}

void WidgetUpdateUserDriver::showUpdateNotFound(std::function<void()> acknowledge) {
    UpdateDialog& dialog = present();
    acknowledge_ = std::move(acknowledge);
    dialog.showNotFound();
    showUpdateInFocus();
}

void WidgetUpdateUserDriver::showUpdaterError(const UpdateError& error, std::function<void()> acknowledge) {
    UpdateDialog& dialog = present();
    acknowledge_ = std::move(acknowledge);
    dialog.showError(error.userMessage());
    showUpdateInFocus();
}

void WidgetUpdateUserDriver::showDownloadInProgress(const UpdateFeedItem& item, std::function<void()> cancel) {
    UpdateDialog& dialog = present();
    cancel_ = std::move(cancel);
    dialog.showDownloading(item);
    showUpdateInFocus();
}

void WidgetUpdateUserDriver::showInstallerOpened(const UpdateFeedItem& item, const QString& packagePath,
                                                 std::function<void()> acknowledge) {
    UpdateDialog& dialog = present();
    acknowledge_ = std::move(acknowledge);
    dialog.showInstallerOpened(item, packagePath);
    showUpdateInFocus();
}

void WidgetUpdateUserDriver::showUpdateInFocus() {
    if (!dialog_) return;
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
}

void WidgetUpdateUserDriver::dismissUpdateInstallation() {
    clearCallbacks();
    if (!dialog_) return;
    UpdateDialog* dialog = dialog_;
    dialog_ = nullptr;
    dialog->closeQuietly();
    dialog->deleteLater();
}

} // namespace quillo
