#pragma once

#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

namespace quillo {

// How a web authentication ended without a callback address.
enum class WebAuthenticationSessionError {
    userCancelled, // the user closed the page
    failed,        // anything else
};

// The desktop's secure web page for a sign-in round trip: it shows a provider page and reports
// the callback address of the given scheme that the page ends with. One round trip at a time.
class WebAuthenticationSession {
public:
    // Exactly one of the two is set.
    using Completion =
        std::function<void(std::optional<QUrl> callback, std::optional<WebAuthenticationSessionError> error)>;

    virtual ~WebAuthenticationSession() = default;

    // Shows `url`; `completion` runs at most once, on the main thread, never from inside start().
    // False when the page could not be shown (no browser, no window to attach to).
    virtual bool start(const QUrl& url, const QString& callbackScheme, Completion completion) = 0;
    // Closes the page of the running round trip, if any; its completion does not run afterwards.
    virtual void cancel() = 0;
};

} // namespace quillo
