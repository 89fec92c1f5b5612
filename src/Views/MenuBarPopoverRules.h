#pragma once

#include "Models/CorrectionModels.h"

#include <QColor>
#include <QString>
#include <optional>

namespace quillo {

// Everything the popover shows is derived from these facts of the cloud, connectivity and
// account services.
struct MenuBarPopoverInputs {
    bool signedIn = false;
    std::optional<double> availableCredits;
    std::optional<QString> cloudErrorMessage;
    bool networkConnected = false;
    bool cloudConfigured = false;
    bool isRefreshing = false;
    CloudCorrectionModel cloudModel = CloudCorrectionModel::veryVeryFast;
    bool operator==(const MenuBarPopoverInputs&) const = default;
};

enum class MenuBarPopoverStatus { account, lowCredit, error, offline, ready, connecting };

namespace MenuBarPopoverRules {

inline constexpr double lowCreditThreshold = 0.1;

// First match wins: signed out, low credit, cloud error, offline, ready, connecting.
MenuBarPopoverStatus status(const MenuBarPopoverInputs& inputs);
QString statusText(MenuBarPopoverStatus status);
QColor statusColor(MenuBarPopoverStatus status);
inline QString statusText(const MenuBarPopoverInputs& inputs) { return statusText(status(inputs)); }
inline QColor statusColor(const MenuBarPopoverInputs& inputs) { return statusColor(status(inputs)); }

// "Sign in", the credits as "%.2f", or "..." while not known.
QString balanceText(const MenuBarPopoverInputs& inputs);
// Signed in with known credits of at most 0.1 (exactly 0.1 warns).
bool showsLowCreditWarning(const MenuBarPopoverInputs& inputs);
inline const QString lowCreditWarning = QStringLiteral("Low credit. Your next correction may be blocked.");
// The engine line's state word: "Ready" or "Unavailable".
QString engineStateText(const MenuBarPopoverInputs& inputs);

} // namespace MenuBarPopoverRules

} // namespace quillo
