#pragma once
// The server's one source of wall time. Test controls may move it forward so that expiry of
// tokens, links and orders can be exercised without waiting.
#include <atomic>
#include <chrono>
#include <cstdint>

namespace quillo::cloud {

class ServerClock {
public:
    double now() const
    {
        using namespace std::chrono;
        double wall = duration<double>(system_clock::now().time_since_epoch()).count();
        return wall + offsetSeconds_.load();
    }
    int64_t nowSeconds() const { return static_cast<int64_t>(now()); }
    void advance(double seconds) { offsetSeconds_.store(offsetSeconds_.load() + seconds); }
    void resetOffset() { offsetSeconds_.store(0); }

private:
    std::atomic<double> offsetSeconds_{0};
};

}  // namespace quillo::cloud
