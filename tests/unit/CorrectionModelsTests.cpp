#include "Models/CorrectionModels.h"
#include "Platform/Fake/InMemoryUserDefaults.h"

#include <gtest/gtest.h>
#include <ostream>

using namespace quillo;

static void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

using Model = CloudCorrectionModel;
using Mode = CorrectionWritingMode;
using Presentation = CompactCorrectionPresentation;

} // namespace

TEST(CloudCorrectionModel, CasesRawValuesTitlesAndCreditTexts) {
    ASSERT_EQ(CloudCorrectionModels::allCases.size(), 2u);
    EXPECT_EQ(CloudCorrectionModels::allCases[0], Model::fast);
    EXPECT_EQ(CloudCorrectionModels::allCases[1], Model::veryVeryFast);

    EXPECT_EQ(CloudCorrectionModels::rawValue(Model::fast), "fast");
    EXPECT_EQ(CloudCorrectionModels::rawValue(Model::veryVeryFast), "very_very_fast");
    EXPECT_EQ(CloudCorrectionModels::title(Model::fast), "Fast");
    EXPECT_EQ(CloudCorrectionModels::title(Model::veryVeryFast), "Very Very Fast");
    EXPECT_EQ(CloudCorrectionModels::speedBoltCount(Model::fast), 1);
    EXPECT_EQ(CloudCorrectionModels::speedBoltCount(Model::veryVeryFast), 2);
    EXPECT_EQ(CloudCorrectionModels::relativeCreditUsageText(Model::fast), std::nullopt);
    EXPECT_EQ(CloudCorrectionModels::relativeCreditUsageText(Model::veryVeryFast),
              QString::fromUtf8("= 1.85× credits"));

    for (auto model : CloudCorrectionModels::allCases)
        EXPECT_EQ(CloudCorrectionModels::fromRawValue(CloudCorrectionModels::rawValue(model)), model);
    EXPECT_EQ(CloudCorrectionModels::fromRawValue("veryVeryFast"), std::nullopt);
    EXPECT_EQ(CloudCorrectionModels::fromRawValue("Fast"), std::nullopt);
}

TEST(CloudCorrectionModel, StoredValueAcceptsCurrentAndLegacyIdentifiersExactly) {
    struct Row {
        std::optional<QString> stored;
        Model expected;
    };
    const Row rows[] = {
        {std::nullopt, Model::veryVeryFast},
        {"fast", Model::fast},
        {"crusoeGPTOSS120B", Model::fast},
        {"crusoe_gpt_oss_120b", Model::fast},
        {"crusoe-gpt-oss-120b", Model::fast},
        {"crusoe/openai/gpt-oss-120b", Model::fast},
        {"very_very_fast", Model::veryVeryFast},
        {"veryVeryFast", Model::veryVeryFast},
        {"groqGPTOSS120B", Model::veryVeryFast},
        {"groq_gpt_oss_120b", Model::veryVeryFast},
        {"groq-gpt-oss-120b", Model::veryVeryFast},
        {"openai/gpt-oss-120b", Model::veryVeryFast},
        // Titles, other letter cases and padded text are not aliases.
        {"Fast", Model::veryVeryFast},
        {"FAST", Model::veryVeryFast},
        {" fast", Model::veryVeryFast},
        {"fast ", Model::veryVeryFast},
        {"CrusoeGPTOSS120B", Model::veryVeryFast},
        {"crusoe/openai/gpt-oss-120b/", Model::veryVeryFast},
        {"", Model::veryVeryFast},
        {"something else", Model::veryVeryFast},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CloudCorrectionModels::storedValue(row.stored), row.expected)
            << (row.stored ? row.stored->toStdString() : "<absent>");
}

TEST(CloudCorrectionModel, PublicTitleValueMatchesTitlesExactly) {
    EXPECT_EQ(CloudCorrectionModels::publicTitleValue("Fast"), Model::fast);
    EXPECT_EQ(CloudCorrectionModels::publicTitleValue("Very Very Fast"), Model::veryVeryFast);
    for (const char* other : {"fast", "very very fast", "Very very fast", "Fast ", " Fast", "very_very_fast",
                              "veryVeryFast", "", "Very Very  Fast"})
        EXPECT_EQ(CloudCorrectionModels::publicTitleValue(QString::fromUtf8(other)), std::nullopt) << other;
}

TEST(CorrectionWritingMode, CasesTextsAndStoredValue) {
    EXPECT_EQ(CorrectionWritingModes::rawValue(Mode::proofread), "proofread");
    EXPECT_EQ(CorrectionWritingModes::rawValue(Mode::contextual), "contextual");
    EXPECT_EQ(CorrectionWritingModes::title(Mode::proofread), "Proofread");
    EXPECT_EQ(CorrectionWritingModes::title(Mode::contextual), "Contextual");
    EXPECT_EQ(CorrectionWritingModes::helpText(Mode::proofread), "Fixes objective mistakes without rephrasing.");
    EXPECT_EQ(CorrectionWritingModes::helpText(Mode::contextual),
              "Fixes every error and improves phrasing using context.");
    EXPECT_EQ(CorrectionWritingModes::additionalInformationText(Mode::proofread), std::nullopt);
    EXPECT_EQ(CorrectionWritingModes::additionalInformationText(Mode::contextual),
              QString("Contextual may substantially rephrase your text and alter its meaning."));

    EXPECT_EQ(CorrectionWritingModes::storedValue(QString("proofread")), Mode::proofread);
    EXPECT_EQ(CorrectionWritingModes::storedValue(QString("contextual")), Mode::contextual);
    EXPECT_EQ(CorrectionWritingModes::storedValue(std::nullopt), Mode::proofread);
    EXPECT_EQ(CorrectionWritingModes::storedValue(QString("")), Mode::proofread);
    EXPECT_EQ(CorrectionWritingModes::storedValue(QString("Contextual")), Mode::proofread);
    EXPECT_EQ(CorrectionWritingModes::storedValue(QString("contextual ")), Mode::proofread);
}

TEST(CorrectionPipelineConfiguration, EqualOnlyWhenBothFieldsAre) {
    const CorrectionPipelineConfiguration a{Model::fast, Mode::proofread};
    EXPECT_EQ(a, (CorrectionPipelineConfiguration{Model::fast, Mode::proofread}));
    EXPECT_NE(a, (CorrectionPipelineConfiguration{Model::veryVeryFast, Mode::proofread}));
    EXPECT_NE(a, (CorrectionPipelineConfiguration{Model::fast, Mode::contextual}));
}

TEST(QuilloCorrectionRouting, ChangedAndDiscreetNoticeDependOnlyOnTheServingModel) {
    const QuilloCorrectionRouting downgraded{Model::veryVeryFast, Model::fast, Model::veryVeryFast};
    EXPECT_TRUE(downgraded.changed());
    EXPECT_EQ(downgraded.discreetNotice(), QString::fromUtf8("Switched to Fast \u00B7 billed as Very Very Fast."));
    EXPECT_EQ(*downgraded.discreetNotice(), QString::fromUtf8("Switched to Fast · billed as Very Very Fast."));

    const QuilloCorrectionRouting upgraded{Model::fast, Model::veryVeryFast, Model::fast};
    EXPECT_EQ(upgraded.discreetNotice(), QString::fromUtf8("Switched to Very Very Fast · billed as Fast."));

    // Billing alone never produces a notice.
    const QuilloCorrectionRouting billedDifferently{Model::fast, Model::fast, Model::veryVeryFast};
    EXPECT_FALSE(billedDifferently.changed());
    EXPECT_EQ(billedDifferently.discreetNotice(), std::nullopt);

    const QuilloCorrectionRouting unchanged{Model::veryVeryFast, Model::veryVeryFast, Model::veryVeryFast};
    EXPECT_EQ(unchanged.discreetNotice(), std::nullopt);
}

TEST(QuilloCorrectionHistoryEntry, CloudModelLabelJoinsTitlesInOrder) {
    QuilloCorrectionHistoryEntry entry{QUuid::createUuid(), QDateTime(), "teh", "the", std::nullopt, std::nullopt};
    EXPECT_EQ(entry.cloudModelLabel(), std::nullopt); // a record from before speeds existed

    entry.cloudModels = std::vector<Model>{};
    EXPECT_EQ(entry.cloudModelLabel(), std::nullopt);

    entry.cloudModels = std::vector<Model>{Model::fast};
    EXPECT_EQ(entry.cloudModelLabel(), QString("Fast"));

    entry.cloudModels = std::vector<Model>{Model::fast, Model::veryVeryFast};
    EXPECT_EQ(entry.cloudModelLabel(), QString("Fast + Very Very Fast"));

    entry.cloudModels = std::vector<Model>{Model::veryVeryFast, Model::fast};
    EXPECT_EQ(entry.cloudModelLabel(), QString("Very Very Fast + Fast"));
}

TEST(CompactCorrectionPresentation, TitlesStoredAndEffectiveValues) {
    EXPECT_EQ(CompactCorrectionPresentations::rawValue(Presentation::notch), "notch");
    EXPECT_EQ(CompactCorrectionPresentations::rawValue(Presentation::mini), "mini");
    EXPECT_EQ(CompactCorrectionPresentations::title(Presentation::notch), "Notch");
    EXPECT_EQ(CompactCorrectionPresentations::title(Presentation::mini), "Subtle");

    EXPECT_EQ(CompactCorrectionPresentations::storedValue(QString("mini")), Presentation::mini);
    EXPECT_EQ(CompactCorrectionPresentations::storedValue(QString("notch")), Presentation::notch);
    EXPECT_EQ(CompactCorrectionPresentations::storedValue(std::nullopt), Presentation::notch);
    EXPECT_EQ(CompactCorrectionPresentations::storedValue(QString("Subtle")), Presentation::notch);
    EXPECT_EQ(CompactCorrectionPresentations::storedValue(QString("Mini")), Presentation::notch);

    // The preview always needs the notch.
    EXPECT_EQ(CompactCorrectionPresentations::effectiveValue(true, QString("mini")), Presentation::notch);
    EXPECT_EQ(CompactCorrectionPresentations::effectiveValue(true, std::nullopt), Presentation::notch);
    EXPECT_EQ(CompactCorrectionPresentations::effectiveValue(false, QString("mini")), Presentation::mini);
    EXPECT_EQ(CompactCorrectionPresentations::effectiveValue(false, std::nullopt), Presentation::notch);
    EXPECT_EQ(CompactCorrectionPresentations::effectiveValue(false, QString("other")), Presentation::notch);
}

TEST(CompactCorrectionToastTiming, DismissDelayTable) {
    using State = CompactCorrectionFeedbackState;
    using CompactCorrectionToastTiming::dismissDelay;
    EXPECT_EQ(dismissDelay(State::processing, Presentation::notch), std::nullopt);
    EXPECT_EQ(dismissDelay(State::processing, Presentation::mini), std::nullopt);
    EXPECT_EQ(dismissDelay(State::success, Presentation::notch), 1.2);
    EXPECT_EQ(dismissDelay(State::success, Presentation::mini), 0.7);
    EXPECT_EQ(dismissDelay(State::error, Presentation::notch), 4.5);
    EXPECT_EQ(dismissDelay(State::error, Presentation::mini), 4.5);
}

TEST(CorrectionEngineMigration, FreshDefaultsGetTheDefaultSpeedAndEngine) {
    using namespace CorrectionSettingsKeys;
    InMemoryUserDefaults defaults;
    CorrectionEngineMode::migrateStoredPreference(defaults);
    EXPECT_EQ(defaults.string(cloudModel), QString("very_very_fast"));
    EXPECT_EQ(defaults.boolean(fastDefaultMigrationApplied), true);
    EXPECT_EQ(defaults.string(correctionEngine), QString("cloudFast"));
    EXPECT_FALSE(defaults.contains(localEngineEnabled));
    EXPECT_FALSE(defaults.contains(automaticLocalFallback));
}

TEST(CorrectionEngineMigration, LegacyValuesAreRewrittenAndLegacyKeysRemoved) {
    using namespace CorrectionSettingsKeys;
    struct Row {
        QString stored;
        QString expected;
    };
    const Row rows[] = {
        {"crusoe_gpt_oss_120b", "fast"},
        {"crusoe/openai/gpt-oss-120b", "fast"},
        {"fast", "fast"},
        {"groqGPTOSS120B", "very_very_fast"},
        {"veryVeryFast", "very_very_fast"},
        {"Fast", "very_very_fast"},
        {"", "very_very_fast"},
    };
    for (const auto& row : rows) {
        InMemoryUserDefaults defaults;
        defaults.setString(cloudModel, row.stored);
        defaults.setBoolean(localEngineEnabled, true);
        defaults.setString(automaticLocalFallback, "yes");
        defaults.setString(correctionEngine, "local");
        defaults.setString(writingMode, "contextual");
        CorrectionEngineMode::migrateStoredPreference(defaults);
        EXPECT_EQ(defaults.string(cloudModel), row.expected) << row.stored.toStdString();
        EXPECT_EQ(defaults.string(correctionEngine), QString("cloudFast"));
        EXPECT_FALSE(defaults.contains(localEngineEnabled));
        EXPECT_FALSE(defaults.contains(automaticLocalFallback));
        EXPECT_EQ(defaults.string(writingMode), QString("contextual")); // other settings untouched
    }
}

TEST(CorrectionEngineMigration, FlagIsSetOnceAndAWrongTypedSpeedReadsAsAbsent) {
    using namespace CorrectionSettingsKeys;
    InMemoryUserDefaults defaults;
    defaults.setBoolean(fastDefaultMigrationApplied, false);
    defaults.setInteger(cloudModel, 7);

    int flagWrites = 0;
    QObject::connect(&defaults, &UserDefaults::changed, [&](const QString& key) {
        if (key == fastDefaultMigrationApplied) ++flagWrites;
    });
    CorrectionEngineMode::migrateStoredPreference(defaults);
    EXPECT_EQ(defaults.boolean(fastDefaultMigrationApplied), true);
    EXPECT_EQ(defaults.string(cloudModel), QString("very_very_fast"));
    EXPECT_EQ(flagWrites, 1);

    // A second launch changes nothing and leaves the flag alone.
    CorrectionEngineMode::migrateStoredPreference(defaults);
    EXPECT_EQ(flagWrites, 1);
    EXPECT_EQ(defaults.string(cloudModel), QString("very_very_fast"));
    EXPECT_EQ(defaults.string(correctionEngine), QString("cloudFast"));
}
