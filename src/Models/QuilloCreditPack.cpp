#include "Models/QuilloCreditPack.h"

namespace quillo::QuilloCreditPacks {

QString rawValue(QuilloCreditPack pack) {
    switch (pack) {
    case QuilloCreditPack::light: return QStringLiteral("light");
    case QuilloCreditPack::regular: return QStringLiteral("regular");
    case QuilloCreditPack::extra: return QStringLiteral("extra");
    }
    return QStringLiteral("regular");
}

std::optional<QuilloCreditPack> fromRawValue(const QString& raw) {
    for (auto pack : allCases)
        if (rawValue(pack) == raw) return pack;
    return std::nullopt;
}

QString identifier(QuilloCreditPack pack) { return rawValue(pack); }

QString title(QuilloCreditPack pack) {
    switch (pack) {
    case QuilloCreditPack::light: return QStringLiteral("Light Pack");
    case QuilloCreditPack::regular: return QStringLiteral("Regular Pack");
    case QuilloCreditPack::extra: return QStringLiteral("Extra Pack");
    }
    return {};
}

int priceDollars(QuilloCreditPack pack) {
    switch (pack) {
    case QuilloCreditPack::light: return 5;
    case QuilloCreditPack::regular: return 10;
    case QuilloCreditPack::extra: return 20;
    }
    return 0;
}

QString priceText(QuilloCreditPack pack) { return QStringLiteral("$%1").arg(priceDollars(pack)); }

int baseCredits(QuilloCreditPack pack) { return priceDollars(pack); }

int bonusCredits(QuilloCreditPack pack) {
    switch (pack) {
    case QuilloCreditPack::light: return 0;
    case QuilloCreditPack::regular: return 2;
    case QuilloCreditPack::extra: return 5;
    }
    return 0;
}

QString creditSummary(QuilloCreditPack pack) {
    if (bonusCredits(pack) == 0) return QStringLiteral("%1 credits").arg(baseCredits(pack));
    return QStringLiteral("%1 + %2 free credits").arg(baseCredits(pack)).arg(bonusCredits(pack));
}

bool isRecommended(QuilloCreditPack pack) { return pack == QuilloCreditPack::regular; }

} // namespace quillo::QuilloCreditPacks
