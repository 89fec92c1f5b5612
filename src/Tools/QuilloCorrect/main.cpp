// quillo-correct: corrects standard input through the correction pipeline and prints the result.
#include "Models/CorrectionModels.h"
#include "Platform/Fake/InMemorySecureStore.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Services/CloudCorrectionProviding.h"
#include "Services/CorrectionPipeline.h"
#include "Services/CorrectionPipelineError.h"
#include "Services/LocalStandInCorrectionClient.h"
#include "Services/QtCloudHttpTransport.h"
#include "Services/QuilloAuthService.h"
#include "Services/QuilloCloudError.h"
#include "Services/QuilloCloudService.h"
#include "Services/QuilloDiagnostics.h"
#include "Support/BlockingWait.h"
#include "Support/CorrectionChunkingError.h"
#include "Support/CorrectionTextIntegrity.h"
#include "Support/UserFacingErrorCatalog.h"
#include "TerminalPrompt.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QUrl>
#include <QUuid>
#include <cstdio>

#include <qcoro/qcorotask.h>

using namespace quillo;

namespace {

constexpr int exitUsage = 1;
constexpr int exitInvalidInput = 2;
constexpr int exitCharacterTooLong = 3;
constexpr int exitCorrectionFailed = 4;
constexpr int exitSignInFailed = 5;

const char* const usage =
    "Usage: quillo-correct [--speed fast|very_very_fast] [--mode proofread|contextual]\n"
    "                      [--email ADDRESS --password PASSWORD] [--endpoint URL] [--ca-file PEM] [--local]\n"
    "Reads UTF-8 text from standard input, corrects it through the Quillo cloud and writes the\n"
    "corrected text to standard output.\n"
    "\n"
    "  --speed     cloud speed (default: very_very_fast)\n"
    "  --mode      writing mode (default: proofread)\n"
    "  --email     account to sign in with (or QUILLO_EMAIL; asked on the terminal when missing)\n"
    "  --password  its password; other users can read it in the process list, so prefer\n"
    "              QUILLO_PASSWORD or the prompt (asked without echo)\n"
    "  --endpoint  cloud correction endpoint, https only (or QUILLO_CLOUD_ENDPOINT; default: the build's)\n"
    "  --ca-file   extra certificate authority to trust (default: the build's local authority)\n"
    "  --local     correct with the offline stand-in instead of the cloud (no account needed)\n"
    "  --help      show this help\n";

// The catalogue's case for a failed correction, as the correction service classifies it.
UserFacingErrorCatalog::CorrectionFailure classify(const std::exception_ptr& error) {
    using Failure = UserFacingErrorCatalog::CorrectionFailure;
    try {
        std::rethrow_exception(error);
    } catch (const CorrectionPipelineError& e) {
        if (e.isPartial() && e.underlying()) return classify(e.underlying());
        return Failure::unavailableResult();
    } catch (const QuilloCloudError& e) {
        switch (e.kind()) {
        case QuilloCloudError::Kind::temporarilyBusy: return Failure::capacityBusy(e.retryAfterSeconds());
        case QuilloCloudError::Kind::httpError: return Failure::http(e.status());
        case QuilloCloudError::Kind::authenticationRequired: return Failure::authenticationRequired();
        case QuilloCloudError::Kind::insufficientCredits: return Failure::insufficientCredits();
        case QuilloCloudError::Kind::secureRandomUnavailable: return Failure::secureRecoveryUnavailable();
        }
    } catch (const NetworkError& e) {
        return Failure::network(e.code);
    } catch (const CloudRequestEncodingError&) {
        return Failure::requestEncoding();
    } catch (const CloudResponseDecodingError&) {
        return Failure::invalidResponse();
    } catch (...) {}
    return Failure::unexpected();
}

bool isBlank(const QString& text) {
    for (const QChar c : text)
        if (!c.isSpace()) return false;
    return true;
}

std::optional<QString> environment(const char* name) {
    const QByteArray value = qgetenv(name);
    if (value.isEmpty()) return std::nullopt;
    return QString::fromUtf8(value);
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
        outcome.message =
            QStringLiteral("This text contains an unusually long combined character. Shorten that part and try again.");
    } catch (...) {
        outcome.exitCode = exitCorrectionFailed;
        outcome.message = UserFacingErrorCatalog::correction(classify(std::current_exception()));
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
    // The cloud client records diagnostic events; they are written before the process tears
    // down its statics, which the log writer's thread still uses.
    struct FlushDiagnosticsAtExit {
        ~FlushDiagnosticsAtExit() { QuilloDiagnostics::flush(); }
    } flushDiagnosticsAtExit;
    // Retry notes and failure events are for the diagnostic log; the terminal gets one sentence
    // (QT_LOGGING_RULES brings the log lines back).
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("com.quillo.*=false"));

    CorrectionPipelineConfiguration configuration{CloudCorrectionModel::veryVeryFast, CorrectionWritingMode::proofread};
    bool local = false;
    std::optional<QString> email = environment("QUILLO_EMAIL");
    std::optional<QString> password = environment("QUILLO_PASSWORD");
    QString endpoint = environment("QUILLO_CLOUD_ENDPOINT").value_or(QuilloCloudService::endpoint());
    QStringList authorityFiles = QtCloudHttpTransport::defaultAuthorityFiles();
    bool passwordOnCommandLine = false;
    const QStringList arguments = QCoreApplication::arguments();
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
        } else if (argument == QLatin1String("--local")) {
            local = true;
        } else if (argument == QLatin1String("--email") || argument == QLatin1String("--password") ||
                   argument == QLatin1String("--endpoint") || argument == QLatin1String("--ca-file")) {
            const auto raw = value();
            if (!raw || raw->isEmpty()) {
                writeError(QStringLiteral("%1 needs a value").arg(argument));
                return exitUsage;
            }
            if (argument == QLatin1String("--email")) email = raw;
            else if (argument == QLatin1String("--password")) {
                password = raw;
                passwordOnCommandLine = true;
            } else if (argument == QLatin1String("--endpoint")) endpoint = *raw;
            else authorityFiles = QStringList{*raw};
        } else {
            writeError(QStringLiteral("unknown option: %1").arg(argument));
            std::fputs(usage, stderr);
            return exitUsage;
        }
    }

    const QByteArray input = readAllStandardInput();
    // A byte order mark is part of the text and comes back out unchanged.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const QString text = decoder.decode(input);
    if (decoder.hasError()) {
        writeError(QStringLiteral("The input is not valid UTF-8."));
        return exitInvalidInput;
    }

    // Blank text needs no correction, and so no account.
    if (isBlank(text)) {
        const QByteArray bytes = text.toUtf8();
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
        return 0;
    }

    RunOutcome outcome;
    if (local) {
        LocalStandInCorrectionClient client;
        CorrectionPipeline pipeline(client, 9000,
                                    [] { return std::optional<QString>(QStringLiteral("local:quillo-correct")); });
        outcome = blockingWait(run(pipeline, text, configuration));
    } else {
        if (!QuilloCloudService::isConfigured(endpoint)) {
            writeError(QStringLiteral("The cloud endpoint is not a valid address."));
            return exitUsage;
        }
        // The password and then the session's tokens travel to this address: as in the app,
        // only over https.
        if (QUrl(endpoint).scheme() != QLatin1String("https")) {
            writeError(QStringLiteral("The cloud endpoint must be an https address: %1").arg(endpoint));
            return exitUsage;
        }
        if (passwordOnCommandLine)
            writeError(QStringLiteral("Warning: a password given with --password can be read by other users of this "
                                      "computer. Prefer QUILLO_PASSWORD or the prompt."));
        if (!email) email = TerminalPrompt::askLine(QStringLiteral("Quillo account e-mail: "));
        if (email && !password) password = TerminalPrompt::askSecret(QStringLiteral("Password: "));
        if (!email || !password) {
            writeError(QStringLiteral("Sign in with --email and --password (or QUILLO_EMAIL and QUILLO_PASSWORD), "
                                      "or use --local for the offline stand-in."));
            return exitUsage;
        }
        QtCloudHttpTransport transport(authorityFiles);
        // The session lives only as long as this run, and a command-line run is not an
        // installation of the app: each run introduces itself afresh.
        InMemorySecureStore sessionStore;
        InMemoryUserDefaults runDefaults;
        QuilloAuthService::Options authOptions;
        authOptions.endpoint = endpoint;
        authOptions.recordEvent = [](QuilloDiagnosticEvent, std::optional<QUuid>) {};
        QuilloAuthService session(transport, sessionStore, runDefaults, authOptions);
        if (!blockingWait(session.signIn(*email, *password))) {
            writeError(session.authError().value_or(session.authNotice().value_or(QStringLiteral("Sign-in failed."))));
            return exitSignInFailed;
        }
        QuilloCloudService::Options options;
        options.endpoint = endpoint;
        QuilloCloudService cloud(transport, session, nullptr, options);
        CorrectionPipeline pipeline(cloud, 9000, [&session]() -> std::optional<QString> {
            const auto current = session.currentSession();
            if (!current) return std::nullopt;
            return current->userId;
        });
        outcome = blockingWait(run(pipeline, text, configuration));
    }
    if (outcome.exitCode != 0) {
        writeError(outcome.message);
        return outcome.exitCode;
    }
    const QByteArray bytes = outcome.output.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
    return 0;
}
