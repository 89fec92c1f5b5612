#pragma once

namespace quillo {

// The correction service as the shell turns it on and off.
class CorrectionMonitor {
public:
    virtual ~CorrectionMonitor() = default;
    virtual bool startMonitoring() = 0;
    virtual void stopMonitoring() = 0;
    virtual bool isMonitoring() const = 0;
};

} // namespace quillo
