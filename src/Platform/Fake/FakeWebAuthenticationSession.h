#pragma once

#include "Platform/WebAuthenticationSession.h"

#include <vector>

namespace quillo {

// Records what would be shown; tests end the round trip with complete() or fail().
class FakeWebAuthenticationSession final : public WebAuthenticationSession {
public:
    bool start(const QUrl& url, const QString& callbackScheme, Completion completion) override {
        ++starts;
        if (!startSucceeds) return false;
        shownURL = url;
        shownScheme = callbackScheme;
        completion_ = completion;
        completions.push_back(std::move(completion));
        return true;
    }
    void cancel() override {
        ++cancels;
        completion_ = nullptr;
    }

    bool isShowing() const { return static_cast<bool>(completion_); }
    // The page reached the callback address.
    void complete(const QUrl& callback) { finish(callback, std::nullopt); }
    void fail(WebAuthenticationSessionError error) { finish(std::nullopt, error); }
    // A completion that arrives even though the page was already finished or cancelled.
    // Every start's completion, kept after it ran or was cancelled: a page may still answer late.
    std::vector<Completion> completions;

    bool startSucceeds = true;
    int starts = 0;
    int cancels = 0;
    QUrl shownURL;
    QString shownScheme;

private:
    void finish(std::optional<QUrl> callback, std::optional<WebAuthenticationSessionError> error) {
        auto completion = std::move(completion_);
        completion_ = nullptr;
        if (completion) completion(std::move(callback), error);
    }
    Completion completion_;
};

} // namespace quillo
