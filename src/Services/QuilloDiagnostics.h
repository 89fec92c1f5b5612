#pragma once

#include "Services/QuilloDiagnosticEvent.h"
#include "Services/QuilloDiagnosticLogStore.h"

#include <QString>
#include <QUuid>
#include <optional>

namespace quillo {

// The process-wide diagnostic log. One writer thread owns the file; recording only takes the
// time, writes the system-log line and queues the event.
namespace QuilloDiagnostics {

// Callable from any thread; returns at once. The time is read from Clock::shared() here.
void record(QuilloDiagnosticEvent event, std::optional<QUuid> correlationID = std::nullopt);

// "Quillo-Diagnostics-<yyyy-MM-dd, local date>.txt".
QString suggestedExportFilename();

// Reads the log on the writer thread (after every event queued before the call) and writes
// the export text atomically to `path`. Throws QuilloDiagnosticsFileError.
void exportTo(const QString& path);

// Blocks until every event queued before the call is written (tests, shutdown).
void flush();

// One random value per process run.
QUuid sessionID();

// "<bundle identifier>.diagnostics".
QString queueLabel();

// The store in use (read on the writer thread).
QuilloDiagnosticLogStore store();
// Swaps the store once queued events are written; returns the previous one (tests).
QuilloDiagnosticLogStore replaceStore(const QuilloDiagnosticLogStore& replacement);

} // namespace QuilloDiagnostics

} // namespace quillo
