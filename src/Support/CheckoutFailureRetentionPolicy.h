#pragma once

#include <optional>

namespace quillo {

// Whether a failed checkout request forgets its idempotency id. Keeping it lets the server
// recognise a retry of the same purchase; a conflict or an ended session needs a new one.
namespace CheckoutFailureRetentionPolicy {
bool shouldClearRequestIdentity(std::optional<int> statusCode, bool sessionWasInvalidated);
} // namespace CheckoutFailureRetentionPolicy

} // namespace quillo
