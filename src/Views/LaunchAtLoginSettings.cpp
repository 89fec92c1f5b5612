#include "Views/LaunchAtLoginSettings.h"

#include "Support/Logging.h"
#include "Support/QuilloAppEnvironment.h"
#include "Views/XdgAutostartEntry.h"

#include <QCoreApplication>
#include <exception>

namespace quillo {

namespace {

QString applicationId() { return QuilloAppEnvironment::current().bundleIdentifier; }

QString executable() {
    // An AppImage runs from a temporary mount; the image itself is what must start at login.
    const QString appImage = qEnvironmentVariable("APPIMAGE");
    return appImage.isEmpty() ? QCoreApplication::applicationFilePath() : appImage;
}

} // namespace

LaunchAtLoginSettings::LaunchAtLoginSettings(ReadStatus readStatus, ApplyEnabled applyEnabled, QObject* parent)
    : QObject(parent), readStatus_(std::move(readStatus)), applyEnabled_(std::move(applyEnabled)) {
    if (!readStatus_) readStatus_ = [] { return XdgAutostartEntry::status(applicationId()); };
    if (!applyEnabled_) {
        applyEnabled_ = [](bool enabled) {
            if (enabled) XdgAutostartEntry::write(applicationId(), executable(), QuilloAppEnvironment::displayName());
            else XdgAutostartEntry::remove(applicationId());
        };
    }
    status_ = readStatus_();
}

void LaunchAtLoginSettings::setEnabled(bool enabled) {
    setErrorMessage(std::nullopt);
    if (enabled != isEnabled()) {
        try {
            applyEnabled_(enabled);
        } catch (const std::exception& error) {
            setErrorMessage(failureMessage);
            qCCritical(lcApp, "Failed to update launch at login: %s", error.what());
        }
    }
    refresh();
}

void LaunchAtLoginSettings::refresh() { setStatus(readStatus_()); }

void LaunchAtLoginSettings::setStatus(LaunchAtLoginStatus status) {
    if (status_ == status) return;
    status_ = status;
    emit statusChanged();
}

void LaunchAtLoginSettings::setErrorMessage(std::optional<QString> message) {
    if (errorMessage_ == message) return;
    errorMessage_ = std::move(message);
    emit errorMessageChanged();
}

} // namespace quillo
