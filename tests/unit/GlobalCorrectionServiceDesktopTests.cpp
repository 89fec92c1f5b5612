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
