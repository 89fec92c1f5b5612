#include "Models/QuilloPurchaseState.h"

namespace quillo {

bool QuilloPurchaseState::canRefreshPayment() const {
    switch (kind) {
    case Kind::completed:
    case Kind::pending:
    case Kind::partiallyRefunded:
    case Kind::refunded:
    case Kind::underReview: return true;
    default: return false;
    }
}

std::optional<QString> QuilloPurchaseState::message() const {
    switch (kind) {
    case Kind::creatingCheckout: return QStringLiteral("Preparing secure checkout…");
    case Kind::awaitingPayment: return QStringLiteral("Checkout opened. Your balance will update automatically.");
    case Kind::completed:
        return QuilloCreditPacks::creditSummary(pack.value_or(QuilloCreditPack::regular)) + QStringLiteral(" added.");
    case Kind::pending: return QStringLiteral("Payment is still pending. You can refresh its status.");
    case Kind::partiallyRefunded:
        return QStringLiteral("This payment was partially refunded. Your balance is updated.");
    case Kind::refunded: return QStringLiteral("This payment was refunded. Your balance is updated.");
    case Kind::underReview:
        return QStringLiteral("This payment is under review. Your balance reflects its current status.");
    case Kind::failed: return failureMessage;
    case Kind::idle: return std::nullopt;
    }
    return std::nullopt;
}

} // namespace quillo
