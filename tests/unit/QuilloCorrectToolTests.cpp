#include "QtTestPrinters.h"
#include "Services/LocalStandInCorrectionClient.h"

#include <QProcess>
#include <gtest/gtest.h>

using namespace quillo;

namespace {

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// The offline stand-in: these tests are about the tool, not the cloud (tests/cloudclient runs
// the tool against a real server).
ToolRun runTool(const QByteArray& input, const QStringList& arguments = {}) {
    QProcess process;
    process.start(QStringLiteral(QUILLO_CORRECT_BINARY), QStringList{QStringLiteral("--local")} + arguments);
    EXPECT_TRUE(process.waitForStarted());
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(60000));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

} // namespace

TEST(LocalStandInCorrectionClient, FixesCommonMisspellingsKeepingCase) {
    EXPECT_EQ(LocalStandInCorrectionClient::correctedText(QStringLiteral("i recieve teh mail, Teh TEH adress.\n")),
              QStringLiteral("I receive the mail, The THE address.\n"));
    EXPECT_EQ(LocalStandInCorrectionClient::correctedText(QStringLiteral("definately seperate; occured untill wich")),
              QStringLiteral("definitely separate; occurred until which"));
    EXPECT_EQ(LocalStandInCorrectionClient::correctedText(QStringLiteral("i'm in it, tehran, ii")),
              QStringLiteral("i'm in it, tehran, ii"))
        << "only whole words change";
}

TEST(LocalStandInCorrectionClient, ChargesPerStartedThousandCharacters) {
    EXPECT_EQ(LocalStandInCorrectionClient::charge(1, CloudCorrectionModel::fast), 1.0);
    EXPECT_EQ(LocalStandInCorrectionClient::charge(1000, CloudCorrectionModel::fast), 1.0);
    EXPECT_EQ(LocalStandInCorrectionClient::charge(1001, CloudCorrectionModel::fast), 2.0);
    EXPECT_DOUBLE_EQ(LocalStandInCorrectionClient::charge(9000, CloudCorrectionModel::veryVeryFast), 9 * 1.85);
}

TEST(QuilloCorrectTool, CorrectsStandardInputExactly) {
    const QByteArray input = "  i recieve teh letter \xE2\x80\x94 caf\xC3\xA9 \xF0\x9F\x91\x8D\r\nwich occured.\n\n";
    const ToolRun run = runTool(input);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.toStdString(),
              "  I receive the letter \xE2\x80\x94 caf\xC3\xA9 \xF0\x9F\x91\x8D\r\nwhich occurred.\n\n");
    EXPECT_TRUE(run.err.isEmpty());
}

TEST(QuilloCorrectTool, KeepsAByteOrderMarkAndTextWithoutFinalLineFeed) {
    const ToolRun run = runTool("\xEF\xBB\xBFteh end");
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.toStdString(), "\xEF\xBB\xBFthe end");
}

TEST(QuilloCorrectTool, LongInputGoesThroughManyChunks) {
    QByteArray input;
    for (int i = 0; i < 4000; ++i) input += "teh quick fox. ";
    const ToolRun run = runTool(input, {QStringLiteral("--speed"), QStringLiteral("fast"), QStringLiteral("--mode"),
                                        QStringLiteral("contextual")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QByteArray(input).replace("teh", "the"));
}

TEST(QuilloCorrectTool, RejectsInvalidUtf8) {
    const ToolRun run = runTool(QByteArray("valid start \xC3\x28 then junk"));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains("not valid UTF-8")) << run.err.toStdString();
}

TEST(QuilloCorrectTool, RejectsACharacterLongerThanTheChunkLimit) {
    QByteArray input = "Hello a";
    for (int i = 0; i < 9001; ++i) input += "\xCC\x81"; // U+0301
    input += " world";
    const ToolRun run = runTool(input);
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.err.trimmed().toStdString(),
              "This text contains an unusually long combined character. Shorten that part and try again.");
}

TEST(QuilloCorrectTool, OptionsAreChecked) {
    EXPECT_EQ(runTool({}, {QStringLiteral("--help")}).exitCode, 0);
    EXPECT_TRUE(runTool({}, {QStringLiteral("--help")}).out.contains("--speed"));
    EXPECT_NE(runTool("x", {QStringLiteral("--speed"), QStringLiteral("ludicrous")}).exitCode, 0);
    EXPECT_NE(runTool("x", {QStringLiteral("--mode")}).exitCode, 0);
    const ToolRun blank = runTool(" \n ");
    EXPECT_EQ(blank.exitCode, 0);
    EXPECT_EQ(blank.out, QByteArray(" \n ")) << "blank text comes back as it was";
}

TEST(QuilloCorrectTool, TheCloudNeedsAnAccount) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QUILLO_EMAIL"));
    environment.remove(QStringLiteral("QUILLO_PASSWORD"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(QUILLO_CORRECT_BINARY), QStringList{});
    ASSERT_TRUE(process.waitForStarted());
    process.write("teh text");
    process.closeWriteChannel();
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(process.readAllStandardError().contains("--email"));
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
}

TEST(QuilloCorrectTool, RefusesPlainHttpAndWarnsAboutAPasswordOnTheCommandLine) {
    auto run = [](const QStringList& arguments) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("QUILLO_EMAIL"));
        environment.remove(QStringLiteral("QUILLO_PASSWORD"));
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(QUILLO_CORRECT_BINARY), arguments);
        EXPECT_TRUE(process.waitForStarted());
        process.write("teh text");
        process.closeWriteChannel();
        EXPECT_TRUE(process.waitForFinished(60000));
        return ToolRun{process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
    };
    const QStringList account{QStringLiteral("--email"), QStringLiteral("a@localhost"), QStringLiteral("--password"),
                              QStringLiteral("a-long-password")};

    const ToolRun http =
        run(account + QStringList{QStringLiteral("--endpoint"), QStringLiteral("http://127.0.0.1:1/api/correct")});
    EXPECT_EQ(http.exitCode, 1);
    EXPECT_EQ(http.err.trimmed().toStdString(),
              "The cloud endpoint must be an https address: http://127.0.0.1:1/api/correct");
    EXPECT_TRUE(http.out.isEmpty());

    // Nothing listens on this port: the sign-in fails, after the warning.
    const ToolRun https =
        run(account + QStringList{QStringLiteral("--endpoint"), QStringLiteral("https://127.0.0.1:1/api/correct")});
    EXPECT_EQ(https.exitCode, 5);
    EXPECT_TRUE(https.err.startsWith("Warning: a password given with --password can be read by other users"))
        << https.err.toStdString();
    EXPECT_TRUE(https.out.isEmpty());
}
