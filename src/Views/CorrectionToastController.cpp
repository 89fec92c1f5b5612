#include "Views/CorrectionToastController.h"

#include "Support/CorrectionPreviewDiff.h"
#include "Views/CorrectionCompactToastView.h"
#include "Views/CorrectionToastView.h"
#include "Views/CorrectionToastWindow.h"

namespace quillo {

namespace {

QRect shifted(const QRect& rect, int direction, double offset) {
    // Qt's y axis grows downwards: "upwards" (+1) is a negative y shift.
    return rect.translated(0, -int(std::lround(direction * offset)));
}

QRect interpolate(const QRect& from, const QRect& to, double t) {
    const auto lerp = [t](int a, int b) { return int(std::lround(a + (b - a) * t)); };
    return QRect(lerp(from.x(), to.x()), lerp(from.y(), to.y()), to.width(), to.height());
}

} // namespace

CorrectionToastController::CorrectionToastController(Dependencies dependencies, QObject* parent)
    : QObject(parent), deps_(std::move(dependencies)), animation_(deps_.clock) {
    if (!deps_.motion) deps_.motion = [] { return AccessibilityMotionPolicy::current(); };
    if (!deps_.segments) deps_.segments = &CorrectionPreviewDiff::segments;
}

CorrectionToastController::~CorrectionToastController() {
    animation_.stop();
    cancelDismissal();
    if (closeTimer_) deps_.clock.cancelScheduled(*closeTimer_);
}

QWidget* CorrectionToastController::window() const { return window_.get(); }

bool CorrectionToastController::previewEnabled() const { return deps_.defaults.boolean(showNotificationsKey, true); }

ToastScreen CorrectionToastController::currentScreen() const {
    return CorrectionToastLayout::chooseScreen(deps_.screens.screens(), deps_.screens.pointerLocation(),
                                               deps_.screens.mainScreenIndex());
}

void CorrectionToastController::show(const QString& originalText, const QString& correctedText,
                                     const std::optional<QString>& routingNotice) {
    if (!previewEnabled()) {
        showCompact(CorrectionToastStatusKind::success(routingNotice));
        if (deps_.announcer)
            deps_.announcer->announce(QStringLiteral("Correction completed"), AccessibilityAnnouncer::Priority::medium);
        return;
    }
    cancelDismissal();
    closeWindow();

    const QString original = CorrectionToastLayout::previewText(originalText);
    const QString corrected = CorrectionToastLayout::previewText(correctedText);
    const auto segments = deps_.segments(original, corrected);
    const bool hasNotice = routingNotice && !routingNotice->isEmpty();

    const ToastScreen screen = currentScreen();
    const CorrectionToastFrame frame =
        CorrectionToastLayout::previewFrame(screen, CorrectionToastView::metrics(corrected), hasNotice);
    const QPointF origin = CorrectionToastLayout::notchPlacement(frame.size, screen);

    auto* view = new CorrectionToastView(segments, hasNotice ? routingNotice : std::nullopt, frame,
                                         deps_.differentiateWithoutColor);
    auto* window = new CorrectionToastWindow(true, view);
    connect(window, &CorrectionToastWindow::hoverChanged, this, [this, view](bool hovered) {
        view->setHovered(hovered);
        setHovered(hovered);
    });
    placement_.reset();
    direction_ = CorrectionToastLayout::dismissalDirection(std::nullopt);
    motion_ = deps_.motion();
    present(window, QRect(origin.toPoint(), frame.size.toSize()), motion_);
    scheduleDismissal(CorrectionToastLayout::previewDuration(deps_.defaults.number(previewDurationKey)));
}

void CorrectionToastController::showProcessing() { showCompact(CorrectionToastStatusKind::processing()); }

void CorrectionToastController::showSuccess(const std::optional<QString>& routingNotice) {
    showCompact(CorrectionToastStatusKind::success(routingNotice));
}

void CorrectionToastController::showError(const QString& message) {
    showCompact(CorrectionToastStatusKind::error(message));
}

void CorrectionToastController::showCompact(const CorrectionToastStatusKind& status) {
    cancelDismissal();
    closeWindow();
    const ToastScreen screen = currentScreen();
    const CompactCorrectionPresentation presentation = CompactCorrectionPresentations::effectiveValue(
        previewEnabled(), deps_.defaults.string(CorrectionSettingsKeys::compactPresentation));
    const CompactToastPlacement placement = CompactToastPlacements::from(presentation);

    const CorrectionToastFrame frame = CorrectionToastLayout::compactFrame(status, placement, screen);
    const QPointF origin = placement == CompactToastPlacement::notch
                               ? CorrectionToastLayout::notchPlacement(frame.size, screen)
                               : CorrectionToastLayout::miniPlacement(frame.size, screen);

    const bool centers = status.kind != CorrectionToastStatusKind::Kind::error;
    auto* view = new CorrectionCompactToastView(status, frame, centers, deps_.clock);
    auto* window = new CorrectionToastWindow(false, view);
    placement_ = placement;
    direction_ = CorrectionToastLayout::dismissalDirection(placement);
    motion_ = deps_.motion();
    present(window, QRect(origin.toPoint(), frame.size.toSize()), motion_);

    if (const auto delay = CompactCorrectionToastTiming::dismissDelay(status.feedbackState(), presentation))
        scheduleDismissal(*delay);
}

void CorrectionToastController::present(CorrectionToastWindow* window, const QRect& target,
                                        const AccessibilityMotionPolicy& motion) {
    window_.reset(window);
    target_ = target;
    if (motion.presentationDuration <= 0.0) {
        window->setWindowOpacity(1.0);
        window->setGeometry(target);
        window->show();
        emit toastChanged();
        return;
    }
    const QRect start = shifted(target, direction_, motion.presentationOffset);
    window->setWindowOpacity(0.0);
    window->setGeometry(start);
    window->show();
    QPointer<CorrectionToastWindow> guard(window);
    animation_.start(motion.presentationDuration, [guard, start, target](double t) {
        if (!guard) return;
        guard->setWindowOpacity(t);
        guard->setGeometry(interpolate(start, target, t));
    });
    emit toastChanged();
}

void CorrectionToastController::setHovered(bool hovered) {
    if (!window_ || !window_->acceptsPointer()) return;
    if (hovered) cancelDismissal();
    else scheduleDismissal(CorrectionToastLayout::hoverLeaveDismissDelay);
}

void CorrectionToastController::scheduleDismissal(double seconds) {
    cancelDismissal();
    dismissTimer_ = deps_.clock.schedule(seconds, [this] {
        dismissTimer_.reset();
        dismiss();
    });
}

void CorrectionToastController::cancelDismissal() {
    if (dismissTimer_) deps_.clock.cancelScheduled(*dismissTimer_);
    dismissTimer_.reset();
}

void CorrectionToastController::dismiss() {
    cancelDismissal();
    if (!window_) return;
    if (motion_.dismissalDuration <= 0.0) {
        closeWindow();
        emit toastChanged();
        return;
    }
    CorrectionToastWindow* leaving = window_.get();
    QPointer<CorrectionToastWindow> guard(leaving);
    const QRect from = leaving->geometry();
    const QRect to = shifted(from, direction_, motion_.dismissalOffset);
    animation_.start(motion_.dismissalDuration, [guard, from, to](double t) {
        if (!guard) return;
        guard->setWindowOpacity(1.0 - t);
        guard->setGeometry(interpolate(from, to, t));
    });
    if (closeTimer_) deps_.clock.cancelScheduled(*closeTimer_);
    closeTimer_ =
        deps_.clock.schedule(motion_.dismissalDuration + CorrectionToastLayout::dismissalCloseSlack, [this, leaving] {
            closeTimer_.reset();
            // A newer toast replaced this one meanwhile: leave it be.
            if (window_.get() != leaving) return;
            closeWindow();
            emit toastChanged();
        });
}

void CorrectionToastController::forceDismiss() {
    cancelDismissal();
    closeWindow();
    emit toastChanged();
}

void CorrectionToastController::closeWindow() {
    animation_.stop();
    if (closeTimer_) deps_.clock.cancelScheduled(*closeTimer_);
    closeTimer_.reset();
    if (window_) {
        window_->hide();
        // Deleted later: a hover signal from this very window may be on the stack.
        window_.release()->deleteLater();
    }
    placement_.reset();
}

} // namespace quillo
