#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace quillo {

// A one-time credit pack. The raw value is the wire and storage spelling.
enum class QuilloCreditPack : std::uint8_t { light, regular, extra };

namespace QuilloCreditPacks {
inline constexpr std::array<QuilloCreditPack, 3> allCases{QuilloCreditPack::light, QuilloCreditPack::regular,
                                                          QuilloCreditPack::extra};
QString rawValue(QuilloCreditPack pack);
std::optional<QuilloCreditPack> fromRawValue(const QString& raw);
QString identifier(QuilloCreditPack pack);
QString title(QuilloCreditPack pack);
int priceDollars(QuilloCreditPack pack);
QString priceText(QuilloCreditPack pack); // "$10"
int baseCredits(QuilloCreditPack pack);
int bonusCredits(QuilloCreditPack pack);
// "5 credits", or "10 + 2 free credits" with a bonus.
QString creditSummary(QuilloCreditPack pack);
bool isRecommended(QuilloCreditPack pack);
} // namespace QuilloCreditPacks

} // namespace quillo
