#include "Services/QuilloDiagnosticRecord.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <QSysInfo>
#include <cmath>

namespace quillo {

OperatingSystemVersion OperatingSystemVersion::parse(const QString& text) {
    OperatingSystemVersion version;
    int* parts[] = {&version.major, &version.minor, &version.patch};
    const QStringList pieces = text.split(QLatin1Char('.'));
    for (int i = 0; i < 3 && i < pieces.size(); ++i) {
        // Each piece counts up to its first non-digit ("0-18-amd64" -> 0).
        const QString& piece = pieces.at(i);
        qsizetype digits = 0;
        while (digits < piece.size() && piece.at(digits).isDigit() && piece.at(digits).unicode() < 128) ++digits;
        if (digits == 0) break;
        *parts[i] = piece.left(digits).toInt();
        if (digits < piece.size()) break;
    }
    return version;
}

OperatingSystemVersion OperatingSystemVersion::current() {
    static const OperatingSystemVersion version = parse(QSysInfo::kernelVersion());
    return version;
}

QString QuilloDiagnosticRecord::isoTimestamp(const QDateTime& time) { return time.toUTC().toString(Qt::ISODate); }

QString QuilloDiagnosticRecord::uuidText(const QUuid& uuid) { return uuid.toString(QUuid::WithoutBraces).toUpper(); }

QJsonObject QuilloDiagnosticRecord::toJsonObject() const {
    QJsonObject object;
    object.insert(QStringLiteral("timestamp"), isoTimestamp(timestamp));
    object.insert(QStringLiteral("sessionID"), uuidText(sessionID));
    if (correlationID) object.insert(QStringLiteral("correlationID"), uuidText(*correlationID));
    object.insert(QStringLiteral("event"), QuilloDiagnosticEvents::rawValue(event));
    object.insert(QStringLiteral("level"), QuilloDiagnosticLevels::rawValue(level));
    object.insert(QStringLiteral("appVersion"), appVersion);
    object.insert(QStringLiteral("appBuild"), appBuild);
    object.insert(QStringLiteral("osMajorVersion"), osMajorVersion);
    object.insert(QStringLiteral("osMinorVersion"), osMinorVersion);
    object.insert(QStringLiteral("osPatchVersion"), osPatchVersion);
    return object;
}

QByteArray QuilloDiagnosticRecord::toJsonLine() const {
    // QJsonObject keeps its keys sorted, so the compact form has sorted keys.
    return QJsonDocument(toJsonObject()).toJson(QJsonDocument::Compact);
}

namespace {
std::optional<QUuid> uuidValue(const QJsonValue& value) {
    if (!value.isString()) return std::nullopt;
    const QString text = value.toString();
    if (text.size() != 36) return std::nullopt;
    const QUuid uuid = QUuid::fromString(text);
    if (uuid.isNull() && text != QLatin1String("00000000-0000-0000-0000-000000000000")) return std::nullopt;
    return uuid;
}

std::optional<int> intValue(const QJsonValue& value) {
    if (!value.isDouble()) return std::nullopt;
    const double d = value.toDouble();
    if (d != std::floor(d) || d < -2147483648.0 || d > 2147483647.0) return std::nullopt;
    return static_cast<int>(d);
}
} // namespace

std::optional<QuilloDiagnosticRecord> QuilloDiagnosticRecord::fromJsonObject(const QJsonObject& object) {
    QuilloDiagnosticRecord record;
    const QJsonValue time = object.value(QStringLiteral("timestamp"));
    if (!time.isString()) return std::nullopt;
    record.timestamp = QDateTime::fromString(time.toString(), Qt::ISODate);
    if (!record.timestamp.isValid()) return std::nullopt;
    record.timestamp = record.timestamp.toUTC();

    const auto session = uuidValue(object.value(QStringLiteral("sessionID")));
    if (!session) return std::nullopt;
    record.sessionID = *session;

    const QJsonValue correlation = object.value(QStringLiteral("correlationID"));
    if (!correlation.isUndefined() && !correlation.isNull()) {
        record.correlationID = uuidValue(correlation);
        if (!record.correlationID) return std::nullopt;
    }

    const QJsonValue event = object.value(QStringLiteral("event"));
    const QJsonValue level = object.value(QStringLiteral("level"));
    if (!event.isString() || !level.isString()) return std::nullopt;
    const auto parsedEvent = QuilloDiagnosticEvents::fromRawValue(event.toString());
    const auto parsedLevel = QuilloDiagnosticLevels::fromRawValue(level.toString());
    if (!parsedEvent || !parsedLevel) return std::nullopt;
    record.event = *parsedEvent;
    record.level = *parsedLevel;

    const QJsonValue version = object.value(QStringLiteral("appVersion"));
    const QJsonValue build = object.value(QStringLiteral("appBuild"));
    if (!version.isString() || !build.isString()) return std::nullopt;
    record.appVersion = version.toString();
    record.appBuild = build.toString();

    const auto major = intValue(object.value(QStringLiteral("osMajorVersion")));
    const auto minor = intValue(object.value(QStringLiteral("osMinorVersion")));
    const auto patch = intValue(object.value(QStringLiteral("osPatchVersion")));
    if (!major || !minor || !patch) return std::nullopt;
    record.osMajorVersion = *major;
    record.osMinorVersion = *minor;
    record.osPatchVersion = *patch;
    return record;
}

std::optional<QuilloDiagnosticRecord> QuilloDiagnosticRecord::fromJsonLine(const QByteArray& line) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    return fromJsonObject(document.object());
}

} // namespace quillo
