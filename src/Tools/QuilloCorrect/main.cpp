// quillo-correct: corrects standard input through the correction pipeline and prints the result.
#include "Models/CorrectionModels.h"
#include "Services/CloudCorrectionProviding.h"
#include "Services/CorrectionPipeline.h"
#include "Services/CorrectionPipelineError.h"
#include "Services/LocalStandInCorrectionClient.h"
#include "Support/CorrectionChunkingError.h"
#include "Support/CorrectionTextIntegrity.h"

#include <QCoreApplication>
#include <QStringDecoder>
#include <QStringEncoder>
#include <cstdio>
#include <memory>

#include <qcoro/qcorotask.h>

using namespace quillo;

namespace {

constexpr int exitUsage = 1;
constexpr int exitInvalidInput = 2;
constexpr int exitCharacterTooLong = 3;
constexpr int exitCorrectionFailed = 4;

const char* const usage =
    "Usage: quillo-correct [--speed fast|very_very_fast] [--mode proofread|contextual]\n"
    "Reads UTF-8 text from standard input and writes the corrected text to standard output.\n"
    "\n"
    "  --speed   cloud speed (default: very_very_fast)\n"
    "  --mode    writing mode (default: proofread)\n"
    "  --help    show this help\n";

// The client that serves corrections. Only a local stand-in exists so far.
std::unique_ptr<CloudCorrectionProviding> makeCorrectionClient() {
    return std::make_unique<LocalStandInCorrectionClient>();
}

struct RunOutcome {
    int exitCode = 0;
    QString output;
    QString message;
};

QCoro::Task<RunOutcome> run(CorrectionPipeline& pipeline, QString text, CorrectionPipelineConfiguration configuration) {
    RunOutcome outcome;
    try {
        const std::optional<QuilloCorrectionResult> result = co_await pipeline.correct(text, configuration);
        // As the correction service does: edge white space kept, a blank answer never empties the text.
        outcome.output = result ? CorrectionTextIntegrity::normalizedCorrection(result->correction, text) : text;
    } catch (const CorrectionChunkingError&) {
        outcome.exitCode = exitCharacterTooLong;
        outcome.message = QStringLiteral(
            "This text contains an unusually long combined character. Shorten that part and try again.");
    } catch (const CorrectionPipelineError& error) {
        outcome.exitCode = exitCorrectionFailed;
        outcome.message = error.isPartial() ? QStringLiteral("The correction stopped part way; try again.")
                                            : QStringLiteral("No correction is available right now; try again.");
    } catch (const std::exception& error) {
        outcome.exitCode = exitCorrectionFailed;
        outcome.message = QStringLiteral("The correction failed: %1").arg(QString::fromUtf8(error.what()));
    }
    co_return outcome;
}

QByteArray readAllStandardInput() {
    QByteArray data;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) data.append(buffer, static_cast<qsizetype>(n));
    return data;
}

void writeError(const QString& message) {
    const QByteArray bytes = message.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);

    CorrectionPipelineConfiguration configuration{CloudCorrectionModel::veryVeryFast, CorrectionWritingMode::proofread};
    const QStringList arguments = app.arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            std::fputs(usage, stdout);
            return 0;
        }
        auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= arguments.size()) return std::nullopt;
            return arguments.at(++i);
        };
        if (argument == QLatin1String("--speed")) {
            const auto raw = value();
            const auto model = raw ? CloudCorrectionModels::fromRawValue(*raw) : std::nullopt;
            if (!model) {
                writeError(QStringLiteral("--speed must be fast or very_very_fast"));
                return exitUsage;
            }
            configuration.cloudModel = *model;
        } else if (argument == QLatin1String("--mode")) {
            const auto raw = value();
            const auto mode = raw ? CorrectionWritingModes::fromRawValue(*raw) : std::nullopt;
            if (!mode) {
                writeError(QStringLiteral("--mode must be proofread or contextual"));
                return exitUsage;
            }
            configuration.writingMode = *mode;
        } else {
            writeError(QStringLiteral("unknown option: %1").arg(argument));
            std::fputs(usage, stderr);
            return exitUsage;
        }
    }

    const QByteArray input = readAllStandardInput();
    // A byte order mark is part of the text and comes back out unchanged.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const QString text = decoder.decode(input);
    if (decoder.hasError()) {
        writeError(QStringLiteral("The input is not valid UTF-8."));
        return exitInvalidInput;
    }

    const std::unique_ptr<CloudCorrectionProviding> client = makeCorrectionClient();
    CorrectionPipeline pipeline(*client, 9000, [] { return std::optional<QString>(QStringLiteral("local:quillo-correct")); });
    const RunOutcome outcome = QCoro::waitFor(run(pipeline, text, configuration));
    if (outcome.exitCode != 0) {
        writeError(outcome.message);
        return outcome.exitCode;
    }
    const QByteArray bytes = outcome.output.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
    return 0;
}
