#pragma once

#include "Platform/WebAuthenticationSession.h"

#include <functional>

namespace quillo {

// Web sign-in through the user's default browser. The page ends at a "quillo://" address that
// the desktop opens with a second launch of the application (the scheme handler); that launch
// hands the address to the running instance over its single-instance channel, and the
// application delivers it to the OAuth presenter, which finishes the round trip and cancels
// this session. The browser tab cannot be closed from here, so cancel() only forgets the trip.
class LinuxWebAuthenticationSession final : public WebAuthenticationSession {
public:
    // Opens an address in the browser; QDesktopServices::openUrl unless a test stands in.
    using BrowserOpener = std::function<bool(const QUrl&)>;

    explicit LinuxWebAuthenticationSession(BrowserOpener opener = {});
    ~LinuxWebAuthenticationSession() override;

    bool start(const QUrl& url, const QString& callbackScheme, Completion completion) override;
    void cancel() override;

private:
    BrowserOpener opener_;
    Completion completion_;
};

} // namespace quillo
