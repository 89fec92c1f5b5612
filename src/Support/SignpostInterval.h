#pragma once

#include "Support/Clock.h"

#include <QString>

namespace quillo {

// A named latency interval ("CaptureTarget", "ApplyCorrection"): begin and end are logged
// under the InsertionLatency category with the elapsed time on the clock seam.
class SignpostInterval {
public:
    SignpostInterval(QString name, Clock& clock = Clock::shared());
    ~SignpostInterval();
    SignpostInterval(const SignpostInterval&) = delete;
    SignpostInterval& operator=(const SignpostInterval&) = delete;

    // Ends the interval early; the destructor then does nothing.
    void end();
    double elapsedSeconds() const;

private:
    QString name_;
    Clock& clock_;
    double start_;
    bool ended_ = false;
};

} // namespace quillo
