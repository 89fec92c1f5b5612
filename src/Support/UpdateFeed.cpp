#include "Support/UpdateFeed.h"

#include "Support/UpdateError.h"
#include "Support/UpdateSignature.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace quillo {

namespace {

QJsonObject parseObject(const QByteArray& bytes, const QString& what) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        throw UpdateError::feedMalformed(what + QStringLiteral(" is not a JSON object"));
    return document.object();
}

QString optionalString(const QJsonObject& object, const QString& key, const QString& where) {
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull()) return {};
    if (!value.isString())
        throw UpdateError::feedMalformed(where + QLatin1Char('.') + key + QStringLiteral(" is not a string"));
    return value.toString();
}

QString requiredString(const QJsonObject& object, const QString& key, const QString& where) {
    QString value = optionalString(object, key, where);
    if (value.trimmed().isEmpty())
        throw UpdateError::feedMalformed(where + QLatin1Char('.') + key + QStringLiteral(" is missing"));
    return value;
}

bool isSecureUrl(const QUrl& url) {
    return url.isValid() && url.scheme() == QLatin1String("https") && !url.host().isEmpty() && url.userInfo().isEmpty();
}

QUrl secureUrl(const QString& text) {
    QUrl url(text, QUrl::StrictMode);
    if (!isSecureUrl(url)) throw UpdateError::insecurePackageURL();
    return url;
}

std::optional<QByteArray> hexDigest(const QString& text) {
    static const QString hexDigits = QStringLiteral("0123456789abcdefABCDEF");
    if (text.size() != 64) return std::nullopt;
    for (QChar c : text)
        if (!hexDigits.contains(c)) return std::nullopt;
    return QByteArray::fromHex(text.toLatin1());
}

UpdatePackage parsePackage(const QJsonValue& value, const QString& where) {
    if (!value.isObject()) throw UpdateError::feedMalformed(where + QStringLiteral(".package is missing"));
    const QJsonObject object = value.toObject();
    UpdatePackage package;
    package.url = secureUrl(requiredString(object, QStringLiteral("url"), where + QStringLiteral(".package")));
    const QJsonValue size = object.value(QStringLiteral("size"));
    const double bytes = size.toDouble(-1);
    // Whole bytes, within the range a double holds exactly.
    if (!size.isDouble() || bytes <= 0 || bytes > 9007199254740992.0 || std::floor(bytes) != bytes)
        throw UpdateError::feedMalformed(where + QStringLiteral(".package.size is not a positive whole number"));
    package.size = static_cast<qint64>(bytes);
    const auto digest = hexDigest(optionalString(object, QStringLiteral("sha256"), where + QStringLiteral(".package")));
    if (!digest)
        throw UpdateError::feedMalformed(where + QStringLiteral(".package.sha256 is not 64 hexadecimal digits"));
    package.sha256 = *digest;
    return package;
}

UpdateFeedItem parseItem(const QJsonValue& value, const QString& where) {
    if (!value.isObject()) throw UpdateError::feedMalformed(where + QStringLiteral(" is not an object"));
    const QJsonObject object = value.toObject();
    UpdateFeedItem item;
    item.version = requiredString(object, QStringLiteral("version"), where).trimmed();
    if (!UpdateVersion::parse(item.version))
        throw UpdateError::feedMalformed(where + QStringLiteral(".version is not a version"));
    item.buildNumber = requiredString(object, QStringLiteral("buildNumber"), where).trimmed();
    if (!UpdateReleaseOrder::isBuildNumber(item.buildNumber))
        throw UpdateError::feedMalformed(where + QStringLiteral(".buildNumber is not a number"));
    item.displayVersion = optionalString(object, QStringLiteral("displayVersion"), where).trimmed();
    if (item.displayVersion.isEmpty()) item.displayVersion = item.version;
    const QString minimum = optionalString(object, QStringLiteral("minimumSystemVersion"), where).trimmed();
    if (!minimum.isEmpty()) {
        if (!UpdateVersion::leadingNumbers(minimum))
            throw UpdateError::feedMalformed(where + QStringLiteral(".minimumSystemVersion is not a version"));
        item.minimumSystemVersion = minimum;
    }
    const QJsonValue critical = object.value(QStringLiteral("critical"));
    if (!critical.isUndefined() && !critical.isNull() && !critical.isBool())
        throw UpdateError::feedMalformed(where + QStringLiteral(".critical is not true or false"));
    item.critical = critical.toBool(false);
    item.releaseNotes = optionalString(object, QStringLiteral("releaseNotes"), where);
    const QString info = optionalString(object, QStringLiteral("infoUrl"), where).trimmed();
    if (!info.isEmpty()) item.infoUrl = secureUrl(info);
    item.package = parsePackage(object.value(QStringLiteral("package")), where);
    return item;
}

} // namespace

UpdateVersion UpdateFeedItem::parsedVersion() const { return UpdateVersion::parse(version).value_or(UpdateVersion{}); }

UpdateFeed UpdateFeed::fromFeedJson(const QByteArray& json) {
    const QJsonObject object = parseObject(json, QStringLiteral("the feed"));
    const QJsonValue items = object.value(QStringLiteral("items"));
    if (!items.isArray()) throw UpdateError::feedMalformed(QStringLiteral("items is not a list"));
    UpdateFeed feed;
    const QJsonArray list = items.toArray();
    for (qsizetype i = 0; i < list.size(); ++i)
        feed.items.append(parseItem(list.at(i), QStringLiteral("items[%1]").arg(i)));
    return feed;
}

UpdateFeed UpdateFeed::fromSignedDocument(const QByteArray& document, const QByteArray& publicKey) {
    if (publicKey.size() != UpdateSignature::publicKeyLength) throw UpdateError::publicKeyInvalid();
    if (document.size() > maximumDocumentSize)
        throw UpdateError::feedMalformed(QStringLiteral("the document is too large"));
    const QJsonObject envelope = parseObject(document, QStringLiteral("the document"));
    const QJsonValue signedFeed = envelope.value(QStringLiteral("feed"));
    if (!signedFeed.isString()) throw UpdateError::feedMalformed(QStringLiteral("feed is missing"));
    const auto feedBytes = UpdateSignature::decodeBase64(signedFeed.toString());
    if (!feedBytes) throw UpdateError::feedMalformed(QStringLiteral("feed is not base64"));

    const QJsonValue signatureValue = envelope.value(QStringLiteral("signature"));
    if (signatureValue.isUndefined() || signatureValue.isNull() ||
        (signatureValue.isString() && signatureValue.toString().trimmed().isEmpty()))
        throw UpdateError::signatureMissing();
    if (!signatureValue.isString()) throw UpdateError::signatureInvalid();
    const auto signature = UpdateSignature::decodeBase64(signatureValue.toString());
    if (!signature || signature->size() != UpdateSignature::signatureLength) throw UpdateError::signatureInvalid();
    // The answer to "is this ours" comes before any of its content is read.
    if (!UpdateSignature::verify(publicKey, *feedBytes, *signature)) throw UpdateError::signatureInvalid();
    return fromFeedJson(*feedBytes);
}

} // namespace quillo
