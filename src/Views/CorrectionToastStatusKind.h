#pragma once

#include "Models/CorrectionModels.h"

#include <QString>
#include <optional>

namespace quillo {

// What a compact toast shows.
struct CorrectionToastStatusKind {
    enum class Kind { success, error, processing };

    Kind kind = Kind::processing;
    std::optional<QString> routingNotice; // success only
    QString message;                      // error only

    static CorrectionToastStatusKind success(std::optional<QString> notice = std::nullopt) {
        return {Kind::success, std::move(notice), {}};
    }
    static CorrectionToastStatusKind error(QString message) { return {Kind::error, std::nullopt, std::move(message)}; }
    static CorrectionToastStatusKind processing() { return {}; }

    CompactCorrectionFeedbackState feedbackState() const {
        switch (kind) {
        case Kind::success: return CompactCorrectionFeedbackState::success;
        case Kind::error: return CompactCorrectionFeedbackState::error;
        case Kind::processing: break;
        }
        return CompactCorrectionFeedbackState::processing;
    }
    bool hasRoutingNotice() const { return kind == Kind::success && routingNotice && !routingNotice->isEmpty(); }
    bool operator==(const CorrectionToastStatusKind&) const = default;
};

} // namespace quillo
