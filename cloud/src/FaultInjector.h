#pragma once
// Faults that test controls arm and the request handlers consume, one request at a time.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace quillo::cloud {

struct GatewayFault {
    int status = 503;
    bool safe = true;
    bool afterProcessing = false;  // the correction runs and is charged, then the answer is lost
};

// Where in a correction's life a dropped connection or a wait happens: before anything is read
// or reserved, once its credits are reserved (the work goes on without the caller), or after it
// is charged and stored (only the answer is lost).
enum class FaultStage { request, processing, answer };

std::optional<FaultStage> faultStageFromName(const std::string &name);

class FaultInjector {
public:
    void reset();

    void armDelay(int ms, int count, FaultStage stage = FaultStage::request);
    int takeDelay(FaultStage stage = FaultStage::request);  // milliseconds to wait, 0 for none

    // A drop at the processing stage also keeps the work going `milliseconds` longer, so that
    // the caller's repeat finds it still in progress.
    void armDrop(int count, FaultStage stage = FaultStage::request, int milliseconds = 0);
    std::optional<int> takeDrop(FaultStage stage = FaultStage::request);

    void armTooEarly(int count);
    bool takeTooEarly();

    void armGateway(GatewayFault fault, int count);
    std::optional<GatewayFault> takeGateway();

    // Parks the next corrections after their credits are reserved, until released.
    void armPark(int count);
    void parkIfArmed();
    int waitParked(int atLeast, std::chrono::milliseconds timeout);
    void release();

    // How many faults were applied since the last reset, by name ("drop-request", "gateway-503",
    // "too-early", ...), so a run can report what it actually met rather than what it armed.
    std::map<std::string, int64_t> appliedCounts();
    void noteApplied(const std::string &name);  // for faults the handlers apply themselves (busy)

    std::atomic<bool> fastBusy{false}, veryVeryFastBusy{false};
    std::atomic<int> busyRetryAfter{5};

private:
    struct Armed {
        int count = 0, milliseconds = 0;
    };
    static int index(FaultStage stage) { return static_cast<int>(stage); }
    void countApplied(const std::string &name);  // with mutex_ held

    std::mutex mutex_;
    std::condition_variable changed_;
    Armed delay_[3], drop_[3];
    int tooEarlyCount_ = 0, gatewayCount_ = 0;
    GatewayFault gateway_;
    int parkCount_ = 0, parked_ = 0;
    unsigned releaseGeneration_ = 0;
    std::map<std::string, int64_t> applied_;
};

}  // namespace quillo::cloud
