#include "Views/DesktopMotionSetting.h"

#include "Views/AccessibilityMotionPolicy.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>

namespace quillo {

namespace DesktopMotionSetting {

std::optional<bool> fromOverride(const QString& value) {
    const QString v = value.trimmed().toLower();
    if (v == QLatin1String("1") || v == QLatin1String("true") || v == QLatin1String("yes")) return true;
    if (v == QLatin1String("0") || v == QLatin1String("false") || v == QLatin1String("no")) return false;
    return std::nullopt;
}

std::optional<bool> fromGnomeEnableAnimations(const QString& gsettingsOutput) {
    const QString v = gsettingsOutput.trimmed();
    if (v == QLatin1String("false")) return true;
    if (v == QLatin1String("true")) return false;
    return std::nullopt;
}

std::optional<bool> fromKdeGlobals(const QString& kdeglobalsPath) {
    if (!QFileInfo::exists(kdeglobalsPath)) return std::nullopt;
    QSettings settings(kdeglobalsPath, QSettings::IniFormat);
    const QVariant factor = settings.value(QStringLiteral("KDE/AnimationDurationFactor"));
    if (!factor.isValid()) return std::nullopt;
    bool ok = false;
    const double value = factor.toDouble(&ok);
    if (!ok) return std::nullopt;
    return value <= 0.0;
}

namespace {

std::optional<bool> fromGnome() {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("gsettings"));
    if (program.isEmpty()) return std::nullopt;
    QProcess process;
    process.start(program, {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.interface"),
                            QStringLiteral("enable-animations")});
    // A one-off read at the first toast; a hung settings daemon must not hold the toast long.
    if (!process.waitForFinished(500) || process.exitCode() != 0) {
        process.kill();
        return std::nullopt;
    }
    return fromGnomeEnableAnimations(QString::fromUtf8(process.readAllStandardOutput()));
}

bool readSetting() {
    if (auto forced = fromOverride(qEnvironmentVariable("QUILLO_REDUCE_MOTION"))) return *forced;
    const QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP").toUpper();
    if (desktop.contains(QLatin1String("KDE"))) {
        const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        if (auto kde = fromKdeGlobals(QDir(config).filePath(QStringLiteral("kdeglobals")))) return *kde;
    }
    if (auto gnome = fromGnome()) return *gnome;
    return false;
}

} // namespace

bool reduceMotion() {
    static const bool value = readSetting();
    return value;
}

} // namespace DesktopMotionSetting

AccessibilityMotionPolicy AccessibilityMotionPolicy::current() { return make(DesktopMotionSetting::reduceMotion()); }

} // namespace quillo
