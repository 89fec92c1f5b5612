#pragma once
// The server's one source of wall time, and of the pauses it takes. Test controls may move it
// forward so that expiry of tokens, links and orders can be exercised without waiting; tests of
// the store replace `pause` so that no run waits in real time.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace quillo::cloud {

class ServerClock {
public:
    virtual ~ServerClock() = default;
    double now() const
    {
        using namespace std::chrono;
        double wall = duration<double>(system_clock::now().time_since_epoch()).count();
        return wall + offsetSeconds_.load();
    }
    int64_t nowSeconds() const { return static_cast<int64_t>(now()); }
    void advance(double seconds) { offsetSeconds_.store(offsetSeconds_.load() + seconds); }
    void resetOffset() { offsetSeconds_.store(0); }
    virtual void pause(std::chrono::microseconds duration) const { std::this_thread::sleep_for(duration); }

private:
    std::atomic<double> offsetSeconds_{0};
};

}  // namespace quillo::cloud
