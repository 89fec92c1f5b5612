// Debian's Chromium with a fresh profile and a page holding a textarea, a text input and a
// password input. The desktop's accessibility is off when the session starts, as on most
// desktops; Quillo switches it on at its own start, and a browser started afterwards describes
// its page. A field whose kind is still unknown never gets a keystroke.
#include "EndToEndFixture.h"

#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

using namespace quillo;
using namespace quillo::e2etest;

namespace {

namespace V = quillo::VirtualKeyCode;

const QByteArray page = R"(<!doctype html>
<html><head><title>Quillo page</title></head><body>
<textarea id="area" autofocus rows="4" cols="40">i recieve teh letter yesterday</textarea>
<input id="text" value="teh text is realy short">
<input id="secret" type="password" value="teh secret">
</body></html>
)";

} // namespace

// Not yet passing: the focused textarea of a Chromium started after the switch is not found on the
// accessibility bus within a minute (no focus event reaches us and the bounded search of its tree
// finds nothing). Run with --gtest_also_run_disabled_tests.
TEST_F(EndToEnd, DISABLED_ChromiumFieldsAreCorrectedAndItsPasswordFieldGetsNoKeystroke) {
    // What the application does at start (the session began with accessibility off).
    ASSERT_TRUE(AtSpiBus::enableAccessibility());
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("page.html"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(page);
    }
    QStringList arguments{QStringLiteral("--user-data-dir=") + dir.filePath(QStringLiteral("profile")),
                          QStringLiteral("--no-first-run"),
                          QStringLiteral("--no-default-browser-check"),
                          QStringLiteral("--disable-gpu"),
                          QStringLiteral("--password-store=basic"),
                          QStringLiteral("--disable-features=Translate"),
                          QStringLiteral("file://") + file};
    // Chromium refuses to run as root with its sandbox.
    if (::geteuid() == 0) arguments.prepend(QStringLiteral("--no-sandbox"));
    ExternalProgram chromium(QStringLiteral("chromium"), arguments);
    chromium.useFreshProfile();
    ASSERT_TRUE(chromium.start());
    ASSERT_TRUE(bringToFront(chromium.processId()));
    ASSERT_TRUE(frontmostFocusIs(FocusedElementCorrectionContext::textInput, 60000))
        << "the page's textarea was never described";

    auto fieldText = [&] {
        pasteboard.clearContents();
        shortcut(u'a');
        shortcut(u'c');
        std::optional<QString> text;
        waitUntil([&] {
            text = pasteboard.string(PasteboardTypes::plainText);
            return text.has_value();
        });
        keys.post({V::rightArrow, true, 0});
        keys.post({V::rightArrow, false, 0});
        return text.value_or(QString());
    };

    const QString area = QStringLiteral("i recieve teh letter yesterday");
    const QString expectedArea = expectedCorrection(area);
    pressTrigger();
    ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    EXPECT_TRUE(toast.events.contains(QStringLiteral("preview"))) << toast.joined().toStdString();
    EXPECT_TRUE(waitUntil([&] { return fieldText() == expectedArea; })) << fieldText().toStdString();

    // Tab to the text input.
    keys.post({V::tab, true, 0});
    keys.post({V::tab, false, 0});
    const QString text = QStringLiteral("teh text is realy short");
    const QString expectedText = expectedCorrection(text);
    ASSERT_TRUE(waitUntil([&] { return fieldText() == text; }));
    pressTrigger();
    ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    EXPECT_TRUE(toast.events.contains(QStringLiteral("preview"))) << toast.joined().toStdString();
    EXPECT_TRUE(waitUntil([&] { return fieldText() == expectedText; })) << fieldText().toStdString();

    // Tab to the password input: refused, and not even Copy is sent.
    keys.post({V::tab, true, 0});
    keys.post({V::tab, false, 0});
    ASSERT_TRUE(frontmostFocusIs(FocusedElementCorrectionContext::secureTextInput, 15000));
    pressTrigger();
    ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    EXPECT_TRUE(toast.events.last().startsWith(QStringLiteral("error: Password fields cannot be corrected")))
        << toast.joined().toStdString();
    ASSERT_TRUE(keysSettled());
    EXPECT_TRUE(keysBesidesTrigger().isEmpty()) << keysBesidesTrigger().size() << " keys were sent";
}
