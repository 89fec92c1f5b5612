#include "Views/ClockAnimation.h"

#include <QEasingCurve>
#include <QPointF>
#include <algorithm>

namespace quillo {

double ClockAnimation::ease(double t) {
    static const QEasingCurve curve = [] {
        QEasingCurve c(QEasingCurve::BezierSpline);
        c.addCubicBezierSegment(QPointF(0.25, 0.1), QPointF(0.25, 1.0), QPointF(1.0, 1.0));
        return c;
    }();
    return curve.valueForProgress(std::clamp(t, 0.0, 1.0));
}

void ClockAnimation::start(double duration, std::function<void(double)> step, std::function<void()> finished) {
    stop();
    step_ = std::move(step);
    finished_ = std::move(finished);
    duration_ = duration;
    startedAt_ = clock_.uptimeSeconds();
    if (duration_ <= 0.0) {
        if (step_) step_(1.0);
        if (auto done = std::move(finished_)) done();
        return;
    }
    if (step_) step_(0.0);
    pending_ = clock_.schedule(frameInterval, [this] { frame(); });
}

void ClockAnimation::stop() {
    if (pending_) clock_.cancelScheduled(*pending_);
    pending_.reset();
}

void ClockAnimation::frame() {
    pending_.reset();
    const double t = (clock_.uptimeSeconds() - startedAt_) / duration_;
    if (t >= 1.0) {
        if (step_) step_(1.0);
        if (auto done = std::move(finished_)) done();
        return;
    }
    if (step_) step_(ease(t));
    pending_ = clock_.schedule(frameInterval, [this] { frame(); });
}

} // namespace quillo
