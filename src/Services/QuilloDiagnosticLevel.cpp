#include "Services/QuilloDiagnosticLevel.h"

namespace quillo::QuilloDiagnosticLevels {

QString rawValue(QuilloDiagnosticLevel level) {
    switch (level) {
    case QuilloDiagnosticLevel::info: return QStringLiteral("info");
    case QuilloDiagnosticLevel::notice: return QStringLiteral("notice");
    case QuilloDiagnosticLevel::error: return QStringLiteral("error");
    }
    return QStringLiteral("info");
}

std::optional<QuilloDiagnosticLevel> fromRawValue(const QString& raw) {
    for (auto level : {QuilloDiagnosticLevel::info, QuilloDiagnosticLevel::notice, QuilloDiagnosticLevel::error}) {
        if (rawValue(level) == raw) return level;
    }
    return std::nullopt;
}

} // namespace quillo::QuilloDiagnosticLevels
