#pragma once

#include "Services/QuilloDiagnosticEvent.h"
#include "Services/QuilloDiagnosticLevel.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QUuid>
#include <optional>

namespace quillo {

struct OperatingSystemVersion {
    int major = 0;
    int minor = 0;
    int patch = 0;

    // The running kernel's version ("6.1.0-18-amd64" -> 6, 1, 0).
    static OperatingSystemVersion current();
    static OperatingSystemVersion parse(const QString& text);
    bool operator==(const OperatingSystemVersion&) const = default;
};

// One line of the diagnostic log.
struct QuilloDiagnosticRecord {
    QDateTime timestamp; // UTC, stored in whole seconds
    QUuid sessionID;     // one per process run
    std::optional<QUuid> correlationID;
    QuilloDiagnosticEvent event = QuilloDiagnosticEvent::appLaunched;
    QuilloDiagnosticLevel level = QuilloDiagnosticLevel::info;
    QString appVersion;
    QString appBuild;
    int osMajorVersion = 0;
    int osMinorVersion = 0;
    int osPatchVersion = 0;

    QJsonObject toJsonObject() const;
    // One compact JSON object with sorted keys, without the line feed.
    QByteArray toJsonLine() const;
    static std::optional<QuilloDiagnosticRecord> fromJsonObject(const QJsonObject& object);
    static std::optional<QuilloDiagnosticRecord> fromJsonLine(const QByteArray& line);

    // "2025-03-01T09:30:00Z".
    static QString isoTimestamp(const QDateTime& time);
    static QString uuidText(const QUuid& uuid);

    bool operator==(const QuilloDiagnosticRecord&) const = default;
};

} // namespace quillo
