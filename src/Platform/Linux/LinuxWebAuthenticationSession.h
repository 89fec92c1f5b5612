#pragma once

#include "Platform/WebAuthenticationSession.h"

#include <QMetaObject>
#include <QObject>
#include <functional>

namespace quillo {

class SingleInstanceChannel;

// Web sign-in through the user's default browser. The page ends at a "quillo://" address that
// the desktop opens with a second launch of the application (the scheme handler of
// packaging/quillo.desktop); that launch hands the address to this instance through the
// single-instance channel, which completes the round trip. The browser tab cannot be closed
// from here, so cancel() only stops listening.
class LinuxWebAuthenticationSession final : public QObject, public WebAuthenticationSession {
    Q_OBJECT
public:
    // Opens an address in the browser; QDesktopServices::openUrl unless a test stands in.
    using BrowserOpener = std::function<bool(const QUrl&)>;

    explicit LinuxWebAuthenticationSession(SingleInstanceChannel& channel, BrowserOpener opener = {},
                                           QObject* parent = nullptr);
    ~LinuxWebAuthenticationSession() override;

    bool start(const QUrl& url, const QString& callbackScheme, Completion completion) override;
    void cancel() override;

private:
    void received(const QString& message);

    BrowserOpener opener_;
    QString scheme_;
    Completion completion_;
};

} // namespace quillo
