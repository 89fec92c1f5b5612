#pragma once

#include "Support/Clock.h"

#include <functional>
#include <optional>

namespace quillo {

// A tween driven by Clock frames rather than Qt's animation timer, so that tests move it with
// the virtual clock like every other wait. `step` receives the eased progress 0…1; the last
// call is always exactly 1.
class ClockAnimation {
public:
    static constexpr double frameInterval = 1.0 / 60.0;

    explicit ClockAnimation(Clock& clock) : clock_(clock) {}
    ~ClockAnimation() { stop(); }
    ClockAnimation(const ClockAnimation&) = delete;
    ClockAnimation& operator=(const ClockAnimation&) = delete;

    void start(double duration, std::function<void(double)> step, std::function<void()> finished = {});
    void stop();
    bool isRunning() const { return pending_.has_value(); }

    // The "ease" timing curve (slow start, quick middle, gentle end).
    static double ease(double t);

private:
    void frame();

    Clock& clock_;
    double startedAt_ = 0.0;
    double duration_ = 0.0;
    std::function<void(double)> step_;
    std::function<void()> finished_;
    std::optional<Clock::TimerId> pending_;
};

} // namespace quillo
