#include "Platform/Linux/AtSpiRoleMapping.h"
#include "Support/AccessibilitySupport.h"

#include <gtest/gtest.h>

using namespace quillo;
namespace S = quillo::AtSpiState;
namespace M = quillo::AtSpiRoleMapping;

namespace {
constexpr quint64 editableSingle = S::bit(S::editable) | S::bit(S::singleLine) | S::bit(S::focused);
constexpr quint64 editableMulti = S::bit(S::editable) | S::bit(S::multiLine) | S::bit(S::focused);

// What the inspection would conclude from the mapped values alone.
FocusedElementCorrectionContext contextOf(const QString& roleName, quint64 states, bool implementsText = true) {
    return FocusedTextInputPolicy::correctionContext(M::role(roleName, states), M::subrole(roleName, states),
                                                     M::isEditable(states),
                                                     M::selectedTextRangeSettable(implementsText, states), false);
}
} // namespace

TEST(AtSpiRoleMapping, TextEntriesBecomeFieldsAndAreas) {
    // A QLineEdit or GtkEntry: "text" with the single-line state.
    EXPECT_EQ(M::role("text", editableSingle), AccessibilityRoles::textField);
    EXPECT_EQ(M::role("entry", editableSingle), AccessibilityRoles::textField);
    // A QTextEdit, GtkTextView or GtkSourceView (Mousepad).
    EXPECT_EQ(M::role("text", editableMulti), AccessibilityRoles::textArea);
    EXPECT_EQ(M::role("text", S::bit(S::editable)), AccessibilityRoles::textArea);
    EXPECT_EQ(contextOf("text", editableSingle), FocusedElementCorrectionContext::textInput);
    EXPECT_EQ(contextOf("text", editableMulti), FocusedElementCorrectionContext::textInput);
    EXPECT_EQ(M::subrole("text", editableSingle), std::nullopt);
}

TEST(AtSpiRoleMapping, PasswordTextIsASecureTextField) {
    EXPECT_EQ(M::role("password text", editableSingle), AccessibilityRoles::textField);
    EXPECT_EQ(M::subrole("password text", editableSingle), AccessibilityRoles::secureTextField);
    EXPECT_EQ(M::subrole("Password Text", 0), AccessibilityRoles::secureTextField);
    EXPECT_EQ(contextOf("password text", editableSingle), FocusedElementCorrectionContext::secureTextInput);
}

TEST(AtSpiRoleMapping, EditableStateAndReadOnly) {
    EXPECT_TRUE(M::isEditable(S::bit(S::editable)));
    EXPECT_FALSE(M::isEditable(S::bit(S::editable) | S::bit(S::readOnly)));
    EXPECT_FALSE(M::isEditable(S::bit(S::focused)));
    EXPECT_TRUE(M::selectedTextRangeSettable(true, S::bit(S::editable)));
    EXPECT_FALSE(M::selectedTextRangeSettable(false, S::bit(S::editable)));
    // Selectable label text is not a text input.
    EXPECT_FALSE(M::selectedTextRangeSettable(true, S::bit(S::selectableText)));
    EXPECT_EQ(contextOf("label", S::bit(S::selectableText) | S::bit(S::focusable)),
              FocusedElementCorrectionContext::other);
    // A read-only multi-line viewer is a text area by role but not editable.
    EXPECT_FALSE(M::isEditable(S::bit(S::editable) | S::bit(S::readOnly) | S::bit(S::multiLine)));
}

TEST(AtSpiRoleMapping, ComboBoxesOnlyWhenTheUserCanType) {
    EXPECT_EQ(M::role("combo box", S::bit(S::editable)), AccessibilityRoles::comboBox);
    EXPECT_EQ(M::role("combo box", S::bit(S::focused)), "AXPopUpButton");
    EXPECT_EQ(contextOf("combo box", S::bit(S::focused), false), FocusedElementCorrectionContext::other);
}

TEST(AtSpiRoleMapping, StructuralRolesAndWebDocuments) {
    EXPECT_EQ(M::role("application", 0), AccessibilityRoles::application);
    EXPECT_EQ(M::role("frame", S::bit(S::active)), AccessibilityRoles::window);
    EXPECT_EQ(M::role("dialog", 0), AccessibilityRoles::window);
    EXPECT_EQ(M::role("panel", 0), AccessibilityRoles::group);
    EXPECT_EQ(M::role("filler", 0), AccessibilityRoles::group);
    EXPECT_EQ(M::role("scroll pane", 0), AccessibilityRoles::scrollArea);
    EXPECT_EQ(M::role("document web", 0), AccessibilityRoles::webArea);
    // A web page focused outside any field stays "other"...
    EXPECT_EQ(contextOf("document web", S::bit(S::focused) | S::bit(S::selectableText)),
              FocusedElementCorrectionContext::other);
    // ...a content-editable region inside it is editable text.
    EXPECT_EQ(contextOf("section", S::bit(S::editable) | S::bit(S::focused)),
              FocusedElementCorrectionContext::textInput);
    EXPECT_EQ(M::role("document text", S::bit(S::editable)), AccessibilityRoles::textArea);
    EXPECT_EQ(M::role("document text", 0), AccessibilityRoles::group);
}

TEST(AtSpiRoleMapping, OtherRolesAreNotTextInputs) {
    EXPECT_EQ(M::role("push button", S::bit(S::focused)), "AXButton");
    EXPECT_EQ(M::role("some future role", 0), "AXUnknown");
    EXPECT_EQ(contextOf("push button", S::bit(S::focused), false), FocusedElementCorrectionContext::other);
    EXPECT_EQ(contextOf("terminal", S::bit(S::focused)), FocusedElementCorrectionContext::other);
}

TEST(AtSpiRoleMapping, StateWordsCombine) {
    const quint64 states = S::fromWords(S::bit(S::editable) | S::bit(S::focused), 1u << (S::readOnly - 32));
    EXPECT_TRUE(S::has(states, S::editable));
    EXPECT_TRUE(S::has(states, S::readOnly));
    EXPECT_FALSE(M::isEditable(states));
}

TEST(AtSpiRoleMapping, RoleNumbersName) {
    EXPECT_EQ(M::roleName(40), "password text");
    EXPECT_EQ(M::roleName(61), "text");
    EXPECT_EQ(M::roleName(79), "entry");
    EXPECT_EQ(M::roleName(95), "document web");
    EXPECT_EQ(M::roleName(75), "application");
    EXPECT_EQ(M::roleName(11), "combo box");
    EXPECT_EQ(M::roleName(9999), std::nullopt);
    EXPECT_EQ(M::subrole(*M::roleName(40), 0), AccessibilityRoles::secureTextField);
}
