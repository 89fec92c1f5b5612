#pragma once

#include <QString>
#include <optional>

namespace quillo {

enum class QuilloDiagnosticLevel {
    info,
    notice,
    error,
};

namespace QuilloDiagnosticLevels {
QString rawValue(QuilloDiagnosticLevel level);
std::optional<QuilloDiagnosticLevel> fromRawValue(const QString& raw);
} // namespace QuilloDiagnosticLevels

} // namespace quillo
