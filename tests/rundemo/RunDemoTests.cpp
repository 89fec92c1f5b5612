// scripts/launch --demo as a user runs it: one key press corrects the editor's sentence, the
// toast is saved as a PNG, nothing the demonstration started outlives it, and a sentence that
// stays as it was fails the run.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

const QString demoPassword = QStringLiteral("quillo-demo-password");

struct DemoRun {
    int exitCode = -1;
    bool finished = false;
    QString output;
    QStringList survivors; // processes of the run's session still alive after it ended
};

// Every process whose session is `sessionId`, as "pid command".
QStringList processesOfSession(qint64 sessionId) {
    QStringList found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool numeric = false;
        entry.toLongLong(&numeric);
        if (!numeric) continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly)) continue;
        const QByteArray line = stat.readAll();
        // "pid (command) state ppid pgrp session ..."; the command may hold spaces.
        const qsizetype close = line.lastIndexOf(')');
        if (close < 0) continue;
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (fields.size() < 4 || fields[0] == "Z") continue;
        if (fields[3].toLongLong() == sessionId)
            found << entry + QLatin1Char(' ') +
                         QString::fromUtf8(line.mid(line.indexOf('(') + 1, close - line.indexOf('(') - 1));
    }
    return found;
}

// Runs the demonstration in a session of its own, so that whatever it leaves behind can be found.
DemoRun runDemo(const QString& text = {}) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUILLO_BUILD_DIR"), QStringLiteral(QUILLO_BUILD_TREE));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    if (!text.isEmpty()) environment.insert(QStringLiteral("QUILLO_DEMO_TEXT"), text);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setChildProcessModifier([] { ::setsid(); });
    process.start(QStringLiteral(QUILLO_LAUNCH_SCRIPT),
                  {QStringLiteral("--state"), QStringLiteral(QUILLO_DEMO_STATE_DIR), QStringLiteral("--demo")});
    DemoRun run;
    if (!process.waitForStarted(10000)) return run;
    const qint64 session = process.processId();
    run.finished = process.waitForFinished(120000);
    if (!run.finished) {
        ::kill(static_cast<pid_t>(-session), SIGKILL);
        process.waitForFinished(5000);
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.output = QString::fromUtf8(process.readAll());
    // The scripts wait for what they stop; a process on its way out gets a moment.
    for (int attempt = 0; attempt < 50; ++attempt) {
        run.survivors = processesOfSession(session);
        if (run.survivors.isEmpty()) break;
        ::usleep(100 * 1000);
    }
    for (const QString& survivor : run.survivors)
        ::kill(static_cast<pid_t>(survivor.section(u' ', 0, 0).toLongLong()), SIGKILL);
    return run;
}

QString lineValue(const QString& output, const QString& label) {
    const QRegularExpression pattern(QStringLiteral("^%1:\\s*(.*)$").arg(QRegularExpression::escape(label)),
                                     QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = pattern.match(output);
    return match.hasMatch() ? match.captured(1) : QString();
}

QString fileText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class RunDemo : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "openbox", "dbus-run-session", "gnome-keyring-daemon", "xdotool", "jq"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                GTEST_SKIP() << tool << " is missing (scripts/setup installs it)";
        }
    }
};

} // namespace

TEST_F(RunDemo, OneKeyPressCorrectsTheEditorAndTheToastIsSaved) {
    const DemoRun run = runDemo();
    ASSERT_TRUE(run.finished) << "the demonstration did not end in two minutes:\n" << run.output.toStdString();
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    EXPECT_EQ(lineValue(run.output, QStringLiteral("Original text")),
              QStringLiteral("i recieve teh letter yesterday and definately agree with it."));
    EXPECT_EQ(lineValue(run.output, QStringLiteral("Corrected text")),
              QStringLiteral("I receive the letter yesterday and definitely agree with it."))
        << run.output.toStdString();

    const QString screenshot = lineValue(run.output, QStringLiteral("Toast screenshot"));
    ASSERT_FALSE(screenshot.isEmpty()) << run.output.toStdString();
    QFile file(screenshot);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << screenshot.toStdString();
    EXPECT_TRUE(file.read(8).startsWith("\x89PNG\r\n\x1a\n"));
    file.close();
    QImage image;
    ASSERT_TRUE(image.load(screenshot, "PNG"));
    EXPECT_EQ(image.size(), QSize(1280, 800));

    EXPECT_TRUE(run.survivors.isEmpty()) << run.survivors.join(QStringLiteral(", ")).toStdString();
    // The password reaches the application through its environment only.
    const QString appLog = fileText(QStringLiteral(QUILLO_DEMO_STATE_DIR "/demo/quillo.log"));
    EXPECT_TRUE(appLog.contains(QStringLiteral("Signed in at start"))) << appLog.toStdString();
    EXPECT_FALSE(appLog.contains(demoPassword));
    EXPECT_FALSE(run.output.contains(demoPassword));
}

TEST_F(RunDemo, ASentenceLeftAsItWasFailsTheRun) {
    const DemoRun run = runDemo(QStringLiteral("All is well here."));
    ASSERT_TRUE(run.finished) << run.output.toStdString();
    EXPECT_NE(run.exitCode, 0) << run.output.toStdString();
    EXPECT_TRUE(run.output.contains(QStringLiteral("the text was not corrected"))) << run.output.toStdString();
    EXPECT_TRUE(lineValue(run.output, QStringLiteral("Toast screenshot")).isEmpty());
    EXPECT_TRUE(run.survivors.isEmpty()) << run.survivors.join(QStringLiteral(", ")).toStdString();
}
