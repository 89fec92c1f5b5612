#include "CloudClientHarness.h"

#include <QProcess>
#include <gtest/gtest.h>

#ifdef QUILLO_CORRECT_BINARY

using namespace cloudclienttest;

namespace {

struct ToolRun {
    int exitCode = -1;
    QByteArray out, err;
};

ToolRun runTool(const CloudClientHarness& h, const QByteArray& input, const QString& password,
                const QStringList& extra = {}) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUILLO_EMAIL"), QStringLiteral("tool@localhost"));
    environment.insert(QStringLiteral("QUILLO_PASSWORD"), password);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(QUILLO_CORRECT_BINARY),
                  QStringList{QStringLiteral("--endpoint"), h.endpoint(), QStringLiteral("--ca-file"),
                              QStringLiteral(QUILLO_TEST_CA_DIR "/ca.pem")} +
                      extra);
    EXPECT_TRUE(process.waitForStarted());
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(60000));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

} // namespace

TEST(QuilloCorrectAgainstServer, CorrectsAThreeChunkTextThroughTheCloud) {
    CloudClientHarness h;
    h.server.createAccount("tool@localhost", "a-long-password", 50);
    QByteArray input;
    while (input.size() < 20000) input += "i recieve teh letter yesterday and definately agree.\n";
    const ToolRun run =
        runTool(h, input, QStringLiteral("a-long-password"), {QStringLiteral("--speed"), QStringLiteral("fast")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    QByteArray expected;
    while (expected.size() < input.size()) expected += "I receive the letter yesterday and definitely agree.\n";
    EXPECT_EQ(run.out, expected);
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
}

TEST(QuilloCorrectAgainstServer, SignInAndCorrectionFailuresAreTheCataloguesSentences) {
    CloudClientHarness h;
    h.server.createAccount("tool@localhost", "a-long-password", 0);
    const ToolRun wrong = runTool(h, "teh", QStringLiteral("not-the-password"));
    EXPECT_EQ(wrong.exitCode, 5);
    EXPECT_EQ(wrong.err.trimmed().toStdString(),
              "The email or password is incorrect. If you signed up with Google, choose Continue with Google.");

    const ToolRun poor = runTool(h, "teh", QStringLiteral("a-long-password"));
    EXPECT_EQ(poor.exitCode, 4);
    EXPECT_EQ(poor.err.trimmed().toStdString(), "Top up your balance, then try again.")
        << poor.err.toHex().toStdString();
    EXPECT_TRUE(poor.out.isEmpty());
}

#endif
