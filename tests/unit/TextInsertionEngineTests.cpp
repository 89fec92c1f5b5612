#include "Platform/Fake/FakeDesktop.h"
#include "Services/TextInsertionEngine.h"
#include "Support/TaskOutcome.h"
#include "Support/VirtualClock.h"

#include <gtest/gtest.h>

using namespace quillo;
using Kind = TextCorrectionCaptureResult::Kind;
using Applied = TextCorrectionApplicationResult;

namespace {

constexpr qint32 kEditorPid = 501;
constexpr quint64 kControl = 0x40000;

class EngineTest : public ::testing::Test {
protected:
    VirtualClock clock;
    FakeDesktop desktop{clock};
    FakeApplication& editor = desktop.addApplication(kEditorPid, QStringLiteral("org.gnome.TextEditor"));
    std::unique_ptr<TextInsertionEngine> engine;
    QList<PasteboardItem> userItems;

    void SetUp() override {
        engine = std::make_unique<TextInsertionEngine>(desktop.platform(), TextInsertionEngine::PhysicalLayoutKeyCode{},
                                                       clock);
        desktop.activate(editor);
        // The user's own clipboard: two items, several representations each.
        PasteboardItem rich;
        rich.setString(QStringLiteral("text/html"), QStringLiteral("<i>user</i>"));
        rich.setString(QStringLiteral("text/plain"), QStringLiteral("user"));
        rich.setData(QStringLiteral("application/x-qt-richtext"), QByteArray("\x01\x02\x03", 3));
        PasteboardItem image;
        image.setData(QStringLiteral("image/png"), QByteArray("\x89PNG\r\n", 6));
        image.setString(QStringLiteral("text/uri-list"), QStringLiteral("https://example.invalid/a.png"));
        userItems = {rich, image};
        desktop.pasteboard.writeFromAnotherProgram(userItems);
    }

    template <typename T> T run(QCoro::Task<T>&& task, double seconds = 5.0) {
        auto outcome = observe(std::move(task));
        clock.advance(seconds);
        EXPECT_TRUE(outcome->finished);
        return outcome->value.value_or(T{});
    }
    TextCorrectionCaptureResult capture(CancellationToken token = {}) {
        auto outcome = observe(engine->captureTarget(token));
        clock.advance(5.0);
        EXPECT_TRUE(outcome->finished);
        return outcome->value.value_or(TextCorrectionCaptureResult::noEditableTarget());
    }
    Applied apply(const TextCorrectionTarget& target, const QString& corrected) {
        auto outcome = observe(engine->applyCorrection(target, corrected));
        clock.advance(5.0);
        EXPECT_TRUE(outcome->finished);
        return outcome->value.value_or(Applied::pasteFailed);
    }
    int shortcutCount(quint16 keyCode) const {
        int count = 0;
        for (const auto& k : desktop.keystrokes.keyDowns())
            if (k.keyCode == keyCode && k.modifierFlags == kControl) ++count;
        return count;
    }
    bool pasteboardIsTheUsers() const { return desktop.pasteboard.items() == userItems; }
};

} // namespace

TEST_F(EngineTest, SelectionIsCorrectedAndTheRestOfTheFieldIsUntouched) {
    auto field = editor.addTextField(QStringLiteral("Ths is a tst. Keep this line as it is."));
    field->select(0, 13);
    editor.focus(field);

    const double start = clock.uptimeSeconds();
    auto outcome = observe(engine->captureTarget());
    ASSERT_TRUE(outcome->finished) << "an instant copy costs no wait";
    EXPECT_DOUBLE_EQ(clock.uptimeSeconds(), start);
    const auto result = *outcome->value;
    ASSERT_EQ(result.kind(), Kind::captured);
    EXPECT_EQ(*result.target(), (TextCorrectionTarget{QStringLiteral("Ths is a tst."), kEditorPid, false}));
    EXPECT_TRUE(pasteboardIsTheUsers()) << "the user's pasteboard is back right after the capture";
    EXPECT_EQ(shortcutCount(0), 0) << "no Select All for an explicit selection";
    EXPECT_EQ(field->selectionLength, 13) << "the selection stays for the paste";

    EXPECT_EQ(apply(*result.target(), QStringLiteral("This is a test.")), Applied::applied);
    EXPECT_EQ(field->value, QStringLiteral("This is a test. Keep this line as it is."));
    EXPECT_EQ(editor.pastedTexts, QList<QString>{QStringLiteral("This is a test.")});
    EXPECT_TRUE(pasteboardIsTheUsers()) << "restored after the paste";
    EXPECT_EQ(engine->pendingRestoreCount(), 0u);
    for (const auto& k : desktop.keystrokes.posted) EXPECT_EQ(k.modifierFlags & 0x100000, 0u) << "Control, not Command";
}

TEST_F(EngineTest, WholeFieldIsCapturedCollapsedAndReplaced) {
    auto field = editor.addTextField(QStringLiteral("teh whole feild\n"));
    field->placeCaret(3);
    editor.focus(field);

    const auto result = capture();
    ASSERT_EQ(result.kind(), Kind::captured);
    EXPECT_EQ(*result.target(), (TextCorrectionTarget{QStringLiteral("teh whole feild\n"), kEditorPid, true}));
    EXPECT_EQ(field->selectionLength, 0) << "Right Arrow collapsed the Select All";
    EXPECT_EQ(field->selectionStart, field->value.size());
    EXPECT_TRUE(pasteboardIsTheUsers());

    EXPECT_EQ(apply(*result.target(), QStringLiteral("the whole field\n")), Applied::applied);
    EXPECT_EQ(field->value, QStringLiteral("the whole field\n"));
    EXPECT_EQ(field->selectionLength, 0);
    EXPECT_TRUE(pasteboardIsTheUsers());
    EXPECT_EQ(editor.selectAllCount, 2) << "once to capture, once to select it again for the paste";
    EXPECT_EQ(editor.rightArrowCount, 1) << "no collapse after a successful paste";
}

TEST_F(EngineTest, PasteRestoresThePasteboardAfterItsDelayOnly) {
    auto field = editor.addTextField(QStringLiteral("Helo"));
    field->selectAll();
    editor.focus(field);
    const auto target = *capture().target();

    auto outcome = observe(engine->applyCorrection(target, QStringLiteral("Hello")));
    clock.advance(0.035);
    ASSERT_TRUE(outcome->finished);
    EXPECT_EQ(*outcome->value, Applied::applied);
    EXPECT_EQ(desktop.pasteboard.plainText(), QStringLiteral("Hello"));
    EXPECT_TRUE(desktop.pasteboard.string(TextInsertionEngine::transientPasteboardType).has_value());
    clock.advance(0.195);
    EXPECT_FALSE(pasteboardIsTheUsers()) << "still the correction, 0.23 s after the paste";
    clock.advance(0.01);
    EXPECT_TRUE(pasteboardIsTheUsers());
}

TEST_F(EngineTest, PasteboardWrittenByAnotherProgramDuringTheRestoreDelayIsLeftAlone) {
    auto field = editor.addTextField(QStringLiteral("Helo"));
    field->selectAll();
    editor.focus(field);
    const auto target = *capture().target();

    PasteboardItem copied;
    copied.setString(QStringLiteral("text/plain"), QStringLiteral("the user copied this"));
    auto outcome = observe(engine->applyCorrection(target, QStringLiteral("Hello")));
    desktop.at(0.135, [&] { desktop.pasteboard.writeFromAnotherProgram({copied}); });
    clock.advance(1.0);
    EXPECT_EQ(*outcome->value, Applied::applied);
    EXPECT_EQ(desktop.pasteboard.items(), QList<PasteboardItem>{copied});
    EXPECT_EQ(engine->pendingRestoreCount(), 0u);

    // Even the same text as the correction, written by someone else, is theirs.
    field->selectAll();
    auto second =
        observe(engine->applyCorrection({QStringLiteral("Hello"), kEditorPid, false}, QStringLiteral("Hello!")));
    PasteboardItem sameText;
    sameText.setString(QStringLiteral("text/plain"), QStringLiteral("Hello!"));
    desktop.at(0.1, [&] { desktop.pasteboard.writeFromAnotherProgram({sameText}); });
    clock.advance(1.0);
    EXPECT_EQ(*second->value, Applied::applied);
    EXPECT_EQ(desktop.pasteboard.items(), QList<PasteboardItem>{sameText});
}

TEST_F(EngineTest, WriteDuringThePasteSettleIsLeftAloneToo) {
    auto field = editor.addTextField(QStringLiteral("Helo"));
    field->selectAll();
    editor.focus(field);
    PasteboardItem other;
    other.setString(QStringLiteral("text/plain"), QStringLiteral("other"));
    auto outcome =
        observe(engine->applyCorrection({QStringLiteral("Helo"), kEditorPid, false}, QStringLiteral("Hello")));
    desktop.at(0.02, [&] { desktop.pasteboard.writeFromAnotherProgram({other}); });
    clock.advance(1.0);
    EXPECT_EQ(*outcome->value, Applied::applied);
    EXPECT_EQ(desktop.pasteboard.items(), QList<PasteboardItem>{other});
}

TEST_F(EngineTest, WriteByAnotherProgramDuringCaptureIsNotOverwritten) {
    auto field = editor.addTextField(QStringLiteral("selected words"));
    field->select(0, 8);
    editor.focus(field);
    PasteboardItem image;
    image.setData(QStringLiteral("image/png"), QByteArray("IMG"));
    // A clipboard manager takes the pasteboard right after the copied text was read.
    desktop.pasteboard.onChange = [&] {
        if (desktop.pasteboard.plainText() == QStringLiteral("selected")) {
            desktop.pasteboard.onChange = nullptr;
            desktop.pasteboard.afterNextStringRead = [&] { desktop.pasteboard.writeFromAnotherProgram({image}); };
        }
    };

    const auto result = capture();
    ASSERT_EQ(result.kind(), Kind::captured);
    EXPECT_EQ(result.target()->text, QStringLiteral("selected"));
    EXPECT_EQ(desktop.pasteboard.items(), QList<PasteboardItem>{image})
        << "the user's old contents not restored over it";
}

TEST_F(EngineTest, ForeignWriteDuringThePollsIsIndistinguishableFromTheCopy) {
    // Whatever changes the pasteboard first ends the polls; image data is not text.
    auto field = editor.addTextField(QStringLiteral("selected words"));
    field->select(0, 8);
    editor.focus(field);
    editor.copyDelay.reset(); // this editor never answers Copy
    PasteboardItem image;
    image.setData(QStringLiteral("image/png"), QByteArray("IMG"));
    desktop.at(0.05, [&] { desktop.pasteboard.writeFromAnotherProgram({image}); });
    EXPECT_EQ(capture().kind(), Kind::noEditableTarget);
    EXPECT_EQ(field->selectionLength, 0) << "the fallback Select All was collapsed again";
}

TEST_F(EngineTest, CopyThatNeverArrivesRestoresTheUsersPasteboard) {
    auto field = editor.addTextField(QStringLiteral("text"));
    field->select(0, 4);
    editor.focus(field);
    editor.copyDelay.reset();
    const double start = clock.uptimeSeconds();
    double finishedAt = 0;
    auto outcome =
        observe(engine->captureTarget(), std::function<void(const TaskOutcome<TextCorrectionCaptureResult>&)>(
                                             [&](const auto&) { finishedAt = clock.uptimeSeconds(); }));
    clock.advance(2.0);
    EXPECT_EQ(outcome->value->kind(), Kind::noEditableTarget);
    EXPECT_TRUE(pasteboardIsTheUsers());
    // The whole budget: 12 polls, then Select All, 25 ms + 24 polls, 60 ms + 24 polls.
    EXPECT_NEAR(finishedAt - start, 12 * 0.010 + 0.025 + 24 * 0.010 + 0.060 + 24 * 0.010, 1e-9);
    EXPECT_EQ(editor.copyCount, 3) << "never a third full-field copy";
    EXPECT_EQ(editor.rightArrowCount, 1);
}

TEST_F(EngineTest, PasswordFieldAnywhereInTheChainIsRefusedBeforeAnyKeystroke) {
    auto group = editor.addElement(QStringLiteral("AXGroup"));
    auto password = editor.addPasswordField(QStringLiteral("hunter2"), group);
    password->selectAll();
    group->setElement(QStringLiteral("AXFocusedUIElement"), password->element);
    editor.focus(password, group);
    EXPECT_EQ(capture().kind(), Kind::secureField);
    EXPECT_TRUE(desktop.keystrokes.posted.isEmpty());
    EXPECT_TRUE(pasteboardIsTheUsers());
    EXPECT_EQ(desktop.pasteboard.clearCount, 1) << "only the setup's own write touched it";

    // A text field nested in a secure container is refused the same way.
    auto secureBox = editor.addElement(QStringLiteral("AXSecureTextField"));
    auto inner = editor.addTextField(QStringLiteral("pin"), QStringLiteral("AXTextField"), secureBox);
    editor.focus(inner);
    EXPECT_EQ(capture().kind(), Kind::secureField);
    EXPECT_TRUE(desktop.keystrokes.posted.isEmpty());
}

TEST_F(EngineTest, BrowserWebAreaIsRefusedWithoutSelectAll) {
    for (const char* bundle : {"firefox", "org.mozilla.firefox", "com.apple.Safari", "chromium"}) {
        auto& browser = desktop.addApplication(600, QString::fromUtf8(bundle));
        desktop.activate(browser);
        auto web = browser.addElement(QStringLiteral("AXWebArea"));
        web->setSettable(QStringLiteral("AXSelectedTextRange"));
        web->set(QStringLiteral("AXSelectedTextRange"), AccessibilityValue::of(AccessibilityRange{0, 0}));
        browser.focusElement(web);
        desktop.keystrokes.posted.clear();
        EXPECT_EQ(capture().kind(), Kind::noEditableTarget) << bundle;
        EXPECT_EQ(browser.selectAllCount, 0) << bundle;
        EXPECT_TRUE(desktop.keystrokes.posted.isEmpty()) << bundle << ": an empty selection is not even copied";
        desktop.workspace.terminate(600);
    }
}

TEST_F(EngineTest, ABrowserFieldOfUnknownKindGetsNoKeystrokeEvenWithASelection) {
    // Chromium whose tree never appears (the page's password field looks like a plain group), and a
    // browser known only by its desktop entry's category.
    struct Case {
        const char* bundle;
        ApplicationDescription description;
    };
    const QList<Case> cases{{"chromium", {}},
                            {"Navigator", {{}, {QStringLiteral("Network"), QStringLiteral("WebBrowser")}}}};
    qint32 pid = 650;
    for (const Case& c : cases) {
        auto& browser = desktop.addApplication(pid, QString::fromUtf8(c.bundle));
        desktop.workspace.setDescription(pid, c.description);
        desktop.activate(browser);
        auto group = browser.addElement(QStringLiteral("AXGroup"));
        group->set(QStringLiteral("AXSelectedTextRange"), AccessibilityValue::of(AccessibilityRange{0, 6}));
        browser.focusElement(group);
        desktop.keystrokes.posted.clear();
        EXPECT_EQ(capture().kind(), Kind::noEditableTarget) << c.bundle;
        EXPECT_TRUE(desktop.keystrokes.posted.isEmpty()) << c.bundle << ": not even Copy";
        EXPECT_TRUE(pasteboardIsTheUsers());
        desktop.workspace.terminate(pid++);
    }
}

TEST_F(EngineTest, ChromeWebFieldIsCapturedOnceItsTreeAppears) {
    auto& chrome = desktop.addApplication(700, QStringLiteral("google-chrome"));
    desktop.activate(chrome);
    auto field = chrome.addTextField(QStringLiteral("web text"), QStringLiteral("AXGroup"));
    chrome.focus(field);
    chrome.element()->onSetBoolean = [&](const QString&, bool) {
        desktop.at(0.3, [&] { field->element->setString(QStringLiteral("AXRole"), QStringLiteral("AXTextArea")); });
        return AccessibilityStatus::success;
    };
    const auto result = capture();
    ASSERT_EQ(result.kind(), Kind::captured);
    EXPECT_EQ(result.target()->text, QStringLiteral("web text"));
    EXPECT_TRUE(result.target()->capturedFullField);
}

TEST_F(EngineTest, FileManagersAreRefusedBeforeSelectAll) {
    qint32 pid = 800;
    for (const char* bundle : {"com.apple.finder", "nautilus", "org.gnome.Nautilus", "org.kde.dolphin", "Thunar"}) {
        auto& files = desktop.addApplication(pid, QString::fromUtf8(bundle));
        desktop.activate(files);
        auto rename = files.addTextField(QStringLiteral("Report.txt"));
        files.focus(rename);
        EXPECT_EQ(capture().kind(), Kind::noEditableTarget) << bundle;
        EXPECT_EQ(files.selectAllCount, 0) << bundle;
        desktop.workspace.terminate(pid++);
    }
    EXPECT_TRUE(pasteboardIsTheUsers());
}

TEST_F(EngineTest, TerminalIsRefusedWithNoKeystrokeAtAll) {
    for (const char* bundle : {"gnome-terminal-server", "org.kde.konsole", "xterm", "Alacritty", "kitty"}) {
        auto& terminal = desktop.addApplication(900, QString::fromUtf8(bundle));
        desktop.activate(terminal);
        auto prompt = terminal.addTextField(QStringLiteral("$ make"), QStringLiteral("AXTextArea"));
        prompt->select(2, 4);
        terminal.focus(prompt);
        EXPECT_EQ(capture().kind(), Kind::terminal) << bundle;
        EXPECT_TRUE(desktop.keystrokes.posted.isEmpty()) << bundle << ": Control+C would interrupt it";
        EXPECT_EQ(prompt->element->readCount, 0) << "refused before inspecting";
        desktop.workspace.terminate(900);
    }
}

TEST_F(EngineTest, TerminalsUnknownByNameAreRecognisedByTheirOtherNamesEntryOrRole) {
    struct Case {
        const char* bundle;
        ApplicationDescription description;
        bool terminalRole;
    };
    const QList<Case> cases{
        // Debian's uxterm: class "UXTerm", but its instance and executable are xterm's.
        {"UXTerm", {{QStringLiteral("xterm")}, {}}, false},
        // A terminal no list knows, whose desktop entry says what it is.
        {"Quillterm", {{}, {QStringLiteral("System"), QStringLiteral("TerminalEmulator")}}, false},
        // Nothing known of the application, but its focused element is a terminal.
        {"unknown-app", {}, true},
    };
    qint32 pid = 910;
    for (const Case& c : cases) {
        auto& terminal = desktop.addApplication(pid, QString::fromUtf8(c.bundle));
        desktop.workspace.setDescription(pid, c.description);
        desktop.activate(terminal);
        auto screen = terminal.addTextField(QStringLiteral("$ make"), c.terminalRole ? QStringLiteral("AXTerminal")
                                                                                     : QStringLiteral("AXTextArea"));
        screen->element->set(QStringLiteral("AXIsEditable"), AccessibilityValue::of(true));
        screen->select(2, 4);
        terminal.focus(screen);
        EXPECT_EQ(capture().kind(), Kind::terminal) << c.bundle;
        EXPECT_TRUE(desktop.keystrokes.posted.isEmpty()) << c.bundle;
        EXPECT_TRUE(pasteboardIsTheUsers());
        desktop.workspace.terminate(pid++);
    }
}

TEST_F(EngineTest, FieldOverTheCharacterLimitIsRefusedAndCollapsed) {
    auto field = editor.addTextField(QString(9001, u'w'));
    editor.focus(field);
    EXPECT_EQ(capture().kind(), Kind::fieldTooLong);
    EXPECT_EQ(field->selectionLength, 0);
    EXPECT_TRUE(pasteboardIsTheUsers());

    field->value = QString(9000, u'w');
    field->placeCaret(0);
    const auto exact = capture();
    ASSERT_EQ(exact.kind(), Kind::captured);
    EXPECT_EQ(exact.target()->text.size(), 9000);

    // An explicit selection has no limit of its own.
    field->value = QString(12000, u'w');
    field->selectAll();
    EXPECT_EQ(capture().kind(), Kind::captured);
}

TEST_F(EngineTest, ApplicationSwitchedBeforePasteNothingIsSent) {
    auto field = editor.addTextField(QStringLiteral("Helo"));
    editor.focus(field);
    const auto target = *capture().target();
    auto& other = desktop.addApplication(777, QStringLiteral("org.kde.kate"));
    auto otherField = other.addTextField(QStringLiteral("elsewhere"));
    other.focus(otherField);
    desktop.activate(other);
    desktop.keystrokes.posted.clear();

    EXPECT_EQ(apply(target, QStringLiteral("Hello")), Applied::applicationChanged);
    EXPECT_TRUE(desktop.keystrokes.posted.isEmpty());
    EXPECT_EQ(field->value, QStringLiteral("Helo"));
    EXPECT_EQ(otherField->value, QStringLiteral("elsewhere"));

    // No frontmost application at all, or this program itself in front.
    desktop.workspace.deactivateAll();
    EXPECT_EQ(apply(target, QStringLiteral("Hello")), Applied::applicationChanged);
    EXPECT_EQ(capture().kind(), Kind::noEditableTarget);
    auto& self = desktop.addApplication(FakeWorkspace::ownProcessIdentifier, QStringLiteral("com.quillo.app"));
    desktop.activate(self);
    EXPECT_EQ(capture().kind(), Kind::noEditableTarget);
    EXPECT_TRUE(desktop.keystrokes.posted.isEmpty());
}

TEST_F(EngineTest, ApplicationSwitchedDuringTheReReadSendsNothingToTheOtherApplication) {
    auto field = editor.addTextField(QStringLiteral("Helo"));
    editor.focus(field);
    const auto target = *capture().target();
    auto& other = desktop.addApplication(777, QStringLiteral("org.kde.kate"));
    auto otherField = other.addTextField(QStringLiteral("elsewhere"));
    other.focus(otherField);
    editor.copyDelay = 0.05; // the switch lands while the engine waits for the copy
    desktop.at(0.03, [&] { desktop.activate(other); });

    EXPECT_EQ(apply(target, QStringLiteral("Hello")), Applied::applicationChanged);
    EXPECT_EQ(other.rightArrowCount, 0);
    EXPECT_EQ(other.pasteCount, 0);
    EXPECT_EQ(otherField->value, QStringLiteral("elsewhere"));
    EXPECT_EQ(field->value, QStringLiteral("Helo"));
}

TEST_F(EngineTest, TextEditedBeforePasteIsNotOverwritten) {
    auto field = editor.addTextField(QStringLiteral("Helo"));
    editor.focus(field);
    const auto target = *capture().target();
    field->value = QStringLiteral("Helo ");
    field->placeCaret(5);

    EXPECT_EQ(apply(target, QStringLiteral("Hello")), Applied::selectionChanged);
    EXPECT_EQ(field->value, QStringLiteral("Helo "));
    EXPECT_EQ(field->selectionLength, 0) << "not left fully selected";
    EXPECT_EQ(editor.pasteCount, 0);
    EXPECT_TRUE(pasteboardIsTheUsers());

    // An explicit selection the user moved away from.
    field->value = QStringLiteral("one two");
    field->select(0, 3);
    const auto selection = *capture().target();
    field->select(4, 3);
    EXPECT_EQ(apply(selection, QStringLiteral("One")), Applied::selectionChanged);
    EXPECT_EQ(field->value, QStringLiteral("one two"));
}

TEST_F(EngineTest, LateSelectAllIsRecoveredByTheRetry) {
    auto field = editor.addTextField(QStringLiteral("slow editor text"));
    editor.focus(field);
    editor.selectAllDelay = 0.2; // applied after the first copy has given up

    const double start = clock.uptimeSeconds();
    double finishedAt = 0;
    auto outcome =
        observe(engine->captureTarget(), std::function<void(const TaskOutcome<TextCorrectionCaptureResult>&)>(
                                             [&](const auto&) { finishedAt = clock.uptimeSeconds(); }));
    clock.advance(2.0);
    ASSERT_TRUE(outcome->finished);
    // Select All settle, 24 fruitless polls, the retry wait, then an instant copy.
    EXPECT_NEAR(finishedAt - start, 0.025 + 24 * 0.010 + 0.060, 1e-9);
    const auto result = *outcome->value;
    ASSERT_EQ(result.kind(), Kind::captured);
    EXPECT_EQ(result.target()->text, QStringLiteral("slow editor text"));
    EXPECT_EQ(editor.selectAllCount, 1) << "the retry copies again without a new Select All";
    EXPECT_EQ(editor.copyCount, 2);
    EXPECT_TRUE(pasteboardIsTheUsers());
}

// X11 reports the selection an editor takes, the clipboard's new owner and the paste being read:
// each wait ends with its report, and the delays only bound them.
TEST_F(EngineTest, WaitsEndWhenTheDesktopReportsWhatTheyWaitFor) {
    desktop.pasteboard.selectionChanges = 0;
    desktop.pasteboard.contentReads = 0;
    auto field = editor.addTextField(QStringLiteral("teh whole feild"));
    editor.focus(field);
    editor.selectAllDelay = 0.004;
    editor.copyDelay = 0.003;
    editor.pasteReadDelay = 0.002;

    const double start = clock.uptimeSeconds();
    double capturedAt = 0;
    auto captured =
        observe(engine->captureTarget(), std::function<void(const TaskOutcome<TextCorrectionCaptureResult>&)>(
                                             [&](const auto&) { capturedAt = clock.uptimeSeconds(); }));
    clock.advance(1.0);
    ASSERT_TRUE(captured->finished);
    EXPECT_NEAR(capturedAt - start, 0.004 + 0.003, 1e-9) << "no settle delay and no poll interval on top";
    const auto target = *captured->value->target();
    EXPECT_TRUE(pasteboardIsTheUsers());

    const double applyStart = clock.uptimeSeconds();
    double appliedAt = 0;
    auto applied = observe(
        engine->applyCorrection(target, QStringLiteral("the whole field")),
        std::function<void(const TaskOutcome<Applied>&)>([&](const auto&) { appliedAt = clock.uptimeSeconds(); }));
    clock.advance(1.0);
    ASSERT_TRUE(applied->finished);
    EXPECT_EQ(*applied->value, Applied::applied);
    EXPECT_NEAR(appliedAt - applyStart, 0.004 + 0.003 + 0.002, 1e-9);
    EXPECT_EQ(field->value, QStringLiteral("the whole field"));
    EXPECT_TRUE(pasteboardIsTheUsers()) << "the restore still came after its own delay";
}

TEST_F(EngineTest, ReportsThatNeverComeCostTheFixedDelaysOnly) {
    // An editor that claims no selection (its field already all selected), and a paste whose read
    // is not reported.
    desktop.pasteboard.selectionChanges = 0;
    auto field = editor.addTextField(QStringLiteral("Helo"));
    editor.focus(field);
    editor.claimsSelection = false;
    const double start = clock.uptimeSeconds();
    double capturedAt = 0;
    auto captured =
        observe(engine->captureTarget(), std::function<void(const TaskOutcome<TextCorrectionCaptureResult>&)>(
                                             [&](const auto&) { capturedAt = clock.uptimeSeconds(); }));
    clock.advance(2.0);
    ASSERT_TRUE(captured->finished);
    ASSERT_EQ(captured->value->kind(), Kind::captured);
    EXPECT_NEAR(capturedAt - start, TextInsertionEngine::selectAllSettleDelay, 1e-9);

    const double applyStart = clock.uptimeSeconds();
    auto applied = observe(engine->applyCorrection(*captured->value->target(), QStringLiteral("Hello")));
    clock.advance(TextInsertionEngine::selectAllSettleDelay + TextInsertionEngine::pasteSettleDelay - 0.001);
    EXPECT_FALSE(applied->finished) << "without reports, the settle delays run in full";
    clock.advance(0.001);
    ASSERT_TRUE(applied->finished);
    EXPECT_NEAR(clock.uptimeSeconds() - applyStart,
                TextInsertionEngine::selectAllSettleDelay + TextInsertionEngine::pasteSettleDelay, 1e-9);
    EXPECT_EQ(field->value, QStringLiteral("Hello"));
}

TEST_F(EngineTest, InconsistentVerificationCopyIsReselectedOnceAndNeverAThirdTime) {
    auto field = editor.addTextField(QStringLiteral("Full text here"));
    editor.focus(field);
    const auto target = *capture().target();
    const int selectAllsBefore = editor.selectAllCount;
    const int copiesBefore = editor.copyCount;

    // The verification copy first sees a partial selection, then the whole field.
    editor.scriptedCopies = {QStringLiteral("Full text")};
    EXPECT_EQ(apply(target, QStringLiteral("Full text, here")), Applied::applied);
    EXPECT_EQ(editor.selectAllCount - selectAllsBefore, 2);
    EXPECT_EQ(editor.copyCount - copiesBefore, 2);
    EXPECT_EQ(field->value, QStringLiteral("Full text, here"));

    // Two inconsistent copies: one re-select, then it gives up.
    const auto second = *capture().target();
    const int selectAlls = editor.selectAllCount;
    const int copies = editor.copyCount;
    editor.scriptedCopies = {QStringLiteral("Full"), QStringLiteral("Full text,")};
    EXPECT_EQ(apply(second, QStringLiteral("Full text, here.")), Applied::selectionChanged);
    EXPECT_EQ(editor.selectAllCount - selectAlls, 2);
    EXPECT_EQ(editor.copyCount - copies, 2);
    EXPECT_EQ(field->value, QStringLiteral("Full text, here"));
    EXPECT_EQ(field->selectionLength, 0);
}

TEST_F(EngineTest, ExplicitSelectionOfWhiteSpaceFallsBackToTheWholeField) {
    auto field = editor.addTextField(QStringLiteral("word   word"));
    field->select(4, 3);
    editor.focus(field);
    const auto result = capture();
    ASSERT_EQ(result.kind(), Kind::captured);
    EXPECT_TRUE(result.target()->capturedFullField);
    EXPECT_EQ(result.target()->text, QStringLiteral("word   word"));
}

TEST_F(EngineTest, FilesOnThePasteboardAreNotText) {
    auto field = editor.addTextField(QStringLiteral("irrelevant"));
    field->select(0, 3);
    editor.focus(field);
    editor.copyAsFiles = true;
    EXPECT_EQ(capture().kind(), Kind::noEditableTarget);
    EXPECT_TRUE(pasteboardIsTheUsers());
}

TEST_F(EngineTest, ShortcutKeysFollowTheKeyboardLayout) {
    desktop.keyboardLayout = FakeKeyboardLayout::azerty();
    auto field = editor.addTextField(QStringLiteral("clavier"));
    editor.focus(field);
    ASSERT_EQ(capture().kind(), Kind::captured);
    EXPECT_EQ(shortcutCount(12), 1) << "Select All on the AZERTY A key";
    EXPECT_EQ(shortcutCount(0), 0) << "the QWERTY A position types Q here";

    // The user's chosen physical layout wins over the active one.
    TextInsertionEngine chosen(
        desktop.platform(),
        [](QChar c) -> std::optional<quint16> {
            if (c == u'a') return 12;
            return std::nullopt;
        },
        clock);
    desktop.keyboardLayout = FakeKeyboardLayout::qwerty();
    desktop.keyboardLayout.setKey(12, QStringLiteral("a")); // both keys type 'a' now
    EXPECT_EQ(chosen.keyCode(u'a'), 12);
    EXPECT_EQ(chosen.keyCode(u'c'), 8);

    // No layout and no choice: no shortcut is sent, and without a Select All there is
    // nothing to collapse either.
    desktop.keyboardLayout.available = false;
    desktop.keystrokes.posted.clear();
    field->select(0, 3);
    EXPECT_EQ(capture().kind(), Kind::noEditableTarget);
    EXPECT_TRUE(desktop.keystrokes.posted.isEmpty());
    EXPECT_TRUE(pasteboardIsTheUsers());
}

TEST_F(EngineTest, PasteThatCannotBeSentRestoresAtOnce) {
    auto field = editor.addTextField(QStringLiteral("Helo"));
    editor.focus(field);
    const auto target = *capture().target();
    desktop.keystrokes.failingKeyCodes = {9}; // V
    auto outcome = observe(engine->applyCorrection(target, QStringLiteral("Hello")));
    clock.advance(0.5);
    ASSERT_TRUE(outcome->finished);
    EXPECT_EQ(*outcome->value, Applied::pasteFailed);
    EXPECT_TRUE(pasteboardIsTheUsers());
    EXPECT_EQ(field->value, QStringLiteral("Helo"));
    EXPECT_EQ(field->selectionLength, 0);
    EXPECT_EQ(engine->pendingRestoreCount(), 0u);
}

TEST_F(EngineTest, RefusedPasteboardWriteSendsNoPaste) {
    // The desktop may refuse our write (an X server ignores a stale ownership request); a
    // Paste then would insert whatever the user had copied.
    auto field = editor.addTextField(QStringLiteral("Helo"));
    editor.focus(field);
    const auto target = *capture().target();
    // From the verification copy on, our writes are refused.
    auto deliver = desktop.keystrokes.deliver;
    desktop.keystrokes.deliver = [this, deliver](const SyntheticKeystroke& k) {
        deliver(k);
        if (k.keyCode == 8 && !k.keyDown) desktop.pasteboard.refuseWrites = true;
    };
    EXPECT_EQ(apply(target, QStringLiteral("Hello")), Applied::pasteFailed);
    EXPECT_EQ(shortcutCount(9), 0);
    EXPECT_EQ(field->value, QStringLiteral("Helo"));
    EXPECT_EQ(engine->pendingRestoreCount(), 0u);
}

TEST_F(EngineTest, CancelledCaptureSendsNoSelectAllAndRestores) {
    auto field = editor.addTextField(QStringLiteral("text"));
    field->select(0, 4);
    editor.focus(field);
    editor.copyDelay = 0.05;
    CancellationSource source;
    auto outcome = observe(engine->captureTarget(source.token()));
    clock.advance(0.02);
    source.cancel();
    clock.advance(1.0);
    ASSERT_TRUE(outcome->finished);
    EXPECT_EQ(outcome->value->kind(), Kind::noEditableTarget);
    EXPECT_EQ(editor.selectAllCount, 0);
    EXPECT_EQ(field->value, QStringLiteral("text"));

    // A cancelled application pastes nothing.
    CancellationSource cancelled;
    cancelled.cancel();
    EXPECT_FALSE(run(engine->paste(QStringLiteral("x"), cancelled.token())));
    EXPECT_EQ(editor.pasteCount, 0);
}

TEST_F(EngineTest, DestroyingTheEngineRestoresPendingPasteboards) {
    auto field = editor.addTextField(QStringLiteral("Helo"));
    field->selectAll();
    editor.focus(field);
    auto outcome =
        observe(engine->applyCorrection({QStringLiteral("Helo"), kEditorPid, false}, QStringLiteral("Hello")));
    clock.advance(0.05);
    ASSERT_TRUE(outcome->finished);
    EXPECT_EQ(engine->pendingRestoreCount(), 1u);
    engine.reset();
    EXPECT_TRUE(pasteboardIsTheUsers());
    clock.advance(1.0); // the withdrawn timer does not fire
    EXPECT_EQ(clock.pendingTimers(), 0u);
}
