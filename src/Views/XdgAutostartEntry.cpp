#include "Views/XdgAutostartEntry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>

namespace quillo {

namespace XdgAutostartEntry {

QString path(const QString& applicationId) {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !QDir::isAbsolutePath(config))
        config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(config).filePath(QStringLiteral("autostart/%1.desktop").arg(applicationId));
}

QString quoteExec(const QString& program) {
    // Exec quoting: reserved characters force double quotes, inside which " ` $ \ are escaped;
    // the desktop-file string escape then doubles every backslash, and % is doubled for
    // field codes.
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = program.isEmpty();
    for (QChar c : program) needsQuotes = needsQuotes || reserved.contains(c);
    QString value;
    if (needsQuotes) {
        value += QLatin1Char('"');
        for (QChar c : program) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
                value += QLatin1Char('\\');
            value += c;
        }
        value += QLatin1Char('"');
    } else {
        value = program;
    }
    value.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    value.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return value;
}

QString execProgram(const QString& execValue) {
    // Undo the string escape, then read the first (possibly quoted) argument.
    QString unescaped;
    for (qsizetype i = 0; i < execValue.size(); ++i) {
        if (execValue[i] == QLatin1Char('\\') && i + 1 < execValue.size() && execValue[i + 1] == QLatin1Char('\\')) {
            unescaped += QLatin1Char('\\');
            ++i;
        } else {
            unescaped += execValue[i];
        }
    }
    QString program;
    qsizetype i = 0;
    while (i < unescaped.size() && unescaped[i].isSpace()) ++i;
    if (i < unescaped.size() && unescaped[i] == QLatin1Char('"')) {
        for (++i; i < unescaped.size() && unescaped[i] != QLatin1Char('"'); ++i) {
            if (unescaped[i] == QLatin1Char('\\') && i + 1 < unescaped.size()) ++i;
            program += unescaped[i];
        }
    } else {
        for (; i < unescaped.size() && !unescaped[i].isSpace(); ++i) program += unescaped[i];
    }
    program.replace(QStringLiteral("%%"), QStringLiteral("%"));
    return program;
}

QString contents(const QString& executable, const QString& displayName) {
    QString text;
    QTextStream out(&text);
    out << "[Desktop Entry]\n"
        << "Type=Application\n"
        << "Name=" << displayName << "\n"
        << "Comment=Corrects the text of the focused field on a key press\n"
        << "Exec=" << quoteExec(executable) << "\n"
        << "Icon=quillo\n"
        << "Terminal=false\n"
        << "X-GNOME-Autostart-enabled=true\n";
    return text;
}

LaunchAtLoginStatus status(const QString& applicationId) {
    QFile file(path(applicationId));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return LaunchAtLoginStatus::notRegistered;
    bool inEntry = false;
    QString exec;
    bool hidden = false;
    bool disabled = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inEntry || line.startsWith(QLatin1Char('#'))) continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0) continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        if (key == QLatin1String("Exec")) exec = value;
        else if (key == QLatin1String("Hidden")) hidden = value == QLatin1String("true");
        else if (key == QLatin1String("X-GNOME-Autostart-enabled")) disabled = value == QLatin1String("false");
    }
    // Hidden=true in the user's folder means "deleted".
    if (hidden) return LaunchAtLoginStatus::notRegistered;
    const QString program = execProgram(exec);
    if (program.isEmpty()) return LaunchAtLoginStatus::notFound;
    if (QDir::isAbsolutePath(program) ? !QFileInfo(program).isExecutable()
                                      : QStandardPaths::findExecutable(program).isEmpty())
        return LaunchAtLoginStatus::notFound;
    if (disabled) return LaunchAtLoginStatus::requiresApproval;
    return LaunchAtLoginStatus::enabled;
}

void write(const QString& applicationId, const QString& executable, const QString& displayName) {
    const QString target = path(applicationId);
    if (!QDir().mkpath(QFileInfo(target).absolutePath())) throw XdgAutostartError("cannot create the autostart folder");
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) throw XdgAutostartError(file.errorString().toStdString());
    file.write(contents(executable, displayName).toUtf8());
    if (!file.commit()) throw XdgAutostartError(file.errorString().toStdString());
}

void remove(const QString& applicationId) {
    QFile file(path(applicationId));
    if (file.exists() && !file.remove()) throw XdgAutostartError(file.errorString().toStdString());
}

} // namespace XdgAutostartEntry

} // namespace quillo
