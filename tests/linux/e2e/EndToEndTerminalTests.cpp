// Terminal emulators get no keystroke at all: Control+C would interrupt the running program and
// Control+A would move the shell's cursor. Each check waits for Quillo's own refusal first.
#include "EndToEndFixture.h"

using namespace quillo;
using namespace quillo::e2etest;

namespace {

const QString terminalSentence =
    QStringLiteral("error: Terminals cannot be corrected. Focus a text field in another app and try again.");

} // namespace

class EndToEndTerminal : public EndToEnd, public ::testing::WithParamInterface<QStringList> {};

TEST_P(EndToEndTerminal, IsRefusedWithNoKeystroke) {
    const QStringList command = GetParam();
    ExternalProgram terminal(command.first(), command.mid(1));
    terminal.useFreshProfile();
    ASSERT_TRUE(terminal.start());
    ASSERT_TRUE(bringToFront(terminal.processId()));
    pressTrigger();
    ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    EXPECT_EQ(toast.events.last(), terminalSentence) << toast.joined().toStdString();
    ASSERT_TRUE(keysSettled());
    EXPECT_TRUE(keysBesidesTrigger().isEmpty()) << keysBesidesTrigger().size() << " keys were sent to the terminal";
}

INSTANTIATE_TEST_SUITE_P(
    Debian, EndToEndTerminal,
    ::testing::Values(QStringList{QStringLiteral("xterm"), QStringLiteral("-e"), QStringLiteral("sleep 60")},
                      QStringList{QStringLiteral("uxterm"), QStringLiteral("-e"), QStringLiteral("sleep 60")},
                      QStringList{QStringLiteral("lxterminal"), QStringLiteral("-e"), QStringLiteral("sleep 60")}),
    [](const auto& info) { return info.param.first().toStdString(); });
