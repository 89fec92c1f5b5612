// Debian's Mousepad (GTK 3): its documents corrected through F8, what it copies and what it saves.
#include "EndToEndFixture.h"

#include <QFile>
#include <QTemporaryDir>

using namespace quillo;
using namespace quillo::e2etest;

namespace {

QByteArray contentsOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

TEST_F(EndToEnd, MousepadsDocumentIsCorrected) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("note.txt"));
    ASSERT_TRUE(write(file, misspelled.toUtf8()));
    const QString expected = expectedCorrection(misspelled);
    ExternalProgram mousepad(QStringLiteral("mousepad"), {QStringLiteral("--disable-server"), file});
    mousepad.useFreshProfile();
    ASSERT_TRUE(mousepad.start());
    ASSERT_TRUE(bringToFront(mousepad.processId()));
    ASSERT_TRUE(frontmostFocusIs(FocusedElementCorrectionContext::textInput));
    // The window takes the focus before the file is read.
    ASSERT_TRUE(waitUntil([&] { return focusedFieldText() == misspelled; }, 15000))
        << focusedFieldText().value_or(QStringLiteral("no text")).toStdString();
    pressTrigger();
    ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    EXPECT_TRUE(toast.events.contains(QStringLiteral("preview"))) << toast.joined().toStdString();
    // What the document holds now, copied out the way the user would.
    pasteboard.clearContents();
    shortcut(u'a');
    shortcut(u'c');
    EXPECT_TRUE(waitUntil([&] { return pasteboard.string(PasteboardTypes::plainText) == expected; }))
        << pasteboard.string(PasteboardTypes::plainText).value_or(QStringLiteral("none")).toStdString();
}

// GTK offers copied text twice: as UTF8_STRING with the buffer's own line ends, and as
// text/plain;charset=utf-8 with CR LF. The document saved after a correction must hold
// exactly the corrected lines, with no carriage return gained.
TEST_F(EndToEnd, AMultiLineMousepadDocumentIsSavedWithItsOwnLineEnds) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("letter.txt"));
    const QString original = QStringLiteral("Dear Sam,\n\ni recieve teh letter yesterday.\nIt was realy kind of you.\n"
                                            "  indented line stays\n\nBest wishes,\nAnn\n");
    ASSERT_TRUE(write(file, original.toUtf8()));
    const QString expected = expectedCorrection(original);
    ASSERT_NE(expected, original) << "the reference cloud corrected nothing";
    ASSERT_FALSE(expected.contains(u'\r'));

    ExternalProgram mousepad(QStringLiteral("mousepad"), {QStringLiteral("--disable-server"), file});
    mousepad.useFreshProfile();
    ASSERT_TRUE(mousepad.start());
    ASSERT_TRUE(bringToFront(mousepad.processId()));
    ASSERT_TRUE(frontmostFocusIs(FocusedElementCorrectionContext::textInput));
    pressTrigger();
    ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    ASSERT_TRUE(toast.events.contains(QStringLiteral("preview"))) << toast.joined().toStdString();

    // Saved as the user would. On a busy machine the paste may reach the document after the
    // first save: saving again until the file holds the correction is what a user would do.
    // The file is rewritten in place: wait for the whole of it, not the first change.
    QByteArray saved;
    for (int attempt = 0; attempt < 4 && saved != expected.toUtf8(); ++attempt) {
        shortcut(u's');
        waitUntil(
            [&] {
                saved = contentsOf(file);
                return saved == expected.toUtf8();
            },
            5000);
    }
    EXPECT_EQ(saved.count('\r'), 0) << "carriage returns were added";
    EXPECT_EQ(saved, expected.toUtf8()) << saved.toStdString();
}
