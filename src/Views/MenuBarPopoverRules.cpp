#include "Views/MenuBarPopoverRules.h"

#include "Views/QuilloSymbol.h"

namespace quillo {

namespace MenuBarPopoverRules {

bool showsLowCreditWarning(const MenuBarPopoverInputs& inputs) {
    return inputs.signedIn && inputs.availableCredits && *inputs.availableCredits <= lowCreditThreshold;
}

MenuBarPopoverStatus status(const MenuBarPopoverInputs& inputs) {
    if (!inputs.signedIn) return MenuBarPopoverStatus::account;
    if (showsLowCreditWarning(inputs)) return MenuBarPopoverStatus::lowCredit;
    if (inputs.cloudErrorMessage) return MenuBarPopoverStatus::error;
    if (!inputs.networkConnected) return MenuBarPopoverStatus::offline;
    if (inputs.cloudConfigured) return MenuBarPopoverStatus::ready;
    return MenuBarPopoverStatus::connecting;
}

QString statusText(MenuBarPopoverStatus status) {
    switch (status) {
    case MenuBarPopoverStatus::account: return QStringLiteral("Account");
    case MenuBarPopoverStatus::lowCredit: return QStringLiteral("Low credit");
    case MenuBarPopoverStatus::error: return QStringLiteral("Error");
    case MenuBarPopoverStatus::offline: return QStringLiteral("Offline");
    case MenuBarPopoverStatus::ready: return QStringLiteral("Ready");
    case MenuBarPopoverStatus::connecting: break;
    }
    return QStringLiteral("Connecting");
}

QColor statusColor(MenuBarPopoverStatus status) {
    switch (status) {
    case MenuBarPopoverStatus::account:
    case MenuBarPopoverStatus::lowCredit: return QuilloPalette::orange;
    case MenuBarPopoverStatus::error: return QuilloPalette::red;
    case MenuBarPopoverStatus::offline: return QuilloPalette::grey;
    case MenuBarPopoverStatus::ready: return QuilloPalette::green;
    case MenuBarPopoverStatus::connecting: break;
    }
    return QuilloPalette::purple;
}

QString balanceText(const MenuBarPopoverInputs& inputs) {
    if (!inputs.signedIn) return QStringLiteral("Sign in");
    if (!inputs.availableCredits) return QStringLiteral("...");
    return QString::asprintf("%.2f", *inputs.availableCredits);
}

QString engineStateText(const MenuBarPopoverInputs& inputs) {
    const bool usable = inputs.cloudConfigured && inputs.networkConnected && !inputs.cloudErrorMessage;
    return usable ? QStringLiteral("Ready") : QStringLiteral("Unavailable");
}

} // namespace MenuBarPopoverRules

} // namespace quillo
