#pragma once

#include <QString>
#include <optional>

namespace quillo {

// What the correction service asks of the toast.
class CorrectionToastPresenting {
public:
    virtual ~CorrectionToastPresenting() = default;
    virtual void showProcessing() = 0;
    virtual void showSuccess(const std::optional<QString>& routingNotice) = 0;
    virtual void showError(const QString& message) = 0;
    virtual void show(const QString& originalText, const QString& correctedText,
                      const std::optional<QString>& routingNotice) = 0;
    virtual void forceDismiss() = 0;
};

} // namespace quillo
