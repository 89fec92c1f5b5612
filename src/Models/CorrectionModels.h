#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUuid>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace quillo {

class UserDefaults;

// The requested cloud speed.
enum class CloudCorrectionModel : std::uint8_t { fast, veryVeryFast };

namespace CloudCorrectionModels {
inline constexpr std::array<CloudCorrectionModel, 2> allCases{CloudCorrectionModel::fast,
                                                              CloudCorrectionModel::veryVeryFast};
QString rawValue(CloudCorrectionModel model);
std::optional<CloudCorrectionModel> fromRawValue(const QString& raw);
QString title(CloudCorrectionModel model);
int speedBoltCount(CloudCorrectionModel model);
std::optional<QString> relativeCreditUsageText(CloudCorrectionModel model);
// Parses a stored speed setting, legacy identifiers included; anything unknown is veryVeryFast.
CloudCorrectionModel storedValue(const std::optional<QString>& raw);
// The case whose title equals `title` exactly.
std::optional<CloudCorrectionModel> publicTitleValue(const QString& title);
} // namespace CloudCorrectionModels

enum class CorrectionWritingMode : std::uint8_t { proofread, contextual };

namespace CorrectionWritingModes {
inline constexpr std::array<CorrectionWritingMode, 2> allCases{CorrectionWritingMode::proofread,
                                                               CorrectionWritingMode::contextual};
QString rawValue(CorrectionWritingMode mode);
std::optional<CorrectionWritingMode> fromRawValue(const QString& raw);
QString title(CorrectionWritingMode mode);
QString helpText(CorrectionWritingMode mode);
std::optional<QString> additionalInformationText(CorrectionWritingMode mode);
CorrectionWritingMode storedValue(const std::optional<QString>& raw);
} // namespace CorrectionWritingModes

struct CorrectionPipelineConfiguration {
    CloudCorrectionModel cloudModel = CloudCorrectionModel::veryVeryFast;
    CorrectionWritingMode writingMode = CorrectionWritingMode::proofread;
    bool operator==(const CorrectionPipelineConfiguration&) const = default;
};

struct QuilloCorrectionRouting {
    CloudCorrectionModel requestedModel = CloudCorrectionModel::veryVeryFast;
    CloudCorrectionModel usedModel = CloudCorrectionModel::veryVeryFast;
    CloudCorrectionModel billingModel = CloudCorrectionModel::veryVeryFast;

    bool changed() const { return requestedModel != usedModel; }
    // "Switched to Fast · billed as Very Very Fast." when the serving model changed.
    std::optional<QString> discreetNotice() const;
    bool operator==(const QuilloCorrectionRouting&) const = default;
};

struct QuilloCorrectionResult {
    QString correction;
    std::optional<QuilloCorrectionRouting> routing;
    std::vector<CloudCorrectionModel> usedModels; // each at most once, in order of first use
    std::optional<double> chargedCredits;
    bool operator==(const QuilloCorrectionResult&) const = default;
};

struct QuilloCorrectionHistoryEntry {
    QUuid id;
    QDateTime date;
    QString originalText;
    QString correctedText;
    std::optional<std::vector<CloudCorrectionModel>> cloudModels;
    std::optional<CorrectionWritingMode> writingMode;

    // Titles joined by " + ", none when there are no models.
    std::optional<QString> cloudModelLabel() const;
    bool operator==(const QuilloCorrectionHistoryEntry&) const = default;
};

enum class CompactCorrectionPresentation : std::uint8_t { notch, mini };

namespace CompactCorrectionPresentations {
inline constexpr std::array<CompactCorrectionPresentation, 2> allCases{CompactCorrectionPresentation::notch,
                                                                       CompactCorrectionPresentation::mini};
QString rawValue(CompactCorrectionPresentation presentation);
QString title(CompactCorrectionPresentation presentation);
CompactCorrectionPresentation storedValue(const std::optional<QString>& raw);
CompactCorrectionPresentation effectiveValue(bool previewEnabled, const std::optional<QString>& storedRawValue);
} // namespace CompactCorrectionPresentations

enum class CompactCorrectionFeedbackState : std::uint8_t { processing, success, error };

namespace CompactCorrectionToastTiming {
// Seconds before a compact feedback dismisses itself; none while processing.
std::optional<double> dismissDelay(CompactCorrectionFeedbackState state, CompactCorrectionPresentation presentation);
} // namespace CompactCorrectionToastTiming

// What the correction service reports for the status icon.
enum class CorrectionStatus : std::uint8_t { idle, processing, success, error };

namespace CorrectionEngineMode {
// One-time launch migration of the stored speed and legacy engine settings.
void migrateStoredPreference(UserDefaults& defaults);
} // namespace CorrectionEngineMode

// User-defaults keys owned by the correction models.
namespace CorrectionSettingsKeys {
inline const QString cloudModel = QStringLiteral("quilloCloudModel");
inline const QString writingMode = QStringLiteral("quilloCorrectionWritingMode");
inline const QString compactPresentation = QStringLiteral("compactCorrectionPresentation");
inline const QString fastDefaultMigrationApplied = QStringLiteral("quilloCloudFastDefaultMigrationApplied");
inline const QString correctionEngine = QStringLiteral("correctionEngine");
inline const QString localEngineEnabled = QStringLiteral("localEngineEnabled");
inline const QString automaticLocalFallback = QStringLiteral("automaticLocalFallback");
} // namespace CorrectionSettingsKeys

} // namespace quillo
