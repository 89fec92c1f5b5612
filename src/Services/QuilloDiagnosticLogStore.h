#pragma once

#include "Services/QuilloDiagnosticRecord.h"
#include "Support/DiagnosticsFailure.h"
#include "Support/QuilloBundleInfo.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <exception>
#include <string>

namespace quillo {

// A failed file operation of the diagnostic log or its export.
class QuilloDiagnosticsFileError : public std::exception {
public:
    QuilloDiagnosticsFileError(DiagnosticsFailure failure, int posixError, const char* operation);
    DiagnosticsFailure failure() const { return failure_; }
    int posixError() const { return posixError_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    DiagnosticsFailure failure_;
    int posixError_;
    std::string message_;
};

// The log file: JSON Lines, one record a line, at most `maximumRecords` (the newest).
// Not thread-safe: QuilloDiagnostics uses it only on its writer thread.
struct QuilloDiagnosticLogStore {
    QString logURL; // file path
    QString appVersion;
    QString appBuild;
    OperatingSystemVersion operatingSystemVersion;
    int maximumRecords = 500;

    // The application's log: <data folder>/Diagnostics/quillo-diagnostics.jsonl with the
    // table's sanitised versions and the running system's version.
    static QuilloDiagnosticLogStore standard(const QuilloInfoDictionary& info = QuilloBundleInfo::main());
    // The standard file name under `applicationFolder` ("<base>/Quillo").
    static QString logPath(const QString& applicationFolder);

    // Every decodable record of the file; no file is an empty list. Throws QuilloDiagnosticsFileError.
    QList<QuilloDiagnosticRecord> readRecords() const;
    // Reads, appends, keeps the newest `maximumRecords` and rewrites the file. Throws.
    void append(const QList<QuilloDiagnosticRecord>& records) const;
    // The privacy header followed by every record. Throws.
    QByteArray exportData() const;

    // Keeps "0123456789.-", at most 32 of them, trims "." and "-" at both ends; "unknown" if empty.
    static QString safeVersion(const QString& version);

    static const QByteArray& exportHeader();

    // Writes `data` to `path` through a temporary file in the same folder and a rename, so
    // readers see the old or the new content only. Throws QuilloDiagnosticsFileError.
    static void writeAtomically(const QString& path, const QByteArray& data, unsigned permissions, bool syncToDisk);

private:
    void persist(const QList<QuilloDiagnosticRecord>& records) const;
};

} // namespace quillo
