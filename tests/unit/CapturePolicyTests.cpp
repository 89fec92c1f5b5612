#include "Platform/Fake/FakePasteboard.h"
#include "Services/TextTargetProviding.h"
#include "Support/AccessibilitySupport.h"
#include "Support/CorrectionTargetGuard.h"
#include "Support/PasteboardTransaction.h"

#include <gtest/gtest.h>

using namespace quillo;
using Context = FocusedElementCorrectionContext;
using Selection = FocusedTextSelectionState;

namespace {
std::optional<QString> s(const char* text) { return QString::fromUtf8(text); }
const std::optional<QString> none;
} // namespace

TEST(FocusedTextInputPolicy, CorrectionContextFollowsRulesInOrder) {
    using FocusedTextInputPolicy::correctionContext;
    EXPECT_EQ(correctionContext(s("AXSecureTextField"), none, true, true, true), Context::secureTextInput);
    EXPECT_EQ(correctionContext(s("AXTextField"), s("AXSecureTextField"), false, false, false),
              Context::secureTextInput);
    for (const char* role : {"AXTextField", "AXTextArea", "AXComboBox"})
        EXPECT_EQ(correctionContext(s(role), none, false, false, false), Context::textInput) << role;
    EXPECT_EQ(correctionContext(s("AXUnknown"), s("AXSearchField"), false, false, false), Context::textInput);
    EXPECT_EQ(correctionContext(s("AXGroup"), none, true, false, false), Context::textInput)
        << "editable wins over structure";
    // A settable range or an editable ancestor counts only outside structural containers.
    EXPECT_EQ(correctionContext(s("AXStaticText"), none, false, true, false), Context::textInput);
    EXPECT_EQ(correctionContext(none, none, false, false, true), Context::textInput);
    for (const char* role : {"AXApplication", "AXGroup", "AXScrollArea", "AXWebArea", "AXWindow"}) {
        EXPECT_EQ(correctionContext(s(role), none, false, true, true), Context::other) << role;
    }
    EXPECT_EQ(correctionContext(s("AXButton"), none, false, false, false), Context::other);
    EXPECT_EQ(correctionContext(none, none, false, false, false), Context::other);
}

TEST(FocusedTextInputPolicy, ProtectedFieldIsAPlainTextFieldHidingItsSelection) {
    using FocusedTextInputPolicy::isProtectedTextField;
    const QStringList valueOnly{"AXRole", "AXValue"};
    EXPECT_TRUE(isProtectedTextField(s("AXTextField"), valueOnly));
    EXPECT_FALSE(isProtectedTextField(s("AXTextField"), QStringList{"AXValue", "AXSelectedText"}));
    EXPECT_FALSE(isProtectedTextField(s("AXTextField"), QStringList{"AXValue", "AXSelectedTextRange"}));
    EXPECT_FALSE(isProtectedTextField(s("AXTextField"), QStringList{"AXRole"})) << "no value exposed";
    EXPECT_FALSE(isProtectedTextField(s("AXTextArea"), valueOnly));
    EXPECT_FALSE(isProtectedTextField(none, valueOnly));
    EXPECT_FALSE(isProtectedTextField(s("AXTextField"), std::nullopt)) << "unknown attributes";
}

TEST(CapturePolicies, ExplicitSelectionAndFocusedApplication) {
    using ExplicitSelectionCapturePolicy::shouldAttempt;
    EXPECT_TRUE(shouldAttempt(Context::textInput, Selection::nonEmpty));
    EXPECT_TRUE(shouldAttempt(Context::other, Selection::unknown));
    EXPECT_FALSE(shouldAttempt(Context::textInput, Selection::empty));
    EXPECT_FALSE(shouldAttempt(Context::secureTextInput, Selection::nonEmpty));
    EXPECT_TRUE(FocusedApplicationPolicy::belongsToFrontmostApplication(42, 42));
    EXPECT_FALSE(FocusedApplicationPolicy::belongsToFrontmostApplication(42, 43));
}

TEST(FullFieldCapturePolicy, RefusesSecureMissingAndFileManagers) {
    using FullFieldCapturePolicy::shouldAttempt;
    EXPECT_FALSE(shouldAttempt(Context::secureTextInput, s("org.gnome.TextEditor")));
    EXPECT_FALSE(shouldAttempt(Context::textInput, none));
    EXPECT_FALSE(shouldAttempt(Context::textInput, s("")));
    for (const char* manager : {"com.apple.finder", "nautilus", "org.gnome.Nautilus", "Org.Gnome.Nautilus", "dolphin",
                                "org.kde.dolphin", "Thunar", "nemo", "Caja", "pcmanfm", "pcmanfm-qt"}) {
        EXPECT_FALSE(shouldAttempt(Context::textInput, s(manager))) << manager;
        EXPECT_FALSE(shouldAttempt(Context::other, s(manager))) << manager;
    }
    // Only the file managers themselves, not names that merely start alike.
    EXPECT_TRUE(shouldAttempt(Context::other, s("nemo-notes")));
}

TEST(FullFieldCapturePolicy, BrowsersAndDocumentsOnlyForTextInputs) {
    using FullFieldCapturePolicy::shouldAttempt;
    for (const char* browser : {"com.apple.Preview",
                                "com.apple.Safari",
                                "com.brave.Browser.beta",
                                "com.google.Chrome",
                                "com.google.Chrome.canary",
                                "com.microsoft.edgemac",
                                "com.operasoftware.Opera",
                                "com.vivaldi.Vivaldi",
                                "company.thebrowser.Browser",
                                "org.mozilla.firefox",
                                "chromium",
                                "Chromium-browser",
                                "google-chrome",
                                "Google-chrome-beta",
                                "firefox",
                                "firefox-esr",
                                "org.mozilla.Firefox",
                                "brave-browser",
                                "vivaldi-stable",
                                "microsoft-edge",
                                "org.chromium.Chromium"}) {
        EXPECT_FALSE(shouldAttempt(Context::other, s(browser))) << browser;
        EXPECT_TRUE(shouldAttempt(Context::textInput, s(browser))) << browser;
    }
    EXPECT_TRUE(shouldAttempt(Context::other, s("org.gnome.TextEditor")));
    EXPECT_TRUE(shouldAttempt(Context::textInput, s("libreoffice-writer")));
}

TEST(TerminalApplicationPolicy, RecognisesTerminalsCaseInsensitively) {
    using TerminalApplicationPolicy::isTerminal;
    for (const char* terminal :
         {"xterm", "XTerm", "gnome-terminal", "gnome-terminal-server", "Gnome-terminal", "org.gnome.Terminal",
          "konsole", "org.kde.konsole", "xfce4-terminal", "tilix", "Alacritty", "kitty", "wezterm",
          "org.wezfurlong.wezterm", "terminator", "URxvt", "rxvt", "rxvt-unicode"}) {
        EXPECT_TRUE(isTerminal(s(terminal))) << terminal;
    }
    for (const char* app : {"kittypaint", "xtermination", "org.gnome.TextEditor", "firefox", ""})
        EXPECT_FALSE(isTerminal(s(app))) << app;
    EXPECT_FALSE(isTerminal(none));
    EXPECT_FALSE(FullFieldCapturePolicy::shouldAttempt(Context::textInput, s("konsole")));
}

TEST(TerminalApplicationPolicy, RecognisesEveryNameAndTheDesktopEntrysCategory) {
    using TerminalApplicationPolicy::isTerminal;
    // The list, by the names their windows and executables carry.
    for (const char* name : {"kgx",
                             "org.gnome.Console",
                             "ptyxis",
                             "org.gnome.Ptyxis",
                             "lxterminal",
                             "Lxterminal",
                             "mate-terminal",
                             "Mate-terminal",
                             "qterminal",
                             "terminology",
                             "foot",
                             "footclient",
                             "st",
                             "st-256color",
                             "stterm",
                             "cool-retro-term",
                             "Guake",
                             "Tilda",
                             "yakuake",
                             "org.kde.yakuake",
                             "UXTerm",
                             "x-terminal-emulator"})
        EXPECT_TRUE(isTerminal(s(name))) << name;
    for (const char* app : {"stellarium", "steam", "footage", "mousepad", "chromium", "Navigator", "tildacompanion"})
        EXPECT_FALSE(isTerminal(s(app))) << app;

    EXPECT_TRUE(isTerminal(ApplicationDescription{{QStringLiteral("UXTerm"), QStringLiteral("xterm")}, {}}));
    EXPECT_TRUE(isTerminal(
        ApplicationDescription{{QStringLiteral("Newterm")},
                               {QStringLiteral("GTK"), QStringLiteral("System"), QStringLiteral("TerminalEmulator")}}));
    EXPECT_TRUE(isTerminal(ApplicationDescription{{}, {QStringLiteral(" terminalemulator ")}}));
    EXPECT_FALSE(isTerminal(ApplicationDescription{{QStringLiteral("Mousepad"), QStringLiteral("mousepad")},
                                                   {QStringLiteral("Utility"), QStringLiteral("TextEditor")}}));
    EXPECT_FALSE(isTerminal(ApplicationDescription{}));

    EXPECT_TRUE(TerminalApplicationPolicy::isTerminalRole(s("AXTerminal")));
    EXPECT_FALSE(TerminalApplicationPolicy::isTerminalRole(s("AXTextArea")));
    EXPECT_FALSE(TerminalApplicationPolicy::isTerminalRole(none));
}

TEST(FullFieldCapturePolicy, CharacterLimitCountsUserPerceivedCharacters) {
    using FullFieldCapturePolicy::isWithinAutomaticCharacterLimit;
    EXPECT_TRUE(isWithinAutomaticCharacterLimit(QString(9000, u'x')));
    EXPECT_FALSE(isWithinAutomaticCharacterLimit(QString(9001, u'x')));
    // 9000 letters with a combining accent each: 18000 UTF-16 units, 9000 characters.
    QString accented;
    for (int i = 0; i < 9000; ++i) accented += QStringLiteral("e\u0301");
    EXPECT_EQ(FullFieldCapturePolicy::characterCount(accented), 9000);
    EXPECT_TRUE(isWithinAutomaticCharacterLimit(accented));
    EXPECT_FALSE(isWithinAutomaticCharacterLimit(accented + QStringLiteral("\U0001F600")));
    EXPECT_EQ(FullFieldCapturePolicy::characterCount(QStringLiteral("a\U0001F44D\U0001F3FDb")), 3);
    EXPECT_EQ(FullFieldCapturePolicy::characterCount({}), 0);
}

TEST(FullFieldCopyRetryPolicy, RecoveryActions) {
    using FullFieldCopyRetryPolicy::recoveryAction;
    using Action = FullFieldCopyRetryPolicy::RecoveryAction;
    EXPECT_EQ(recoveryAction(none, none), Action::retryCopy);
    EXPECT_EQ(recoveryAction(s(" \n\t "), s("text")), Action::retryCopy);
    EXPECT_EQ(recoveryAction(s(""), none), Action::retryCopy);
    EXPECT_EQ(recoveryAction(s("partial"), none), Action::accept);
    EXPECT_EQ(recoveryAction(s("same"), s("same")), Action::accept);
    EXPECT_EQ(recoveryAction(s("same "), s("same")), Action::reselectAndCopy);
    EXPECT_EQ(recoveryAction(s("other"), s("text")), Action::reselectAndCopy);
}

TEST(CorrectionTargetGuard, ApplicationCheckComesFirstAndTextIsExact) {
    using CorrectionTargetGuard::invalidationReason;
    using Reason = CorrectionTargetGuard::InvalidationReason;
    const QString text = QStringLiteral("Helo world");
    EXPECT_EQ(invalidationReason(7, 7, text, text), std::nullopt);
    EXPECT_EQ(invalidationReason(7, 7, text, text + u' '), Reason::textChanged);
    EXPECT_EQ(invalidationReason(7, 7, text, text + u'\n'), Reason::textChanged);
    EXPECT_EQ(invalidationReason(7, 7, text, std::nullopt), Reason::textChanged);
    EXPECT_EQ(invalidationReason(7, 8, text, text), Reason::applicationChanged);
    EXPECT_EQ(invalidationReason(7, 8, text, QStringLiteral("other")), Reason::applicationChanged);
    EXPECT_EQ(invalidationReason(7, std::nullopt, text, text), Reason::applicationChanged);
}

TEST(TextCorrectionApplicationResult, UserMessages) {
    using namespace TextCorrectionApplicationResults;
    EXPECT_EQ(userMessage(TextCorrectionApplicationResult::applied), std::nullopt);
    EXPECT_EQ(userMessage(TextCorrectionApplicationResult::applicationChanged),
              QStringLiteral("Not pasted: you switched to another app while Quillo was working. Return to the original "
                             "field and try again."));
    EXPECT_EQ(userMessage(TextCorrectionApplicationResult::selectionChanged),
              QStringLiteral("Not pasted: the original text or selection changed while Quillo was working. Select it "
                             "again and try again."));
    EXPECT_EQ(userMessage(TextCorrectionApplicationResult::pasteFailed),
              QStringLiteral("Paste failed. Focus the original text field and try again."));
    EXPECT_EQ(TextCorrectionCaptureResult::fieldTooLong().caseName(), QStringLiteral("fieldTooLong"));
}

// MARK: - Pasteboard transaction

namespace {
PasteboardItem richItem(const QString& text) {
    PasteboardItem item;
    item.setString(QStringLiteral("text/html"), QStringLiteral("<b>") + text + QStringLiteral("</b>"));
    item.setString(QStringLiteral("text/plain"), text);
    item.setData(QStringLiteral("application/x-custom"), QByteArray("\x00\x01\x02", 3));
    return item;
}
} // namespace

TEST(PasteboardSnapshot, RestoresEveryItemAndTypeInOrder) {
    FakePasteboard pasteboard;
    PasteboardItem image;
    image.setData(QStringLiteral("image/png"), QByteArray("\x89PNG", 4));
    pasteboard.writeFromAnotherProgram({richItem("one"), image, richItem("three")});
    const auto before = pasteboard.items();

    const auto snapshot = PasteboardSnapshot::capture(pasteboard);
    ASSERT_EQ(snapshot.items.size(), 3);
    pasteboard.writeFromAnotherProgram({richItem("mine")});
    EXPECT_TRUE(snapshot.restoreIfUnchanged(pasteboard.changeCount(), pasteboard));
    EXPECT_EQ(pasteboard.items(), before);
}

TEST(PasteboardSnapshot, EmptyPasteboardStaysEmptyAndUnreadableTypesAreSkipped) {
    FakePasteboard pasteboard;
    const auto empty = PasteboardSnapshot::capture(pasteboard);
    EXPECT_TRUE(empty.items.isEmpty());
    pasteboard.writeFromAnotherProgram({richItem("x")});
    EXPECT_TRUE(empty.restoreIfUnchanged(pasteboard.changeCount(), pasteboard));
    EXPECT_TRUE(pasteboard.items().isEmpty());

    pasteboard.writeFromAnotherProgram({richItem("x")});
    pasteboard.unreadableTypes = {QStringLiteral("text/html"), QStringLiteral("text/plain"),
                                  QStringLiteral("application/x-custom")};
    const auto unreadable = PasteboardSnapshot::capture(pasteboard);
    ASSERT_EQ(unreadable.items.size(), 1) << "an item whose types all fail is kept, empty";
    EXPECT_TRUE(unreadable.items[0].values.isEmpty());
    pasteboard.contentsUnreadable = true;
    EXPECT_TRUE(PasteboardSnapshot::capture(pasteboard).items.isEmpty());
}

TEST(PasteboardSnapshot, RestoreIfUnchangedLeavesAnotherProgramsWriteAlone) {
    FakePasteboard pasteboard;
    pasteboard.writeFromAnotherProgram({richItem("user")});
    const auto snapshot = PasteboardSnapshot::capture(pasteboard);
    const qint64 seen = pasteboard.changeCount();
    pasteboard.writeFromAnotherProgram({richItem("other program")});
    const qint64 afterOther = pasteboard.changeCount();
    EXPECT_FALSE(snapshot.restoreIfUnchanged(seen, pasteboard));
    EXPECT_EQ(pasteboard.plainText(), QStringLiteral("other program"));
    EXPECT_EQ(pasteboard.changeCount(), afterOther);
}

TEST(TransientPasteboardWrite, OwnershipNeedsChangeCountAndMarker) {
    FakePasteboard pasteboard;
    pasteboard.writeFromAnotherProgram({richItem("user")});
    const auto snapshot = PasteboardSnapshot::capture(pasteboard);
    const QString type = QStringLiteral("com.quillo.transient-pasteboard");
    auto write = TransientPasteboardWrite::install(QStringLiteral("Hello"), QStringLiteral("m-1"), type, pasteboard);
    EXPECT_EQ(write.changeCount, pasteboard.changeCount());
    EXPECT_EQ(pasteboard.plainText(), QStringLiteral("Hello"));
    EXPECT_EQ(pasteboard.string(type), QStringLiteral("m-1"));
    EXPECT_EQ(pasteboard.items().size(), 1);
    EXPECT_TRUE(write.restoreIfStillOwned(snapshot, pasteboard));
    EXPECT_EQ(pasteboard.plainText(), QStringLiteral("user"));

    // Another program writes the very same text: no longer ours.
    write = TransientPasteboardWrite::install(QStringLiteral("Hello"), QStringLiteral("m-2"), type, pasteboard);
    PasteboardItem same;
    same.setString(QStringLiteral("text/plain"), QStringLiteral("Hello"));
    pasteboard.writeFromAnotherProgram({same});
    EXPECT_FALSE(write.restoreIfStillOwned(snapshot, pasteboard));
    EXPECT_EQ(pasteboard.items(), QList<PasteboardItem>{same});

    // Same change count but another marker (a stale proof) is refused too.
    write = TransientPasteboardWrite::install(QStringLiteral("Hello"), QStringLiteral("m-3"), type, pasteboard);
    auto stale = write;
    stale.marker = QStringLiteral("m-2");
    EXPECT_FALSE(stale.restoreIfStillOwned(snapshot, pasteboard));
}

TEST(PasteboardTextCandidate, FilesAreNotText) {
    using PasteboardTextCandidate::acceptedText;
    EXPECT_EQ(acceptedText(s("Notes.txt"), {"text/uri-list", "text/plain"}), std::nullopt);
    EXPECT_EQ(acceptedText(s("Notes.txt"), {"text/plain", "x-special/gnome-copied-files"}), std::nullopt);
    EXPECT_EQ(acceptedText(s("x"), {"public.file-url"}), std::nullopt);
    EXPECT_EQ(acceptedText(s("x"), {"NSFilenamesPboardType"}), std::nullopt);
    EXPECT_EQ(acceptedText(s("x"), {"com.apple.finder.node"}), std::nullopt);
    EXPECT_EQ(acceptedText(s("text"), {"text/html", "text/plain"}), s("text"));
    EXPECT_EQ(acceptedText(s("text"), {}), s("text"));
    EXPECT_EQ(acceptedText(none, {"text/plain"}), std::nullopt);
}
