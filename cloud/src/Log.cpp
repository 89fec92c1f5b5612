#include "Log.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace quillo::cloud::log {

static std::atomic<int> currentLevel{static_cast<int>(Level::info)};
static std::mutex writeMutex;

void setLevel(Level level) { currentLevel = static_cast<int>(level); }
bool enabled(Level level) { return static_cast<int>(level) >= currentLevel.load(); }

static const char *name(Level level)
{
    switch (level) {
    case Level::debug: return "debug";
    case Level::info: return "info";
    case Level::warn: return "warn";
    case Level::error: return "error";
    default: return "off";
    }
}

void write(Level level, std::string_view event, nlohmann::json fields)
{
    if (!enabled(level)) return;
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t t = system_clock::to_time_t(now);
    auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm tm{};
    gmtime_r(&t, &tm);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms));
    nlohmann::json line = {{"ts", stamp}, {"level", name(level)}, {"event", std::string(event)}};
    if (fields.is_object())
        for (auto &[k, v] : fields.items()) line[k] = v;
    std::string text = line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    std::lock_guard lock(writeMutex);
    std::fprintf(stderr, "%s\n", text.c_str());
}

}  // namespace quillo::cloud::log
