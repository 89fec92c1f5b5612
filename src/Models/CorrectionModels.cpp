#include "Models/CorrectionModels.h"

#include "Platform/UserDefaults.h"

namespace quillo {

namespace CloudCorrectionModels {

QString rawValue(CloudCorrectionModel model) {
    return model == CloudCorrectionModel::fast ? QStringLiteral("fast") : QStringLiteral("very_very_fast");
}

std::optional<CloudCorrectionModel> fromRawValue(const QString& raw) {
    if (raw == QLatin1String("fast")) return CloudCorrectionModel::fast;
    if (raw == QLatin1String("very_very_fast")) return CloudCorrectionModel::veryVeryFast;
    return std::nullopt;
}

QString title(CloudCorrectionModel model) {
    return model == CloudCorrectionModel::fast ? QStringLiteral("Fast") : QStringLiteral("Very Very Fast");
}

int speedBoltCount(CloudCorrectionModel model) { return model == CloudCorrectionModel::fast ? 1 : 2; }

std::optional<QString> relativeCreditUsageText(CloudCorrectionModel model) {
    if (model == CloudCorrectionModel::veryVeryFast) return QStringLiteral("= 1.85× credits");
    return std::nullopt;
}

CloudCorrectionModel storedValue(const std::optional<QString>& raw) {
    if (!raw) return CloudCorrectionModel::veryVeryFast;
    static const QStringList fastValues{
        QStringLiteral("fast"),
        QStringLiteral("crusoeGPTOSS120B"),
        QStringLiteral("crusoe_gpt_oss_120b"),
        QStringLiteral("crusoe-gpt-oss-120b"),
        QStringLiteral("crusoe/openai/gpt-oss-120b"),
    };
    if (fastValues.contains(*raw)) return CloudCorrectionModel::fast;
    // "very_very_fast", "veryVeryFast", the other provider's legacy names and anything else.
    return CloudCorrectionModel::veryVeryFast;
}

std::optional<CloudCorrectionModel> publicTitleValue(const QString& titleText) {
    for (auto model : allCases)
        if (title(model) == titleText) return model;
    return std::nullopt;
}

} // namespace CloudCorrectionModels

namespace CorrectionWritingModes {

QString rawValue(CorrectionWritingMode mode) {
    return mode == CorrectionWritingMode::proofread ? QStringLiteral("proofread") : QStringLiteral("contextual");
}

std::optional<CorrectionWritingMode> fromRawValue(const QString& raw) {
    if (raw == QLatin1String("proofread")) return CorrectionWritingMode::proofread;
    if (raw == QLatin1String("contextual")) return CorrectionWritingMode::contextual;
    return std::nullopt;
}

QString title(CorrectionWritingMode mode) {
    return mode == CorrectionWritingMode::proofread ? QStringLiteral("Proofread") : QStringLiteral("Contextual");
}

QString helpText(CorrectionWritingMode mode) {
    return mode == CorrectionWritingMode::proofread
               ? QStringLiteral("Fixes objective mistakes without rephrasing.")
               : QStringLiteral("Fixes every error and improves phrasing using context.");
}

std::optional<QString> additionalInformationText(CorrectionWritingMode mode) {
    if (mode == CorrectionWritingMode::contextual)
        return QStringLiteral("Contextual may substantially rephrase your text and alter its meaning.");
    return std::nullopt;
}

CorrectionWritingMode storedValue(const std::optional<QString>& raw) {
    if (raw) {
        if (auto mode = fromRawValue(*raw)) return *mode;
    }
    return CorrectionWritingMode::proofread;
}

} // namespace CorrectionWritingModes

std::optional<QString> QuilloCorrectionRouting::discreetNotice() const {
    if (!changed()) return std::nullopt;
    return QStringLiteral("Switched to ") + CloudCorrectionModels::title(usedModel) +
           QStringLiteral(" \u00B7 billed as ") + CloudCorrectionModels::title(billingModel) + QStringLiteral(".");
}

std::optional<QString> QuilloCorrectionHistoryEntry::cloudModelLabel() const {
    if (!cloudModels || cloudModels->empty()) return std::nullopt;
    QStringList titles;
    for (auto model : *cloudModels) titles << CloudCorrectionModels::title(model);
    return titles.join(QStringLiteral(" + "));
}

namespace CompactCorrectionPresentations {

QString rawValue(CompactCorrectionPresentation presentation) {
    return presentation == CompactCorrectionPresentation::notch ? QStringLiteral("notch") : QStringLiteral("mini");
}

QString title(CompactCorrectionPresentation presentation) {
    return presentation == CompactCorrectionPresentation::notch ? QStringLiteral("Notch") : QStringLiteral("Subtle");
}

CompactCorrectionPresentation storedValue(const std::optional<QString>& raw) {
    if (raw && *raw == QLatin1String("mini")) return CompactCorrectionPresentation::mini;
    return CompactCorrectionPresentation::notch;
}

CompactCorrectionPresentation effectiveValue(bool previewEnabled, const std::optional<QString>& storedRawValue) {
    if (previewEnabled) return CompactCorrectionPresentation::notch;
    return storedValue(storedRawValue);
}

} // namespace CompactCorrectionPresentations

namespace CompactCorrectionToastTiming {

std::optional<double> dismissDelay(CompactCorrectionFeedbackState state, CompactCorrectionPresentation presentation) {
    switch (state) {
    case CompactCorrectionFeedbackState::processing: return std::nullopt;
    case CompactCorrectionFeedbackState::success:
        return presentation == CompactCorrectionPresentation::notch ? 1.2 : 0.7;
    case CompactCorrectionFeedbackState::error: return 4.5;
    }
    return std::nullopt;
}

} // namespace CompactCorrectionToastTiming

namespace CorrectionEngineMode {

void migrateStoredPreference(UserDefaults& defaults) {
    using namespace CorrectionSettingsKeys;
    const auto parsed = CloudCorrectionModels::storedValue(defaults.string(cloudModel));
    defaults.setString(cloudModel, CloudCorrectionModels::rawValue(parsed));
    if (!defaults.boolean(fastDefaultMigrationApplied, false)) defaults.setBoolean(fastDefaultMigrationApplied, true);
    defaults.setString(correctionEngine, QStringLiteral("cloudFast"));
    defaults.remove(localEngineEnabled);
    defaults.remove(automaticLocalFallback);
}

} // namespace CorrectionEngineMode

} // namespace quillo
