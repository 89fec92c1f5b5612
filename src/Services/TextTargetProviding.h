#pragma once

#include "Support/Cancellation.h"

#include <QString>
#include <QtGlobal>
#include <optional>

#include <qcoro/qcorotask.h>

namespace quillo {

// What was captured and from where.
struct TextCorrectionTarget {
    QString text;                   // exactly as captured, not trimmed
    qint32 processIdentifier = 0;   // the application it came from
    bool capturedFullField = false; // true: the whole field by Select All; false: the user's selection
    bool operator==(const TextCorrectionTarget&) const = default;
};

// The outcome of a capture: a target, or why there is none.
class TextCorrectionCaptureResult {
public:
    enum class Kind { noEditableTarget, secureField, terminal, fieldTooLong, captured };

    static TextCorrectionCaptureResult noEditableTarget() {
        return TextCorrectionCaptureResult(Kind::noEditableTarget);
    }
    static TextCorrectionCaptureResult secureField() { return TextCorrectionCaptureResult(Kind::secureField); }
    // The target is a terminal emulator, which gets no keystroke.
    static TextCorrectionCaptureResult terminal() { return TextCorrectionCaptureResult(Kind::terminal); }
    static TextCorrectionCaptureResult fieldTooLong() { return TextCorrectionCaptureResult(Kind::fieldTooLong); }
    static TextCorrectionCaptureResult captured(TextCorrectionTarget target) {
        TextCorrectionCaptureResult result(Kind::captured);
        result.target_ = std::move(target);
        return result;
    }

    Kind kind() const { return kind_; }
    bool isCaptured() const { return kind_ == Kind::captured; }
    // Present exactly when the kind is captured.
    const std::optional<TextCorrectionTarget>& target() const { return target_; }
    // "noEditableTarget", "secureField", "terminal", "fieldTooLong", "captured".
    QString caseName() const;

    bool operator==(const TextCorrectionCaptureResult&) const = default;

private:
    explicit TextCorrectionCaptureResult(Kind kind) : kind_(kind) {}
    Kind kind_;
    std::optional<TextCorrectionTarget> target_;
};

enum class TextCorrectionApplicationResult { applied, applicationChanged, selectionChanged, pasteFailed };

namespace TextCorrectionApplicationResults {
// None for applied; otherwise the sentence shown to the user.
std::optional<QString> userMessage(TextCorrectionApplicationResult result);
QString caseName(TextCorrectionApplicationResult result);
} // namespace TextCorrectionApplicationResults

// The capture-and-paste seam between the correction service and whatever touches the
// other application's text. One capture or application runs at a time; cancelling the
// token ends the operation at its next check (a cancelled capture reports noEditableTarget).
class TextTargetProviding {
public:
    virtual ~TextTargetProviding() = default;
    virtual QCoro::Task<TextCorrectionCaptureResult> captureTarget(CancellationToken cancellation = {}) = 0;
    virtual QCoro::Task<TextCorrectionApplicationResult> applyCorrection(TextCorrectionTarget target, QString corrected,
                                                                         CancellationToken cancellation = {}) = 0;
};

} // namespace quillo
