#include "Support/CheckoutFailureRetentionPolicy.h"

namespace quillo::CheckoutFailureRetentionPolicy {

bool shouldClearRequestIdentity(std::optional<int> statusCode, bool sessionWasInvalidated) {
    if (!statusCode) return false;
    return *statusCode == 409 || (*statusCode == 401 && sessionWasInvalidated);
}

} // namespace quillo::CheckoutFailureRetentionPolicy
