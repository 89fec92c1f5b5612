// The stored speed and writing-mode settings (and the compact presentation) with the launch
// migration of the speed. Input: one stored string a line: speed, writing mode, presentation.
#include "ClientFuzzSupport.h"

#include "Models/CorrectionModels.h"
#include "Platform/Fake/InMemoryUserDefaults.h"

using namespace quillofuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ensureApplication();
    const QString input = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList lines = input.split(QLatin1Char('\n'));
    using namespace CorrectionSettingsKeys;

    InMemoryUserDefaults defaults;
    if (lines.size() > 0) defaults.setString(cloudModel, lines[0]);
    if (lines.size() > 1) defaults.setString(writingMode, lines[1]);
    if (lines.size() > 2) defaults.setString(compactPresentation, lines[2]);

    const CloudCorrectionModel speed = CloudCorrectionModels::storedValue(defaults.string(cloudModel));
    CorrectionWritingModes::storedValue(defaults.string(writingMode));
    CompactCorrectionPresentations::effectiveValue(false, defaults.string(compactPresentation));

    CorrectionEngineMode::migrateStoredPreference(defaults);
    const auto migrated = defaults.string(cloudModel);
    if (!migrated || !CloudCorrectionModels::fromRawValue(*migrated)) fail("the migration left an unknown speed");
    if (*CloudCorrectionModels::fromRawValue(*migrated) != speed) fail("the migration changed the speed");
    CorrectionEngineMode::migrateStoredPreference(defaults);
    if (defaults.string(cloudModel) != migrated) fail("a second migration changed the speed");
    return 0;
}
