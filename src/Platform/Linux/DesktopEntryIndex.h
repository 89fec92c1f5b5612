#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace quillo {

// What an application's desktop entry (freedesktop .desktop file) says of it, as far as
// recognising the application goes.
struct DesktopEntry {
    QString id;             // the file name without ".desktop"
    QString startupWMClass; // StartupWMClass
    QStringList programs;   // file names of the Exec program and of TryExec
    QStringList categories; // Categories
    bool operator==(const DesktopEntry&) const = default;
};

// The desktop entries installed for the user and the system ($XDG_DATA_HOME/applications, then
// each of $XDG_DATA_DIRS/applications), read on first use. An application is found by its window
// class names (StartupWMClass or the entry's id) or by its executable's name (Exec, TryExec).
class DesktopEntryIndex {
public:
    explicit DesktopEntryIndex(QStringList directories = standardDirectories());

    static QStringList standardDirectories();
    // The [Desktop Entry] group of one file; none when it has none or is hidden.
    static std::optional<DesktopEntry> parse(const QByteArray& contents, const QString& id);
    // The file name of the program an Exec line starts (after "env" and its assignments).
    static QString programOf(const QString& exec);

    // The categories of every entry that names one of the window classes or executables.
    QStringList categories(const QStringList& windowClassNames, const QStringList& executableNames) const;

private:
    void load() const;

    QStringList directories_;
    mutable bool loaded_ = false;
    mutable QList<DesktopEntry> entries_;
};

} // namespace quillo
