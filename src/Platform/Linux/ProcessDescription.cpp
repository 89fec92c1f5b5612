#include "Platform/Linux/ProcessDescription.h"

#include "Platform/Linux/DesktopEntryIndex.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>

namespace quillo::ProcessDescription {

namespace {

QString executableName(qint32 pid) {
    if (pid <= 0) return {};
    return QFileInfo(QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget()).fileName();
}

void appendName(QStringList& names, const QString& name) {
    const QString trimmed = name.trimmed();
    if (!trimmed.isEmpty() && !names.contains(trimmed, Qt::CaseInsensitive)) names.append(trimmed);
}

} // namespace

QString commandName(qint32 processIdentifier) {
    if (processIdentifier <= 0) return {};
    QFile file(QStringLiteral("/proc/%1/comm").arg(processIdentifier));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).trimmed();
}

ApplicationDescription describe(const DesktopEntryIndex& entries, qint32 processIdentifier,
                                const QStringList& windowClassNames) {
    QStringList classNames;
    for (const QString& name : windowClassNames) appendName(classNames, name);
    QStringList programs;
    appendName(programs, executableName(processIdentifier));
    appendName(programs, commandName(processIdentifier));

    ApplicationDescription description;
    description.identifiers = classNames;
    for (const QString& program : programs) appendName(description.identifiers, program);
    description.categories = entries.categories(classNames, programs);
    return description;
}

bool isTerminated(qint32 processIdentifier) {
    if (processIdentifier <= 0) return false;
    if (::kill(processIdentifier, 0) == 0) return false;
    return errno == ESRCH;
}

} // namespace quillo::ProcessDescription
