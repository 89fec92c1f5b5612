// A Qt 6 field, native on Wayland (our test editor): the whole field, the selection alone, and
// the corrections that must not be pasted because the user moved on.
#include "SwayEndToEndFixture.h"

#include <QJsonArray>
#include <QJsonObject>

using namespace quillo;
using namespace quillo::swaytest;

TEST_F(SwayEndToEnd, AQtFieldIsCorrectedWholeThenOnlyItsSelection) {
    const QString expected = expectedCorrection(misspelled);
    ASSERT_NE(expected, misspelled) << "the reference cloud corrected nothing";
    expectTheLayoutOfTheRun();
    TestEditor editor;
    startEditor(editor);
    editor.command(QStringLiteral("set single ") + misspelled);
    pressTrigger();
    ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    EXPECT_EQ(triggers, 1) << "the trigger came through sway's binding";
    EXPECT_TRUE(toast.events.contains(QStringLiteral("preview"))) << toast.joined().toStdString();
    EXPECT_TRUE(waitUntil([&] { return field(editor, QStringLiteral("single")) == expected; }))
        << field(editor, QStringLiteral("single")).toStdString();
    EXPECT_FALSE(editor.command(QStringLiteral("get"))["keys"].toArray().contains(QStringLiteral("F8")))
        << "the trigger key reached the application";

    const QString first = QStringLiteral("teh first line");
    const QString second = QStringLiteral("teh second line");
    const QString expectedFirst = expectedCorrection(first);
    ASSERT_NE(expectedFirst, first);
    editor.command(QStringLiteral("set multi ") + first + QStringLiteral("\\n") + second);
    editor.command(QStringLiteral("focus multi"));
    editor.command(QStringLiteral("select multi 0 ") + QString::number(first.size()));
    // The accessibility bus has the new focus and its selection before the trigger.
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto front = workspace.frontmostApplication();
            return front && FocusedTextInputInspector::inspection(accessibility, *front).selectionState ==
                                FocusedTextSelectionState::nonEmpty;
        },
        15000));
    pressTrigger();
    ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    EXPECT_TRUE(toast.events.contains(QStringLiteral("preview"))) << toast.joined().toStdString();
    EXPECT_TRUE(waitUntil([&] {
        return field(editor, QStringLiteral("multi")) == expectedFirst + QStringLiteral("\n") + second;
    })) << field(editor, QStringLiteral("multi")).toStdString();
    EXPECT_EQ(field(editor, QStringLiteral("single")), expected);
}

TEST_F(SwayEndToEnd, TextChangedBeforeThePasteIsLeftAlone) {
    TestEditor editor;
    startEditor(editor);
    editor.command(QStringLiteral("set single ") + misspelled);
    // The server holds the correction; meanwhile the user edits the field.
    ParkedCorrection parked(cloud.server);
    pressTrigger();
    ASSERT_TRUE(parked.arrived());
    const QJsonObject changed = editor.command(QStringLiteral("set single my own new words"));
    const qsizetype keysBefore = changed["keys"].toArray().size();
    parked.release();
    ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    EXPECT_TRUE(
        toast.events.last().startsWith(QStringLiteral("error: Not pasted: the original text or selection changed")))
        << toast.joined().toStdString();
    EXPECT_EQ(field(editor, QStringLiteral("single")), QStringLiteral("my own new words"));
    // The check may copy the field again, but no paste reaches it.
    const QJsonArray keys = editor.command(QStringLiteral("get"))["keys"].toArray();
    for (qsizetype i = keysBefore; i < keys.size(); ++i)
        EXPECT_NE(keys[i].toString(), QStringLiteral("V")) << "a paste reached the editor";
}

TEST_F(SwayEndToEnd, FocusMovedToAnotherApplicationBeforeThePasteLeavesBothAlone) {
    TestEditor editor;
    startEditor(editor);
    editor.command(QStringLiteral("set single ") + misspelled);
    ParkedCorrection parked(cloud.server);
    pressTrigger();
    ASSERT_TRUE(parked.arrived());
    // A new window takes sway's focus.
    TestEditor other;
    startEditor(other);
    const int before = serviceKeys.posted;
    parked.release();
    ASSERT_TRUE(outcomeShown()) << toast.joined().toStdString();
    EXPECT_TRUE(toast.events.last().startsWith(QStringLiteral("error: Not pasted: you switched to another app")))
        << toast.joined().toStdString();
    EXPECT_EQ(serviceKeys.posted, before) << "keys went to the other application";
    EXPECT_TRUE(other.command(QStringLiteral("get"))["keys"].toArray().isEmpty());
    EXPECT_EQ(field(editor, QStringLiteral("single")), misspelled);
}
