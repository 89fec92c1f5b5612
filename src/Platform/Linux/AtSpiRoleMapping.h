#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

namespace quillo {

// AT-SPI2 states an element reports (GetState: two 32-bit words, bit n = state n).
namespace AtSpiState {
inline constexpr int active = 1;
inline constexpr int defunct = 6;
inline constexpr int editable = 7;
inline constexpr int focusable = 11;
inline constexpr int focused = 12;
inline constexpr int multiLine = 17;
inline constexpr int showing = 25;
inline constexpr int singleLine = 26;
inline constexpr int visible = 30;
inline constexpr int managesDescendants = 31;
inline constexpr int selectableText = 38;
inline constexpr int readOnly = 43;

inline constexpr quint64 bit(int state) { return quint64(1) << state; }
inline constexpr bool has(quint64 states, int state) { return (states & bit(state)) != 0; }
inline quint64 fromWords(quint32 low, quint32 high) { return quint64(low) | (quint64(high) << 32); }
} // namespace AtSpiState

// Maps what AT-SPI2 says of an element (its role name as GetRoleName gives it, in English,
// and its states) onto the attribute values the focused-element inspection reads.
namespace AtSpiRoleMapping {

// The English role name of an AT-SPI role number (GetRole), for the roles mapped below; none
// for others. GetRole is preferred to GetRoleName: Qt, for one, names a password field "text"
// but numbers it as password text.
std::optional<QString> roleName(quint32 role);

// "AXTextField", "AXTextArea", "AXComboBox", "AXWebArea", "AXGroup", "AXWindow"...;
// "AXUnknown" for a role the core has no use for.
QString role(const QString& roleName, quint64 states);
// "AXSecureTextField" for password text; none otherwise.
std::optional<QString> subrole(const QString& roleName, quint64 states);
// Editable and not read-only.
bool isEditable(quint64 states);
// Whether the selection of the element may be set: only editable text, so that selectable
// labels and documents are not taken for text inputs.
bool selectedTextRangeSettable(bool implementsText, quint64 states);

} // namespace AtSpiRoleMapping
} // namespace quillo
