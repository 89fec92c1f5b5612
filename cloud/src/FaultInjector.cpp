#include "FaultInjector.h"

namespace quillo::cloud {

namespace {

const char *stageName(FaultStage stage)
{
    switch (stage) {
    case FaultStage::processing: return "processing";
    case FaultStage::answer: return "answer";
    default: return "request";
    }
}

}  // namespace

std::optional<FaultStage> faultStageFromName(const std::string &name)
{
    if (name == "request") return FaultStage::request;
    if (name == "processing") return FaultStage::processing;
    if (name == "answer") return FaultStage::answer;
    return std::nullopt;
}

void FaultInjector::reset()
{
    std::lock_guard lock(mutex_);
    for (auto &a : delay_) a = {};
    for (auto &a : drop_) a = {};
    tooEarlyCount_ = gatewayCount_ = parkCount_ = 0;
    applied_.clear();
    ++releaseGeneration_;
    changed_.notify_all();
}

void FaultInjector::countApplied(const std::string &name) { ++applied_[name]; }

void FaultInjector::armDelay(int ms, int count, FaultStage stage)
{
    std::lock_guard lock(mutex_);
    delay_[index(stage)] = {count, ms};
}

int FaultInjector::takeDelay(FaultStage stage)
{
    std::lock_guard lock(mutex_);
    Armed &a = delay_[index(stage)];
    if (a.count <= 0) return 0;
    --a.count;
    countApplied(std::string("delay-") + stageName(stage));
    return a.milliseconds;
}

void FaultInjector::armDrop(int count, FaultStage stage, int milliseconds)
{
    std::lock_guard lock(mutex_);
    drop_[index(stage)] = {count, milliseconds};
}

std::optional<int> FaultInjector::takeDrop(FaultStage stage)
{
    std::lock_guard lock(mutex_);
    Armed &a = drop_[index(stage)];
    if (a.count <= 0) return std::nullopt;
    --a.count;
    countApplied(std::string("drop-") + stageName(stage));
    return a.milliseconds;
}

void FaultInjector::armTooEarly(int count)
{
    std::lock_guard lock(mutex_);
    tooEarlyCount_ = count;
}

bool FaultInjector::takeTooEarly()
{
    std::lock_guard lock(mutex_);
    if (tooEarlyCount_ <= 0) return false;
    --tooEarlyCount_;
    countApplied("too-early");
    return true;
}

void FaultInjector::armGateway(GatewayFault fault, int count)
{
    std::lock_guard lock(mutex_);
    gateway_ = fault;
    gatewayCount_ = count;
}

std::optional<GatewayFault> FaultInjector::takeGateway()
{
    std::lock_guard lock(mutex_);
    if (gatewayCount_ <= 0) return std::nullopt;
    --gatewayCount_;
    return gateway_;
}

void FaultInjector::armPark(int count)
{
    std::lock_guard lock(mutex_);
    parkCount_ = count;
}

void FaultInjector::parkIfArmed()
{
    std::unique_lock lock(mutex_);
    if (parkCount_ <= 0) return;
    --parkCount_;
    ++parked_;
    countApplied("park");
    unsigned generation = releaseGeneration_;
    changed_.notify_all();
    // Never hold a worker forever, even if a test forgets to release it.
    changed_.wait_for(lock, std::chrono::seconds(30), [&] { return releaseGeneration_ != generation; });
    --parked_;
}

int FaultInjector::waitParked(int atLeast, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return parked_ >= atLeast; });
    return parked_;
}

void FaultInjector::release()
{
    std::lock_guard lock(mutex_);
    ++releaseGeneration_;
    changed_.notify_all();
}

void FaultInjector::noteApplied(const std::string &name)
{
    std::lock_guard lock(mutex_);
    countApplied(name);
}

std::map<std::string, int64_t> FaultInjector::appliedCounts()
{
    std::lock_guard lock(mutex_);
    return applied_;
}

}  // namespace quillo::cloud
