#pragma once

#include "App/AppCloudState.h"

namespace quillo::testing {

// A configured cloud nobody is signed in to: the delegate starts without a loading window.
class SignedOutCloudState final : public AppCloudState {
public:
    bool isConfigured() const override { return true; }
    bool isSignedIn() const override { return false; }
    std::optional<double> availableCredits() const override { return std::nullopt; }
    std::optional<QString> errorMessage() const override { return std::nullopt; }
    bool isRefreshing() const override { return false; }
    void synchronize(bool) override {}
};

} // namespace quillo::testing
