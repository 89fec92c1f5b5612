#include "FaultInjector.h"

namespace quillo::cloud {

void FaultInjector::reset()
{
    std::lock_guard lock(mutex_);
    delayMs_ = delayCount_ = dropCount_ = tooEarlyCount_ = gatewayCount_ = parkCount_ = 0;
    ++releaseGeneration_;
    changed_.notify_all();
}

void FaultInjector::armDelay(int ms, int count)
{
    std::lock_guard lock(mutex_);
    delayMs_ = ms;
    delayCount_ = count;
}

int FaultInjector::takeDelay()
{
    std::lock_guard lock(mutex_);
    if (delayCount_ <= 0) return 0;
    --delayCount_;
    return delayMs_;
}

void FaultInjector::armDrop(int count)
{
    std::lock_guard lock(mutex_);
    dropCount_ = count;
}

bool FaultInjector::takeDrop()
{
    std::lock_guard lock(mutex_);
    if (dropCount_ <= 0) return false;
    --dropCount_;
    return true;
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

}  // namespace quillo::cloud
