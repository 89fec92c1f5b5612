#pragma once
// Faults that test controls arm and the request handlers consume, one request at a time.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace quillo::cloud {

struct GatewayFault {
    int status = 503;
    bool safe = true;
    bool afterProcessing = false;  // the correction runs and is charged, then the answer is lost
};

class FaultInjector {
public:
    void reset();

    void armDelay(int milliseconds, int count);
    int takeDelay();  // milliseconds to wait before answering, 0 for none

    void armDrop(int count);
    bool takeDrop();

    void armTooEarly(int count);
    bool takeTooEarly();

    void armGateway(GatewayFault fault, int count);
    std::optional<GatewayFault> takeGateway();

    // Parks the next corrections after their credits are reserved, until released.
    void armPark(int count);
    void parkIfArmed();
    int waitParked(int atLeast, std::chrono::milliseconds timeout);
    void release();

    std::atomic<bool> fastBusy{false}, veryVeryFastBusy{false};
    std::atomic<int> busyRetryAfter{5};

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int delayMs_ = 0, delayCount_ = 0, dropCount_ = 0, tooEarlyCount_ = 0, gatewayCount_ = 0;
    GatewayFault gateway_;
    int parkCount_ = 0, parked_ = 0;
    unsigned releaseGeneration_ = 0;
};

}  // namespace quillo::cloud
