#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

namespace quillo {

// What one launch asks of the application beyond the build's defaults: another cloud endpoint
// (a self-hosted server on a port of its own) with its update feed, and a sign-in at start, for
// sessions with no one at the keyboard. Read once, from the arguments and the environment.
struct AppLaunchOptions {
    static inline const char* const endpointVariable = "QUILLO_CLOUD_ENDPOINT";
    static inline const char* const signInEmailVariable = "QUILLO_SIGN_IN_EMAIL";
    static inline const char* const signInPasswordVariable = "QUILLO_SIGN_IN_PASSWORD";
    static inline const char* const updateFeedVariable = "QUILLO_UPDATE_FEED_URL";
    static const char* const usage;

    QString endpoint;                   // the build's endpoint unless overridden
    std::optional<QString> updateFeed;  // replaces the build's update feed (same signing key)
    std::optional<QString> signInEmail; // set together with the password
    std::optional<QString> signInPassword;
    QStringList positionalArguments; // what the desktop passes, such as a callback URL
    bool helpRequested = false;
    // `--trigger`: start a correction in the running instance and exit; never starts one.
    bool triggerRequested = false;

    using Lookup = std::optional<QString> (*)(const char* name);
    // The options, or the sentence that says what is wrong with them. `arguments` starts with
    // the program's name.
    static std::variant<AppLaunchOptions, QString> parse(const QStringList& arguments, Lookup environment);
    // From this process: the password is removed from the environment once read, so nothing
    // the application starts (a browser, the file manager) inherits it.
    static std::variant<AppLaunchOptions, QString> fromProcess(int argc, char** argv);
};

} // namespace quillo
