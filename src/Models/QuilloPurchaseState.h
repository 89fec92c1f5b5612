#pragma once

#include "Models/QuilloCreditPack.h"

#include <QString>
#include <cstdint>
#include <optional>

namespace quillo {

// The purchase flow as the user sees it. Every kind but failed and idle carries its pack;
// failed carries a finished user-facing sentence.
struct QuilloPurchaseState {
    enum class Kind : std::uint8_t {
        creatingCheckout,
        awaitingPayment,
        completed,
        pending,
        partiallyRefunded,
        refunded,
        underReview,
        failed,
        idle,
    };

    Kind kind = Kind::idle;
    std::optional<QuilloCreditPack> pack;
    QString failureMessage;

    static QuilloPurchaseState idle() { return {}; }
    static QuilloPurchaseState failed(QString message) { return {Kind::failed, std::nullopt, std::move(message)}; }
    static QuilloPurchaseState with(Kind kind, QuilloCreditPack pack) { return {kind, pack, {}}; }
    static QuilloPurchaseState creatingCheckout(QuilloCreditPack pack) { return with(Kind::creatingCheckout, pack); }
    static QuilloPurchaseState awaitingPayment(QuilloCreditPack pack) { return with(Kind::awaitingPayment, pack); }
    static QuilloPurchaseState completed(QuilloCreditPack pack) { return with(Kind::completed, pack); }
    static QuilloPurchaseState pending(QuilloCreditPack pack) { return with(Kind::pending, pack); }
    static QuilloPurchaseState partiallyRefunded(QuilloCreditPack pack) { return with(Kind::partiallyRefunded, pack); }
    static QuilloPurchaseState refunded(QuilloCreditPack pack) { return with(Kind::refunded, pack); }
    static QuilloPurchaseState underReview(QuilloCreditPack pack) { return with(Kind::underReview, pack); }

    bool isCreatingCheckout() const { return kind == Kind::creatingCheckout; }
    bool isAwaitingPayment() const { return kind == Kind::awaitingPayment; }
    // The pack picker is disabled while a checkout is being made or is open.
    bool locksPackSelection() const { return isCreatingCheckout() || isAwaitingPayment(); }
    // The view offers to refresh the status of a known order.
    bool canRefreshPayment() const;

    // The sentence of the purchase view; none when idle.
    std::optional<QString> message() const;

    bool operator==(const QuilloPurchaseState&) const = default;
};

} // namespace quillo
