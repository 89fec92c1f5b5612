#include "Services/TextTargetProviding.h"

namespace quillo {

QString TextCorrectionCaptureResult::caseName() const {
    switch (kind_) {
    case Kind::noEditableTarget: return QStringLiteral("noEditableTarget");
    case Kind::secureField: return QStringLiteral("secureField");
    case Kind::terminal: return QStringLiteral("terminal");
    case Kind::fieldTooLong: return QStringLiteral("fieldTooLong");
    case Kind::captured: return QStringLiteral("captured");
    }
    return {};
}

namespace TextCorrectionApplicationResults {

// The same sentences as the error catalogue's correction failures applicationChanged,
// textChanged and pasteFailed.
std::optional<QString> userMessage(TextCorrectionApplicationResult result) {
    switch (result) {
    case TextCorrectionApplicationResult::applied: return std::nullopt;
    case TextCorrectionApplicationResult::applicationChanged:
        return QStringLiteral("Not pasted: you switched to another app while Quillo was working. Return to the "
                              "original field and try again.");
    case TextCorrectionApplicationResult::selectionChanged:
        return QStringLiteral("Not pasted: the original text or selection changed while Quillo was working. Select "
                              "it again and try again.");
    case TextCorrectionApplicationResult::pasteFailed:
        return QStringLiteral("Paste failed. Focus the original text field and try again.");
    }
    return std::nullopt;
}

QString caseName(TextCorrectionApplicationResult result) {
    switch (result) {
    case TextCorrectionApplicationResult::applied: return QStringLiteral("applied");
    case TextCorrectionApplicationResult::applicationChanged: return QStringLiteral("applicationChanged");
    case TextCorrectionApplicationResult::selectionChanged: return QStringLiteral("selectionChanged");
    case TextCorrectionApplicationResult::pasteFailed: return QStringLiteral("pasteFailed");
    }
    return {};
}

} // namespace TextCorrectionApplicationResults
} // namespace quillo
