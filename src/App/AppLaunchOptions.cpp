#include "App/AppLaunchOptions.h"

#include "Services/QuilloCloudService.h"

#include <QUrl>

namespace quillo {

const char* const AppLaunchOptions::usage =
    "Usage: quillo [--endpoint URL] [--sign-in-email ADDRESS] [--update-feed URL]\n"
    "       quillo --trigger\n"
    "  --trigger                correct the focused field in the running Quillo, as its trigger key\n"
    "                           does; bind this command to a key in your desktop's shortcut settings\n"
    "  --endpoint URL           the cloud's correction endpoint, https only\n"
    "                           (or QUILLO_CLOUD_ENDPOINT; default: the build's)\n"
    "  --sign-in-email ADDRESS  sign in to this account at start (or QUILLO_SIGN_IN_EMAIL), with the\n"
    "                           password taken from QUILLO_SIGN_IN_PASSWORD\n"
    "  --update-feed URL        the update feed, https only, signed with the build's key\n"
    "                           (or QUILLO_UPDATE_FEED_URL; default: the build's)\n";

namespace {

std::optional<QString> processVariable(const char* name) {
    if (!qEnvironmentVariableIsSet(name)) return std::nullopt;
    return qEnvironmentVariable(name);
}

std::optional<QString> nonEmpty(std::optional<QString> value) {
    if (value && value->isEmpty()) return std::nullopt;
    return value;
}

} // namespace

std::variant<AppLaunchOptions, QString> AppLaunchOptions::parse(const QStringList& arguments, Lookup environment) {
    AppLaunchOptions options;
    std::optional<QString> endpoint = nonEmpty(environment(endpointVariable));
    options.signInEmail = nonEmpty(environment(signInEmailVariable));
    options.updateFeed = nonEmpty(environment(updateFeedVariable));
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        const auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= arguments.size()) return std::nullopt;
            return arguments.at(++i);
        };
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            options.helpRequested = true;
        } else if (argument == QLatin1String("--trigger")) {
            options.triggerRequested = true;
        } else if (argument == QLatin1String("--endpoint") || argument == QLatin1String("--sign-in-email")) {
            const auto given = nonEmpty(value());
            if (!given) return QStringLiteral("%1 needs a value.").arg(argument);
            (argument == QLatin1String("--endpoint") ? endpoint : options.signInEmail) = given;
        } else if (argument == QLatin1String("--update-feed")) {
            options.updateFeed = nonEmpty(value());
            if (!options.updateFeed) return QStringLiteral("--update-feed needs a value.");
        } else if (argument == QLatin1String("--sign-in-password") ||
                   argument.startsWith(QLatin1String("--sign-in-password="))) {
            // Every user of the computer can read a command line.
            return QStringLiteral("Pass the password in %1, not on the command line.")
                .arg(QLatin1String(signInPasswordVariable));
        } else if (argument.startsWith(QLatin1Char('-'))) {
            // Options of Qt or of the desktop's launcher are theirs.
        } else {
            options.positionalArguments.append(argument);
        }
    }

    options.endpoint = endpoint.value_or(QuilloCloudService::endpoint());
    if (endpoint) {
        // The session's tokens travel to this address, so it has to be a real https one.
        const QUrl url(*endpoint, QUrl::StrictMode);
        if (url.scheme() != QLatin1String("https") || !QuilloCloudService::isConfigured(*endpoint))
            return QStringLiteral("The cloud endpoint must be an https address: %1").arg(*endpoint);
    }
    if (options.updateFeed) {
        const QUrl url(*options.updateFeed, QUrl::StrictMode);
        if (url.scheme() != QLatin1String("https") || url.host().isEmpty())
            return QStringLiteral("The update feed must be an https address: %1").arg(*options.updateFeed);
    }
    if (options.signInEmail) {
        options.signInPassword = nonEmpty(environment(signInPasswordVariable));
        if (!options.signInPassword)
            return QStringLiteral("Signing in at start needs the password in %1.")
                .arg(QLatin1String(signInPasswordVariable));
    }
    return options;
}

std::variant<AppLaunchOptions, QString> AppLaunchOptions::fromProcess(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));
    auto options = parse(arguments, &processVariable);
    qunsetenv(signInPasswordVariable);
    return options;
}

} // namespace quillo
