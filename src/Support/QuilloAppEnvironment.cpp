#include "Support/QuilloAppEnvironment.h"

#include <QDir>
#include <QStandardPaths>

namespace quillo::QuilloAppEnvironment {

std::optional<QString> string(const QuilloInfoDictionary& info, const QString& key) {
    const auto it = info.constFind(key);
    if (it == info.constEnd() || it->typeId() != QMetaType::QString) return std::nullopt;
    return it->toString();
}

QuilloRuntimeConfiguration current(const QuilloInfoDictionary& info) {
    QuilloRuntimeConfiguration configuration;
    configuration.bundleIdentifier =
        string(info, QuilloBundleInfo::bundleIdentifierKey).value_or(defaultBundleIdentifier);
    configuration.buildChannel = string(info, QuilloBundleInfo::buildChannelKey).value_or(defaultBuildChannel);
    return configuration;
}

QString displayName(const QuilloInfoDictionary& info) {
    if (auto name = string(info, QuilloBundleInfo::displayNameKey)) return *name;
    if (auto name = string(info, QuilloBundleInfo::bundleNameKey)) return *name;
    return QStringLiteral("Quillo");
}

QString versionText(const QString& version, const QString& build) {
    QString text = QStringLiteral("Version ") + version;
    if (build.isEmpty()) return text;
    const QStringList parts = version.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    if (parts.size() < 3) text += QLatin1Char('.') + build;
    return text;
}

QString versionText(const QuilloInfoDictionary& info) {
    return versionText(string(info, QuilloBundleInfo::shortVersionKey).value_or(QStringLiteral("1.0")),
                       string(info, QuilloBundleInfo::bundleVersionKey).value_or(QString()));
}

QString dataFolderName(const QuilloInfoDictionary& info) {
    return current(info).isTestBuild() ? QStringLiteral("Quillo Test") : QStringLiteral("Quillo");
}

QString applicationDataFolder(const QuilloInfoDictionary& info) {
    QString base = qEnvironmentVariable("QUILLO_DATA_HOME");
    if (base.isEmpty()) base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty()) base = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir(base).filePath(dataFolderName(info));
}

} // namespace quillo::QuilloAppEnvironment
