#include "Services/QuilloDiagnosticLogStore.h"
#include "Support/PosixFileIO.h"

#include "Support/QuilloAppEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillo {

QuilloDiagnosticsFileError::QuilloDiagnosticsFileError(DiagnosticsFailure failure, int posixError,
                                                       const char* operation)
    : failure_(failure), posixError_(posixError),
      message_(std::string("diagnostic log ") + operation + " failed: " + std::strerror(posixError)) {}

namespace {

[[noreturn]] void fail(int error, const char* operation) {
    throw QuilloDiagnosticsFileError(diagnosticsFailureForPosixError(error), error, operation);
}

// Permission and space kinds name a place to save; a log that cannot be read is only a
// missing location or something unexpected.
[[noreturn]] void failRead(int error) {
    const DiagnosticsFailure kind = diagnosticsFailureForPosixError(error) == DiagnosticsFailure::locationUnavailable
                                        ? DiagnosticsFailure::locationUnavailable
                                        : DiagnosticsFailure::unexpected;
    throw QuilloDiagnosticsFileError(kind, error, "read");
}

using PosixFileIO::writeAll;

void ensurePrivateFolder(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder);
    // Create each missing level; the last one is the private one.
    QByteArray partial;
    const QList<QByteArray> parts = path.split('/');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0) partial += '/';
        partial += parts.at(i);
        if (parts.at(i).isEmpty()) continue;
        if (::mkdir(partial.constData(), 0700) != 0 && errno != EEXIST) fail(errno, "folder creation");
    }
    if (::chmod(path.constData(), 0700) != 0) fail(errno, "folder permissions");
}

} // namespace

QString QuilloDiagnosticLogStore::logPath(const QString& applicationFolder) {
    return QDir(applicationFolder).filePath(QStringLiteral("Diagnostics/quillo-diagnostics.jsonl"));
}

QuilloDiagnosticLogStore QuilloDiagnosticLogStore::standard(const QuilloInfoDictionary& info) {
    QuilloDiagnosticLogStore store;
    store.logURL = logPath(QuilloAppEnvironment::applicationDataFolder(info));
    const QString unknown = QStringLiteral("unknown");
    store.appVersion =
        safeVersion(QuilloAppEnvironment::string(info, QuilloBundleInfo::shortVersionKey).value_or(unknown));
    store.appBuild =
        safeVersion(QuilloAppEnvironment::string(info, QuilloBundleInfo::bundleVersionKey).value_or(unknown));
    store.operatingSystemVersion = OperatingSystemVersion::current();
    return store;
}

QString QuilloDiagnosticLogStore::safeVersion(const QString& version) {
    static const QString allowed = QStringLiteral("0123456789.-");
    QString kept;
    for (const QChar c : version) {
        if (allowed.contains(c)) kept.append(c);
        if (kept.size() == 32) break;
    }
    qsizetype start = 0;
    qsizetype end = kept.size();
    auto edge = [](QChar c) { return c == QLatin1Char('.') || c == QLatin1Char('-'); };
    while (start < end && edge(kept.at(start))) ++start;
    while (end > start && edge(kept.at(end - 1))) --end;
    kept = kept.mid(start, end - start);
    return kept.isEmpty() ? QStringLiteral("unknown") : kept;
}

const QByteArray& QuilloDiagnosticLogStore::exportHeader() {
    static const QByteArray header =
        "# Quillo diagnostic log\n"
        "# Contains technical event names, timestamps, versions and random correlation identifiers only.\n"
        "# No correction text, clipboard content, email, token or API key is collected.\n";
    return header;
}

QList<QuilloDiagnosticRecord> QuilloDiagnosticLogStore::readRecords() const {
    QList<QuilloDiagnosticRecord> records;
    const QByteArray path = QFile::encodeName(logURL);
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return records;
        failRead(errno);
    }
    QByteArray bytes;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            ::close(fd);
            failRead(error);
        }
        if (n == 0) break;
        bytes.append(buffer, n);
    }
    ::close(fd);

    // Invalid UTF-8 is repaired rather than rejected; undecodable lines are skipped.
    const QString text = QString::fromUtf8(bytes);
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    records.reserve(lines.size());
    for (const QString& line : lines) {
        if (auto record = QuilloDiagnosticRecord::fromJsonLine(line.toUtf8())) records.append(std::move(*record));
    }
    return records;
}

void QuilloDiagnosticLogStore::append(const QList<QuilloDiagnosticRecord>& newRecords) const {
    QList<QuilloDiagnosticRecord> records = readRecords();
    records.append(newRecords);
    if (records.size() > maximumRecords) records.remove(0, records.size() - maximumRecords);
    persist(records);
}

void QuilloDiagnosticLogStore::persist(const QList<QuilloDiagnosticRecord>& records) const {
    ensurePrivateFolder(QFileInfo(logURL).absolutePath());
    QByteArray buffer;
    buffer.reserve(records.size() * 320);
    for (const auto& record : records) {
        buffer += record.toJsonLine();
        buffer += '\n';
    }
    writeAtomically(logURL, buffer, 0600, false);
    if (::chmod(QFile::encodeName(logURL).constData(), 0600) != 0) fail(errno, "file permissions");
}

QByteArray QuilloDiagnosticLogStore::exportData() const {
    QByteArray data = exportHeader();
    for (const auto& record : readRecords()) {
        data += record.toJsonLine();
        data += '\n';
    }
    return data;
}

void QuilloDiagnosticLogStore::writeAtomically(const QString& path, const QByteArray& data, unsigned permissions,
                                               bool syncToDisk) {
    const QFileInfo info(path);
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    QByteArray temporary =
        QFile::encodeName(info.absolutePath()) + "/." + QFile::encodeName(info.fileName()) + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) fail(errno, "write");
    auto abandon = [&](int error) {
        ::close(fd);
        ::unlink(temporary.constData());
        fail(error, "write");
    };
    if (::fchmod(fd, static_cast<mode_t>(permissions)) != 0) abandon(errno);
    if (!writeAll(fd, data.constData(), data.size())) abandon(errno);
    if (syncToDisk && ::fsync(fd) != 0) abandon(errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        fail(error, "write");
    }
    if (::rename(temporary.constData(), target.constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        fail(error, "write");
    }
}

} // namespace quillo
