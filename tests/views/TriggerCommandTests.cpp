#include "Views/TriggerCommandField.h"
#include "Views/TriggerCommandLine.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quillo;

TEST(TriggerCommandLine, ShortWhenTheNameFindsThisProgramElseItsFullQuotedPath) {
    QTemporaryDir folder;
    const QString installed = folder.filePath(QStringLiteral("bin/quillo"));
    const QString other = folder.filePath(QStringLiteral("other/quillo"));
    const QString spaced = folder.filePath(QStringLiteral("it's here/quillo"));
    for (const QString& path : {installed, other, spaced}) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QFile::link(installed, folder.filePath(QStringLiteral("link"))));

    EXPECT_EQ(TriggerCommandLine::command(installed, installed), "quillo --trigger");
    EXPECT_EQ(TriggerCommandLine::command(installed, folder.filePath(QStringLiteral("link"))), "quillo --trigger")
        << "a link to the same program is the same program";
    EXPECT_EQ(TriggerCommandLine::command(installed, other), installed + " --trigger")
        << "the name alone would start another copy";
    EXPECT_EQ(TriggerCommandLine::command(installed, QString()), installed + " --trigger");
    EXPECT_EQ(TriggerCommandLine::command(spaced, QString()),
              "'" + folder.filePath(QStringLiteral("it'\\''s here/quillo")) + "' --trigger");
}

TEST(TriggerCommandLine, ShellQuotingKeepsEveryCharacter) {
    EXPECT_EQ(TriggerCommandLine::shellQuoted(QStringLiteral("/usr/bin/quillo")), "/usr/bin/quillo");
    EXPECT_EQ(TriggerCommandLine::shellQuoted(QStringLiteral("/opt/My Apps/quillo")), "'/opt/My Apps/quillo'");
    EXPECT_EQ(TriggerCommandLine::shellQuoted(QStringLiteral("$(rm)`x`")), "'$(rm)`x`'");
    EXPECT_EQ(TriggerCommandLine::shellQuoted(QString()), "''");
}

TEST(TriggerCommandField, ShowsTheLineReadOnlyAndCopiesIt) {
    TriggerCommandField field(QStringLiteral("quillo --trigger"));
    auto* line = field.findChild<QLineEdit*>(QStringLiteral("triggerCommandLine"));
    auto* copy = field.findChild<QPushButton*>(QStringLiteral("copyTriggerCommand"));
    ASSERT_TRUE(line && copy);
    EXPECT_TRUE(line->isReadOnly());
    EXPECT_EQ(line->text(), "quillo --trigger");
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    copy->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "quillo --trigger");
    EXPECT_EQ(copy->text(), "Copied");
}
