#pragma once

#include "App/CorrectionMonitor.h"
#include "Services/GlobalCorrectionService.h"

#include <memory>

namespace quillo {

// The shell's handle on the global correction service.
class GlobalCorrectionMonitor final : public CorrectionMonitor {
public:
    explicit GlobalCorrectionMonitor(std::unique_ptr<GlobalCorrectionService> service) : service_(std::move(service)) {}
    bool startMonitoring() override { return service_->startMonitoring(); }
    void stopMonitoring() override { service_->stopMonitoring(); }
    bool isMonitoring() const override { return service_->isMonitoring(); }
    bool handleTriggerCommand() override { return service_->handleTriggerCommand(); }
    bool canUndoLastCorrection() const override { return service_->canUndoLastCorrection(); }
    void undoLastCorrection() override { service_->undoLastCorrection(); }
    void setUndoAvailabilityHandler(const std::function<void(bool)>& handler) override {
        QObject::connect(service_.get(), &GlobalCorrectionService::undoAvailabilityChanged, service_.get(), handler);
    }
    GlobalCorrectionService& service() { return *service_; }

private:
    std::unique_ptr<GlobalCorrectionService> service_;
};

} // namespace quillo
