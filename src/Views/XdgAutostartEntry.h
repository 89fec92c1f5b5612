#pragma once

#include "Views/LaunchAtLoginStatus.h"

#include <QString>
#include <stdexcept>

namespace quillo {

// Failure to write or remove the autostart file.
class XdgAutostartError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The freedesktop autostart entry "<config>/autostart/<application id>.desktop" that makes the
// session start the application at login. $XDG_CONFIG_HOME is honoured.
namespace XdgAutostartEntry {

QString path(const QString& applicationId);
LaunchAtLoginStatus status(const QString& applicationId);
// Writes (atomically) or removes the entry; throws XdgAutostartError.
void write(const QString& applicationId, const QString& executable, const QString& displayName);
void remove(const QString& applicationId);

// The text of the entry; the executable is quoted for the Exec key.
QString contents(const QString& executable, const QString& displayName);
QString quoteExec(const QString& program);
// The program of an Exec value (first argument, unquoted); empty when none.
QString execProgram(const QString& execValue);

} // namespace XdgAutostartEntry

} // namespace quillo
