#include "Platform/Linux/DesktopEntryIndex.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quillo;

namespace {

void write(const QString& path, const QByteArray& contents) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

} // namespace

TEST(DesktopEntryIndex, ReadsOnlyTheDesktopEntryGroup) {
    const auto entry = DesktopEntryIndex::parse("# a comment\n[Desktop Entry]\nName=UXTerm\nExec=uxterm -e bash\n"
                                                "TryExec=/usr/bin/uxterm\nCategories=System;TerminalEmulator;\n"
                                                "StartupWMClass=UXTerm\n[Desktop Action New]\nExec=other\n"
                                                "Categories=Game;\n",
                                                QStringLiteral("debian-uxterm"));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->id, QStringLiteral("debian-uxterm"));
    EXPECT_EQ(entry->startupWMClass, QStringLiteral("UXTerm"));
    EXPECT_EQ(entry->programs, QStringList{QStringLiteral("uxterm")});
    EXPECT_EQ(entry->categories, (QStringList{QStringLiteral("System"), QStringLiteral("TerminalEmulator")}));

    EXPECT_FALSE(DesktopEntryIndex::parse("[Desktop Entry]\nHidden=true\nCategories=TerminalEmulator;\n", "x"));
    EXPECT_FALSE(DesktopEntryIndex::parse("Categories=TerminalEmulator;\n", "x")) << "no group";
}

TEST(DesktopEntryIndex, FindsTheProgramOfAnExecLine) {
    EXPECT_EQ(DesktopEntryIndex::programOf(QStringLiteral("/usr/bin/lxterminal %U")), QStringLiteral("lxterminal"));
    EXPECT_EQ(DesktopEntryIndex::programOf(QStringLiteral("env GDK_BACKEND=x11 LANG=C kgx --tab")),
              QStringLiteral("kgx"));
    EXPECT_EQ(DesktopEntryIndex::programOf(QStringLiteral("\"/opt/My Term/term\" --new")), QStringLiteral("term"));
    EXPECT_EQ(DesktopEntryIndex::programOf(QString()), QString());
}

TEST(DesktopEntryIndex, FindsEntriesByWindowClassIdOrExecutable) {
    QTemporaryDir user;
    QTemporaryDir system;
    write(system.filePath("debian-uxterm.desktop"),
          "[Desktop Entry]\nExec=uxterm\nCategories=System;TerminalEmulator;\nStartupWMClass=UXTerm\n");
    write(system.filePath("org.gnome.Console.desktop"),
          "[Desktop Entry]\nExec=kgx\nCategories=GNOME;GTK;System;TerminalEmulator;\n");
    write(system.filePath("mousepad.desktop"), "[Desktop Entry]\nExec=mousepad %F\nCategories=Utility;TextEditor;\n");
    write(system.filePath("kde/konsole.desktop"),
          "[Desktop Entry]\nExec=konsole\nCategories=Qt;KDE;TerminalEmulator;\n");
    // The user's own entry of the same id replaces the system's.
    write(user.filePath("mousepad.desktop"), "[Desktop Entry]\nExec=mousepad\nCategories=Office;\n");
    const DesktopEntryIndex index({user.path(), system.path(), QStringLiteral("/nonexistent/applications")});

    auto has = [](const QStringList& categories) { return categories.contains(QStringLiteral("TerminalEmulator")); };
    EXPECT_TRUE(has(index.categories({QStringLiteral("uxterm"), QStringLiteral("UXTerm")}, {})));
    EXPECT_TRUE(has(index.categories({QStringLiteral("Console")}, {}))) << "the last part of a reverse-DNS id";
    EXPECT_TRUE(has(index.categories({}, {QStringLiteral("kgx")})));
    EXPECT_TRUE(has(index.categories({QStringLiteral("kde-konsole")}, {})));
    EXPECT_EQ(index.categories({QStringLiteral("Mousepad")}, {QStringLiteral("mousepad")}),
              QStringList{QStringLiteral("Office")});
    EXPECT_TRUE(index.categories({QStringLiteral("Chromium")}, {QStringLiteral("chromium")}).isEmpty());
}
