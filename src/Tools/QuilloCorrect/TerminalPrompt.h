#pragma once

#include <QString>
#include <optional>

namespace quillo {

// Questions asked on the controlling terminal, not on standard input (which carries the text to
// correct). None when the run is not interactive (standard error is not a terminal), there is
// no terminal, or the user ended the input.
namespace TerminalPrompt {
std::optional<QString> askLine(const QString& prompt);
// The entry is not echoed; the terminal's settings are restored afterwards.
std::optional<QString> askSecret(const QString& prompt);
} // namespace TerminalPrompt

} // namespace quillo
