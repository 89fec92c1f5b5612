// One key press correcting a field of our test editor in another process, on a real X server
// with the reference cloud; and the cases where nothing may be sent or pasted.
#include "EndToEndFixture.h"

#include <QJsonArray>

using namespace quillo;
using namespace quillo::e2etest;

TEST_F(EndToEnd, TheWholeFieldIsCorrectedAndTheClipboardComesBackExactly) {
    const QString expected = expectedCorrection(misspelled);
    ASSERT_NE(expected, misspelled) << "the reference cloud corrected nothing";
    QJsonObject before;
    ASSERT_NO_FATAL_FAILURE(startEditorOnMisspelledField(&before));

    pressTrigger();
    ASSERT_TRUE(correctionEnded()) << toast.events.join(QStringLiteral("; ")).toStdString();
    EXPECT_TRUE(toast.events.contains(QStringLiteral("preview")))
        << toast.events.join(QStringLiteral("; ")).toStdString();
    EXPECT_TRUE(waitUntil([&] { return field(QStringLiteral("single")) == expected; }))
        << field(QStringLiteral("single")).toStdString();
    EXPECT_TRUE(editor.command(QStringLiteral("get"))["selected"].toString().isEmpty())
        << "the field was left selected";
    EXPECT_FALSE(editor.command(QStringLiteral("get"))["keys"].toArray().contains(QStringLiteral("F8")))
        << "the trigger key reached the application";

    // Every type of the user's clipboard is back, byte for byte, once the restore ran.
    QJsonObject after;
    EXPECT_TRUE(waitUntil([&] {
        after = editor.command(QStringLiteral("clipboard"));
        return after["data"].toObject()[QStringLiteral("image/png")] ==
                   before["data"].toObject()[QStringLiteral("image/png")] &&
               !after["formats"].toArray().contains(QStringLiteral("com.quillo.transient-pasteboard"));
    }));
    for (const QString type : {QStringLiteral("text/plain"), QStringLiteral("text/html"), QStringLiteral("image/png"),
                               QStringLiteral("application/x-quillo-test")})
        EXPECT_EQ(after["data"].toObject()[type], before["data"].toObject()[type]) << type.toStdString();
}

TEST_F(EndToEnd, OnlyTheSelectionIsCorrected) {
    startEditor();
    const QString first = QStringLiteral("teh first line");
    const QString second = QStringLiteral("teh second line");
    const QString expectedFirst = expectedCorrection(first);
    ASSERT_NE(expectedFirst, first);
    editor.command(QStringLiteral("set multi ") + first + QStringLiteral("\\n") + second);
    focus(QStringLiteral("multi"));
    editor.command(QStringLiteral("select multi 0 ") + QString::number(first.size()));
    waitUntil([&] { return false; }, 150);

    pressTrigger();
    ASSERT_TRUE(correctionEnded()) << toast.events.join(QStringLiteral("; ")).toStdString();
    EXPECT_TRUE(waitUntil([&] {
        return field(QStringLiteral("multi")) == expectedFirst + QStringLiteral("\n") + second;
    })) << field(QStringLiteral("multi")).toStdString();
}

TEST_F(EndToEnd, APasswordFieldIsRefusedWithNoKeystroke) {
    startEditor();
    editor.command(QStringLiteral("set password teh secret"));
    focus(QStringLiteral("password"));
    pressTrigger();
    ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    EXPECT_TRUE(toast.events.last().startsWith(QStringLiteral("error: Password fields cannot be corrected")))
        << toast.joined().toStdString();
    ASSERT_TRUE(keysSettled());
    EXPECT_TRUE(keysBesidesTrigger().isEmpty()) << keysBesidesTrigger().size() << " keys were sent";
    EXPECT_EQ(field(QStringLiteral("password")), QStringLiteral("teh secret"));
}

TEST_F(EndToEnd, TextChangedBeforeThePasteIsLeftAlone) {
    ASSERT_NO_FATAL_FAILURE(startEditorOnMisspelledField());
    // The server holds the correction; meanwhile the user edits the field.
    ParkedCorrection parked(cloud.server);
    pressTrigger();
    ASSERT_TRUE(parked.arrived());
    editor.command(QStringLiteral("set single my own new words"));
    parked.release();
    ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    EXPECT_TRUE(
        toast.events.last().startsWith(QStringLiteral("error: Not pasted: the original text or selection changed")))
        << toast.joined().toStdString();
    EXPECT_EQ(field(QStringLiteral("single")), QStringLiteral("my own new words"));
}

TEST_F(EndToEnd, TheLastCorrectionIsUndoneOnlyWhileTheFieldHoldsIt) {
    const QString expected = expectedCorrection(misspelled);
    ASSERT_NE(expected, misspelled) << "the reference cloud corrected nothing";
    QJsonObject before;
    ASSERT_NO_FATAL_FAILURE(startEditorOnMisspelledField(&before));

    pressTrigger();
    ASSERT_TRUE(correctionEnded()) << toast.joined().toStdString();
    ASSERT_TRUE(waitUntil([&] { return field(QStringLiteral("single")) == expected; }));
    ASSERT_TRUE(service->canUndoLastCorrection());

    toast.events.clear();
    service->undoLastCorrection();
    ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    EXPECT_EQ(toast.events.last(), QStringLiteral("success: ") + GlobalCorrectionService::undoneNotice)
        << toast.joined().toStdString();
    EXPECT_TRUE(waitUntil([&] { return field(QStringLiteral("single")) == misspelled; }))
        << field(QStringLiteral("single")).toStdString();
    QJsonObject after;
    EXPECT_TRUE(waitUntil([&] {
        after = editor.command(QStringLiteral("clipboard"));
        return after["data"].toObject()[QStringLiteral("image/png")] ==
                   before["data"].toObject()[QStringLiteral("image/png")] &&
               !after["formats"].toArray().contains(QStringLiteral("com.quillo.transient-pasteboard"));
    }));
    for (const QString type : {QStringLiteral("text/plain"), QStringLiteral("text/html"), QStringLiteral("image/png"),
                               QStringLiteral("application/x-quillo-test")})
        EXPECT_EQ(after["data"].toObject()[type], before["data"].toObject()[type]) << type.toStdString();

    // Corrected again, then edited by the user: the undo leaves the field alone and says why.
    pressTrigger();
    ASSERT_TRUE(waitUntil([&] { return field(QStringLiteral("single")) == expected; }));
    ASSERT_TRUE(waitUntil([&] { return !service->isCorrectionRunning(); }));
    editor.command(QStringLiteral("set single ") + expected + QStringLiteral(" and more"));
    toast.events.clear();
    service->undoLastCorrection();
    ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    EXPECT_EQ(toast.events.last(), QStringLiteral("error: ") + GlobalCorrectionService::undoFieldChangedMessage);
    EXPECT_EQ(field(QStringLiteral("single")), expected + QStringLiteral(" and more"));
}

TEST_F(EndToEnd, SwitchingApplicationBeforeThePasteLeavesBothAlone) {
    ASSERT_NO_FATAL_FAILURE(startEditorOnMisspelledField());
    ParkedCorrection parked(cloud.server);
    pressTrigger();
    ASSERT_TRUE(parked.arrived());
    ExternalProgram xterm(QStringLiteral("xterm"), {QStringLiteral("-e"), QStringLiteral("sleep 60")});
    ASSERT_TRUE(xterm.start());
    ASSERT_TRUE(bringToFront(xterm.processId()));
    seenKeys.clear();
    parked.release();
    ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    ASSERT_TRUE(keysSettled());
    EXPECT_TRUE(toast.events.last().startsWith(QStringLiteral("error: Not pasted: you switched to another app")))
        << toast.events.join(QStringLiteral("; ")).toStdString();
    EXPECT_TRUE(keysBesidesTrigger().isEmpty()) << "keys went to the other application";
    EXPECT_EQ(field(QStringLiteral("single")), misspelled);
}
