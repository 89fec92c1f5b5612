#include "Models/VirtualKeyCode.h"
#include "Views/CorrectionHistoryRules.h"
#include "Views/SettingsWindowRules.h"

#include <QLocale>
#include <QTimeZone>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace quillo;
using Activation = CorrectionTriggerActivation;

namespace {

CorrectionTriggerPreference trigger(const QString& legacy) {
    return CorrectionTriggerPreference::storedValue({}, legacy);
}

} // namespace

TEST(SettingsRules, TriggerHelpTextCombinesKeyAndActivationHintsUnlessAMessageIsShown) {
    const QString modifierHint = QStringLiteral("Use a short press without combining it with another shortcut.");
    const QString keyHint = QStringLiteral("Use a dedicated non-typing key.");
    const QString single = QStringLiteral("Correction starts after one short press.");
    const QString twice = QStringLiteral("Correction starts after two short presses on the same key.");
    struct Row {
        QString legacy;
        Activation activation;
        QString expected;
    };
    const Row rows[] = {
        {"functionGlobe", Activation::singlePress, modifierHint + " " + single},
        {"rightOption", Activation::doubleTap, modifierHint + " " + twice},
        {"f8", Activation::singlePress, keyHint + " " + single},
        {"f6", Activation::doubleTap, keyHint + " " + twice},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legacy.toStdString());
        EXPECT_EQ(SettingsWindowRules::triggerHelpText(std::nullopt, trigger(row.legacy), row.activation),
                  row.expected);
        // An empty message is no message.
        EXPECT_EQ(SettingsWindowRules::triggerHelpText(QString(), trigger(row.legacy), row.activation), row.expected);
        // Any detection message replaces both hints.
        EXPECT_EQ(SettingsWindowRules::triggerHelpText(SettingsWindowRules::detectionTimedOut, trigger(row.legacy),
                                                       row.activation),
                  QStringLiteral("Detection timed out."));
    }
    EXPECT_EQ(SettingsWindowRules::triggerSetMessage(QStringLiteral("Right Shift")),
              QStringLiteral("Trigger set to Right Shift."));
}

TEST(SettingsRules, BalanceTextSaysSignInThenLoadingThenTwoDecimals) {
    EXPECT_EQ(SettingsWindowRules::balanceText(false, std::nullopt), QStringLiteral("Sign-in required"));
    // Signed out wins even over a balance still held.
    EXPECT_EQ(SettingsWindowRules::balanceText(false, 12.0), QStringLiteral("Sign-in required"));
    // Not yet loaded is not zero.
    EXPECT_EQ(SettingsWindowRules::balanceText(true, std::nullopt), QStringLiteral("..."));
    EXPECT_EQ(SettingsWindowRules::balanceText(true, 0.0), QStringLiteral("0.00"));
    EXPECT_EQ(SettingsWindowRules::balanceText(true, 12.345), QStringLiteral("12.35"));
    EXPECT_EQ(SettingsWindowRules::balanceText(true, 0.1), QStringLiteral("0.10"));
    EXPECT_EQ(SettingsWindowRules::balanceText(true, -1.5), QStringLiteral("-1.50"));
}

TEST(SettingsRules, PreviewDurationShowsThreeWhenAbsentAndStaysOnTheSlider) {
    EXPECT_EQ(SettingsWindowRules::previewDurationPosition(std::nullopt), 3);
    EXPECT_EQ(SettingsWindowRules::previewDurationPosition(7.0), 7);
    EXPECT_EQ(SettingsWindowRules::previewDurationPosition(7.6), 8);
    EXPECT_EQ(SettingsWindowRules::previewDurationPosition(0.5), 1);
    EXPECT_EQ(SettingsWindowRules::previewDurationPosition(-4.0), 1);
    EXPECT_EQ(SettingsWindowRules::previewDurationPosition(600.0), 60);
    EXPECT_EQ(SettingsWindowRules::previewDurationPosition(std::numeric_limits<double>::quiet_NaN()), 3);
    EXPECT_EQ(SettingsWindowRules::previewDurationPosition(std::numeric_limits<double>::infinity()), 3);
    EXPECT_EQ(SettingsWindowRules::previewDurationText(3), QStringLiteral("3 s"));
    EXPECT_EQ(SettingsWindowRules::previewDurationText(60), QStringLiteral("60 s"));
    EXPECT_EQ(SettingsWindowRules::updateBannerText(QStringLiteral("2.1.0")),
              QStringLiteral("Quillo 2.1.0 is available."));
}

TEST(CorrectionHistoryRules, BodyStateIsOffThenEmptyThenEntries) {
    struct Row {
        bool enabled;
        std::size_t count;
        CorrectionHistoryBodyState expected;
    };
    const Row rows[] = {
        {false, 0, CorrectionHistoryBodyState::historyOff}, {false, 3, CorrectionHistoryBodyState::historyOff},
        {true, 0, CorrectionHistoryBodyState::empty},       {true, 1, CorrectionHistoryBodyState::entries},
        {true, 100, CorrectionHistoryBodyState::entries},
    };
    for (const Row& row : rows)
        EXPECT_EQ(CorrectionHistoryRules::bodyState(row.enabled, row.count), row.expected)
            << row.enabled << " " << row.count;
}

TEST(CorrectionHistoryRules, RowTextsForOldAndNewEntries) {
    QuilloCorrectionHistoryEntry old;
    old.date = QDateTime(QDate(2026, 1, 5), QTime(9, 30), QTimeZone::utc());
    EXPECT_EQ(CorrectionHistoryRules::speedLabel(old), QStringLiteral("Correction speed"));
    EXPECT_EQ(CorrectionHistoryRules::writingModeTitle(old), std::nullopt);

    QuilloCorrectionHistoryEntry empty = old;
    empty.cloudModels = std::vector<CloudCorrectionModel>{};
    EXPECT_EQ(CorrectionHistoryRules::speedLabel(empty), QStringLiteral("Correction speed"));

    QuilloCorrectionHistoryEntry recent = old;
    recent.cloudModels = std::vector{CloudCorrectionModel::fast, CloudCorrectionModel::veryVeryFast};
    recent.writingMode = CorrectionWritingMode::contextual;
    EXPECT_EQ(CorrectionHistoryRules::speedLabel(recent), QStringLiteral("Fast + Very Very Fast"));
    EXPECT_EQ(CorrectionHistoryRules::writingModeTitle(recent), QStringLiteral("Contextual"));

    // The locale's short date and its time without seconds, in local time.
    QuilloCorrectionHistoryEntry precise = old;
    precise.date = QDateTime(QDate(2026, 1, 5), QTime(9, 30, 47), QTimeZone::utc());
    const QDateTime local = precise.date.toLocalTime();
    for (const QLocale& locale :
         {QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::German, QLocale::Germany)}) {
        SCOPED_TRACE(locale.name().toStdString());
        const QString text = CorrectionHistoryRules::dateText(precise.date, locale);
        EXPECT_TRUE(text.startsWith(locale.toString(local.date(), QLocale::ShortFormat) + " ")) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("%1").arg(local.time().minute(), 2, 10, QLatin1Char('0'))))
            << text.toStdString();
        EXPECT_FALSE(text.contains("47")) << text.toStdString();
    }
    EXPECT_EQ(CorrectionHistoryRules::dateText(precise.date, QLocale::c()),
              QLocale::c().toString(local.date(), QLocale::ShortFormat) + " " + local.time().toString("HH:mm"));
}
