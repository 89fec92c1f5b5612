#include "GlobalCorrectionServiceFixture.h"
#include "Platform/Fake/FakeDesktop.h"
#include "QtTestPrinters.h"
#include "Services/KeyboardPreferences.h"

using namespace quillo;
using namespace quillo::testing;

namespace {

// The service with its own default text insertion engine over the simulated desktop.
class ServiceOnDesktopTest : public GlobalCorrectionServiceTest {
protected:
    void SetUp() override {
        GlobalCorrectionServiceTest::SetUp();
        desktop.permission.trusted = true;
        desktop.activate(editor);
        PasteboardItem rich;
        rich.setString(QStringLiteral("text/html"), QStringLiteral("<b>mine</b>"));
        rich.setString(QStringLiteral("text/plain"), QStringLiteral("mine"));
        PasteboardItem image;
        image.setData(QStringLiteral("image/png"), QByteArray("\x89PNG\r\n", 6));
        userItems = {rich, image};
        desktop.pasteboard.writeFromAnotherProgram(userItems);

        GlobalCorrectionService::Environment env{defaults,          tap,   desktop.permission,
                                                 desktop.workspace, toast, announcer,
                                                 &history,          clock, desktop.platform()};
        service = std::make_unique<GlobalCorrectionService>(
            env, &cloud, nullptr, nullptr, [this](CorrectionStatus status) { statuses.append(status); }, &sessions);
        ASSERT_TRUE(service->startMonitoring());
    }

    FakeDesktop desktop{clock};
    FakeApplication& editor = desktop.addApplication(501, QStringLiteral("org.gnome.TextEditor"));
    QList<PasteboardItem> userItems;
};

} // namespace

TEST_F(ServiceOnDesktopTest, WholeFieldIsCorrectedAndTheClipboardComesBack) {
    auto field = editor.addTextField(QStringLiteral("Ths whole field is wrong\n"));
    field->placeCaret(3);
    editor.focus(field);

    pressGlobe();
    settle();
    EXPECT_EQ(field->value, QStringLiteral("This whole field is wrong\n"));
    EXPECT_EQ(desktop.pasteboard.items(), userItems) << "the user's clipboard, every item and type, is back";
    EXPECT_EQ(toast.calls.last(), "preview: Ths whole field is wrong\n => This whole field is wrong\n");
    ASSERT_EQ(history.entries.size(), 1);
    EXPECT_EQ(statuses.last(), CorrectionStatus::success);
    EXPECT_EQ(count(Event::correctionSucceeded), 1);
}

TEST_F(ServiceOnDesktopTest, PasswordFieldIsRefusedBeforeAnyKeystroke) {
    auto field = editor.addPasswordField(QStringLiteral("Ths secret"));
    editor.focus(field);
    pressGlobe();
    settle();
    EXPECT_TRUE(desktop.keystrokes.posted.isEmpty());
    EXPECT_EQ(field->value, QStringLiteral("Ths secret"));
    EXPECT_TRUE(cloud.requests.isEmpty());
    EXPECT_EQ(toast.calls.last(), "error: " + failure(UserFacingErrorCatalog::CorrectionFailure::secureTextField()));
}

TEST_F(ServiceOnDesktopTest, ShortcutKeysFollowThePhysicalLayoutSettingAtEachUse) {
    auto field = editor.addTextField(QStringLiteral("Ths text"));
    field->placeCaret(0);
    editor.focus(field);
    KeyboardPreferences(defaults).setPhysicalKeyboardLayout(PhysicalKeyboardLayout::azerty);
    pressGlobe();
    settle();
    bool azertySelectAll = false;
    for (const auto& k : desktop.keystrokes.keyDowns())
        if (k.keyCode == 12 && k.modifierFlags == ModifierFlags::control) azertySelectAll = true;
    EXPECT_TRUE(azertySelectAll) << "Select All sent on the AZERTY key of A";

    KeyboardPreferences(defaults).setPhysicalKeyboardLayout(PhysicalKeyboardLayout::automatic);
    desktop.keystrokes.posted.clear();
    pressGlobe();
    settle();
    EXPECT_EQ(field->value, QStringLiteral("This text")) << "the active layout's keys work again";
}

TEST_F(ServiceOnDesktopTest, DefaultEngineIsCreatedOnceAndKept) {
    TextTargetProviding* first = service->textTargetProvider();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(service->textTargetProvider(), first);
}

TEST_F(GlobalCorrectionServiceTest, WithoutDesktopOrProviderNothingCanBeCaptured) {
    makeService(nullptr, /*useScriptedTarget=*/false);
    ASSERT_TRUE(service->startMonitoring());
    EXPECT_EQ(service->textTargetProvider(), nullptr);
    pressGlobe();
    settle();
    EXPECT_EQ(toast.calls.last(), "error: " + failure(UserFacingErrorCatalog::CorrectionFailure::noTextTarget()));
    EXPECT_EQ(statuses.last(), CorrectionStatus::error);
    EXPECT_FALSE(service->isCorrectionRunning());
}

// MARK: - Undo

namespace {

class UndoOnDesktopTest : public ServiceOnDesktopTest {
protected:
    // A whole field corrected from "Ths field is wrong" and the keystroke log emptied.
    std::shared_ptr<FakeTextField> correctedField() {
        auto field = editor.addTextField(QStringLiteral("Ths field is wrong"));
        field->placeCaret(3);
        editor.focus(field);
        QObject::connect(service.get(), &GlobalCorrectionService::undoAvailabilityChanged, service.get(),
                         [this](bool available) { availability.append(available); });
        pressGlobe();
        settle(2.0);
        EXPECT_EQ(field->value, QStringLiteral("This field is wrong"));
        desktop.keystrokes.posted.clear();
        return field;
    }
    QList<bool> availability;
};

} // namespace

TEST_F(UndoOnDesktopTest, UndoWithinTheMinutePastesTheOriginalAndKeepsTheClipboard) {
    auto field = correctedField();
    ASSERT_TRUE(service->canUndoLastCorrection());
    settle(55.0);
    ASSERT_TRUE(service->canUndoLastCorrection()) << "still offered 57 s after the paste";

    service->undoLastCorrection();
    EXPECT_FALSE(service->canUndoLastCorrection()) << "one undo per correction";
    settle(2.0);
    EXPECT_EQ(field->value, QStringLiteral("Ths field is wrong"));
    EXPECT_EQ(desktop.pasteboard.items(), userItems) << "the user's clipboard, every item and type, is back";
    EXPECT_EQ(toast.calls.last(), "success: " + GlobalCorrectionService::undoneNotice);
    EXPECT_EQ(statuses.last(), CorrectionStatus::success);
    EXPECT_EQ(availability, (QList<bool>{true, false}));
    EXPECT_EQ(history.entries.size(), 1) << "an undo is not a correction of its own";
    EXPECT_FALSE(service->isCorrectionRunning());
}

TEST_F(UndoOnDesktopTest, UndoRightAfterThePasteStillGivesTheUsersClipboardBack) {
    auto field = editor.addTextField(QStringLiteral("Ths field is wrong"));
    field->placeCaret(3);
    editor.focus(field);
    pressGlobe();
    for (int step = 0; step < 400 && field->value != QStringLiteral("This field is wrong"); ++step)
        clock.advance(0.005);
    ASSERT_EQ(field->value, QStringLiteral("This field is wrong"));
    clock.advance(0.04); // the paste is done; its clipboard restore is still pending
    ASSERT_TRUE(service->canUndoLastCorrection());

    service->undoLastCorrection();
    settle(2.0);
    EXPECT_EQ(field->value, QStringLiteral("Ths field is wrong"));
    EXPECT_EQ(desktop.pasteboard.items(), userItems) << "not the correction's own clipboard";
}

TEST_F(UndoOnDesktopTest, UndoIsGoneSixtySecondsAfterThePaste) {
    auto field = correctedField();
    settle(GlobalCorrectionService::undoAvailableSeconds + 0.1);
    EXPECT_FALSE(service->canUndoLastCorrection());
    EXPECT_EQ(availability, (QList<bool>{true, false}));

    service->undoLastCorrection();
    settle(2.0);
    EXPECT_TRUE(desktop.keystrokes.posted.isEmpty()) << "an expired undo sends nothing";
    EXPECT_EQ(field->value, QStringLiteral("This field is wrong"));
}

TEST_F(UndoOnDesktopTest, FieldEditedAfterTheCorrectionIsLeftAloneAndTheToastSaysWhy) {
    auto field = correctedField();
    field->value += QStringLiteral(" today");
    field->placeCaret(field->value.size());

    service->undoLastCorrection();
    settle(2.0);
    EXPECT_EQ(field->value, QStringLiteral("This field is wrong today"));
    EXPECT_EQ(desktop.pasteboard.items(), userItems);
    EXPECT_EQ(toast.calls.last(), "error: " + GlobalCorrectionService::undoFieldChangedMessage);
    EXPECT_EQ(statuses.last(), CorrectionStatus::error);
    bool pasteSent = false;
    for (const auto& k : desktop.keystrokes.keyDowns())
        if (k.keyCode == 9 && k.modifierFlags == ModifierFlags::control) pasteSent = true;
    EXPECT_FALSE(pasteSent);
}

TEST_F(UndoOnDesktopTest, FieldChangedBetweenTheCheckAndThePasteIsLeftAlone) {
    auto field = correctedField();
    service->undoLastCorrection();
    // The first read matches; the user types before the guard reads the field again.
    desktop.at(0.03, [field] {
        field->value = QStringLiteral("This field is right");
        field->placeCaret(field->value.size());
    });
    settle(2.0);
    EXPECT_EQ(field->value, QStringLiteral("This field is right"));
    EXPECT_EQ(toast.calls.last(), "error: " + GlobalCorrectionService::undoFieldChangedMessage);
    EXPECT_EQ(desktop.pasteboard.items(), userItems);
}

TEST_F(UndoOnDesktopTest, AnotherApplicationInFrontGetsNoKeystroke) {
    auto field = correctedField();
    FakeApplication& other = desktop.addApplication(777, QStringLiteral("org.example.Notes"));
    auto notes = other.addTextField(QStringLiteral("This field is wrong"));
    other.focus(notes);
    desktop.activate(other);

    service->undoLastCorrection();
    settle(2.0);
    EXPECT_EQ(field->value, QStringLiteral("This field is wrong"));
    EXPECT_EQ(notes->value, QStringLiteral("This field is wrong"));
    EXPECT_TRUE(desktop.keystrokes.posted.isEmpty()) << "not even Select All";
    EXPECT_EQ(toast.calls.last(), "error: " + *TextCorrectionApplicationResults::userMessage(
                                                  TextCorrectionApplicationResult::applicationChanged));
}

TEST_F(UndoOnDesktopTest, PasswordFieldInFrontIsRefusedBeforeAnyKeystroke) {
    correctedField();
    auto secret = editor.addPasswordField(QStringLiteral("This field is wrong"));
    editor.focus(secret);
    service->undoLastCorrection();
    settle(2.0);
    EXPECT_TRUE(desktop.keystrokes.posted.isEmpty());
    EXPECT_EQ(secret->value, QStringLiteral("This field is wrong"));
    EXPECT_EQ(toast.calls.last(), "error: " + failure(UserFacingErrorCatalog::CorrectionFailure::secureTextField()));
}

TEST_F(UndoOnDesktopTest, NewCorrectionOrStoppingForgetsTheUndo) {
    auto field = correctedField();
    field->value = QStringLiteral("Ths again");
    pressGlobe();
    EXPECT_FALSE(service->canUndoLastCorrection()) << "forgotten as soon as the next correction starts";
    settle(2.0);
    EXPECT_EQ(field->value, QStringLiteral("This again"));
    EXPECT_TRUE(service->canUndoLastCorrection()) << "the new correction can be undone";
    service->stopMonitoring();
    EXPECT_FALSE(service->canUndoLastCorrection());
}

TEST_F(UndoOnDesktopTest, CorrectedSelectionOffersNoUndo) {
    auto field = editor.addTextField(QStringLiteral("Keep Ths part"));
    field->select(5, 3);
    editor.focus(field);
    pressGlobe();
    settle(2.0);
    ASSERT_EQ(field->value, QStringLiteral("Keep This part"));
    EXPECT_FALSE(service->canUndoLastCorrection());
}
