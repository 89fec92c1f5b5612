#include "Platform/Linux/LinuxWebAuthenticationSession.h"

#include "Support/Logging.h"

#include <QDesktopServices>

namespace quillo {

LinuxWebAuthenticationSession::LinuxWebAuthenticationSession(BrowserOpener opener) : opener_(std::move(opener)) {
    if (!opener_) opener_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

LinuxWebAuthenticationSession::~LinuxWebAuthenticationSession() = default;

bool LinuxWebAuthenticationSession::start(const QUrl& url, const QString& callbackScheme, Completion completion) {
    if (completion_ || !url.isValid() || callbackScheme.isEmpty()) return false;
    if (!opener_(url)) {
        qCWarning(lcAuth) << "The browser could not be opened";
        return false;
    }
    // The callback comes back through the application, not through this object.
    completion_ = std::move(completion);
    return true;
}

void LinuxWebAuthenticationSession::cancel() { completion_ = nullptr; }

} // namespace quillo
