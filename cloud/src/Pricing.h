#pragma once
// Credits are kept as integer micro-credits (1 credit = 1,000,000) so that sums never drift.
// A correction costs per started block of 500 UTF-16 units: 0.01 credits at "fast",
// 1.85 times that (0.0185) at "very_very_fast". A full 9000-unit chunk is 18 blocks.
#include <cstdint>
#include <optional>
#include <string>

namespace quillo::cloud {

constexpr int64_t kMicroPerCredit = 1000000;
constexpr long kBlockUnits = 500;
constexpr int64_t kFastMicroPerBlock = 10000;
constexpr int64_t kVeryVeryFastMicroPerBlock = 18500;  // 1.85 x fast
constexpr long kMaxTextUnits = 9000;

enum class Speed { fast, veryVeryFast };

inline std::optional<Speed> speedFromWire(const std::string &s)
{
    if (s == "fast") return Speed::fast;
    if (s == "very_very_fast") return Speed::veryVeryFast;
    return std::nullopt;
}
inline const char *speedTitle(Speed s) { return s == Speed::fast ? "Fast" : "Very Very Fast"; }
inline const char *speedWire(Speed s) { return s == Speed::fast ? "fast" : "very_very_fast"; }

inline int64_t correctionCostMicro(long utf16Units, Speed speed)
{
    if (utf16Units <= 0) return 0;
    int64_t blocks = (utf16Units + kBlockUnits - 1) / kBlockUnits;
    return blocks * (speed == Speed::fast ? kFastMicroPerBlock : kVeryVeryFastMicroPerBlock);
}

inline double credits(int64_t micro) { return static_cast<double>(micro) / kMicroPerCredit; }
inline int64_t microFromCredits(double c) { return static_cast<int64_t>(c * kMicroPerCredit + (c >= 0 ? 0.5 : -0.5)); }

struct PackInfo {
    const char *id;
    const char *title;
    int priceDollars;
    int credits;  // base + bonus
};

inline std::optional<PackInfo> packInfo(const std::string &id)
{
    if (id == "light") return PackInfo{"light", "Light Pack", 5, 5};
    if (id == "regular") return PackInfo{"regular", "Regular Pack", 10, 12};
    if (id == "extra") return PackInfo{"extra", "Extra Pack", 20, 25};
    return std::nullopt;
}

}  // namespace quillo::cloud
