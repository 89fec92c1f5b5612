#include "Views/LaunchAtLoginSettings.h"
#include "Views/XdgAutostartEntry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quillo;

namespace {

// Points XDG_CONFIG_HOME at a fresh folder for one test.
class TempConfigHome {
public:
    TempConfigHome() : previous_(qgetenv("XDG_CONFIG_HOME")) { qputenv("XDG_CONFIG_HOME", dir_.path().toUtf8()); }
    ~TempConfigHome() {
        if (previous_.isEmpty()) qunsetenv("XDG_CONFIG_HOME");
        else qputenv("XDG_CONFIG_HOME", previous_);
    }
    QString path() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    QByteArray previous_;
};

const QString appId = QStringLiteral("com.quillo.app.tests");

void writeFile(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

} // namespace

TEST(XdgAutostartEntry, WritesReadsAndRemovesARealFile) {
    TempConfigHome home;
    const QString path = XdgAutostartEntry::path(appId);
    EXPECT_EQ(path, home.path() + QStringLiteral("/autostart/com.quillo.app.tests.desktop"));
    EXPECT_EQ(XdgAutostartEntry::status(appId), LaunchAtLoginStatus::notRegistered);

    XdgAutostartEntry::write(appId, QStringLiteral("/bin/sh"), QStringLiteral("Quillo"));
    EXPECT_EQ(XdgAutostartEntry::status(appId), LaunchAtLoginStatus::enabled);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nExec=/bin/sh\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nName=Quillo\n")));
    file.close();

    XdgAutostartEntry::remove(appId);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(XdgAutostartEntry::status(appId), LaunchAtLoginStatus::notRegistered);
    XdgAutostartEntry::remove(appId); // nothing to remove is fine
}

TEST(XdgAutostartEntry, StatusOfEntriesChangedOutside) {
    TempConfigHome home;
    const QString path = XdgAutostartEntry::path(appId);
    struct Case {
        const char* text;
        LaunchAtLoginStatus status;
    };
    const Case cases[] = {
        {"[Desktop Entry]\nExec=/bin/sh\nX-GNOME-Autostart-enabled=false\n", LaunchAtLoginStatus::requiresApproval},
        {"[Desktop Entry]\nExec=/bin/sh\nHidden=true\n", LaunchAtLoginStatus::notRegistered},
        {"[Desktop Entry]\nExec=/nonexistent/quillo --flag\n", LaunchAtLoginStatus::notFound},
        {"[Desktop Entry]\nName=Quillo\n", LaunchAtLoginStatus::notFound},
        {"[Other]\nExec=/bin/sh\n", LaunchAtLoginStatus::notFound},
        {"# comment\n[Desktop Entry]\nExec=sh -c true\n", LaunchAtLoginStatus::enabled},
    };
    for (const auto& c : cases) {
        writeFile(path, c.text);
        EXPECT_EQ(XdgAutostartEntry::status(appId), c.status) << c.text;
    }
}

TEST(XdgAutostartEntry, ExecQuotingRoundTrips) {
    struct Case {
        const char* program;
        const char* exec;
    };
    const Case cases[] = {
        {"/usr/bin/quillo", "/usr/bin/quillo"},
        {"/opt/My Apps/quillo", "\"/opt/My Apps/quillo\""},
        {"/opt/$x/\"q\"", "\"/opt/\\\\$x/\\\\\"q\\\\\"\""},
        {"/opt/100%/quillo", "/opt/100%%/quillo"},
    };
    for (const auto& c : cases) {
        const QString program = QString::fromUtf8(c.program);
        EXPECT_EQ(XdgAutostartEntry::quoteExec(program), QString::fromUtf8(c.exec)) << c.program;
        EXPECT_EQ(XdgAutostartEntry::execProgram(XdgAutostartEntry::quoteExec(program)), program) << c.program;
    }
}

TEST(LaunchAtLoginSettings, EnablingWhenEnabledCallsNothing) {
    LaunchAtLoginStatus status = LaunchAtLoginStatus::enabled;
    int reads = 0;
    QList<bool> applied;
    LaunchAtLoginSettings settings(
        [&] {
            ++reads;
            return status;
        },
        [&](bool on) { applied.append(on); });
    settings.setEnabled(true);
    EXPECT_TRUE(applied.isEmpty());
    EXPECT_EQ(reads, 2);
    settings.setEnabled(false);
    EXPECT_EQ(applied, QList<bool>{false});
}

TEST(LaunchAtLoginSettings, FailureShowsTheMessageAndKeepsTheRealStatus) {
    LaunchAtLoginSettings settings([] { return LaunchAtLoginStatus::notRegistered; },
                                   [](bool) { throw XdgAutostartError("read-only file system"); });
    settings.setEnabled(true);
    EXPECT_FALSE(settings.isEnabled());
    ASSERT_TRUE(settings.errorMessage());
    EXPECT_EQ(*settings.errorMessage(), LaunchAtLoginSettings::failureMessage);
    // A later attempt clears the old message first.
    settings.setEnabled(false);
    EXPECT_FALSE(settings.errorMessage());
}

TEST(LaunchAtLoginSettings, DefaultsWorkOnTheAutostartFolder) {
    TempConfigHome home;
    LaunchAtLoginSettings settings;
    EXPECT_EQ(settings.status(), LaunchAtLoginStatus::notRegistered);
    settings.setEnabled(true);
    EXPECT_TRUE(settings.isEnabled()) << settings.errorMessage().value_or(QString()).toStdString();
    QDir autostart(home.path() + QStringLiteral("/autostart"));
    EXPECT_EQ(autostart.entryList(QDir::Files).size(), 1);
    settings.setEnabled(false);
    EXPECT_EQ(settings.status(), LaunchAtLoginStatus::notRegistered);
    EXPECT_TRUE(autostart.entryList(QDir::Files).isEmpty());
    EXPECT_FALSE(settings.errorMessage());
}
