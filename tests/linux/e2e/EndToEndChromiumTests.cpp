// Debian's Chromium with a fresh profile and a page holding a textarea, a text input and a
// password input. The desktop's accessibility is off when the session starts, as on most
// desktops; Quillo switches it on at its own start and asks the browser for its tree when a
// trigger finds its page undescribed. A field whose kind is still unknown never gets a keystroke.
#include "EndToEndFixture.h"

#include <QTemporaryDir>

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

TEST_F(EndToEnd, ChromiumFieldsAreCorrectedAndItsPasswordFieldGetsNoKeystroke) {
    // What the application does at start (the session began with accessibility off).
    ASSERT_TRUE(AtSpiBus::enableAccessibility());
    QTemporaryDir dir;
    auto chromium = startChromium(dir, page);
    ASSERT_TRUE(chromium);

    // Chromium describes only a bare window until an assistive client asks: the first trigger asks
    // and waits for the tree within its bound. A page still undescribed then gets no keystroke.
    const QString area = QStringLiteral("i recieve teh letter yesterday");
    const QString expectedArea = expectedCorrection(area);
    pressTrigger();
    ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    if (!toast.events.contains(QStringLiteral("preview"))) {
        ASSERT_TRUE(keysSettled());
        EXPECT_TRUE(keysBesidesTrigger().isEmpty()) << "keys went to a field of unknown kind";
        ASSERT_TRUE(frontmostFocusIs(FocusedElementCorrectionContext::textInput, 30000))
            << "the page's textarea was never described";
        pressTrigger();
        ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    }
    EXPECT_TRUE(toast.events.contains(QStringLiteral("preview"))) << toast.joined().toStdString();
    EXPECT_TRUE(waitUntil([&] { return focusedFieldText() == expectedArea; }))
        << focusedFieldText().value_or(QStringLiteral("none")).toStdString();

    // Tab to the text input.
    keys.post({V::tab, true, 0});
    keys.post({V::tab, false, 0});
    const QString text = QStringLiteral("teh text is realy short");
    const QString expectedText = expectedCorrection(text);
    ASSERT_TRUE(waitUntil([&] { return focusedFieldText() == text; }));
    pressTrigger();
    ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    EXPECT_TRUE(toast.events.contains(QStringLiteral("preview"))) << toast.joined().toStdString();
    EXPECT_TRUE(waitUntil([&] { return focusedFieldText() == expectedText; }))
        << focusedFieldText().value_or(QStringLiteral("none")).toStdString();

    // Tab to the password input: refused, and not even Copy is sent.
    keys.post({V::tab, true, 0});
    keys.post({V::tab, false, 0});
    ASSERT_TRUE(keysSettled()); // the Tab is seen before the trigger's keys are counted
    ASSERT_TRUE(frontmostFocusIs(FocusedElementCorrectionContext::secureTextInput, 15000));
    pressTrigger();
    ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    EXPECT_TRUE(toast.events.last().startsWith(QStringLiteral("error: Password fields cannot be corrected")))
        << toast.joined().toStdString();
    ASSERT_TRUE(keysSettled());
    EXPECT_TRUE(keysBesidesTrigger().isEmpty())
        << keysBesidesTrigger().size() << " keys were sent, the first " << keysBesidesTrigger().value(0);
}
