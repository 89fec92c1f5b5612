#pragma once

#include "Models/CorrectionModels.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <cstddef>
#include <optional>

namespace quillo {

// What the history body shows, first match wins.
enum class CorrectionHistoryBodyState { historyOff, empty, entries };

// The history view's texts and states, as pure functions.
namespace CorrectionHistoryRules {

inline const QString saveSwitchTitle = QStringLiteral("Save correction history");
inline const QString privacyNotice = QStringLiteral(
    "Up to 100 corrections are encrypted and stored only on this computer. Turning history off deletes all "
    "previously saved correction text.");
inline const QString historyOffTitle = QStringLiteral("Correction history is off");
inline const QString historyOffDetail = QStringLiteral("Quillo will not save correction text on this computer.");
inline const QString emptyTitle = QStringLiteral("No corrections");
inline const QString speedFallback = QStringLiteral("Correction speed");

CorrectionHistoryBodyState bodyState(bool isEnabled, std::size_t entryCount);

// The entry's date in the locale's short date format and its time as hours and minutes, in
// local time.
QString dateText(const QDateTime& date, const QLocale& locale = QLocale());

// The speeds the entry was corrected with, or "Correction speed" for older entries.
QString speedLabel(const QuilloCorrectionHistoryEntry& entry);

// "Proofread" or "Contextual"; none for entries written before modes existed.
std::optional<QString> writingModeTitle(const QuilloCorrectionHistoryEntry& entry);

} // namespace CorrectionHistoryRules

} // namespace quillo
