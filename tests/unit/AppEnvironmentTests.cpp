#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Support/QuilloAppEnvironment.h"
#include "Support/QuilloInstallationIdentity.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace quillo;

namespace {
QuilloInfoDictionary table(std::initializer_list<std::pair<QString, QVariant>> entries) {
    QuilloInfoDictionary info;
    for (const auto& [key, value] : entries) info.insert(key, value);
    return info;
}
} // namespace

TEST(QuilloAppEnvironment, ReadsIdentifierAndChannelWithFallbacks) {
    const auto empty = QuilloAppEnvironment::current(QuilloInfoDictionary{});
    EXPECT_EQ(empty.bundleIdentifier, "com.quillo.app");
    EXPECT_EQ(empty.buildChannel, "production");
    EXPECT_FALSE(empty.isTestBuild());

    const auto test = QuilloAppEnvironment::current(
        table({{"CFBundleIdentifier", "org.example.quillo"}, {"QuilloBuildChannel", "test"}}));
    EXPECT_EQ(test.bundleIdentifier, "org.example.quillo");
    EXPECT_EQ(test.buildChannel, "test");
    EXPECT_TRUE(test.isTestBuild());

    // A channel that is not text reads as production.
    EXPECT_EQ(QuilloAppEnvironment::current(table({{"QuilloBuildChannel", 7}})).buildChannel, "production");
}

TEST(QuilloAppEnvironment, TestBuildsUseTheirOwnDataFolder) {
    EXPECT_EQ(QuilloAppEnvironment::dataFolderName(table({{"QuilloBuildChannel", "test"}})), "Quillo Test");
    EXPECT_EQ(QuilloAppEnvironment::dataFolderName(table({{"CFBundleIdentifier", "com.quillo.app.test"}})),
              "Quillo Test");
    EXPECT_EQ(QuilloAppEnvironment::dataFolderName(table({{"QuilloBuildChannel", "release"}})), "Quillo");
    EXPECT_EQ(QuilloAppEnvironment::dataFolderName(QuilloInfoDictionary{}), "Quillo");

    qputenv("QUILLO_DATA_HOME", "/tmp/quillo-data-home");
    EXPECT_EQ(QuilloAppEnvironment::applicationDataFolder(table({{"QuilloBuildChannel", "test"}})),
              "/tmp/quillo-data-home/Quillo Test");
    qunsetenv("QUILLO_DATA_HOME");
    EXPECT_TRUE(QuilloAppEnvironment::applicationDataFolder(QuilloInfoDictionary{}).endsWith("/Quillo"));
}

TEST(QuilloAppEnvironment, DisplayNamePrefersDisplayThenBundleName) {
    EXPECT_EQ(QuilloAppEnvironment::displayName(table({{"CFBundleDisplayName", "Q"}, {"CFBundleName", "B"}})), "Q");
    EXPECT_EQ(QuilloAppEnvironment::displayName(table({{"CFBundleName", "B"}})), "B");
    EXPECT_EQ(QuilloAppEnvironment::displayName(table({{"CFBundleDisplayName", 3}})), "Quillo");
    EXPECT_EQ(QuilloAppEnvironment::displayName(QuilloInfoDictionary{}), "Quillo");
}

TEST(QuilloAppEnvironment, VersionTextAppendsTheBuildOnlyToShortVersions) {
    EXPECT_EQ(QuilloAppEnvironment::versionText("2", ""), "Version 2");
    EXPECT_EQ(QuilloAppEnvironment::versionText("2", "41"), "Version 2.41");
    EXPECT_EQ(QuilloAppEnvironment::versionText("1.4", "41"), "Version 1.4.41");
    EXPECT_EQ(QuilloAppEnvironment::versionText("1.4.2", "41"), "Version 1.4.2");
    // Empty parts do not count: "1..4" has two parts.
    EXPECT_EQ(QuilloAppEnvironment::versionText("1..4", "9"), "Version 1..4.9");
    EXPECT_EQ(QuilloAppEnvironment::versionText(QuilloInfoDictionary{}), "Version 1.0");
    EXPECT_EQ(
        QuilloAppEnvironment::versionText(table({{"CFBundleShortVersionString", "0.3"}, {"CFBundleVersion", "12"}})),
        "Version 0.3.12");
}

TEST(QuilloAppEnvironment, GeneratedTableCarriesTheBuildFacts) {
    const auto& info = QuilloBundleInfo::main();
    EXPECT_TRUE(info.value("CFBundleIdentifier").typeId() == QMetaType::QString);
    EXPECT_TRUE(info.contains("QuilloBuildChannel"));
    EXPECT_TRUE(info.contains("CFBundleShortVersionString"));
    EXPECT_TRUE(info.contains("CFBundleVersion"));
    EXPECT_FALSE(QuilloAppEnvironment::displayName().isEmpty());
}

TEST(QuilloInstallationIdentity, CreatesStoresAndKeepsALowerCaseRandomUUID) {
    InMemoryUserDefaults defaults;
    const QString first = QuilloInstallationIdentity::value(defaults);
    static const QRegularExpression shape("^[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$");
    EXPECT_TRUE(shape.match(first).hasMatch()) << first.toStdString();
    EXPECT_EQ(defaults.string("quilloInstallationID"), first);
    EXPECT_EQ(QuilloInstallationIdentity::value(defaults), first);

    defaults.remove("quilloInstallationID");
    EXPECT_NE(QuilloInstallationIdentity::value(defaults), first);
}

TEST(QuilloInstallationIdentity, UpperCaseStoredValueIsReturnedLowerAndLeftAsStored) {
    InMemoryUserDefaults defaults;
    const QString stored = "3F2504E0-4F89-41D3-9A0C-0305E82C3301";
    defaults.setString("quilloInstallationID", stored);
    EXPECT_EQ(QuilloInstallationIdentity::value(defaults), stored.toLower());
    EXPECT_EQ(defaults.string("quilloInstallationID"), stored);
}

TEST(QuilloInstallationIdentity, ReplacesValuesThatAreNotRandomUUIDs) {
    for (const QString bad : {QString("6ba7b810-9dad-11d1-80b4-00c04fd430c8"), // version 1
                              QString("3f2504e0-4f89-41d3-ca0c-0305e82c3301"), // variant C
                              QString("not a uuid"), QString("{3f2504e0-4f89-41d3-9a0c-0305e82c3301}"), QString("")}) {
        InMemoryUserDefaults defaults;
        defaults.setString("quilloInstallationID", bad);
        const QString value = QuilloInstallationIdentity::value(defaults);
        EXPECT_NE(value, bad.toLower());
        EXPECT_TRUE(QuilloInstallationIdentity::isRandomUUID(value));
        EXPECT_EQ(defaults.string("quilloInstallationID"), value);
    }
    InMemoryUserDefaults wrongType;
    wrongType.setInteger("quilloInstallationID", 5);
    EXPECT_TRUE(QuilloInstallationIdentity::isRandomUUID(QuilloInstallationIdentity::value(wrongType)));
}
