#include "App/XdgUrlSchemeRegistration.h"

#include "Views/XdgAutostartEntry.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

namespace quillo {

namespace XdgUrlSchemeRegistration {

QString desktopEntryPath(const QString& applicationId) {
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || !QDir::isAbsolutePath(data))
        data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(data).filePath(QStringLiteral("applications/%1.desktop").arg(applicationId));
}

QString desktopEntry(const QString& executable, const QString& displayName) {
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=%1\n"
                          "Comment=Corrects the text of the focused field on a key press\n"
                          "Exec=%2 %u\n"
                          "Icon=quillo\n"
                          "Terminal=false\n"
                          "NoDisplay=true\n"
                          "MimeType=x-scheme-handler/%3;\n")
        .arg(displayName, XdgAutostartEntry::quoteExec(executable), scheme);
}

std::optional<QString> registerHandler(const QString& applicationId, const QString& executable,
                                       const QString& displayName) {
    const QString path = desktopEntryPath(applicationId);
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) return QStringLiteral("cannot create %1").arg(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return file.errorString();
    file.write(desktopEntry(executable, displayName).toUtf8());
    if (!file.commit()) return file.errorString();
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty()) return QStringLiteral("xdg-mime is not installed");
    // Detached: the desktop's MIME database update must not hold up start-up.
    if (!QProcess::startDetached(xdgMime, {QStringLiteral("default"), QFileInfo(path).fileName(),
                                           QStringLiteral("x-scheme-handler/") + scheme}))
        return QStringLiteral("xdg-mime could not be started");
    return std::nullopt;
}

} // namespace XdgUrlSchemeRegistration

} // namespace quillo
