#include "Platform/Linux/DesktopEntryIndex.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace quillo {

namespace {

// Larger files are no desktop entries.
constexpr qint64 maximumEntryBytes = qint64(256) * 1024;

bool sameName(const QString& a, const QString& b) { return !a.isEmpty() && a.compare(b, Qt::CaseInsensitive) == 0; }

// A desktop-file id names the application in reverse-DNS form or plainly; a window class often
// carries only the last part ("org.gnome.Console" against "kgx" is matched by Exec instead).
bool idMatches(const QString& id, const QString& name) {
    if (sameName(id, name)) return true;
    const QString last = id.section(u'.', -1);
    return last != id && sameName(last, name);
}

QStringList splitList(const QString& value) {
    QStringList items;
    for (const QString& item : value.split(u';', Qt::SkipEmptyParts))
        if (!item.trimmed().isEmpty()) items.append(item.trimmed());
    return items;
}

} // namespace

DesktopEntryIndex::DesktopEntryIndex(QStringList directories) : directories_(std::move(directories)) {}

QStringList DesktopEntryIndex::standardDirectories() {
    QStringList roots;
    const QString home = qEnvironmentVariable("XDG_DATA_HOME");
    roots.append(home.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share") : home);
    QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dirs.isEmpty()) dirs = QStringLiteral("/usr/local/share:/usr/share");
    roots += dirs.split(u':', Qt::SkipEmptyParts);
    QStringList directories;
    for (const QString& root : roots) directories.append(root + QStringLiteral("/applications"));
    return directories;
}

QString DesktopEntryIndex::programOf(const QString& exec) {
    // Words, with a double-quoted one taken whole (a path with spaces).
    QStringList words;
    const QString text = exec.trimmed();
    for (qsizetype i = 0; i < text.size();) {
        if (text[i] == u' ') {
            ++i;
            continue;
        }
        qsizetype end = 0;
        if (text[i] == u'"') {
            end = text.indexOf(u'"', i + 1);
            if (end < 0) end = text.size();
            words.append(text.mid(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        end = text.indexOf(u' ', i);
        if (end < 0) end = text.size();
        words.append(text.mid(i, end - i));
        i = end;
    }
    qsizetype index = 0;
    if (index < words.size() && QFileInfo(words[index]).fileName() == QLatin1String("env")) {
        ++index;
        while (index < words.size() && (words[index].contains(u'=') || words[index].startsWith(u'-'))) ++index;
    }
    if (index >= words.size()) return {};
    return QFileInfo(words[index]).fileName();
}

std::optional<DesktopEntry> DesktopEntryIndex::parse(const QByteArray& contents, const QString& id) {
    DesktopEntry entry;
    entry.id = id;
    bool inGroup = false;
    bool sawGroup = false;
    for (const QByteArray& rawLine : contents.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) continue;
        if (line.startsWith(u'[')) {
            inGroup = line == QLatin1String("[Desktop Entry]");
            sawGroup = sawGroup || inGroup;
            continue;
        }
        if (!inGroup) continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0) continue;
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (key == QLatin1String("Hidden") && value == QLatin1String("true")) return std::nullopt;
        if (key == QLatin1String("StartupWMClass")) entry.startupWMClass = value;
        if (key == QLatin1String("Categories")) entry.categories = splitList(value);
        if (key == QLatin1String("Exec") || key == QLatin1String("TryExec")) {
            const QString program = key == QLatin1String("Exec") ? programOf(value) : QFileInfo(value).fileName();
            if (!program.isEmpty() && !entry.programs.contains(program)) entry.programs.append(program);
        }
    }
    if (!sawGroup) return std::nullopt;
    return entry;
}

void DesktopEntryIndex::load() const {
    if (loaded_) return;
    loaded_ = true;
    // The first entry of an id wins: the user's own overrides the system's.
    QSet<QString> seen;
    for (const QString& directory : directories_) {
        QDirIterator files(directory, {QStringLiteral("*.desktop")}, QDir::Files | QDir::Readable,
                           QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            // Ids of entries in subfolders join the folder names with "-".
            QString id = QDir(directory).relativeFilePath(path);
            id.chop(8);
            id.replace(u'/', u'-');
            if (seen.contains(id)) continue;
            seen.insert(id);
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly) || file.size() > maximumEntryBytes) continue;
            if (auto entry = parse(file.readAll(), id)) entries_.append(*entry);
        }
    }
}

QStringList DesktopEntryIndex::categories(const QStringList& windowClassNames,
                                          const QStringList& executableNames) const {
    load();
    QStringList result;
    for (const DesktopEntry& entry : entries_) {
        bool matches = false;
        for (const QString& name : windowClassNames)
            matches = matches || sameName(entry.startupWMClass, name) || idMatches(entry.id, name);
        for (const QString& program : executableNames)
            matches = matches || std::any_of(entry.programs.cbegin(), entry.programs.cend(),
                                             [&](const QString& p) { return sameName(p, program); });
        if (!matches) continue;
        for (const QString& category : entry.categories)
            if (!result.contains(category)) result.append(category);
    }
    return result;
}

} // namespace quillo
