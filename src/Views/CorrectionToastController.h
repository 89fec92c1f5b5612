#pragma once

#include "Platform/AccessibilityAnnouncer.h"
#include "Platform/UserDefaults.h"
#include "Services/CorrectionToastPresenting.h"
#include "Support/Clock.h"
#include "Support/CorrectionPreviewSegment.h"
#include "Views/AccessibilityMotionPolicy.h"
#include "Views/ClockAnimation.h"
#include "Views/CompactToastPlacement.h"
#include "Views/CorrectionToastLayout.h"
#include "Views/CorrectionToastStatusKind.h"
#include "Views/ToastScreenSource.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <functional>
#include <memory>
#include <optional>

namespace quillo {

class CorrectionToastWindow;

// Owns the single toast window: the preview after a correction and the compact pill while one
// runs or fails. Main thread only; every timing runs on the clock.
class CorrectionToastController final : public QObject, public CorrectionToastPresenting {
    Q_OBJECT
public:
    using MotionSource = std::function<AccessibilityMotionPolicy()>;
    using SegmentsSource = std::function<QList<CorrectionPreviewSegment>(const QString&, const QString&)>;

    struct Dependencies {
        UserDefaults& defaults;
        ToastScreenSource& screens;
        Clock& clock;
        AccessibilityAnnouncer* announcer = nullptr;
        MotionSource motion;     // default: the desktop's setting
        SegmentsSource segments; // default: CorrectionPreviewDiff::segments
        bool differentiateWithoutColor = false;
    };

    static inline const QString showNotificationsKey = QStringLiteral("showNotifications");
    static inline const QString previewDurationKey = QStringLiteral("correctionPreviewDuration");

    explicit CorrectionToastController(Dependencies dependencies, QObject* parent = nullptr);
    ~CorrectionToastController() override;

    void show(const QString& originalText, const QString& correctedText,
              const std::optional<QString>& routingNotice) override;
    void showProcessing() override;
    void showSuccess(const std::optional<QString>& routingNotice) override;
    void showError(const QString& message) override;
    void forceDismiss() override;
    void setHovered(bool hovered);

    // What is up now, for the shell and tests.
    QWidget* window() const;
    QRect targetGeometry() const { return target_; }
    bool hasPendingDismissal() const { return dismissTimer_.has_value(); }
    int dismissalOffsetDirection() const { return direction_; }
    std::optional<CompactToastPlacement> compactPlacement() const { return placement_; }

signals:
    void toastChanged();

private:
    void showCompact(const CorrectionToastStatusKind& status);
    void present(CorrectionToastWindow* window, const QRect& target, const AccessibilityMotionPolicy& motion);
    void scheduleDismissal(double seconds);
    void cancelDismissal();
    void dismiss();
    void closeWindow();
    ToastScreen currentScreen() const;
    bool previewEnabled() const;

    Dependencies deps_;
    std::unique_ptr<CorrectionToastWindow> window_;
    QRect target_;
    std::optional<Clock::TimerId> dismissTimer_;
    std::optional<Clock::TimerId> closeTimer_;
    std::optional<CompactToastPlacement> placement_;
    int direction_ = 1;
    AccessibilityMotionPolicy motion_;
    ClockAnimation animation_;
};

} // namespace quillo
