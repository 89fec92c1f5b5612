// Debian's zenity asks for a password in a GTK 3 entry that hides its text: refused before any
// keystroke, and the check waits for Quillo's own refusal first.
#include "EndToEndFixture.h"

using namespace quillo;
using namespace quillo::e2etest;

TEST_F(EndToEnd, AGtkPasswordEntryIsRefusedWithNoKeystroke) {
    ExternalProgram zenity(QStringLiteral("zenity"),
                           {QStringLiteral("--password"), QStringLiteral("--title=Quillo password")});
    zenity.useFreshProfile();
    ASSERT_TRUE(zenity.start());
    ASSERT_TRUE(bringToFront(zenity.processId()));
    ASSERT_TRUE(frontmostFocusIs(FocusedElementCorrectionContext::secureTextInput))
        << "the password entry was never described";
    pressTrigger();
    ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    EXPECT_TRUE(toast.events.last().startsWith(QStringLiteral("error: Password fields cannot be corrected")))
        << toast.joined().toStdString();
    ASSERT_TRUE(keysSettled());
    EXPECT_TRUE(keysBesidesTrigger().isEmpty()) << keysBesidesTrigger().size() << " keys were sent";
}
