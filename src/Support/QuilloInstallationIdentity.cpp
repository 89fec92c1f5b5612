#include "Support/QuilloInstallationIdentity.h"

#include "Platform/UserDefaults.h"

#include <QUuid>

namespace quillo::QuilloInstallationIdentity {

namespace {
QString canonicalUpper(const QUuid& uuid) { return uuid.toString(QUuid::WithoutBraces).toUpper(); }

std::optional<QUuid> parse(const QString& text) {
    // Only the plain 36-character form, as the identifier is always stored.
    if (text.size() != 36) return std::nullopt;
    const QUuid uuid = QUuid::fromString(text);
    if (uuid.isNull()) return std::nullopt;
    return uuid;
}
} // namespace

bool isRandomUUID(const QString& text) {
    const auto uuid = parse(text);
    if (!uuid) return false;
    const QString canonical = canonicalUpper(*uuid);
    const QChar variant = canonical.at(19);
    return canonical.at(14) == QLatin1Char('4') && (variant == QLatin1Char('8') || variant == QLatin1Char('9') ||
                                                    variant == QLatin1Char('A') || variant == QLatin1Char('B'));
}

QString value(UserDefaults& defaults) {
    if (const auto stored = defaults.string(defaultsKey); stored && isRandomUUID(*stored)) {
        return canonicalUpper(*parse(*stored)).toLower();
    }
    QString fresh = QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
    defaults.setString(defaultsKey, fresh);
    return fresh;
}

} // namespace quillo::QuilloInstallationIdentity
