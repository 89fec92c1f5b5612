// The update feed's trust rules: version order, Ed25519 signatures, the feed's shape, which
// item is the update, and the build's configuration.
#include "UpdateTestSupport.h"

#include "Support/UpdateError.h"
#include "Support/UpdateFeedConfiguration.h"
#include "Support/UpdateSelection.h"
#include "Support/UpdateSignature.h"

#include <gtest/gtest.h>

using namespace quillo;
using namespace updatetest;
using Kind = UpdateError::Kind;

namespace {

int order(const QString& a, const QString& b) {
    const auto x = UpdateVersion::parse(a), y = UpdateVersion::parse(b);
    EXPECT_TRUE(x && y) << qPrintable(a) << " / " << qPrintable(b);
    if (!x || !y) return 99;
    const auto o = *x <=> *y;
    return o < 0 ? -1 : (o > 0 ? 1 : 0);
}

std::optional<Kind> errorOf(const std::function<void()>& run) {
    try {
        run();
    } catch (const UpdateError& error) {
        return error.kind();
    }
    return std::nullopt;
}

} // namespace

TEST(UpdateVersion, OrdersLikeReleases) {
    struct Case {
        const char* a;
        const char* b;
        int expected;
    };
    const Case cases[] = {
        {"1.2", "1.2.0", 0},
        {"1.10", "1.9", 1},
        {"1.2.3", "1.2.10", -1},
        {"2", "1.99.99", 1},
        {"01.2", "1.2", 0},
        {"2.0.0-beta", "2.0.0", -1},
        {"2.0.0-beta.2", "2.0.0-beta.10", -1},
        {"1.0.0-alpha", "1.0.0-alpha.1", -1},
        {"1.0.0-alpha.1", "1.0.0-alpha.beta", -1},
        {"1.0.0-beta", "1.0.0-alpha", 1},
        {"1.0.0+build.5", "1.0.0", 0},
        {"9999999999999999999", "1", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(order(QString::fromLatin1(c.a), QString::fromLatin1(c.b)), c.expected) << c.a << " vs " << c.b;
}

TEST(UpdateVersion, RefusesWhatIsNoVersion) {
    for (const char* text : {"", " ", "1..2", "v1.2", "1.2-", "1.2.x", "1.0+../../x", "1.2 3", ".1", "1.", "1.0-be/ta",
                             "123456789012345678901"})
        EXPECT_FALSE(UpdateVersion::parse(QString::fromLatin1(text))) << text;
}

TEST(UpdateVersion, SystemVersionsKeepTheirLeadingNumbers) {
    EXPECT_EQ(UpdateVersion::leadingNumbers(QStringLiteral("6.1.0-18-amd64"))->numbers, (QList<quint64>{6, 1, 0}));
    EXPECT_EQ(UpdateVersion::leadingNumbers(QStringLiteral("5.10"))->numbers, (QList<quint64>{5, 10}));
    EXPECT_FALSE(UpdateVersion::leadingNumbers(QStringLiteral("generic")));
}

TEST(UpdateVersion, BuildNumbersSettleEqualVersions) {
    const UpdateVersion v = *UpdateVersion::parse(QStringLiteral("1.4"));
    EXPECT_TRUE(UpdateReleaseOrder::compare(v, QStringLiteral("12"), v, QStringLiteral("9")) > 0);
    EXPECT_TRUE(UpdateReleaseOrder::compare(v, QStringLiteral("012"), v, QStringLiteral("12")) == 0);
    EXPECT_TRUE(UpdateReleaseOrder::compare(v, QStringLiteral("1"), v, QString()) > 0);
    EXPECT_TRUE(UpdateReleaseOrder::compare(v, QStringLiteral("99"), *UpdateVersion::parse(QStringLiteral("1.4.1")),
                                            QStringLiteral("1")) < 0);
}

TEST(UpdateSignature, AcceptsOnlyTheKeysSignatureOverTheExactBytes) {
    const TestSigningKey key, other;
    const QByteArray message = feed({item(QStringLiteral("2.0"))});
    const QByteArray signature = key.sign(message);
    EXPECT_TRUE(UpdateSignature::verify(key.publicKey(), message, signature));

    QByteArray tampered = message;
    tampered[tampered.size() / 2] = static_cast<char>(tampered[tampered.size() / 2] ^ 1);
    EXPECT_FALSE(UpdateSignature::verify(key.publicKey(), tampered, signature));
    EXPECT_FALSE(UpdateSignature::verify(other.publicKey(), message, signature));
    EXPECT_FALSE(UpdateSignature::verify(key.publicKey(), message, signature.left(63)));
    EXPECT_FALSE(UpdateSignature::verify(key.publicKey().left(31), message, signature));
}

TEST(UpdateSignature, PublicKeysAreStrictBase64OfThirtyTwoBytes) {
    const TestSigningKey key;
    EXPECT_EQ(UpdateSignature::publicKey(key.publicKeyBase64()), key.publicKey());
    EXPECT_EQ(UpdateSignature::publicKey(QStringLiteral("  ") + key.publicKeyBase64() + QStringLiteral("\n")),
              key.publicKey());
    for (const QString& text :
         {QStringLiteral("REPLACE_WITH_YOUR_KEY"), QStringLiteral("$(SU_PUBLIC_ED_KEY)"), QString(),
          QString::fromLatin1(QByteArray(31, 'a').toBase64()), QString::fromLatin1(QByteArray(33, 'a').toBase64()),
          key.publicKeyBase64().replace(0, 1, QStringLiteral("*"))})
        EXPECT_FALSE(UpdateSignature::publicKey(text)) << qPrintable(text);
    // Stray bits in the last character make another string for the same bytes: refused.
    EXPECT_FALSE(UpdateSignature::decodeBase64(QStringLiteral("AB==")));
    EXPECT_EQ(UpdateSignature::decodeBase64(QStringLiteral("AA==")), QByteArray(1, '\0'));
}

TEST(UpdateFeed, ReadsASignedFeed) {
    const TestSigningKey key;
    QJsonObject full = item(QStringLiteral("2.1.0"), QStringLiteral("210"));
    full.insert(QStringLiteral("displayVersion"), QStringLiteral("2.1"));
    full.insert(QStringLiteral("minimumSystemVersion"), QStringLiteral("5.10"));
    full.insert(QStringLiteral("critical"), true);
    full.insert(QStringLiteral("infoUrl"), QStringLiteral("https://updates.example/2.1"));
    full.insert(QStringLiteral("unknownMember"), 5);
    QJsonObject bare = item(QStringLiteral("2.0"));
    bare.remove(QStringLiteral("displayVersion"));
    bare.remove(QStringLiteral("releaseNotes"));

    const UpdateFeed parsed = UpdateFeed::fromSignedDocument(key.document(feed({full, bare})), key.publicKey());
    ASSERT_EQ(parsed.items.size(), 2);
    const UpdateFeedItem& first = parsed.items[0];
    EXPECT_EQ(first.version, QStringLiteral("2.1.0"));
    EXPECT_EQ(first.buildNumber, QStringLiteral("210"));
    EXPECT_EQ(first.displayVersion, QStringLiteral("2.1"));
    EXPECT_EQ(first.minimumSystemVersion, QStringLiteral("5.10"));
    EXPECT_TRUE(first.critical);
    EXPECT_EQ(first.releaseNotes, QStringLiteral("Fixes."));
    EXPECT_EQ(first.infoUrl, QUrl(QStringLiteral("https://updates.example/2.1")));
    EXPECT_EQ(first.package.url, QUrl(QStringLiteral("https://updates.example/quillo-2.1.0.deb")));
    EXPECT_EQ(first.package.size, packageBytes(QStringLiteral("2.1.0")).size());
    EXPECT_EQ(first.package.sha256,
              QCryptographicHash::hash(packageBytes(QStringLiteral("2.1.0")), QCryptographicHash::Sha256));
    const UpdateFeedItem& second = parsed.items[1];
    EXPECT_EQ(second.displayVersion, QStringLiteral("2.0")); // the version stands in
    EXPECT_FALSE(second.critical);
    EXPECT_FALSE(second.minimumSystemVersion);
    EXPECT_FALSE(second.infoUrl);
    EXPECT_TRUE(UpdateFeed::fromSignedDocument(key.document(feed({})), key.publicKey()).items.isEmpty());
}

TEST(UpdateFeed, RefusesDocumentsThatAreNotSignedByTheKey) {
    const TestSigningKey key, other;
    const QByteArray good = feed({item(QStringLiteral("2.0"))});
    const QByteArray signature = QByteArray(key.sign(good).toBase64());
    const auto envelope = [](const QJsonObject& object) {
        return QJsonDocument(object).toJson(QJsonDocument::Compact);
    };
    const QString body = QString::fromLatin1(good.toBase64());
    QByteArray tamperedFeed = good;
    tamperedFeed.replace("Fixes.", "Fixed.");

    struct Case {
        const char* name;
        QByteArray document;
        QByteArray publicKey;
        Kind expected;
    };
    const Case cases[] = {
        {"not JSON", "{\"feed\":", key.publicKey(), Kind::feedMalformed},
        {"a list", "[]", key.publicKey(), Kind::feedMalformed},
        {"no feed", envelope({{"signature", QString::fromLatin1(signature)}}), key.publicKey(), Kind::feedMalformed},
        {"feed not base64", envelope({{"feed", "not base64!"}, {"signature", QString::fromLatin1(signature)}}),
         key.publicKey(), Kind::feedMalformed},
        {"no signature", envelope({{"feed", body}}), key.publicKey(), Kind::signatureMissing},
        {"blank signature", envelope({{"feed", body}, {"signature", " "}}), key.publicKey(), Kind::signatureMissing},
        {"signature a number", envelope({{"feed", body}, {"signature", 7}}), key.publicKey(), Kind::signatureInvalid},
        {"signature not base64", envelope({{"feed", body}, {"signature", "%%%"}}), key.publicKey(),
         Kind::signatureInvalid},
        {"signature too short",
         envelope({{"feed", body}, {"signature", QString::fromLatin1(QByteArray(63, 'x').toBase64())}}),
         key.publicKey(), Kind::signatureInvalid},
        {"tampered body",
         envelope(
             {{"feed", QString::fromLatin1(tamperedFeed.toBase64())}, {"signature", QString::fromLatin1(signature)}}),
         key.publicKey(), Kind::signatureInvalid},
        {"wrong key", key.document(good), other.publicKey(), Kind::signatureInvalid},
        {"no usable key", key.document(good), QByteArray("REPLACE_WITH_KEY"), Kind::publicKeyInvalid},
        {"signed garbage", key.document("not json"), key.publicKey(), Kind::feedMalformed},
        {"too large", QByteArray(UpdateFeed::maximumDocumentSize + 1, ' '), key.publicKey(), Kind::feedMalformed},
    };
    for (const Case& c : cases)
        EXPECT_EQ(errorOf([&] { UpdateFeed::fromSignedDocument(c.document, c.publicKey); }), c.expected) << c.name;
}

TEST(UpdateFeed, OneBadItemRefusesTheWholeFeed) {
    const TestSigningKey key;
    const auto with = [](const QString& member, const QJsonValue& value) {
        QJsonObject i = item(QStringLiteral("3.0"));
        if (value.isUndefined()) i.remove(member);
        else i.insert(member, value);
        return i;
    };
    const auto withPackage = [](const QString& member, const QJsonValue& value) {
        QJsonObject i = item(QStringLiteral("3.0"));
        QJsonObject package = i.value(QStringLiteral("package")).toObject();
        if (value.isUndefined()) package.remove(member);
        else package.insert(member, value);
        i.insert(QStringLiteral("package"), package);
        return i;
    };
    struct Case {
        const char* name;
        QJsonValue bad;
        Kind expected;
    };
    const Case cases[] = {
        {"plain http package", withPackage("url", "http://updates.example/q.deb"), Kind::insecurePackageURL},
        {"file package", withPackage("url", "file:///tmp/q.deb"), Kind::insecurePackageURL},
        {"package without host", withPackage("url", "https:///q.deb"), Kind::insecurePackageURL},
        {"plain http release page", with("infoUrl", "http://updates.example/3.0"), Kind::insecurePackageURL},
        {"no package", with("package", QJsonValue::Undefined), Kind::feedMalformed},
        {"no size", withPackage("size", QJsonValue::Undefined), Kind::feedMalformed},
        {"negative size", withPackage("size", -5), Kind::feedMalformed},
        {"fractional size", withPackage("size", 10.5), Kind::feedMalformed},
        {"size as text", withPackage("size", "10"), Kind::feedMalformed},
        {"short digest", withPackage("sha256", "abcd"), Kind::feedMalformed},
        {"digest not hex", withPackage("sha256", QString(64, QLatin1Char('g'))), Kind::feedMalformed},
        {"no version", with("version", QJsonValue::Undefined), Kind::feedMalformed},
        {"bad version", with("version", "three"), Kind::feedMalformed},
        {"no build", with("buildNumber", QJsonValue::Undefined), Kind::feedMalformed},
        {"bad build", with("buildNumber", "12a"), Kind::feedMalformed},
        {"critical as text", with("critical", "yes"), Kind::feedMalformed},
        {"bad minimum system", with("minimumSystemVersion", "recent"), Kind::feedMalformed},
        {"notes a number", with("releaseNotes", 4), Kind::feedMalformed},
        {"item a string", QJsonValue(QStringLiteral("3.0")), Kind::feedMalformed},
    };
    for (const Case& c : cases) {
        const QByteArray document = key.document(feed({item(QStringLiteral("2.0")), c.bad}));
        EXPECT_EQ(errorOf([&] { UpdateFeed::fromSignedDocument(document, key.publicKey()); }), c.expected) << c.name;
    }
    EXPECT_EQ(errorOf([&] { UpdateFeed::fromFeedJson(R"({"items":{}})"); }), Kind::feedMalformed);
    EXPECT_EQ(errorOf([&] { UpdateFeed::fromFeedJson(R"({})"); }), Kind::feedMalformed);
}

TEST(UpdateSelection, PicksTheNewestReleaseThatRunsHere) {
    UpdateFeed feed;
    const auto add = [&feed](const QString& version, const QString& build, std::optional<QString> minimum = {}) {
        UpdateFeedItem i;
        i.version = version;
        i.buildNumber = build;
        i.displayVersion = version;
        i.minimumSystemVersion = minimum;
        feed.items.append(i);
    };
    add(QStringLiteral("1.5"), QStringLiteral("150"));
    add(QStringLiteral("1.7"), QStringLiteral("170"), QStringLiteral("7.0"));
    add(QStringLiteral("1.6"), QStringLiteral("160"), QStringLiteral("5.10"));
    add(QStringLiteral("1.6"), QStringLiteral("161"), QStringLiteral("5.10"));
    add(QStringLiteral("2.0.0-beta.1"), QStringLiteral("199"));

    const InstalledRelease installed{QStringLiteral("1.4"), QStringLiteral("140"), QStringLiteral("6.1.0-18-amd64")};
    auto best = UpdateSelection::bestUpdate(feed, installed);
    ASSERT_TRUE(best);
    // 1.7 needs a newer kernel; the pre-release of 2.0 still orders after 1.6.
    EXPECT_EQ(best->version, QStringLiteral("2.0.0-beta.1"));
    feed.items.removeLast();
    best = UpdateSelection::bestUpdate(feed, installed);
    ASSERT_TRUE(best);
    EXPECT_EQ(UpdateSelection::releaseKey(*best), QStringLiteral("1.6+161"));

    EXPECT_FALSE(
        UpdateSelection::bestUpdate(feed, {QStringLiteral("1.6"), QStringLiteral("161"), QStringLiteral("6.1")}));
    EXPECT_FALSE(
        UpdateSelection::bestUpdate(feed, {QStringLiteral("1.6.0"), QStringLiteral("162"), QStringLiteral("6.1")}));
    EXPECT_TRUE(
        UpdateSelection::bestUpdate(feed, {QStringLiteral("1.6"), QStringLiteral("160"), QStringLiteral("6.1")}));
    // A kernel that says nothing readable runs only items without a minimum.
    best = UpdateSelection::bestUpdate(feed, {QStringLiteral("1.4"), QStringLiteral("1"), QStringLiteral("unknown")});
    ASSERT_TRUE(best);
    EXPECT_EQ(best->version, QStringLiteral("1.5"));
    // An unreadable installed version is older than every release.
    EXPECT_TRUE(UpdateSelection::bestUpdate(feed, {QStringLiteral("dev"), QString(), QStringLiteral("6.1")}));
    EXPECT_FALSE(UpdateSelection::bestUpdate(UpdateFeed{}, installed));
}

TEST(UpdateFeedConfiguration, PlaceholdersAndFeedAddresses) {
    for (const char* value : {"", "  \n\t", "REPLACE_WITH_FEED_URL", "https://x/$(FEED)", "$(SU_PUBLIC_ED_KEY)"})
        EXPECT_TRUE(UpdateFeedConfiguration::isPlaceholder(QString::fromLatin1(value))) << value;
    EXPECT_FALSE(UpdateFeedConfiguration::isPlaceholder(QStringLiteral("https://updates.example/feed.json")));

    const TestSigningKey key;
    const auto info = [&](const QVariant& feed, const QVariant& publicKey, const QVariant& automatic = {}) {
        QuilloInfoDictionary table;
        if (feed.isValid()) table.insert(QuilloBundleInfo::updateFeedUrlKey, feed);
        if (publicKey.isValid()) table.insert(QuilloBundleInfo::updatePublicKeyKey, publicKey);
        if (automatic.isValid()) table.insert(QuilloBundleInfo::updateAutomaticChecksKey, automatic);
        return table;
    };
    const QString url = QStringLiteral("https://updates.example/feed.json");
    const auto configured = UpdateFeedConfiguration::from(info(url, key.publicKeyBase64(), true));
    ASSERT_TRUE(configured);
    EXPECT_EQ(configured->feedUrl, QUrl(url));
    EXPECT_EQ(configured->publicKey, key.publicKeyBase64());
    EXPECT_EQ(configured->automaticChecks, true);
    EXPECT_EQ(UpdateFeedConfiguration::from(info(url, key.publicKeyBase64(), QStringLiteral("NO")))->automaticChecks,
              false);
    EXPECT_FALSE(UpdateFeedConfiguration::from(info(url, key.publicKeyBase64()))->automaticChecks);

    EXPECT_FALSE(
        UpdateFeedConfiguration::from(info(QStringLiteral("https://updates.example/$(FEED)"), key.publicKeyBase64())));
    EXPECT_FALSE(UpdateFeedConfiguration::from(info(url, QStringLiteral("REPLACE_WITH_KEY"))));
    EXPECT_FALSE(UpdateFeedConfiguration::from(info(url, QStringLiteral(" "))));
    EXPECT_FALSE(UpdateFeedConfiguration::from(info({}, key.publicKeyBase64())));
    EXPECT_FALSE(UpdateFeedConfiguration::from(info(url, {})));
    EXPECT_FALSE(UpdateFeedConfiguration::from(info(QStringLiteral("not a url"), key.publicKeyBase64())));
    EXPECT_FALSE(UpdateFeedConfiguration::from(info(QStringLiteral("https://"), key.publicKeyBase64())));
    EXPECT_FALSE(UpdateFeedConfiguration::from(info(42, key.publicKeyBase64())));
}
