#pragma once

#include <QString>

namespace quillo {

// The command a desktop's own shortcut settings run to start a correction: the running
// instance gets the trigger (see `quillo --trigger`). Every desktop can bind a key to a command,
// so this works where no key can be watched (Wayland) and where the desktop keeps a key to
// itself.
namespace TriggerCommandLine {

inline const QString argument = QStringLiteral("--trigger");

// "quillo --trigger" when the name alone finds this very program on the PATH (`foundOnPath`,
// empty when the name finds nothing), else this program's absolute path, quoted for a shell
// when it needs it: a line that starts another copy, or nothing, would be worse than a long one.
QString command(const QString& applicationFilePath, const QString& foundOnPath);
// The same for this process.
QString current();
// `text` as one word of a POSIX shell.
QString shellQuoted(const QString& text);

// What to do with the line, shown above it.
inline const QString instruction =
    QStringLiteral("To use a key your desktop keeps for itself (or any key on Wayland), add a keyboard shortcut in "
                   "your desktop's settings that runs this command:");

} // namespace TriggerCommandLine

} // namespace quillo
