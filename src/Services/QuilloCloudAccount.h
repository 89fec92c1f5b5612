#pragma once

namespace quillo {

// Last known credit balance of the signed-in account, in credits.
struct QuilloCloudAccount {
    double balanceCredits = 0;
    double reservedCredits = 0;
    double availableCredits = 0;
    bool operator==(const QuilloCloudAccount&) const = default;
};

} // namespace quillo
