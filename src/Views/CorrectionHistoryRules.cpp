#include "Views/CorrectionHistoryRules.h"

#include <QRegularExpression>

namespace quillo::CorrectionHistoryRules {

CorrectionHistoryBodyState bodyState(bool isEnabled, std::size_t entryCount) {
    if (!isEnabled) return CorrectionHistoryBodyState::historyOff;
    if (entryCount == 0) return CorrectionHistoryBodyState::empty;
    return CorrectionHistoryBodyState::entries;
}

QString dateText(const QDateTime& date, const QLocale& locale) {
    const QDateTime local = date.toLocalTime();
    // Hours and minutes: some locales' short time format still carries seconds.
    static const QRegularExpression seconds(QStringLiteral("[:.]ss?"));
    QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
    timeFormat.remove(seconds);
    return locale.toString(local.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(local.time(), timeFormat);
}

QString speedLabel(const QuilloCorrectionHistoryEntry& entry) {
    return entry.cloudModelLabel().value_or(speedFallback);
}

std::optional<QString> writingModeTitle(const QuilloCorrectionHistoryEntry& entry) {
    if (!entry.writingMode) return std::nullopt;
    return CorrectionWritingModes::title(*entry.writingMode);
}

} // namespace quillo::CorrectionHistoryRules
