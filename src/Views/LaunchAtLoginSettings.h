#pragma once

#include "Views/LaunchAtLoginStatus.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

namespace quillo {

// The "Launch at login" switch's model over the desktop's autostart entry.
class LaunchAtLoginSettings : public QObject {
    Q_OBJECT
public:
    using ReadStatus = std::function<LaunchAtLoginStatus()>;
    using ApplyEnabled = std::function<void(bool)>; // throws on failure

    static inline const QString failureMessage = QStringLiteral(
        "Your desktop could not change Launch at Login. Open your desktop's Startup Applications settings and try "
        "there.");
    static inline const QString approvalMessage =
        QStringLiteral("Allow Quillo in your desktop's Startup Applications settings to enable launch at login.");

    // Defaults: the autostart entry of this build's application identifier, starting this
    // executable.
    explicit LaunchAtLoginSettings(ReadStatus readStatus = {}, ApplyEnabled applyEnabled = {},
                                   QObject* parent = nullptr);

    LaunchAtLoginStatus status() const { return status_; }
    const std::optional<QString>& errorMessage() const { return errorMessage_; }
    bool isEnabled() const { return status_ == LaunchAtLoginStatus::enabled; }
    bool requiresApproval() const { return status_ == LaunchAtLoginStatus::requiresApproval; }

    void setEnabled(bool enabled);
    void refresh();

signals:
    void statusChanged();
    void errorMessageChanged();

private:
    void setStatus(LaunchAtLoginStatus status);
    void setErrorMessage(std::optional<QString> message);

    ReadStatus readStatus_;
    ApplyEnabled applyEnabled_;
    LaunchAtLoginStatus status_ = LaunchAtLoginStatus::notRegistered;
    std::optional<QString> errorMessage_;
};

} // namespace quillo
