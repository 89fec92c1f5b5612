#include "Platform/Linux/LinuxWebAuthenticationSession.h"

#include "Platform/Linux/SingleInstanceChannel.h"
#include "Support/Logging.h"

#include <QDesktopServices>

namespace quillo {

LinuxWebAuthenticationSession::LinuxWebAuthenticationSession(SingleInstanceChannel& channel, BrowserOpener opener,
                                                             QObject* parent)
    : QObject(parent), opener_(std::move(opener)) {
    if (!opener_) opener_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    connect(&channel, &SingleInstanceChannel::messageReceived, this, &LinuxWebAuthenticationSession::received);
}

LinuxWebAuthenticationSession::~LinuxWebAuthenticationSession() = default;

bool LinuxWebAuthenticationSession::start(const QUrl& url, const QString& callbackScheme, Completion completion) {
    if (completion_ || !url.isValid() || callbackScheme.isEmpty()) return false;
    if (!opener_(url)) {
        qCWarning(lcAuth) << "The browser could not be opened";
        return false;
    }
    scheme_ = callbackScheme.toLower();
    completion_ = std::move(completion);
    return true;
}

void LinuxWebAuthenticationSession::cancel() { completion_ = nullptr; }

void LinuxWebAuthenticationSession::received(const QString& message) {
    if (!completion_) return;
    const QUrl url(message, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().toLower() != scheme_) return;
    auto completion = std::move(completion_);
    completion_ = nullptr;
    completion(url, std::nullopt);
}

} // namespace quillo
