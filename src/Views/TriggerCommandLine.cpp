#include "Views/TriggerCommandLine.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace quillo::TriggerCommandLine {

QString shellQuoted(const QString& text) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./+:@%-]+$"));
    if (!text.isEmpty() && plain.match(text).hasMatch()) return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString command(const QString& applicationFilePath, const QString& foundOnPath) {
    const QFileInfo program(applicationFilePath);
    if (!foundOnPath.isEmpty()) {
        const QString found = QFileInfo(foundOnPath).canonicalFilePath();
        if (!found.isEmpty() && found == program.canonicalFilePath())
            return shellQuoted(program.fileName()) + QLatin1Char(' ') + argument;
    }
    return shellQuoted(program.absoluteFilePath()) + QLatin1Char(' ') + argument;
}

QString current() {
    const QString path = QCoreApplication::applicationFilePath();
    return command(path, QStandardPaths::findExecutable(QFileInfo(path).fileName()));
}

} // namespace quillo::TriggerCommandLine
