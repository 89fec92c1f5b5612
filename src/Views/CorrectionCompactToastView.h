#pragma once

#include "Support/Clock.h"
#include "Views/CorrectionToastLayout.h"
#include "Views/CorrectionToastStatusKind.h"

#include <QWidget>
#include <optional>

class QLabel;

namespace quillo {

// The compact pill: progress dots, or a success or error mark with its line of text.
class CorrectionCompactToastView : public QWidget {
    Q_OBJECT
public:
    static constexpr double dotStepSeconds = 0.3;

    CorrectionCompactToastView(CorrectionToastStatusKind status, CorrectionToastFrame frame, bool centersContent,
                               Clock& clock, QWidget* parent = nullptr);
    ~CorrectionCompactToastView() override;

    const CorrectionToastStatusKind& status() const { return status_; }
    // "Correction in progress", "Correction completed", "Correction failed".
    static QString accessibilityLabel(const CorrectionToastStatusKind& status);
    int litDot() const { return litDot_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void stepDots();

    CorrectionToastStatusKind status_;
    CorrectionToastFrame frame_;
    Clock& clock_;
    std::optional<Clock::TimerId> dotTimer_;
    int litDot_ = 0;
    QWidget* dots_ = nullptr;
};

} // namespace quillo
