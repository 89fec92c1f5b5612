// What a launch may ask of the application: another endpoint (https only) and a sign-in at
// start (the password from the environment only, and gone from it once read).
#include "App/AppLaunchOptions.h"
#include "Services/QuilloCloudService.h"

#include <QMap>
#include <gtest/gtest.h>

using namespace quillo;

namespace {

QMap<QString, QString>& fakeEnvironment() {
    static QMap<QString, QString> variables;
    return variables;
}

std::optional<QString> lookup(const char* name) {
    const auto it = fakeEnvironment().constFind(QString::fromLatin1(name));
    if (it == fakeEnvironment().constEnd()) return std::nullopt;
    return *it;
}

class AppLaunchOptionsTest : public ::testing::Test {
protected:
    void SetUp() override { fakeEnvironment().clear(); }
    void TearDown() override { fakeEnvironment().clear(); }

    static std::variant<AppLaunchOptions, QString> parse(QStringList arguments) {
        arguments.prepend(QStringLiteral("quillo"));
        return AppLaunchOptions::parse(arguments, &lookup);
    }
    static AppLaunchOptions accepted(const QStringList& arguments) {
        auto parsed = parse(arguments);
        if (const QString* error = std::get_if<QString>(&parsed)) ADD_FAILURE() << error->toStdString();
        return std::holds_alternative<AppLaunchOptions>(parsed) ? std::get<AppLaunchOptions>(parsed)
                                                                : AppLaunchOptions{};
    }
    static QString refused(const QStringList& arguments) {
        auto parsed = parse(arguments);
        EXPECT_TRUE(std::holds_alternative<QString>(parsed)) << arguments.join(u' ').toStdString();
        return std::holds_alternative<QString>(parsed) ? std::get<QString>(parsed) : QString();
    }
};

} // namespace

TEST_F(AppLaunchOptionsTest, EndpointIsTheBuildsUnlessAnHttpsOneIsGiven) {
    EXPECT_EQ(accepted({}).endpoint, QuilloCloudService::endpoint());
    EXPECT_FALSE(accepted({}).signInEmail);

    fakeEnvironment()[QStringLiteral("QUILLO_CLOUD_ENDPOINT")] = QStringLiteral("https://127.0.0.1:41234/api/correct");
    EXPECT_EQ(accepted({}).endpoint, QStringLiteral("https://127.0.0.1:41234/api/correct"));
    // The option wins over the environment.
    EXPECT_EQ(accepted({"--endpoint", "https://localhost:9443/api/correct"}).endpoint,
              QStringLiteral("https://localhost:9443/api/correct"));

    // Tokens would travel in the clear, or nowhere.
    EXPECT_TRUE(refused({"--endpoint", "http://127.0.0.1:8443/api/correct"}).contains(QStringLiteral("https")));
    refused({"--endpoint", "127.0.0.1:8443"});
    refused({"--endpoint", "https://"});
    refused({"--endpoint"});
    refused({"--endpoint", ""});
    fakeEnvironment()[QStringLiteral("QUILLO_CLOUD_ENDPOINT")] = QStringLiteral("ftp://127.0.0.1/api/correct");
    refused({});
}

TEST_F(AppLaunchOptionsTest, OptionValuesAreNotTakenForTheLaunchUrl) {
    const AppLaunchOptions options =
        accepted({"--endpoint", "https://127.0.0.1:9/api/correct", "quillo://auth/callback?code=abc", "--reverse"});
    EXPECT_EQ(options.positionalArguments, QStringList{QStringLiteral("quillo://auth/callback?code=abc")});
    EXPECT_TRUE(accepted({"--help"}).helpRequested);
    EXPECT_FALSE(options.triggerRequested);
    EXPECT_TRUE(accepted({"--trigger"}).triggerRequested);
    // A trailing option without its value is refused rather than ignored.
    refused({"quillo://auth/callback?code=abc", "--sign-in-email"});
}

TEST_F(AppLaunchOptionsTest, SignInAtStartTakesThePasswordFromTheEnvironmentOnly) {
    refused({"--sign-in-email", "demo@localhost"}); // no password anywhere
    fakeEnvironment()[QStringLiteral("QUILLO_SIGN_IN_PASSWORD")] = QStringLiteral("s3cret-pass");
    AppLaunchOptions options = accepted({"--sign-in-email", "demo@localhost"});
    EXPECT_EQ(options.signInEmail, QStringLiteral("demo@localhost"));
    EXPECT_EQ(options.signInPassword, QStringLiteral("s3cret-pass"));

    fakeEnvironment()[QStringLiteral("QUILLO_SIGN_IN_EMAIL")] = QStringLiteral("env@localhost");
    EXPECT_EQ(accepted({}).signInEmail, QStringLiteral("env@localhost"));

    // A command line is readable by every user of the computer; the refusal does not repeat it.
    const QString error = refused({"--sign-in-password", "typed-on-the-line"});
    EXPECT_TRUE(error.contains(QStringLiteral("QUILLO_SIGN_IN_PASSWORD")));
    EXPECT_FALSE(error.contains(QStringLiteral("typed-on-the-line")));
    EXPECT_FALSE(refused({"--sign-in-password=typed-on-the-line"}).contains(QStringLiteral("typed-on-the-line")));

    // A password alone signs nobody in.
    fakeEnvironment().remove(QStringLiteral("QUILLO_SIGN_IN_EMAIL"));
    EXPECT_FALSE(accepted({}).signInPassword);
}

TEST_F(AppLaunchOptionsTest, TheProcessEnvironmentLosesThePasswordOnceRead) {
    qputenv("QUILLO_SIGN_IN_PASSWORD", "from-the-environment");
    qputenv("QUILLO_SIGN_IN_EMAIL", "demo@localhost");
    char program[] = "quillo";
    char* argv[] = {program, nullptr};
    auto parsed = AppLaunchOptions::fromProcess(1, argv);
    qunsetenv("QUILLO_SIGN_IN_EMAIL");
    ASSERT_TRUE(std::holds_alternative<AppLaunchOptions>(parsed));
    EXPECT_EQ(std::get<AppLaunchOptions>(parsed).signInPassword, QStringLiteral("from-the-environment"));
    EXPECT_FALSE(qEnvironmentVariableIsSet("QUILLO_SIGN_IN_PASSWORD"));
}

TEST_F(AppLaunchOptionsTest, UpdateFeedIsTheBuildsUnlessAnHttpsOneIsGiven) {
    EXPECT_FALSE(accepted({}).updateFeed);
    fakeEnvironment()[QStringLiteral("QUILLO_UPDATE_FEED_URL")] =
        QStringLiteral("https://127.0.0.1:41234/updates/feed.json");
    EXPECT_EQ(accepted({}).updateFeed, QStringLiteral("https://127.0.0.1:41234/updates/feed.json"));
    EXPECT_EQ(accepted({"--update-feed", "https://localhost:9443/updates/feed.json"}).updateFeed,
              QStringLiteral("https://localhost:9443/updates/feed.json"));
    EXPECT_TRUE(
        refused({"--update-feed", "http://127.0.0.1:8443/updates/feed.json"}).contains(QStringLiteral("https")));
    refused({"--update-feed", "https://"});
    refused({"--update-feed"});
}
